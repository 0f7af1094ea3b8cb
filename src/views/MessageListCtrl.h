// The message list: a table view over CMessageListModel, and the view that holds it.
#pragma once

#include "views/SingleView.h"

#include <QHeaderView>
#include <QTableView>
#include <QWidget>

#include <memory>

class QMenu;

namespace mendora {

class CCatalogue;
class CCatalogueBridge;
class CMessageListModel;

// The list's header: bold, the section under the mouse drawn hot, a right-click menu whose
// only entry is "." (command 65535, which nothing handles), and no sorting on a click.
class CMessageListHeader : public QHeaderView {
    Q_OBJECT
public:
    static constexpr int kDotCommand = 65535;

    explicit CMessageListHeader(QWidget* parent = nullptr);
    int HotSection() const { return m_hot; }
    // The header's right-click menu (a new one each time; the caller owns it).
    QMenu* MakeContextMenu(QWidget* parent) const;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void SetHot(int section);
    int m_hot = -1;
};

class CMessageListCtrl : public QTableView {
    Q_OBJECT
public:
    static constexpr int kControlId = 32822;
    static constexpr int kColumnWidths[] = {40, 25, 100, 150, 300, 170, 100, 0};

    explicit CMessageListCtrl(QWidget* parent = nullptr);
    void setModel(QAbstractItemModel* model) override;

    // The row that holds the selection mark, -1 for none.
    int MarkRow() const;
    CMessageListHeader* Header() const { return m_header; }

signals:
    // A left click in the list (byKey false) or a key release (byKey true) asks for the
    // preview of the row that holds the selection mark; row is -1 when no row holds it.
    void PreviewRequested(int row, bool byKey);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    // Home and End go to the first and the last row, as in any list.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

private:
    void ApplyColumnWidths(const QList<int>& widths);
    QList<int> ColumnWidths() const;

    CMessageListHeader* m_header;
    // The selection mark: the row last clicked or moved to without Shift; a Shift-click or
    // Shift-move extends the selection from it and leaves it where it is.
    QPersistentModelIndex m_mark;
    bool m_extending = false;
    QList<int> m_savedWidths;
};

// The message-list view: the one list of recovered messages, filling the view. It owns the
// catalogue, which is the list's store, and the model that shows it.
class CDispImfoView : public QWidget, public CSingleView<CDispImfoView> {
    Q_OBJECT
public:
    explicit CDispImfoView(QWidget* parent = nullptr);
    ~CDispImfoView() override;

    CCatalogue& Catalogue() { return *m_catalogue; }
    CMessageListModel& Model() { return *m_model; }
    // Carries the catalogue's reports (rows, counter text) to the UI thread.
    CCatalogueBridge& Bridge() { return *m_bridge; }
    CMessageListCtrl* ListCtrl() const { return m_list; }

    void HideList();
    void ShowList();
    // Removes every row.
    void ClearList();
    int RowCount() const;
    // The text of a cell as the list shows it; empty for a row or column out of range.
    QString CellText(int row, int column) const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    std::unique_ptr<CCatalogue> m_catalogue;
    std::unique_ptr<CMessageListModel> m_model;
    std::unique_ptr<CCatalogueBridge> m_bridge;
    CMessageListCtrl* m_list;
};

} // namespace mendora
