#include "common/paths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace vel {

QString SlashPath(const QString &path)
{
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p;
}

QString ResolvePath(const QString &path)
{
    const QString p = SlashPath(path);
    if (p.isEmpty())
        return p;
    const bool absolute = p.startsWith(QLatin1Char('/'));
    const bool trailing = p.endsWith(QLatin1Char('/'));
    const QStringList parts = p.split(QLatin1Char('/'), Qt::SkipEmptyParts);

    QString done = absolute ? QStringLiteral("/") : QString();
    bool matching = true;   // once a component is missing, the rest cannot exist either
    for (const QString &part : parts) {
        QString chosen = part;
        if (matching && part != QLatin1String(".") && part != QLatin1String("..")) {
            const QDir dir(done.isEmpty() ? QStringLiteral(".") : done);
            if (!QFileInfo::exists(dir.filePath(part))) {
                const QStringList entries =
                    dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
                chosen.clear();
                for (const QString &e : entries) {
                    if (e.compare(part, Qt::CaseInsensitive) == 0) {
                        chosen = e;
                        break;
                    }
                }
                if (chosen.isEmpty()) {
                    chosen = part;
                    matching = false;
                }
            }
        }
        if (!done.isEmpty() && !done.endsWith(QLatin1Char('/')))
            done += QLatin1Char('/');
        done += chosen;
    }
    if (trailing && !done.endsWith(QLatin1Char('/')))
        done += QLatin1Char('/');
    return done;
}

QString HomeFolder()
{
    const QString env = qEnvironmentVariable("VELMORA_HOME");
    if (!env.isEmpty())
        return QDir(env).absolutePath();
    QString dir = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (dir.isEmpty())
        dir = QDir::home().filePath(QStringLiteral(".local/share/Velmora"));
    return dir;
}

} // namespace vel
