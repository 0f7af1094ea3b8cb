#include "views/ViewArtwork.h"

#include <QPainter>

namespace mendora::viewart {

namespace {

QPixmap Blank(int w, int h, const QColor& fill)
{
    QPixmap pm(w, h);
    pm.fill(fill);
    return pm;
}

void DrawEnvelope(QPainter& p, bool open)
{
    const QColor body(255, 214, 64);
    const QColor edge(128, 96, 0);
    p.setPen(edge);
    p.setBrush(body);
    if (open) {
        // flap raised above the body
        p.drawPolygon(QPolygon({QPoint(0, 5), QPoint(6, 0), QPoint(7, 0), QPoint(13, 5)}));
        p.drawRect(0, 5, 13, 7);
        p.drawLine(0, 5, 6, 9);
        p.drawLine(13, 5, 7, 9);
    } else {
        p.drawRect(0, 2, 13, 9);
        p.drawLine(0, 2, 6, 7);
        p.drawLine(13, 2, 7, 7);
    }
}

void DrawExclamation(QPainter& p, const QColor& colour, int w, int h)
{
    const int x = w / 2 - 1;
    p.fillRect(x, 1, 2, h - 5, colour);
    p.fillRect(x, h - 3, 2, 2, colour);
}

// A paper clip as pixel rows ('#' = wire), so it stays crisp at its tiny size.
void DrawPixels(QPainter& p, const QColor& colour, const char* const* rows, int count, QPoint at)
{
    for (int y = 0; y < count; ++y)
        for (int x = 0; rows[y][x] != '\0'; ++x)
            if (rows[y][x] == '#')
                p.fillRect(at.x() + x, at.y() + y, 1, 1, colour);
}

const char* const kSmallClip[] = {
    "..###..",
    ".#...#.",
    ".#.#.#.",
    ".#.#.#.",
    ".#.#.#.",
    ".#.#.#.",
    ".#.#.#.",
    ".#.#.#.",
    ".#...#.",
    "..###..",
    ".......",
};

const char* const kLargeClip[] = {
    "....####..",
    "...#....#.",
    "..#......#",
    "..#..##..#",
    "..#.#..#.#",
    "..#.#..#.#",
    "..#.#..#.#",
    "..#.#..#.#",
    "..#.#..#.#",
    "..#.#..#.#",
    "..#.#..#.#",
    "..#....#.#",
    "...#...#.#",
    "....####.#",
    ".........#",
};

} // namespace

QPixmap RowImage(int index)
{
    QPixmap pm = Blank(kRowImageWidth, kRowImageHeight, Qt::transparent);
    QPainter p(&pm);
    switch (index) {
    case 0:
        DrawEnvelope(p, true);
        break;
    case 1:
        DrawEnvelope(p, false);
        break;
    case 2:
        DrawExclamation(p, QColor(0, 64, 224), kRowImageWidth, kRowImageHeight);
        break;
    default:
        break;
    }
    return pm;
}

QPixmap HeaderImage(int index)
{
    QPixmap pm = Blank(kHeaderImageWidth, kHeaderImageHeight, Qt::white);
    QPainter p(&pm);
    if (index == 0) {
        DrawPixels(p, Qt::black, kSmallClip, kHeaderImageHeight, QPoint(0, 0));
    } else if (index == 1) {
        DrawExclamation(p, Qt::black, kHeaderImageWidth + 1, kHeaderImageHeight);
    }
    return pm;
}

QPixmap PaperClipButton()
{
    QPixmap pm = Blank(16, 16, Qt::white);
    QPainter p(&pm);
    DrawPixels(p, QColor(0, 0, 128), kLargeClip, 15, QPoint(3, 0));
    return pm;
}

} // namespace mendora::viewart
