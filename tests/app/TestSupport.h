// Shared by the shell's widget tests: private settings, screenshots.
#pragma once

#include <QSettings>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>

namespace mendora::testing {

// Points the user settings at a private folder, so that tests neither see nor change the
// settings of the person running them. Call before anything reads a setting.
inline void UsePrivateSettings(const QTemporaryDir& dir)
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
}

inline void ClearSettings()
{
    QSettings store(QStringLiteral("Orvanta"), QStringLiteral("Mendora for Outlook Express"));
    store.clear();
    store.sync();
}

// Saves what a widget shows when MENDORA_SCREENSHOT_DIR names a folder.
inline void SaveScreenshot(QWidget& widget, const QString& name)
{
    const QString dir = qEnvironmentVariable("MENDORA_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        widget.grab().save(dir + QLatin1Char('/') + name);
}

} // namespace mendora::testing
