#include "views/MessageListModel.h"

#include "views/ViewArtwork.h"

#include <QMetaObject>

namespace mendora {

CMessageListModel::CMessageListModel(const CCatalogue& catalogue, QObject* parent)
    : QAbstractTableModel(parent), m_catalogue(catalogue)
{
}

int CMessageListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_visible);
}

int CMessageListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : RecoveredMessage::kColumnCount;
}

RecoveredMessage CMessageListModel::RowAt(int row) const
{
    return m_catalogue.RowByArrival(ArrivalIndex(row));
}

bool CMessageListModel::IsChecked(int row) const
{
    return row >= 0 && static_cast<std::size_t>(row) < m_visible && m_checked[ArrivalIndex(row)];
}

QVariant CMessageListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= m_visible)
        return {};
    const int column = index.column();
    if (role == Qt::CheckStateRole && column == RecoveredMessage::kColMark)
        return m_checked[ArrivalIndex(index.row())] ? Qt::Checked : Qt::Unchecked;
    if (role != Qt::DisplayRole && role != Qt::ForegroundRole && role != Qt::BackgroundRole &&
        role != Qt::DecorationRole && role != Qt::ToolTipRole)
        return {};

    const RecoveredMessage row = RowAt(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(row.ColumnText(column));
    case Qt::ToolTipRole:
        return column == RecoveredMessage::kColOffset ? QVariant()
                                                      : QString::fromStdString(row.ColumnText(column));
    case Qt::DecorationRole:
        // Image numbers; the view maps them onto its image strip.
        return row.ColumnImage(column) >= 0 ? QVariant(row.ColumnImage(column)) : QVariant();
    case Qt::ForegroundRole:
        // The locator column is never meant to be read: white on white, in every row.
        if (column == RecoveredMessage::kColOffset)
            return QColor(255, 255, 255);
        if (row.ColumnText(RecoveredMessage::kColStatus).starts_with("Deleted"))
            return kDeletedColour;
        return {};
    case Qt::BackgroundRole:
        return column == RecoveredMessage::kColOffset ? QVariant(QColor(255, 255, 255)) : QVariant();
    }
    return {};
}

bool CMessageListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::CheckStateRole || index.column() != RecoveredMessage::kColMark ||
        static_cast<std::size_t>(index.row()) >= m_visible)
        return false;
    m_checked[ArrivalIndex(index.row())] = value.toInt() == Qt::Checked;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

QVariant CMessageListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DecorationRole) {
        // The mark column's header shows the exclamation mark, the attachment column's the clip.
        if (section == RecoveredMessage::kColMark)
            return viewart::HeaderImage(1);
        if (section == RecoveredMessage::kColAttachment)
            return viewart::HeaderImage(0);
        return {};
    }
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case RecoveredMessage::kColFrom:
        return QStringLiteral("From");
    case RecoveredMessage::kColTo:
        return QStringLiteral("To");
    case RecoveredMessage::kColSubject:
        return QStringLiteral("Subject");
    case RecoveredMessage::kColDate:
        return QStringLiteral("Date");
    case RecoveredMessage::kColStatus:
        return QStringLiteral("Status");
    default:
        return QString();
    }
}

Qt::ItemFlags CMessageListModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == RecoveredMessage::kColMark)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

void CMessageListModel::ShowRowsUpTo(std::size_t count)
{
    count = std::min(count, m_catalogue.RowCount());
    if (count <= m_visible)
        return;
    // New rows enter at the top.
    beginInsertRows({}, 0, static_cast<int>(count - m_visible - 1));
    m_checked.resize(count, 0);
    m_visible = count;
    endInsertRows();
}

void CMessageListModel::ResetRows()
{
    beginResetModel();
    m_visible = 0;
    m_checked.clear();
    endResetModel();
}

// ---------------------------------------------------------------------------------------------

CCatalogueBridge::CCatalogueBridge(CMessageListModel& model, QObject* parent)
    : QObject(parent), m_model(model)
{
}

void CCatalogueBridge::OnRowInserted(const RecoveredMessage&)
{
    m_rowsAdded.fetch_add(1);
    if (!m_updateQueued.exchange(true))
        QMetaObject::invokeMethod(this, [this] { ApplyRows(); }, Qt::QueuedConnection);
}

void CCatalogueBridge::ApplyRows()
{
    m_updateQueued.store(false);
    m_model.ShowRowsUpTo(m_rowsAdded.load());
}

void CCatalogueBridge::OnCounterText(std::string_view text)
{
    const QString t = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    QMetaObject::invokeMethod(this, [this, t] { emit CounterTextChanged(t); }, Qt::QueuedConnection);
}

void CCatalogueBridge::OnCleared()
{
    m_rowsAdded.store(0);
    QMetaObject::invokeMethod(this, [this] { m_model.ResetRows(); }, Qt::QueuedConnection);
}

} // namespace mendora
