#include "app/AppSettings.h"

#include "app/Themes.h"

#include <QSettings>

namespace mendora::settings {

QString CompanyKey()
{
    return QStringLiteral("Orvanta");
}

QString ApplicationKey()
{
    return QStringLiteral("Mendora for Outlook Express");
}

int ReadTheme()
{
    QSettings store(CompanyKey(), ApplicationKey());
    bool ok = false;
    const int theme = store.value(QStringLiteral("Settings/Theme"), kDefaultTheme).toInt(&ok);
    return ok ? ClampTheme(theme) : kDefaultTheme;
}

void WriteTheme(int theme)
{
    QSettings store(CompanyKey(), ApplicationKey());
    store.setValue(QStringLiteral("Settings/Theme"), theme);
    store.sync();
}

QString BarStateProfile()
{
    return QStringLiteral("CommandBars3");
}

QString SecondBarStateProfile()
{
    return QStringLiteral("CommandBars2");
}

} // namespace mendora::settings
