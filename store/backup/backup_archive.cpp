#include "store/backup/backup_archive.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <zip.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace vel {

namespace {

// Names this code gives its archives and the temporaries they are written under:
// "2013-05-14_16-22-05.zip", "2013-05-14_16-22-05_2.zip", "...zip.part", and libzip's
// own "...zip.part.XXXXXX" beside it while it writes.
const QRegularExpression &archiveName()
{
    static const QRegularExpression re(QStringLiteral(
        R"(^\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d(_\d+)?\.zip(\.part(\.[^./]{6})?)?$)"));
    return re;
}

bool isTemporaryName(const QString &name)
{
    const QRegularExpressionMatch m = archiveName().match(name);
    return m.hasMatch() && !m.captured(2).isEmpty();
}

// A name is taken when anything has it, a dangling symbolic link included.
bool taken(const QString &path)
{
    const QFileInfo fi(path);
    return fi.exists() || fi.isSymLink();
}

QByteArray local(const QString &path) { return QFile::encodeName(path); }

// A file-size limit on the process must fail the write (EFBIG), not kill the program
// that is closing.
class FileSizeSignalIgnored {
public:
    FileSizeSignalIgnored()
    {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigaction(SIGXFSZ, &ignore, &m_old);
    }
    ~FileSizeSignalIgnored() { sigaction(SIGXFSZ, &m_old, nullptr); }
    FileSizeSignalIgnored(const FileSizeSignalIgnored &) = delete;
    FileSizeSignalIgnored &operator=(const FileSizeSignalIgnored &) = delete;

private:
    struct sigaction m_old {};
};

// 0 when done, else errno; EEXIST when `to` exists, which is then left as it is.
int renameNoReplace(const QString &from, const QString &to)
{
    const QByteArray f = local(from), t = local(to);
    if (::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    // A filesystem without it: a hard link refuses an existing name just the same.
    if (::link(f.constData(), t.constData()) == 0) {
        ::unlink(f.constData());
        return 0;
    }
    if (errno == EEXIST)
        return EEXIST;
    // No hard links either (FAT): look, then rename.
    if (taken(to))
        return EEXIST;
    return ::rename(f.constData(), t.constData()) == 0 ? 0 : errno;
}

// 0 when the file's data is on the disk, else errno.
int syncToDisk(const QString &path, bool folder)
{
    const int fd = ::open(local(path).constData(), O_RDONLY | O_CLOEXEC | (folder ? O_DIRECTORY : 0));
    if (fd < 0)
        return errno;
    const int rc = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return rc;
}

QString reasonFor(int zipCode, int sysErr, const QString &archive)
{
    if (sysErr == ENOSPC || sysErr == EDQUOT || sysErr == EFBIG)
        return QStringLiteral("Недостаточно места на архивном диске.");
    QString what;
    switch (zipCode) {
    case ZIP_ER_WRITE: what = QStringLiteral("ошибка записи"); break;
    case ZIP_ER_READ: what = QStringLiteral("ошибка чтения"); break;
    case ZIP_ER_OPEN: what = QStringLiteral("файл не открывается"); break;
    case ZIP_ER_TMPOPEN: what = QStringLiteral("не создаётся временный файл"); break;
    case ZIP_ER_RENAME: what = QStringLiteral("не переименовывается временный файл"); break;
    case ZIP_ER_CLOSE: what = QStringLiteral("ошибка при закрытии файла"); break;
    case ZIP_ER_SEEK:
    case ZIP_ER_TELL: what = QStringLiteral("ошибка позиционирования в файле"); break;
    case ZIP_ER_REMOVE: what = QStringLiteral("файл не удаляется"); break;
    default: {   // the codes that carry no system error
        zip_error_t error;
        zip_error_init(&error);
        zip_error_set(&error, zipCode, 0);
        what = QString::fromLocal8Bit(zip_error_strerror(&error));
        zip_error_fini(&error);
    }
    }
    if (sysErr != 0)
        what += QStringLiteral(": ") + QString::fromLocal8Bit(strerror(sysErr));
    return QStringLiteral("Не удалось записать архив «%1» (%2).").arg(QDir::toNativeSeparators(archive), what);
}

ArchiveResult failure(int code, const QString &reason)
{
    ArchiveResult r;
    r.code = code;
    r.reason = reason;
    return r;
}

struct Entry {
    QString name;     // in the archive; a folder's ends with "/"
    QString source;   // the file to store; empty for a folder
};

class EntryCollector {
public:
    explicit EntryCollector(const QString &backupCanonical) : m_backup(backupCanonical) {}

    void addFolder(const QString &path, const QString &entryRoot)
    {
        QString prefix;
        if (!entryRoot.isEmpty()) {
            prefix = entryRoot + QLatin1Char('/');
            entries.append({prefix, {}});
        }
        walk(path, prefix);
    }

    QList<Entry> entries;

private:
    void walk(const QString &folder, const QString &prefix)
    {
        const bool isBackupFolder = QFileInfo(folder).canonicalFilePath() == m_backup;
        const QFileInfoList items = QDir(folder).entryInfoList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo &fi : items) {
            if (fi.isDir()) {
                if (fi.isSymLink() || fi.canonicalFilePath() == m_backup)
                    continue;
                const QString name = prefix + fi.fileName() + QLatin1Char('/');
                entries.append({name, {}});
                walk(fi.filePath(), name);
            } else if (fi.isFile()) {   // regular files, directly or through a link
                if (isBackupFolder && archiveName().match(fi.fileName()).hasMatch())
                    continue;
                entries.append({prefix + fi.fileName(), fi.filePath()});
            }
        }
    }

    QString m_backup;
};

// The folders with their canonical paths; one inside another is dropped, and entry roots
// that would clash (two folders named "data" in different places) get " (2)", " (3)".
struct Source {
    QString path;
    QString canonical;
    QString root;
};

bool inside(const QString &canonical, const QString &outer)
{
    if (canonical == outer)
        return true;
    const QString prefix = outer.endsWith(QLatin1Char('/')) ? outer : outer + QLatin1Char('/');
    return canonical.startsWith(prefix);
}

QList<Source> distinctSources(const QList<ArchiveFolder> &folders, QString *missing)
{
    QList<Source> all;
    for (const ArchiveFolder &f : folders) {
        const QFileInfo fi(f.path);
        if (!fi.isDir()) {
            *missing = f.path;
            return {};
        }
        all.append({f.path, fi.canonicalFilePath(), f.entryRoot});
    }
    QList<Source> kept;
    for (qsizetype i = 0; i < all.size(); ++i) {
        bool nested = false;
        for (qsizetype j = 0; j < all.size() && !nested; ++j) {
            if (i == j)
                continue;
            const bool same = all[i].canonical == all[j].canonical;
            nested = same ? j < i : inside(all[i].canonical, all[j].canonical);
        }
        if (!nested)
            kept.append(all[i]);
    }
    for (qsizetype i = 0; i < kept.size(); ++i) {
        if (kept[i].root.isEmpty())
            continue;
        const QString base = kept[i].root;
        for (int n = 2;; ++n) {
            bool clash = false;
            for (qsizetype j = 0; j < i; ++j)
                clash = clash || kept[j].root.compare(kept[i].root, Qt::CaseInsensitive) == 0;
            if (!clash)
                break;
            kept[i].root = QStringLiteral("%1 (%2)").arg(base).arg(n);
        }
    }
    return kept;
}

void removeStaleTemporaries(const QDir &backup)
{
    const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
    const QFileInfoList items = backup.entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &fi : items) {
        if (isTemporaryName(fi.fileName()) && fi.lastModified() < hourAgo)
            QFile::remove(fi.filePath());
    }
}

