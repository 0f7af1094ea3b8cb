#include "app/Placeholders.h"

#include "app/MainFrame.h"
#include "dbx/DbxRecovery.h"

#include <QHeaderView>
#include <QPainter>
#include <QTreeWidget>

namespace mendora {

namespace {

const QColor kStepOneFill(126, 185, 240);
const QColor kStripFill(216, 231, 252);

CMainFrame* Frame()
{
    return CMainFrame::Instance();
}

void Relayout()
{
    if (CMainFrame* frame = Frame())
        frame->ApplyStepRowHeights();
}

} // namespace

CPaneWidget::CPaneWidget(QWidget* parent)
    : QWidget(parent), m_fill(palette().color(QPalette::Base))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPaneWidget::SetFill(const QColor& fill)
{
    m_fill = fill;
    update();
}

void CPaneWidget::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), m_fill);
}

// --- wizard pages --------------------------------------------------------------------------

CViewBottom::CViewBottom(QWidget* parent) : CPaneWidget(parent), CSingleView<CViewBottom>(this)
{
    setObjectName(QStringLiteral("CViewBottom"));
    SetFill(kStepOneFill);
}

CViewBottom::~CViewBottom() = default;

void CViewBottom::StepChanged(int step)
{
    SetFill(step == StepSelectFile ? kStepOneFill : kStripFill);
}

void CViewBottom::Next()
{
}

void CViewBottom::Back()
{
    CMainFrame* frame = Frame();
    if (!frame || frame->Step() != StepScan)
        return;
    frame->SetStep(StepSelectFile);
    ReleaseEngine();
    Relayout();
}

void CViewBottom::SetEngine(std::unique_ptr<CDbxRecovery> engine)
{
    m_engine = std::move(engine);
}

void CViewBottom::ReleaseEngine()
{
    m_engine.reset();
}

CViewSelSaveOpp::CViewSelSaveOpp(QWidget* parent)
    : CPaneWidget(parent), CSingleView<CViewSelSaveOpp>(this)
{
    setObjectName(QStringLiteral("CViewSelSaveOpp"));
    SetFill(kStepOneFill);
}

void CViewSelSaveOpp::Next()
{
}

void CViewSelSaveOpp::Back()
{
    CMainFrame* frame = Frame();
    if (!frame || frame->Step() != StepSaveOptions)
        return;
    frame->SetStep(StepScan);
    Relayout();
}

CViewSave::CViewSave(QWidget* parent) : CPaneWidget(parent), CSingleView<CViewSave>(this)
{
    setObjectName(QStringLiteral("CViewSave"));
    SetFill(kStepOneFill);
}

void CViewSave::Finish()
{
}

void CViewSave::Back()
{
    CMainFrame* frame = Frame();
    if (!frame || frame->Step() != StepSaveProgress)
        return;
    frame->SetStep(StepSaveOptions);
    Relayout();
}

// --- browsing views ------------------------------------------------------------------------

CItemTreeView::CItemTreeView(QWidget* parent)
    : QWidget(parent), CSingleView<CItemTreeView>(this), m_tree(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("CItemTreeView"));
    m_tree->setObjectName(QStringLiteral("FolderTree"));
    m_tree->setHeaderLabel(QStringLiteral("Folders"));
    m_tree->setFrameShape(QFrame::NoFrame);
}

void CItemTreeView::SetHeaderColors(const QColor& face, const QColor& text)
{
    m_tree->header()->setStyleSheet(
        QStringLiteral("QHeaderView::section { background: %1; color: %2; border: 0px; "
                       "border-right: 1px solid %3; border-bottom: 1px solid %3; padding: 2px 4px; }")
            .arg(face.name(), text.name(), face.darker(140).name()));
}

void CItemTreeView::resizeEvent(QResizeEvent*)
{
    m_tree->setGeometry(rect());
}

CHtm::CHtm(QWidget* parent) : CPaneWidget(parent), CSingleView<CHtm>(this)
{
    setObjectName(QStringLiteral("CHtm"));
}

} // namespace mendora
