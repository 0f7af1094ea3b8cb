#include "views/MessageListCtrl.h"

#include "views/MessageListModel.h"
#include "views/ViewArtwork.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include <array>

namespace mendora {

namespace {

// Maps the model's image numbers onto the row image strip.
class CRowImageDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QVariant image = index.data(Qt::DecorationRole);
        if (image.typeId() != QMetaType::Int)
            return;
        const int n = image.toInt();
        if (n < 0 || n >= static_cast<int>(m_strip.size()))
            return;
        option->features |= QStyleOptionViewItem::HasDecoration;
        option->icon = m_strip[static_cast<std::size_t>(n)];
        option->decorationSize = QSize(viewart::kRowImageWidth, viewart::kRowImageHeight);
    }

private:
    std::array<QIcon, 3> m_strip{QIcon(viewart::RowImage(0)), QIcon(viewart::RowImage(1)),
                                 QIcon(viewart::RowImage(2))};
};

} // namespace

// --- header ----------------------------------------------------------------------------------

CMessageListHeader::CMessageListHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
    setObjectName(QStringLiteral("MessageListHeader"));
    QFont bold = font();
    bold.setWeight(QFont::Bold);
    setFont(bold);
    setSectionsClickable(true);
    setSortIndicatorShown(false);
    setHighlightSections(false);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setMinimumSectionSize(0);
    setStretchLastSection(false);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    setAttribute(Qt::WA_Hover);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        QMenu* menu = MakeContextMenu(this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(mapToGlobal(pos));
    });
}

QMenu* CMessageListHeader::MakeContextMenu(QWidget* parent) const
{
    auto* menu = new QMenu(parent);
    QAction* dot = menu->addAction(QStringLiteral("."));
    dot->setData(kDotCommand); // no handler: choosing it changes nothing
    return menu;
}

void CMessageListHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    QHeaderView::paintSection(painter, rect, logicalIndex);
    if (logicalIndex == m_hot && rect.width() > 0) {
        QColor hot = palette().color(QPalette::Highlight);
        hot.setAlpha(48);
        painter->fillRect(rect, hot);
        painter->setPen(palette().color(QPalette::Highlight));
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    }
}

void CMessageListHeader::mouseMoveEvent(QMouseEvent* event)
{
    QHeaderView::mouseMoveEvent(event);
    SetHot(logicalIndexAt(event->position().toPoint()));
}

void CMessageListHeader::leaveEvent(QEvent* event)
{
    QHeaderView::leaveEvent(event);
    SetHot(-1);
}

void CMessageListHeader::SetHot(int section)
{
    if (section == m_hot)
        return;
    m_hot = section;
    viewport()->update();
}

// --- list ------------------------------------------------------------------------------------

CMessageListCtrl::CMessageListCtrl(QWidget* parent)
    : QTableView(parent), m_header(new CMessageListHeader(this))
{
    setObjectName(QStringLiteral("CMessageListCtrl"));
    setProperty("controlId", kControlId);
    setHorizontalHeader(m_header);
    setItemDelegate(new CRowImageDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSortingEnabled(false);
    setShowGrid(true);
    setWordWrap(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(viewart::kRowImageWidth, viewart::kRowImageHeight));
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setContextMenuPolicy(Qt::NoContextMenu);

    // Every row has the same height, so the view never measures rows.
    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(qMax(fontMetrics().height() + 4, viewart::kRowImageHeight + 4));
}

void CMessageListCtrl::setModel(QAbstractItemModel* model)
{
    if (QAbstractItemModel* old = this->model())
        disconnect(old, nullptr, this, nullptr);
    QTableView::setModel(model);
    if (!model)
        return;
    ApplyColumnWidths(QList<int>(std::begin(kColumnWidths), std::end(kColumnWidths)));
    // Clearing the list keeps the columns as the user left them.
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this] { m_savedWidths = ColumnWidths(); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] { ApplyColumnWidths(m_savedWidths); });
}

QList<int> CMessageListCtrl::ColumnWidths() const
{
    QList<int> widths;
    for (int c = 0; c < m_header->count(); ++c)
        widths << m_header->sectionSize(c);
    return widths;
}

void CMessageListCtrl::ApplyColumnWidths(const QList<int>& widths)
{
    for (int c = 0; c < m_header->count() && c < widths.size(); ++c) {
        m_header->setSectionHidden(c, false);
        m_header->resizeSection(c, widths[c]);
    }
}

int CMessageListCtrl::MarkRow() const
{
    return m_mark.isValid() ? m_mark.row() : -1;
}

void CMessageListCtrl::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (!m_extending || !m_mark.isValid())
        m_mark = current;
}

QModelIndex CMessageListCtrl::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    if (action == MoveHome || action == MoveEnd)
        modifiers |= Qt::ControlModifier;
    return QTableView::moveCursor(action, modifiers);
}

void CMessageListCtrl::mousePressEvent(QMouseEvent* event)
{
    m_extending = event->modifiers().testFlag(Qt::ShiftModifier);
    QTableView::mousePressEvent(event);
    m_extending = false;
}

void CMessageListCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    QTableView::mouseReleaseEvent(event);
    // Anywhere in the list, on a row or not.
    if (event->button() == Qt::LeftButton)
        emit PreviewRequested(MarkRow(), false);
}

void CMessageListCtrl::keyPressEvent(QKeyEvent* event)
{
    m_extending = event->modifiers().testFlag(Qt::ShiftModifier);
    QTableView::keyPressEvent(event);
    m_extending = false;
}

void CMessageListCtrl::keyReleaseEvent(QKeyEvent* event)
{
    // A held key repeats its presses but is released once.
    if (!event->isAutoRepeat())
        emit PreviewRequested(MarkRow(), true);
    QTableView::keyReleaseEvent(event);
}

// --- view ------------------------------------------------------------------------------------

CDispImfoView::CDispImfoView(QWidget* parent)
    : QWidget(parent), CSingleView<CDispImfoView>(this), m_catalogue(std::make_unique<CCatalogue>()),
      m_model(std::make_unique<CMessageListModel>(*m_catalogue)),
      m_bridge(std::make_unique<CCatalogueBridge>(*m_model)), m_list(new CMessageListCtrl(this))
{
    setObjectName(QStringLiteral("CDispImfoView"));
    m_catalogue->SetObserver(m_bridge.get());
    m_list->setModel(m_model.get());
}

CDispImfoView::~CDispImfoView()
{
    m_catalogue->SetObserver(nullptr);
    delete m_list; // before the model it shows
    m_list = nullptr;
}

void CDispImfoView::HideList()
{
    m_list->hide();
}

void CDispImfoView::ShowList()
{
    m_list->show();
}

void CDispImfoView::ClearList()
{
    m_catalogue->Clear();
    m_model->ResetRows();
}

int CDispImfoView::RowCount() const
{
    return m_model->rowCount();
}

QString CDispImfoView::CellText(int row, int column) const
{
    if (row < 0 || row >= m_model->rowCount() || column < 0 || column >= m_model->columnCount())
        return QString();
    return m_model->data(m_model->index(row, column), Qt::DisplayRole).toString();
}

void CDispImfoView::resizeEvent(QResizeEvent*)
{
    m_list->setGeometry(0, 0, width(), height());
}

} // namespace mendora