QString candidateName(const QDir &backup, const QString &stamp, int n)
{
    const QString name = n == 1 ? stamp + QStringLiteral(".zip")
                                : QStringLiteral("%1_%2.zip").arg(stamp).arg(n);
    return backup.filePath(name);
}

constexpr int MaxSameSecond = 1000;

// Writes the entries with libzip into `path`; libzip itself writes beside it and renames
// when done, removing its own temporary on failure.
ArchiveResult writeZip(const QString &path, const QList<Entry> &entries)
{
    if (entries.isEmpty()) {
        // libzip writes no file for an archive without entries; the standard empty
        // archive is its end record alone.
        QFile f(path);
        const QByteArray end = QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0');
        if (!f.open(QIODevice::WriteOnly) || f.write(end) != end.size() || !f.flush())
            return failure(ZIP_ER_WRITE, reasonFor(ZIP_ER_WRITE, errno, path));
        return {};
    }
    int openError = 0;
    zip_t *za = zip_open(local(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &openError);
    if (!za)
        return failure(openError, reasonFor(openError, errno, path));

    for (const Entry &e : entries) {
        const QByteArray name = e.name.toUtf8();
        zip_int64_t index;
        if (e.source.isEmpty()) {
            index = zip_dir_add(za, name.constData(), ZIP_FL_ENC_UTF_8);
        } else {
            zip_source_t *src = zip_source_file(za, local(e.source).constData(), 0, -1);
            index = src ? zip_file_add(za, name.constData(), src, ZIP_FL_ENC_UTF_8) : -1;
            if (src && index < 0)
                zip_source_free(src);
            if (index >= 0)
                zip_set_file_compression(za, zip_uint64_t(index), ZIP_CM_DEFLATE, BackupCompressionLevel);
        }
        if (index < 0) {
            zip_error_t *err = zip_get_error(za);
            ArchiveResult r = failure(zip_error_code_zip(err),
                                      QStringLiteral("Не удалось прочитать файл «%1».")
                                          .arg(QDir::toNativeSeparators(e.source.isEmpty() ? e.name : e.source)));
            zip_discard(za);
            return r;
        }
    }
    if (zip_close(za) != 0) {
        zip_error_t *err = zip_get_error(za);
        const int code = zip_error_code_zip(err);
        const int sys = zip_error_system_type(err) == ZIP_ET_SYS ? zip_error_code_system(err) : 0;
        ArchiveResult r = failure(code > 0 ? code : ZIP_ER_INTERNAL, reasonFor(code, sys, path));
        zip_discard(za);
        return r;
    }
    return {};
}

} // namespace

