#include "store/maintenance.h"

#include "store/backup/backup_archive.h"
#include "store/database.h"
#include "common/paths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vel {

namespace {

// The test table (Psy.dbf, .fpt, .mdx) lives in its own fixed folder ("data\"), whatever
// DataDir says; with the default DataDir "Data\" it is the same folder, names being matched
// without regard to case. Its folder and index file are read from its definition.
struct TestTablePlace {
    QString folder;
    QString index;   // "Psy.mdx"
};

TestTablePlace testTablePlace()
{
    Table t;
    DefineTestTable(t);
    const QString name = t.tableName();
    return {ResolvePath(t.folder()), name.left(name.lastIndexOf(QLatin1Char('.'))) + QStringLiteral(".mdx")};
}

// Deletes the files of `folder` whose names match one of the patterns, letter case aside,
// hidden ones included. A file that cannot be deleted is passed over: the table engine
// then uses it as it is.
void deleteFiles(const QString &folder, const QStringList &patterns)
{
    const QDir dir(folder);
    if (!dir.exists())
        return;
    const QStringList names = dir.entryList(patterns, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names)
        QFile::remove(dir.filePath(name));
}

bool sameFolder(const QString &a, const QString &b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

// The name the archive keeps for a folder: its own name ("Data"), so that unpacking the
// archive in the home folder puts the files back where they were.
QString entryRootOf(const QString &folder)
{
    return QFileInfo(QDir::cleanPath(QDir(folder).absolutePath())).fileName();
}

} // namespace

void CloseMaintenance(const QString &dataFolder, const QString &backupFolder, const MaintenanceHooks &hooks)
{
    const QString dataDir = ResolvePath(dataFolder);
    const TestTablePlace testTable = testTablePlace();
    const QString &testDir = testTable.folder;
    const bool testTableApart = QFileInfo(testDir).isDir() && !sameFolder(testDir, dataDir);

    deleteFiles(dataDir, {QStringLiteral("*.mdx")});
    if (testTableApart)
        deleteFiles(testDir, {testTable.index});

    const QString backupDir = ResolvePath(backupFolder);
    if (!QFileInfo(backupDir).isDir())
        QDir().mkdir(backupDir);   // one level; a failure is reported below

    if (!QFileInfo(backupDir).isDir()) {
        if (hooks.warn)
            hooks.warn(QStringLiteral("Велмора"),
                       QStringLiteral("Ошибка! Невозможно создать архивную папку. Освободите место "
                                      "и снимите защиту от записи на архивном диске."));
        return;
    }

    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_hh-mm-ss"));
    if (hooks.showStatus)
        hooks.showStatus(QStringLiteral("Архивирую базу..."));
    if (hooks.disableWindow)
        hooks.disableWindow();

    QList<ArchiveFolder> folders{{dataDir, entryRootOf(dataDir)}};
    if (testTableApart)
        folders.append({testDir, entryRootOf(testDir)});
    const ArchiveResult result = WriteBackupArchive(folders, backupDir, stamp);
    if (result.code > 0 && hooks.warn) {
        QString text = QStringLiteral("Ошибка архивации! Код %1").arg(result.code);
        if (!result.reason.isEmpty())
            text += QLatin1Char('\n') + result.reason;
        hooks.warn(QStringLiteral("Велмора — Закрытие"), text);
    }
}

QString FixIndices(const QString &dataDir)
{
    const TestTablePlace testTable = testTablePlace();
    deleteFiles(ResolvePath(dataDir), {QStringLiteral("patients.mdx")});
    deleteFiles(testTable.folder, {testTable.index});
    return QStringLiteral("Индексы обновлены.");
}

} // namespace vel
