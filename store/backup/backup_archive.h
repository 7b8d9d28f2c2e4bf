#pragma once
// The backup archive of the data folders: one standard ZIP archive (libzip, deflate)
// holding every file and sub-folder of the given folders, hidden files included.
//
// The archive is written under a temporary name in the backup folder, flushed to disk and
// only then given its final name, which is never one that already exists. So a crash, a
// full disk or a second close within the same second never leaves a truncated archive
// under a final name nor replaces an earlier archive.
#include <QList>
#include <QString>

namespace vel {

// A folder to archive. Its entries are named entryRoot + "/" + the path inside the folder
// ("Data/patients.dbf", "Data/sub/"), so that the folder name is kept; an empty entryRoot
// stores the paths inside the folder alone.
struct ArchiveFolder {
    QString path;
    QString entryRoot;
};

struct ArchiveResult {
    int code = 0;          // 0: written; above 0: what failed, a libzip code (ZIP_ER_*)
    QString reason;        // one line for the operator, empty on success
    QString archivePath;   // the archive written, empty on failure
};

// Deflate level of the entries: the level of Info-ZIP's default, and as fast or faster.
constexpr int BackupCompressionLevel = 6;

// Writes the archive of `folders` into the existing folder `backupDir` as stamp + ".zip",
// or stamp + "_2.zip", "_3.zip", ... when that name is taken.
// - A folder that lies inside another folder of the list is archived once, inside it.
// - Anything of backupDir that lies inside a folder is left out (earlier archives would
//   otherwise go into every later one); when backupDir is one of the folders itself, its
//   archives and their temporaries are left out.
// - Sub-folders reached through symbolic links are not entered (a link may loop);
//   linked files are stored with their content. Pipes, sockets and devices are skipped.
// - On failure nothing is left in backupDir. The folders are only read.
// Temporaries of earlier writes that were cut short (older than an hour) are removed first.
ArchiveResult WriteBackupArchive(const QList<ArchiveFolder> &folders, const QString &backupDir,
                                 const QString &stamp);

} // namespace vel
