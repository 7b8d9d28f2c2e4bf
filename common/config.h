#pragma once
// Process-wide configuration, set once during start-up and read-only afterwards.
#include <QLocale>
#include <QString>

namespace vel {

struct AppConfig {
    QString DataDir = QStringLiteral("Data/");       // always ends with a separator
    QString BackupDir = QStringLiteral("Backup/");   // always ends with a separator
    bool LegacyIniFile = false;
    QString SettingsFile = QStringLiteral("Data/velmora.ini");
    QString FallbackSettingsFile = QStringLiteral("Data/Postavka.ini");
    bool DebugMode = false;
    QLocale AppFormatSettings = QLocale::system();   // the user's date and time conventions
};

// The one configuration of the process. Start-up fills it; everything else reads it.
const AppConfig &Config();
AppConfig &MutableConfig();

} // namespace vel
