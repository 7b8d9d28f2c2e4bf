#include "app/configuration.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include "app/platform/registry.h"
#include "common/paths.h"
#include "common/text.h"

namespace vel {

QString ShortDateFormat(const QLocale &locale)
{
    return locale.dateFormat(QLocale::ShortFormat);
}

QString LongTimeFormat(const QLocale &locale)
{
    // "t" (time zone) outside quoted text, with the spaces that set it apart.
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b\\s*"));
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    qsizetype start = 0;
    bool quoted = false;
    for (qsizetype i = 0; i <= format.size(); ++i) {
        if (i == format.size() || format.at(i) == QLatin1Char('\'')) {
            QString piece = format.mid(start, i - start);
            if (!quoted)
                piece.replace(zone, QStringLiteral(" "));
            out += piece;
            if (i < format.size())
                out += QLatin1Char('\'');
            quoted = !quoted;
            start = i + 1;
        }
    }
    return out.trimmed();
}

bool IsDebugSwitch(const QStringList &parameters)
{
    return !parameters.isEmpty() && NormalizeText(parameters.first()) == QStringLiteral("/debug");
}

QByteArray DebugLogHeader(const QDateTime &now, const QLocale &locale)
{
    const QString stamp = locale.toString(now.date(), ShortDateFormat(locale)) + QLatin1Char(' ')
        + locale.toString(now.time(), LongTimeFormat(locale));
    return ToCp1251(QStringLiteral("\r\n\r\n============== DEVICES INPUT LOG AT ") + stamp
                    + QStringLiteral(" ==============\r\n\r\n"));
}

void AppendDebugLogHeader(const QDateTime &now, const QLocale &locale)
{
    QFile log(ResolvePath(QStringLiteral("velmora.log")));
    if (log.open(QIODevice::WriteOnly | QIODevice::Append))
        log.write(DebugLogHeader(now, locale));
}

QString FolderValue(const platform::RegistryKey &key, const QString &valueName, const QString &fallback)
{
    QString text;
    switch (key.readString(valueName, &text)) {
    case platform::RegistryRead::Absent:
        return fallback;
    case platform::RegistryRead::WrongType:
        throw RegistryTypeError(valueName);
    case platform::RegistryRead::Ok:
        break;
    }
    if (text.isEmpty())
        return fallback;
    text = SlashPath(text);
    if (!text.endsWith(QLatin1Char('/')))
        text += QLatin1Char('/');
    return text;
}

void ReadFolderSettings(const platform::RegistryKey &key, AppConfig &config)
{
    config.DataDir = FolderValue(key, QStringLiteral("Data"), QStringLiteral("Data/"));
    config.BackupDir = FolderValue(key, QStringLiteral("BackupTo"), QStringLiteral("Backup/"));
    quint32 legacy = 0;
    if (key.readDWord(QStringLiteral("LegacyIniFile"), &legacy) == platform::RegistryRead::WrongType)
        throw RegistryTypeError(QStringLiteral("LegacyIniFile"));
    config.LegacyIniFile = legacy != 0;
    const QString folder = config.LegacyIniFile ? QString() : config.DataDir;
    config.SettingsFile = folder + QStringLiteral("velmora.ini");
    config.FallbackSettingsFile = folder + QStringLiteral("Postavka.ini");
}

bool EnsureDataFolder(const QString &dataDir)
{
    const QString path = ResolvePath(dataDir);
    if (QFileInfo(path).isDir())
        return true;
    return QDir().mkdir(path) || QFileInfo(path).isDir();
}

QString DefaultFilesRoot()
{
    const QString programDir = QCoreApplication::applicationDirPath();
    // Beside a build the program sits at the top of the build folder and the tools one
    // level below it; installed, the files are in the share folder of the same prefix.
    QStringList candidates = {programDir, programDir + QStringLiteral("/.."),
                              programDir + QStringLiteral("/../share/velmora")};
    candidates += QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("velmora"),
                                            QStandardPaths::LocateDirectory);
    for (const QString &root : candidates) {
        if (QFileInfo(root + QStringLiteral("/Defaults")).isDir())
            return QDir::cleanPath(root);
    }
    return {};
}

void InstallDefaultFiles(const QString &root)
{
    if (root.isEmpty())
        return;
    for (const QString &name : {QStringLiteral("Defaults/IMPORT.PTN")}) {
        const QString target = ResolvePath(name);
        if (QFileInfo::exists(target))
            continue;
        QDir().mkpath(QFileInfo(target).path());
        // The shipped file may be read-only (a system folder); the home folder's copy is
        // the user's own to edit.
        if (QFile::copy(root + QLatin1Char('/') + name, target))
            QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::WriteOwner);
    }
}

} // namespace vel
