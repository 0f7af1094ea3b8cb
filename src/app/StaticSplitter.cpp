#include "app/StaticSplitter.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <qdrawutil.h>

#include <algorithm>

namespace mendora {

SplitterPlacement LayoutSplitterCells(const std::vector<SplitterCell>& cells, int total, int bar,
                                      bool barsForEmptyCells)
{
    SplitterPlacement placement;
    const std::size_t n = cells.size();
    placement.sizes.assign(n, 0);
    placement.positions.assign(n, 0);
    placement.bars.assign(n, -1);

    int room = std::max(total, 0);
    int at = 0;
    for (std::size_t i = 0; i < n; ++i) {
        placement.positions[i] = at;
        int size = 0;
        if (i + 1 == n) {
            size = room;
        } else {
            const SplitterCell& cell = cells[i];
            size = (cell.ideal <= 0 || cell.ideal < cell.minimum) ? 0 : cell.ideal;
            size = std::min(size, room);
        }
        placement.sizes[i] = size;
        room -= size;
        at += size;
        if (i + 1 < n && (size > 0 || barsForEmptyCells) && room > 0) {
            const int thickness = std::min(bar, room);
            placement.bars[i] = at;
            room -= thickness;
            at += thickness;
        }
    }
    return placement;
}

namespace {

// The line that follows the mouse while a bar is dragged.
class CSplitTracker : public QWidget {
public:
    explicit CSplitTracker(QWidget* parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QBrush(QColor(64, 64, 64), Qt::Dense4Pattern));
    }
};

} // namespace

CStaticSplitter::CStaticSplitter(Qt::Orientation orientation, int count, QWidget* parent)
    : QWidget(parent),
      m_orientation(orientation),
      m_cells(static_cast<std::size_t>(std::max(count, 1))),
      m_panes(m_cells.size()),
      m_face(palette().color(QPalette::Button))
{
    setMouseTracking(true);
    m_tracker = new CSplitTracker(this);
    m_placement = LayoutSplitterCells(m_cells, 0, kBarSize, true);
}

CStaticSplitter::~CStaticSplitter() = default;

void CStaticSplitter::SetPane(int index, QWidget* pane)
{
    if (index < 0 || index >= Count())
        return;
    m_panes[static_cast<std::size_t>(index)] = pane;
    if (pane) {
        pane->setParent(this);
        pane->show();
    }
    m_tracker->raise();
}

QWidget* CStaticSplitter::Pane(int index) const
{
    if (index < 0 || index >= Count())
        return nullptr;
    return m_panes[static_cast<std::size_t>(index)];
}

void CStaticSplitter::SetPaneSize(int index, int ideal, int minimum)
{
    if (index < 0 || index >= Count())
        return;
    m_cells[static_cast<std::size_t>(index)] = SplitterCell{ideal, minimum};
}

int CStaticSplitter::IdealSize(int index) const
{
    return (index < 0 || index >= Count()) ? 0 : m_cells[static_cast<std::size_t>(index)].ideal;
}

int CStaticSplitter::MinimumSize(int index) const
{
    return (index < 0 || index >= Count()) ? 0 : m_cells[static_cast<std::size_t>(index)].minimum;
}

int CStaticSplitter::CurrentSize(int index) const
{
    if (index < 0 || index >= Count())
        return 0;
    return m_placement.sizes[static_cast<std::size_t>(index)];
}

int CStaticSplitter::Extent() const
{
    return m_orientation == Qt::Vertical ? height() : width();
}

int CStaticSplitter::Along(const QPoint& point) const
{
    return m_orientation == Qt::Vertical ? point.y() : point.x();
}

QRect CStaticSplitter::CellRect(int index) const
{
    if (index < 0 || index >= Count())
        return {};
    const auto i = static_cast<std::size_t>(index);
    const int at = m_placement.positions[i];
    const int size = m_placement.sizes[i];
    return m_orientation == Qt::Vertical ? QRect(0, at, width(), size) : QRect(at, 0, size, height());
}

QRect CStaticSplitter::BarRect(int index) const
{
    const auto i = static_cast<std::size_t>(index);
    const int at = m_placement.bars[i];
    if (at < 0)
        return {};
    const int next = i + 1 < m_placement.positions.size() ? m_placement.positions[i + 1] : Extent();
    const int thickness = std::max(next - at, 0);
    return m_orientation == Qt::Vertical ? QRect(0, at, width(), thickness)
                                         : QRect(at, 0, thickness, height());
}

