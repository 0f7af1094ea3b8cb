// Command identifiers of the menus, the toolbar and the status bar panes. They are the ids the
// actions carry (QAction property "commandId"), so that every command is known by one number.
#pragma once

namespace mendora::cmd {

// menu 128
constexpr int kRepair = 32838;
constexpr int kSave = 32839;
constexpr int kExit = 57665;
constexpr int kToolbar = 59392;
constexpr int kStatusBar = 59393;
constexpr int kThemeOffice2000 = 32804;
constexpr int kThemeOfficeXP = 32803;
constexpr int kThemeOffice2003 = 32805;
constexpr int kThemeWinXP = 32807;
constexpr int kHelp = 32809;
constexpr int kAbout = 57664;

// the command bars' own customisation command
constexpr int kCustomize = 35001;

// status bar panes
constexpr int kProductPane = 32818;
constexpr int kMessagePane = 0;
constexpr int kIndicatorCaps = 59137;
constexpr int kIndicatorNum = 59138;
constexpr int kIndicatorScroll = 59139;

// commands that personalised menus hide until the menu is expanded
constexpr int kRarelyUsed[] = {57604, 57609, 57635, 57634, 57637, 59393,
                               32786, 32788, 32793, 32795, 32797, 32799};

// resources
constexpr int kMenuMain = 128;
constexpr int kToolbarStandard = 130;
constexpr int kIconProgram = 128;

// string table
constexpr int kStringAllCommands = 9337;
constexpr int kStringNewMenu = 9314;
constexpr int kStringReady = 57345;

} // namespace mendora::cmd
