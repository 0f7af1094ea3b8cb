// Where the program keeps its settings: the current user's settings under the company
// "Orvanta" and the application "Mendora for Outlook Express". Only the theme and the command
// bars' state are kept there.
#pragma once

#include <QString>

namespace mendora::settings {

QString CompanyKey();     // "Orvanta"
QString ApplicationKey(); // "Mendora for Outlook Express"

// "Settings" / "Theme", 2 when missing or out of range.
int ReadTheme();
void WriteTheme(int theme);

// The command bars' two saved states.
QString BarStateProfile();        // "CommandBars3": loaded first, written at exit
QString SecondBarStateProfile();  // "CommandBars2": loaded after the theme, never written

} // namespace mendora::settings
