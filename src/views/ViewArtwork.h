// The small pictures of the browsing views, drawn in code.
#pragma once

#include <QColor>
#include <QPixmap>

namespace mendora::viewart {

// The message list's row image strip, 14 x 13 each: 0 an open envelope, 1 a closed yellow
// envelope (every row), 2 a blue exclamation mark (rows with an attachment).
constexpr int kRowImageWidth = 14;
constexpr int kRowImageHeight = 13;
QPixmap RowImage(int index);

// The list header's image strip, 7 x 11 each, on white: 0 a black paper clip (column 1),
// 1 a black exclamation mark (column 0).
constexpr int kHeaderImageWidth = 7;
constexpr int kHeaderImageHeight = 11;
QPixmap HeaderImage(int index);

// The attachments strip's button: a dark-blue paper clip on white, 16 x 16.
QPixmap PaperClipButton();

} // namespace mendora::viewart
