#include "msgbox/AreaStyle.h"

#include <QGuiApplication>
#include <QPalette>

#include <cstring>

namespace mendora {

namespace {

QRgb ToQRgb(ColorRef c)
{
    return qRgb(static_cast<int>(RedOf(c)), static_cast<int>(GreenOf(c)),
                static_cast<int>(BlueOf(c)));
}

} // namespace

ColorRef SystemButtonFace()
{
    const QColor face = QGuiApplication::palette().color(QPalette::Active, QPalette::Button);
    return Rgb(static_cast<unsigned>(face.red()), static_cast<unsigned>(face.green()),
               static_cast<unsigned>(face.blue()));
}

BumpPalette MakeBumpPalette(ColorRef start, ColorRef middle, ColorRef end)
{
    BumpPalette palette{};
    auto mix = [](unsigned (*channel)(ColorRef), ColorRef a, int wa, ColorRef b, int wb) {
        return static_cast<unsigned>(
            (static_cast<int>(channel(a)) * wa + static_cast<int>(channel(b)) * wb) / 128);
    };
    for (int i = 0; i <= 127; ++i) {
        palette[static_cast<std::size_t>(i)] =
            Rgb(mix(RedOf, end, 128 - i, middle, i), mix(GreenOf, end, 128 - i, middle, i),
                mix(BlueOf, end, 128 - i, middle, i));
    }
    for (int j = 1; j <= 128; ++j) {
        palette[static_cast<std::size_t>(127 + j)] =
            Rgb(mix(RedOf, start, j, middle, 128 - j), mix(GreenOf, start, j, middle, 128 - j),
                mix(BlueOf, start, j, middle, 128 - j));
    }
    return palette;
}

int BumpColumnEntry(int x, int width)
{
    if (width <= 0)
        return 128;
    // Both divisions truncate toward zero, as C++ integer division does.
    const long long t = (255LL * (width - x)) / width - 127;
    const long long q = (t * t * t) / 16384;
    long long entry = (128 + q) % 256;
    if (entry < 0)
        entry += 256;
    return static_cast<int>(entry);
}

QImage RenderAreaStyle(const AreaStyle& style, QSize size)
{
    QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    if (style.effect != AreaStyle::kVerticalBump) {
        image.fill(ToQRgb(SystemButtonFace()));
        return image;
    }
    const BumpPalette palette = MakeBumpPalette(style.start, style.middle, style.end);
    const int width = image.width();
    // Every row is the same: build the first, then copy it down.
    auto* first = reinterpret_cast<QRgb*>(image.scanLine(0));
    for (int x = 0; x < width; ++x)
        first[x] = ToQRgb(palette[static_cast<std::size_t>(BumpColumnEntry(x, width))]);
    const auto rowBytes = static_cast<std::size_t>(width) * sizeof(QRgb);
    for (int y = 1; y < image.height(); ++y)
        std::memcpy(image.scanLine(y), first, rowBytes);
    return image;
}

} // namespace mendora
