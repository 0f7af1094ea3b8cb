// The look of a painted area: an effect number and three colours. The message box uses it for
// its window background. Colours are 24-bit values in the platform's red-green-blue layout:
// red in the low byte, then green, then blue (so RGB(216,231,252) is 0xFCE7D8).
#pragma once

#include <QImage>
#include <QSize>

#include <array>
#include <cstdint>

namespace mendora {

using ColorRef = std::uint32_t;

constexpr ColorRef Rgb(unsigned red, unsigned green, unsigned blue)
{
    return (red & 0xFFu) | ((green & 0xFFu) << 8) | ((blue & 0xFFu) << 16);
}
constexpr unsigned RedOf(ColorRef c) { return c & 0xFFu; }
constexpr unsigned GreenOf(ColorRef c) { return (c >> 8) & 0xFFu; }
constexpr unsigned BlueOf(ColorRef c) { return (c >> 16) & 0xFFu; }

// The system's button-face colour, the default of every colour of an area.
ColorRef SystemButtonFace();

struct AreaStyle {
    static constexpr int kNoEffect = -1;
    static constexpr int kVerticalBump = 12;

    int effect = kNoEffect;
    ColorRef start = SystemButtonFace();
    ColorRef middle = SystemButtonFace();
    ColorRef end = SystemButtonFace();
};

using BumpPalette = std::array<ColorRef, 256>;

// The 256 colours of the vertical bump: entry 0 is the end colour, entry 255 the start colour,
// the middle colour in the centre.
BumpPalette MakeBumpPalette(ColorRef start, ColorRef middle, ColorRef end);

// The palette entry that column x of a background width pixels wide uses.
int BumpColumnEntry(int x, int width);

// Paints the area style over an image of the given size. Without an effect (or with one this
// program does not know) the image is filled with the start colour's default, the button face.
QImage RenderAreaStyle(const AreaStyle& style, QSize size);

} // namespace mendora
