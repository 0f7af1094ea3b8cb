// The four paint themes of the command bars and panes.
#pragma once

#include <QColor>
#include <QString>

namespace mendora {

enum PaintTheme : int {
    ThemeOffice2000 = 0,
    ThemeOfficeXP = 1,
    ThemeOffice2003 = 2,
    ThemeWinXP = 3,
};

constexpr int kThemeCount = 4;
constexpr int kDefaultTheme = ThemeOffice2003;

int ClampTheme(int theme);

// The menu command of each theme, and back.
int ThemeCommand(int theme);
int ThemeFromCommand(int command); // -1 when the command is no theme's

// The dialog-control theme that goes with a paint theme: 0, 1 or 2.
int DialogControlTheme(int theme);

struct ThemeLook {
    QColor face;          // splitters and the space between bars
    QColor captionBorder; // caption band
    QColor captionFace;
    QColor captionFace2;  // the gradient's other end (same as captionFace when flat)
    QColor captionText;
    QColor headerFace;    // the folder tree's header
    QColor headerText;
};

ThemeLook LookOf(int theme);

// The style sheet that paints the frame's bars, menus, status bar and their buttons.
QString ThemeStyleSheet(int theme);

} // namespace mendora
