// The program's pictures, drawn at run time: the program icon, the toolbar's image strips,
// the About picture and the small glyphs of the command bars.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace mendora::artwork {

// Toolbar image strips: four images side by side, "&Repair" first, "&Save" second, an open
// folder third, "Help" fourth.
constexpr QSize kLargeImage(42, 35);
constexpr QSize kSmallImage(16, 16);
constexpr int kStripImages = 4;
enum StripImage { ImageRepair = 0, ImageSave = 1, ImageOpen = 2, ImageHelp = 3 };

QPixmap LargeStrip();
QPixmap SmallStrip();
// One image of both strips as an icon with a large and a small size.
QIcon StripIcon(int index);

// Icon 128, the program's.
QIcon ProgramIcon();

// The About box's picture, 359 × 335.
constexpr QSize kAboutPicture(359, 335);
QPixmap AboutPicture();

// The chevron of the toolbar's options drop-down and of a personalised menu's expander.
QPixmap ChevronGlyph(bool pointingDown, const QColor& color);

} // namespace mendora::artwork