ArchiveResult WriteBackupArchive(const QList<ArchiveFolder> &folders, const QString &backupDir,
                                 const QString &stamp)
{
    const QDir backup(backupDir);
    const QString backupCanonical = QFileInfo(backupDir).canonicalFilePath();
    if (backupCanonical.isEmpty() || !QFileInfo(backupDir).isDir())
        return failure(ZIP_ER_NOENT, QStringLiteral("Архивная папка «%1» не найдена.")
                                         .arg(QDir::toNativeSeparators(backupDir)));
    removeStaleTemporaries(backup);

    QString missing;
    const QList<Source> sources = distinctSources(folders, &missing);
    if (!missing.isEmpty())
        return failure(ZIP_ER_NOENT, QStringLiteral("Папка «%1» не найдена.")
                                         .arg(QDir::toNativeSeparators(missing)));
    EntryCollector collector(backupCanonical);
    for (const Source &s : sources)
        collector.addFolder(s.path, s.root);
    // libzip opens the files only while it writes and would then fail without saying
    // which one; a file that cannot be read is named before anything is written.
    for (const Entry &e : std::as_const(collector.entries)) {
        QFile f(e.source);
        if (!e.source.isEmpty() && !f.open(QIODevice::ReadOnly))
            return failure(ZIP_ER_OPEN, QStringLiteral("Не удалось прочитать файл «%1».")
                                            .arg(QDir::toNativeSeparators(e.source)));
    }

    int n = 1;
    while (n < MaxSameSecond && (taken(candidateName(backup, stamp, n))
                                 || taken(candidateName(backup, stamp, n) + QStringLiteral(".part"))))
        ++n;
    const QString temporary = candidateName(backup, stamp, n) + QStringLiteral(".part");
    if (taken(temporary))
        return failure(ZIP_ER_EXISTS, QStringLiteral("Нет свободного имени архива в папке «%1».")
                                          .arg(QDir::toNativeSeparators(backupDir)));

    const FileSizeSignalIgnored fileSizeSignal;
    ArchiveResult result = writeZip(temporary, collector.entries);
    if (result.code == 0) {
        if (const int err = syncToDisk(temporary, false))
            result = failure(ZIP_ER_WRITE, reasonFor(ZIP_ER_WRITE, err, temporary));
    }
    if (result.code == 0) {
        int err = EEXIST;
        for (; n < MaxSameSecond && err == EEXIST; ++n) {
            result.archivePath = candidateName(backup, stamp, n);
            err = renameNoReplace(temporary, result.archivePath);
        }
        if (err != 0)
            result = failure(ZIP_ER_RENAME, reasonFor(ZIP_ER_RENAME, err, result.archivePath));
        else
            syncToDisk(backupDir, true);   // the new name itself; not every filesystem can
    }
    if (result.code != 0)
        QFile::remove(temporary);
    return result;
}

} // namespace vel
