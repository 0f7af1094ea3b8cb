// The message list as a Qt model over the catalogue. The catalogue stays the one store of the
// rows; the model only decides how many of them the view has been told about, and keeps the
// check boxes, which are the view's own state.
#pragma once

#include "catalogue/Catalogue.h"

#include <QAbstractTableModel>
#include <QColor>

#include <atomic>
#include <vector>

namespace mendora {

class CMessageListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static inline const QColor kDeletedColour{255, 0, 0};

    explicit CMessageListModel(const CCatalogue& catalogue, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The row at list position row (0 = top).
    RecoveredMessage RowAt(int row) const;
    bool IsChecked(int row) const;

    // Shows the catalogue's first count rows (they enter at the top). UI thread only.
    void ShowRowsUpTo(std::size_t count);
    // The catalogue was cleared.
    void ResetRows();

private:
    std::size_t ArrivalIndex(int row) const { return m_visible - 1 - static_cast<std::size_t>(row); }

    const CCatalogue& m_catalogue;
    std::size_t m_visible = 0;
    std::vector<char> m_checked; // by arrival index
};

// Carries the catalogue's reports from the thread that adds rows to the UI thread, in order.
// Row insertions are coalesced: however many rows arrive, at most one update is queued at a
// time, and it shows every row added by the time it runs.
class CCatalogueBridge : public QObject, public ICatalogueObserver {
    Q_OBJECT
public:
    explicit CCatalogueBridge(CMessageListModel& model, QObject* parent = nullptr);

    void OnRowInserted(const RecoveredMessage& row) override;
    void OnCounterText(std::string_view text) override;
    void OnCleared() override;

signals:
    void CounterTextChanged(const QString& text);

private:
    void ApplyRows();

    CMessageListModel& m_model;
    std::atomic<std::size_t> m_rowsAdded{0};
    std::atomic<bool> m_updateQueued{false};
};

} // namespace mendora
