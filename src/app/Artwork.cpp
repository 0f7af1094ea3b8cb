#include "app/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace mendora::artwork {

namespace {

// Every glyph is drawn in a 100 × 100 box; Render scales it into the target square.
using Glyph = void (*)(QPainter&);

void DrawEnvelope(QPainter& p, const QRectF& r)
{
    QLinearGradient paper(r.topLeft(), r.bottomRight());
    paper.setColorAt(0, QColor(255, 253, 240));
    paper.setColorAt(1, QColor(236, 226, 190));
    p.setPen(QPen(QColor(96, 80, 40), 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(paper);
    p.drawRoundedRect(r, 3, 3);
    // the flap and the folds
    QPainterPath flap;
    flap.moveTo(r.topLeft());
    flap.lineTo(r.center().x(), r.top() + r.height() * 0.58);
    flap.lineTo(r.topRight());
    p.setBrush(QColor(250, 240, 205));
    p.drawPath(flap);
    p.setPen(QPen(QColor(150, 130, 80), 2.0));
    p.drawLine(QPointF(r.left() + 3, r.bottom() - 3), QPointF(r.left() + r.width() * 0.38, r.top() + r.height() * 0.5));
    p.drawLine(QPointF(r.right() - 3, r.bottom() - 3), QPointF(r.right() - r.width() * 0.38, r.top() + r.height() * 0.5));
}

void DrawWrench(QPainter& p)
{
    p.save();
    p.translate(66, 62);
    p.rotate(-45);
    QLinearGradient steel(QPointF(0, -8), QPointF(0, 8));
    steel.setColorAt(0, QColor(236, 240, 246));
    steel.setColorAt(0.5, QColor(160, 170, 186));
    steel.setColorAt(1, QColor(96, 104, 120));
    p.setPen(QPen(QColor(50, 56, 70), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(steel);
    QPainterPath handle;
    handle.addRoundedRect(QRectF(-6, -34, 12, 52), 5, 5);
    QPainterPath head;
    head.addEllipse(QPointF(0, -36), 14, 14);
    QPainterPath jaw;
    jaw.addRect(QRectF(-5, -54, 10, 20));
    QPainterPath shape = handle.united(head).subtracted(jaw);
    p.drawPath(shape);
    p.restore();
}

void DrawRepair(QPainter& p)
{
    DrawEnvelope(p, QRectF(6, 18, 70, 50));
    DrawWrench(p);
}

void DrawSave(QPainter& p)
{
    const QRectF body(12, 10, 76, 80);
    QLinearGradient blue(body.topLeft(), body.bottomRight());
    blue.setColorAt(0, QColor(92, 136, 214));
    blue.setColorAt(1, QColor(28, 58, 140));
    p.setPen(QPen(QColor(16, 32, 84), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(blue);
    QPainterPath disk;
    disk.moveTo(body.topLeft());
    disk.lineTo(body.right() - 12, body.top());
    disk.lineTo(body.right(), body.top() + 12);
    disk.lineTo(body.bottomRight());
    disk.lineTo(body.bottomLeft());
    disk.closeSubpath();
    p.drawPath(disk);
    // the shutter
    p.setBrush(QColor(214, 220, 232));
    p.setPen(QPen(QColor(60, 70, 90), 2));
    p.drawRect(QRectF(30, 10, 40, 26));
    p.setBrush(QColor(40, 60, 110));
    p.drawRect(QRectF(56, 14, 9, 18));
    // the label
    p.setBrush(QColor(255, 255, 255));
    p.setPen(QPen(QColor(120, 130, 150), 2));
    p.drawRect(QRectF(22, 50, 56, 36));
    p.setPen(QPen(QColor(200, 60, 60), 2.5));
    p.drawLine(QPointF(28, 60), QPointF(72, 60));
    p.setPen(QPen(QColor(150, 160, 180), 2));
    p.drawLine(QPointF(28, 70), QPointF(72, 70));
    p.drawLine(QPointF(28, 79), QPointF(72, 79));
}

void DrawOpen(QPainter& p)
{
    p.setPen(QPen(QColor(120, 86, 10), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(232, 188, 72));
    QPainterPath back;
    back.moveTo(8, 24);
    back.lineTo(36, 24);
    back.lineTo(42, 32);
    back.lineTo(84, 32);
    back.lineTo(84, 84);
    back.lineTo(8, 84);
    back.closeSubpath();
    p.drawPath(back);
    QLinearGradient front(QPointF(0, 44), QPointF(0, 84));
    front.setColorAt(0, QColor(255, 228, 130));
    front.setColorAt(1, QColor(236, 180, 50));
    p.setBrush(front);
    QPainterPath flap;
    flap.moveTo(20, 44);
    flap.lineTo(96, 44);
    flap.lineTo(84, 84);
    flap.lineTo(8, 84);
    flap.closeSubpath();
    p.drawPath(flap);
}

void DrawHelp(QPainter& p)
{
    QRadialGradient ball(QPointF(38, 34), 60);
    ball.setColorAt(0, QColor(150, 196, 255));
    ball.setColorAt(0.6, QColor(40, 100, 210));
    ball.setColorAt(1, QColor(10, 40, 130));
    p.setPen(QPen(QColor(10, 30, 100), 3));
    p.setBrush(ball);
    p.drawEllipse(QPointF(50, 50), 42, 42);
    QFont font(QStringLiteral("Sans Serif"));
    font.setPixelSize(64);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(8, 6, 84, 88), Qt::AlignCenter, QStringLiteral("?"));
}

void DrawProgram(QPainter& p)
{
    DrawEnvelope(p, QRectF(4, 16, 76, 56));
    // a green recovery arrow coming round the envelope's corner
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(20, 110, 30), 11, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(46, 46, 44, 44), 200 * 16, 250 * 16);
    p.setPen(QPen(QColor(80, 200, 80), 6, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(46, 46, 44, 44), 200 * 16, 250 * 16);
    QPainterPath head;
    head.moveTo(40, 62);
    head.lineTo(58, 62);
    head.lineTo(49, 78);
    head.closeSubpath();
    p.setPen(QPen(QColor(20, 110, 30), 2));
    p.setBrush(QColor(80, 200, 80));
    p.drawPath(head);
}

QPixmap Render(Glyph glyph, QSize size)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const int side = std::min(size.width(), size.height());
    p.translate((size.width() - side) / 2.0, (size.height() - side) / 2.0);
    p.scale(side / 100.0, side / 100.0);
    glyph(p);
    return pixmap;
}

constexpr Glyph kStripGlyphs[kStripImages] = {DrawRepair, DrawSave, DrawOpen, DrawHelp};

QPixmap Strip(QSize image)
{
    QPixmap strip(image.width() * kStripImages, image.height());
    strip.fill(Qt::transparent);
    QPainter p(&strip);
    for (int i = 0; i < kStripImages; ++i)
        p.drawPixmap(i * image.width(), 0, Render(kStripGlyphs[i], image));
    return strip;
}

} // namespace

QPixmap LargeStrip()
{
    return Strip(kLargeImage);
}

QPixmap SmallStrip()
{
    return Strip(kSmallImage);
}

QIcon StripIcon(int index)
{
    QIcon icon;
    const QPixmap large = LargeStrip();
    const QPixmap small = SmallStrip();
    icon.addPixmap(large.copy(index * kLargeImage.width(), 0, kLargeImage.width(), kLargeImage.height()));
    icon.addPixmap(small.copy(index * kSmallImage.width(), 0, kSmallImage.width(), kSmallImage.height()));
    return icon;
}

QIcon ProgramIcon()
{
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64})
        icon.addPixmap(Render(DrawProgram, QSize(side, side)));
    return icon;
}

QPixmap AboutPicture()
{
    QPixmap picture(kAboutPicture);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF all(QPointF(0, 0), QSizeF(kAboutPicture));

    QLinearGradient sky(all.topLeft(), all.bottomLeft());
    sky.setColorAt(0, QColor(18, 52, 138));
    sky.setColorAt(0.45, QColor(70, 130, 220));
    sky.setColorAt(0.46, QColor(216, 231, 252));
    sky.setColorAt(1, QColor(255, 255, 255));
    p.fillRect(all, sky);

    // sweeping bands across the header
    for (int i = 0; i < 4; ++i) {
        QPainterPath band;
        const double y = 40 + i * 26;
        band.moveTo(-10, y + 60);
        band.cubicTo(110, y - 40, 230, y + 90, 370, y - 10);
        p.setPen(QPen(QColor(255, 255, 255, 40 + i * 12), 10 - i * 2));
        p.setBrush(Qt::NoBrush);
        p.drawPath(band);
    }

    // the program's picture, large
    p.drawPixmap(QPoint(24, 22), Render(DrawProgram, QSize(110, 110)));

    QFont title(QStringLiteral("Sans Serif"));
    title.setPixelSize(26);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(255, 255, 255));
    p.drawText(QRectF(140, 34, 210, 40), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Mendora"));
    QFont sub(QStringLiteral("Sans Serif"));
    sub.setPixelSize(13);
    p.setFont(sub);
    p.setPen(QColor(220, 232, 255));
    p.drawText(QRectF(142, 72, 210, 40), Qt::AlignLeft | Qt::TextWordWrap,
               QStringLiteral("Mailbox recovery for\nOutlook Express"));

    // a row of recovered letters along the divide
    for (int i = 0; i < 5; ++i) {
        p.save();
        p.translate(30 + i * 62, 140 + (i % 2) * 6);
        p.rotate(-8 + i * 4);
        DrawEnvelope(p, QRectF(0, 0, 44, 30));
        p.restore();
    }

    p.setPen(QPen(QColor(126, 185, 240), 2));
    p.drawLine(QPointF(16, 292), QPointF(343, 292));
    return picture;
}

QPixmap ChevronGlyph(bool pointingDown, const QColor& color)
{
    QPixmap pixmap(QSize(11, 11));
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(QPen(color, 1.6));
    p.setRenderHint(QPainter::Antialiasing);
    if (pointingDown) {
        for (int k = 0; k < 2; ++k) {
            const double y = 2 + k * 4;
            p.drawLine(QPointF(2, y), QPointF(5.5, y + 3));
            p.drawLine(QPointF(5.5, y + 3), QPointF(9, y));
        }
    } else {
        for (int k = 0; k < 2; ++k) {
            const double x = 2 + k * 4;
            p.drawLine(QPointF(x, 2), QPointF(x + 3, 5.5));
            p.drawLine(QPointF(x + 3, 5.5), QPointF(x, 9));
        }
    }
    return pixmap;
}

} // namespace mendora::artwork
