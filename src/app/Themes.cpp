#include "app/Themes.h"

#include "app/CommandIds.h"

#include <QGuiApplication>
#include <QPalette>

namespace mendora {

int ClampTheme(int theme)
{
    return (theme < 0 || theme >= kThemeCount) ? kDefaultTheme : theme;
}

int ThemeCommand(int theme)
{
    switch (theme) {
    case ThemeOffice2000:
        return cmd::kThemeOffice2000;
    case ThemeOfficeXP:
        return cmd::kThemeOfficeXP;
    case ThemeOffice2003:
        return cmd::kThemeOffice2003;
    case ThemeWinXP:
        return cmd::kThemeWinXP;
    default:
        return 0;
    }
}

int ThemeFromCommand(int command)
{
    for (int theme = 0; theme < kThemeCount; ++theme) {
        if (ThemeCommand(theme) == command)
            return theme;
    }
    return -1;
}

int DialogControlTheme(int theme)
{
    switch (theme) {
    case ThemeOfficeXP:
        return 1;
    case ThemeOffice2003:
        return 2;
    default:
        return 0;
    }
}

ThemeLook LookOf(int theme)
{
    const QPalette system = QGuiApplication::palette();
    ThemeLook look;
    switch (ClampTheme(theme)) {
    case ThemeOffice2000:
    case ThemeOfficeXP:
        look.face = QColor(212, 208, 200);
        look.captionBorder = system.color(QPalette::Button);
        look.captionFace = system.color(QPalette::Dark);
        look.captionFace2 = look.captionFace;
        look.captionText = system.color(QPalette::Base);
        look.headerFace = QColor(212, 208, 200);
        look.headerText = QColor(0, 0, 0);
        break;
    case ThemeOffice2003:
        look.face = QColor(171, 199, 243);
        look.captionBorder = QColor(59, 97, 156);
        look.captionFace = QColor(89, 135, 214);
        look.captionFace2 = QColor(3, 56, 148);
        look.captionText = QColor(255, 255, 255);
        look.headerFace = QColor(221, 236, 254);
        look.headerText = QColor(0, 0, 0);
        break;
    case ThemeWinXP:
    default:
        look.face = QColor(236, 233, 216);
        look.captionBorder = QColor(172, 168, 153);
        look.captionFace = QColor(122, 150, 223);
        look.captionFace2 = QColor(61, 92, 182);
        look.captionText = QColor(255, 255, 255);
        look.headerFace = QColor(235, 234, 219);
        look.headerText = QColor(0, 0, 0);
        break;
    }
    return look;
}

namespace {

// Shared by all themes: the panes of the status bar and the chevron of the toolbar.
const char* const kCommon = R"(
QStatusBar QLabel#StatusPane {
  border: 1px solid; border-color: #808080 #FFFFFF #FFFFFF #808080; padding: 0px 3px;
}
QStatusBar QLabel#StatusPaneRaised {
  border: 1px solid; border-color: #FFFFFF #808080 #808080 #FFFFFF; padding: 0px 1px;
}
QStatusBar::item { border: none; }
QToolBar QToolButton#ToolbarOptions { padding: 0px; margin: 0px; }
QToolBar QToolButton#ToolbarOptions::menu-indicator { image: none; width: 0px; }
QMenu::item { padding: 3px 26px 3px 28px; border: 1px solid transparent; }
QMenu::icon { padding-left: 3px; }
QMenu::separator { height: 1px; margin: 3px 4px 3px 28px; }
)";

