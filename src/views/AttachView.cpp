#include "views/AttachView.h"

#include "views/ViewArtwork.h"

#include <QFileIconProvider>
#include <QListWidget>
#include <QMimeDatabase>
#include <QPainter>

namespace mendora {

CImageButton::CImageButton(const QPixmap& picture, QWidget* parent)
    : QAbstractButton(parent), m_picture(picture)
{
}

void CImageButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int shift = isDown() ? 1 : 0;
    p.drawPixmap(shift, shift, m_picture);
    if (underMouse() || isDown()) {
        p.setPen(palette().color(isDown() ? QPalette::Dark : QPalette::Highlight));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

CAttachView1::CAttachView1(QWidget* parent)
    : QWidget(parent), CSingleView<CAttachView1>(this), m_button(new CImageButton(viewart::PaperClipButton(), this)),
      m_list(new QListWidget(this))
{
    setObjectName(QStringLiteral("CAttachView1"));
    setContextMenuPolicy(Qt::NoContextMenu);

    // The button only shows the clip; pressing it does nothing.
    m_button->setObjectName(QStringLiteral("AttachClipButton"));
    m_button->setAttribute(Qt::WA_Hover);
    m_button->setToolTip(QString());
    m_button->setFocusPolicy(Qt::NoFocus);

    m_list->setObjectName(QStringLiteral("AttachList"));
    m_list->setProperty("controlId", kListControlId);
    m_list->setViewMode(QListView::ListMode);
    m_list->setFlow(QListView::TopToBottom);
    m_list->setWrapping(true);
    m_list->setResizeMode(QListView::Adjust);
    m_list->setIconSize(QSize(16, 16));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setDragEnabled(false);
    m_list->setContextMenuPolicy(Qt::NoContextMenu);
}

QIcon CAttachView1::IconForName(const QString& fileName)
{
    static const QMimeDatabase mimes;
    const QMimeType type = mimes.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    const auto cached = m_icons.constFind(type.name());
    if (cached != m_icons.constEnd())
        return *cached;
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull())
        icon = QFileIconProvider().icon(QFileIconProvider::File);
    m_icons.insert(type.name(), icon);
    return icon;
}

void CAttachView1::ClearAttachments()
{
    m_list->clear();
}

void CAttachView1::AddAttachment(const QString& fileName)
{
    m_list->insertItem(0, new QListWidgetItem(IconForName(fileName), fileName));
}

void CAttachView1::resizeEvent(QResizeEvent*)
{
    m_button->setGeometry(0, 0, 16, 16);
    m_list->setGeometry(20, 0, width() - 20, height());
}

} // namespace mendora