bool CStaticSplitter::HasBorder(int index) const
{
    // A pane that is itself a splitter draws its own panes' borders.
    return qobject_cast<const CStaticSplitter*>(Pane(index)) == nullptr;
}

void CStaticSplitter::RecalcLayout()
{
    m_placement = LayoutSplitterCells(m_cells, Extent(), kBarSize, !m_fixed);
    for (int i = 0; i < Count(); ++i) {
        QWidget* pane = Pane(i);
        if (!pane)
            continue;
        QRect cell = CellRect(i);
        if (HasBorder(i))
            cell = cell.adjusted(kBorder, kBorder, -kBorder, -kBorder);
        if (CurrentSize(i) <= 0 || cell.width() <= 0 || cell.height() <= 0) {
            pane->hide();
            continue;
        }
        pane->setGeometry(cell);
        pane->show();
    }
    update();
    emit LayoutChanged();
}

void CStaticSplitter::SetFixed(bool fixed)
{
    m_fixed = fixed;
    if (fixed)
        unsetCursor();
}

void CStaticSplitter::SetFaceColor(const QColor& face)
{
    m_face = face;
    update();
}

int CStaticSplitter::BarAt(const QPoint& point) const
{
    for (int i = 0; i < Count(); ++i) {
        if (BarRect(i).contains(point))
            return i;
    }
    return -1;
}

void CStaticSplitter::resizeEvent(QResizeEvent*)
{
    RecalcLayout();
}

void CStaticSplitter::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_face);
    QPalette shades = palette();
    shades.setColor(QPalette::Button, m_face);
    shades.setColor(QPalette::Light, m_face.lighter(150));
    shades.setColor(QPalette::Midlight, m_face.lighter(115));
    shades.setColor(QPalette::Dark, m_face.darker(160));
    shades.setColor(QPalette::Shadow, m_face.darker(300));
    for (int i = 0; i < Count(); ++i) {
        if (CurrentSize(i) <= 0 || !Pane(i) || !HasBorder(i))
            continue;
        const QRect cell = CellRect(i);
        if (cell.width() > 2 * kBorder && cell.height() > 2 * kBorder)
            qDrawWinPanel(&painter, cell, shades, true);
    }
}

void CStaticSplitter::mousePressEvent(QMouseEvent* event)
{
    if (m_fixed || event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const int bar = BarAt(event->position().toPoint());
    if (bar < 0)
        return;
    m_trackingBar = bar;
    m_trackOffset = Along(event->position().toPoint()) - m_placement.bars[static_cast<std::size_t>(bar)];
    MoveTracker(m_placement.bars[static_cast<std::size_t>(bar)]);
    m_tracker->show();
    m_tracker->raise();
}

void CStaticSplitter::MoveTracker(int position)
{
    if (m_orientation == Qt::Vertical)
        m_tracker->setGeometry(0, position, width(), kBarSize);
    else
        m_tracker->setGeometry(position, 0, kBarSize, height());
}

void CStaticSplitter::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (m_trackingBar >= 0) {
        const auto i = static_cast<std::size_t>(m_trackingBar);
        const int low = m_placement.positions[i];
        const int high = std::max(low, Extent() - kBarSize);
        MoveTracker(std::clamp(Along(at) - m_trackOffset, low, high));
        return;
    }
    if (m_fixed)
        return;
    if (BarAt(at) >= 0)
        setCursor(m_orientation == Qt::Vertical ? Qt::SplitVCursor : Qt::SplitHCursor);
    else
        unsetCursor();
}

void CStaticSplitter::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_trackingBar < 0 || event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const auto i = static_cast<std::size_t>(m_trackingBar);
    const int low = m_placement.positions[i];
    const int high = std::max(low, Extent() - kBarSize);
    const int position = std::clamp(Along(event->position().toPoint()) - m_trackOffset, low, high);
    m_tracker->hide();
    m_trackingBar = -1;
    m_cells[i].ideal = position - low;
    RecalcLayout();
}

void CStaticSplitter::leaveEvent(QEvent* event)
{
    if (m_trackingBar < 0)
        unsetCursor();
    QWidget::leaveEvent(event);
}

} // namespace mendora