const char* const kOffice2000 = R"(
QMainWindow { background: #D4D0C8; }
QMainWindow::separator { background: #D4D0C8; }
QMenuBar { background: #D4D0C8; border: 1px solid; border-color: #FFFFFF #808080 #808080 #FFFFFF; padding: 1px; }
QMenuBar::item { background: transparent; padding: 2px 7px; border: 1px solid transparent; color: #000000; }
QMenuBar::item:selected { border-color: #FFFFFF #808080 #808080 #FFFFFF; }
QMenuBar::item:pressed { border-color: #808080 #FFFFFF #FFFFFF #808080; }
QToolBar { background: #D4D0C8; border: 1px solid; border-color: #FFFFFF #808080 #808080 #FFFFFF; padding: 2px; spacing: 1px; }
QToolButton { background: transparent; border: 1px solid transparent; padding: 2px 5px; color: #000000; }
QToolButton:hover { border-color: #FFFFFF #808080 #808080 #FFFFFF; }
QToolButton:pressed, QToolButton:checked { border-color: #808080 #FFFFFF #FFFFFF #808080; background: #E0DDD6; }
QMenu { background: #D4D0C8; border: 1px solid; border-color: #FFFFFF #404040 #404040 #FFFFFF; padding: 2px; }
QMenu::item { color: #000000; }
QMenu::item:selected { background: #0A246A; color: #FFFFFF; }
QMenu::item:disabled { color: #808080; }
QMenu::separator { background: #808080; }
QStatusBar { background: #D4D0C8; color: #000000; }
)";

const char* const kOfficeXP = R"(
QMainWindow { background: #D4D0C8; }
QMainWindow::separator { background: #D4D0C8; }
QMenuBar { background: #D4D0C8; padding: 1px; }
QMenuBar::item { background: transparent; padding: 2px 7px; border: 1px solid transparent; color: #000000; }
QMenuBar::item:selected { background: #B6BDD2; border-color: #0A246A; }
QMenuBar::item:pressed { background: #F9F8F7; border-color: #666666; border-bottom-color: #F9F8F7; }
QToolBar { background: #EFEDE6; border: 1px solid #C5C2B8; border-radius: 2px; padding: 2px; spacing: 1px; }
QToolButton { background: transparent; border: 1px solid transparent; padding: 2px 5px; color: #000000; }
QToolButton:hover { background: #B6BDD2; border-color: #0A246A; }
QToolButton:pressed, QToolButton:checked { background: #8592B5; border-color: #0A246A; }
QMenu { background: #F9F8F7; border: 1px solid #666666; padding: 2px; }
QMenu::item { color: #000000; }
QMenu::item:selected { background: #B6BDD2; border-color: #0A246A; }
QMenu::item:disabled { color: #A7A6AA; }
QMenu::separator { background: #A6A6A6; }
QStatusBar { background: #D4D0C8; color: #000000; }
)";

const char* const kOffice2003 = R"(
QMainWindow { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #9EBEF5, stop:1 #C4DAFA); }
QMainWindow::separator { background: #9EBEF5; }
QMenuBar { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #9EBEF5, stop:1 #C4DAFA); padding: 1px; }
QMenuBar::item { background: transparent; padding: 2px 7px; border: 1px solid transparent; color: #000000; }
QMenuBar::item:selected { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #FFF4CC, stop:1 #FFD091); border-color: #000080; }
QMenuBar::item:pressed { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #E3EFFF, stop:1 #87ADE4); border-color: #002D96; border-bottom-color: #87ADE4; }
QToolBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #DDECFE, stop:0.5 #C1D8F9, stop:1 #81A9E2);
           border: none; border-bottom: 1px solid #3B619C; border-right: 1px solid #3B619C; border-radius: 3px; padding: 2px; spacing: 1px; }
QToolButton { background: transparent; border: 1px solid transparent; padding: 2px 5px; color: #000000; }
QToolButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #FFF4CC, stop:1 #FFD091); border-color: #000080; }
QToolButton:pressed, QToolButton:checked { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #FE914E, stop:1 #FFD38E); border-color: #000080; }
QMenu { background: #F6F6F6; border: 1px solid #002D96; padding: 2px; }
QMenu::item { color: #000000; }
QMenu::item:selected { background: #FFEEC2; border-color: #000080; }
QMenu::item:disabled { color: #8D8D8D; }
QMenu::separator { background: #6A8CCB; }
QStatusBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #C4DAFA, stop:1 #9EBEF5); color: #000000; }
)";

const char* const kWinXP = R"(
QMainWindow { background: #ECE9D8; }
QMainWindow::separator { background: #ECE9D8; }
QMenuBar { background: #ECE9D8; padding: 1px; }
QMenuBar::item { background: transparent; padding: 2px 7px; border: 1px solid transparent; color: #000000; }
QMenuBar::item:selected { background: #316AC5; color: #FFFFFF; }
QMenuBar::item:pressed { background: #316AC5; color: #FFFFFF; }
QToolBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #FEFEFB, stop:0.6 #F0EEE4, stop:1 #D8D2BD);
           border: none; border-bottom: 1px solid #C5C2B2; padding: 2px; spacing: 1px; }
QToolButton { background: transparent; border: 1px solid transparent; border-radius: 3px; padding: 2px 5px; color: #000000; }
QToolButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #FFFFFF, stop:1 #E3E0D3); border-color: #CECEC3; }
QToolButton:pressed, QToolButton:checked { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #DDDAD0, stop:1 #EAE8E1); border-color: #9D9D92; }
QMenu { background: #FFFFFF; border: 1px solid #ACA899; padding: 2px; }
QMenu::item { color: #000000; }
QMenu::item:selected { background: #316AC5; color: #FFFFFF; }
QMenu::item:disabled { color: #ACA899; }
QMenu::separator { background: #ACA899; }
QStatusBar { background: #ECE9D8; color: #000000; }
)";

} // namespace

QString ThemeStyleSheet(int theme)
{
    const char* sheet = kOffice2003;
    switch (ClampTheme(theme)) {
    case ThemeOffice2000:
        sheet = kOffice2000;
        break;
    case ThemeOfficeXP:
        sheet = kOfficeXP;
        break;
    case ThemeWinXP:
        sheet = kWinXP;
        break;
    default:
        break;
    }
    return QString::fromLatin1(sheet) + QString::fromLatin1(kCommon);
}

} // namespace mendora
