#pragma once
// The configuration steps of start-up: the debug switch and its log, the folders and
// settings-file paths from the machine-wide settings, the data folder and the default
// files of the home folder. Plain functions, checked without starting the program.
#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <stdexcept>

#include "common/config.h"

namespace vel {

namespace platform { class RegistryKey; }

// A machine-wide value of the wrong type: start-up stops.
class RegistryTypeError : public std::runtime_error {
public:
    explicit RegistryTypeError(const QString &valueName)
        : std::runtime_error(valueName.toStdString()), m_name(valueName) {}
    QString valueName() const { return m_name; }
private:
    QString m_name;
};

// The debug switch: the first parameter (program name excluded), trimmed of spaces and
// lower-cased, is "/debug".
bool IsDebugSwitch(const QStringList &parameters);

// The locale's short date format and long time format, in QDateTime notation. The long
// time format leaves out the time zone, which a workstation's clock never shows
// (Russian: "dd.MM.yyyy" and "HH:mm:ss").
QString ShortDateFormat(const QLocale &locale);
QString LongTimeFormat(const QLocale &locale);

// The line that marks a start in debug mode in "velmora.log", with the date in the
// locale's short date format and the time in its long time format.
QByteArray DebugLogHeader(const QDateTime &now, const QLocale &locale);

// Appends the header to the log in the working directory (created when missing). A log
// that cannot be written is passed over.
void AppendDebugLogHeader(const QDateTime &now, const QLocale &locale);

// The folder a registry value names, ending in a separator; `fallback` when the value is
// absent or empty. "\" is read as "/". Throws RegistryTypeError when it is not a string.
QString FolderValue(const platform::RegistryKey &key, const QString &valueName, const QString &fallback);

// DataDir, BackupDir, LegacyIniFile and the two settings-file paths from the key.
// Throws RegistryTypeError.
void ReadFolderSettings(const platform::RegistryKey &key, AppConfig &config);

// Makes sure the data folder exists, creating one level when it does not. False when it
// neither exists nor can be created.
bool EnsureDataFolder(const QString &dataDir);

// The folder whose "Defaults" sub-folder holds the default files the program ships:
// the top of the build folder beside a build (the program's folder, the tools' parent),
// <prefix>/share/velmora beside an installed
// program, else "velmora" in a system data folder (/usr/local/share, /usr/share). Empty
// when none has them.
QString DefaultFilesRoot();

// Copies the default files (Defaults/IMPORT.PTN) from `root` into the working directory
// where they are missing; an existing file, in whatever letter case, is kept. Nothing
// happens when `root` is empty.
void InstallDefaultFiles(const QString &root = DefaultFilesRoot());

} // namespace vel
