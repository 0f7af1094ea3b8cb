// A splitter window with a fixed number of panes in one row or one column. Each pane has an
// ideal and a minimum size; the panes are laid out from the first to the last: a pane whose
// ideal is 0 (or below its minimum) is not shown, a pane whose ideal is more than the room left
// gets the room left, and the last pane takes whatever remains. Bars between panes are 4 pixels,
// and panes that are views get a 2-pixel sunken border inside their cell.
//
// A fixed splitter cannot be dragged. In a resizable one the user drags a bar (a tracking line
// follows the mouse, the panes change on release), which sets the ideal size of the pane before
// it; there a hidden pane keeps its bar, so that it can be dragged open again.
#pragma once

#include <QColor>
#include <QPointer>
#include <QWidget>

#include <vector>

namespace mendora {

struct SplitterCell {
    int ideal = 0;
    int minimum = 0;
};

struct SplitterPlacement {
    std::vector<int> sizes;     // per pane; 0 = not shown
    std::vector<int> positions; // start of each pane's cell
    std::vector<int> bars;      // start of the bar after each pane, -1 when it has none
};

// The layout rule on its own: total pixels to share, bar thickness, whether empty cells keep
// their bars.
SplitterPlacement LayoutSplitterCells(const std::vector<SplitterCell>& cells, int total, int bar,
                                      bool barsForEmptyCells);

class CStaticSplitter : public QWidget {
    Q_OBJECT

public:
    static constexpr int kBarSize = 4;
    static constexpr int kBorder = 2;

    CStaticSplitter(Qt::Orientation orientation, int count, QWidget* parent = nullptr);
    ~CStaticSplitter() override;

    Qt::Orientation Orientation() const { return m_orientation; }
    int Count() const { return static_cast<int>(m_cells.size()); }

    // Places a widget in a pane; the splitter becomes its parent.
    void SetPane(int index, QWidget* pane);
    QWidget* Pane(int index) const;

    // Ideal and minimum size of a pane (height in a column, width in a row). Takes effect on
    // the next RecalcLayout.
    void SetPaneSize(int index, int ideal, int minimum = 0);
    int IdealSize(int index) const;
    int MinimumSize(int index) const;
    // The size the last layout gave the pane's cell (0 when hidden).
    int CurrentSize(int index) const;
    QRect CellRect(int index) const;

    void RecalcLayout();

    void SetFixed(bool fixed);
    bool IsFixed() const { return m_fixed; }

    void SetFaceColor(const QColor& face);
    QColor FaceColor() const { return m_face; }

    // Bar index under a point, or -1 (for tests and the cursor).
    int BarAt(const QPoint& point) const;

signals:
    void LayoutChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool HasBorder(int index) const;
    int Extent() const;
    int Along(const QPoint& point) const;
    QRect BarRect(int index) const;
    void MoveTracker(int position);

    Qt::Orientation m_orientation;
    std::vector<SplitterCell> m_cells;
    std::vector<QPointer<QWidget>> m_panes;
    SplitterPlacement m_placement;
    bool m_fixed = false;
    QColor m_face;

    int m_trackingBar = -1;
    int m_trackOffset = 0;
    QWidget* m_tracker = nullptr;
};

} // namespace mendora
