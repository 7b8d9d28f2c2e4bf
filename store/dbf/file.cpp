#include "store/dbf/file.h"

#include "common/clock.h"
#include "store/defs/tabledefs.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vel::dbf {

namespace {

QString SystemError(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

[[noreturn]] void Fail(const QString &path, const QString &what)
{
    throw TableError(QStringLiteral("Файл «%1»: %2").arg(path, what));
}

} // namespace

File::~File() { close(); }

void File::open(const QString &path, Mode mode)
{
    close();
    m_path = path;
    int flags = O_CLOEXEC;
    switch (mode) {
    case ReadOnly: flags |= O_RDONLY; break;
    case ReadWrite: flags |= O_RDWR; break;
    case CreateNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
    }
    const QByteArray native = QFile::encodeName(path);
    int fd;
    do {
        fd = ::open(native.constData(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int err = errno;
        if (err == ENOENT)
            Fail(path, QStringLiteral("файл или папка не найдены"));
        if (err == EEXIST)
            Fail(path, QStringLiteral("файл уже существует"));
        if (err == EACCES || err == EROFS)
            Fail(path, mode == ReadOnly ? QStringLiteral("нет доступа на чтение")
                                        : QStringLiteral("нет доступа на запись"));
        Fail(path, QStringLiteral("не удалось открыть (%1)").arg(SystemError(err)));
    }
    struct stat st;
    if (::fstat(fd, &st) == 0 && !S_ISREG(st.st_mode)) {
        ::close(fd);
        Fail(path, QStringLiteral("это не обычный файл"));
    }
    m_fd = fd;
    m_writable = mode != ReadOnly;
}

void File::reopen(Mode mode)
{
    File other;
    other.open(m_path, mode);
    std::swap(m_fd, other.m_fd);
    std::swap(m_writable, other.m_writable);
}

void File::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_writable = false;
}

int64_t File::size() const
{
    struct stat st;
    if (::fstat(m_fd, &st) != 0)
        Fail(m_path, QStringLiteral("не удалось узнать размер (%1)").arg(SystemError(errno)));
    return st.st_size;
}

FileStamp File::stamp() const
{
    struct stat st;
    if (::fstat(m_fd, &st) != 0)
        Fail(m_path, QStringLiteral("не удалось узнать состояние (%1)").arg(SystemError(errno)));
    FileStamp s;
    s.size = st.st_size;
    s.mtimeNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.ctimeNs = int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return s;
}

int64_t File::readSomeAt(int64_t pos, void *buffer, int64_t n) const
{
    auto *out = static_cast<char *>(buffer);
    int64_t done = 0;
    while (done < n) {
        const ssize_t r = ::pread(m_fd, out + done, size_t(n - done), off_t(pos + done));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            Fail(m_path, QStringLiteral("ошибка чтения (%1)").arg(SystemError(errno)));
        }
        if (r == 0)
            break;
        done += r;
    }
    return done;
}

void File::readAt(int64_t pos, void *buffer, int64_t n) const
{
    if (readSomeAt(pos, buffer, n) != n)
        Fail(m_path, QStringLiteral("файл обрывается на позиции %1 (нужно %2 байт)").arg(pos).arg(n));
}

void File::writeAt(int64_t pos, const void *data, int64_t n)
{
    const auto *in = static_cast<const char *>(data);
    int64_t done = 0;
    while (done < n) {
        const ssize_t r = ::pwrite(m_fd, in + done, size_t(n - done), off_t(pos + done));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            Fail(m_path, err == ENOSPC ? QStringLiteral("нет места на диске")
                                       : QStringLiteral("ошибка записи (%1)").arg(SystemError(err)));
        }
        done += r;
    }
}

void File::truncate(int64_t size)
{
    if (::ftruncate(m_fd, off_t(size)) != 0)
        Fail(m_path, QStringLiteral("не удалось изменить размер (%1)").arg(SystemError(errno)));
}

void File::flush()
{
    if (m_fd >= 0)
        ::fdatasync(m_fd);
}

void File::lock(int64_t start, int64_t length, bool exclusive, int timeoutMs)
{
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = exclusive ? F_WRLCK : F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = off_t(start);
    fl.l_len = off_t(length);
    const uint64_t deadline = TickCount64() + uint64_t(timeoutMs);
    uint32_t pause = 1;
    for (;;) {
        if (::fcntl(m_fd, F_OFD_SETLK, &fl) == 0)
            return;
        const int err = errno;
        if (err == EINTR)
            continue;
        if (err != EAGAIN && err != EACCES)
            Fail(m_path, QStringLiteral("не удалось заблокировать (%1)").arg(SystemError(err)));
        if (TickCount64() >= deadline)
            Fail(m_path, QStringLiteral("файл занят другой программой; повторите позже"));
        SleepMs(pause);
        pause = qMin<uint32_t>(pause * 2, 20);
    }
}

void File::unlock(int64_t start, int64_t length)
{
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = F_UNLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = off_t(start);
    fl.l_len = off_t(length);
    ::fcntl(m_fd, F_OFD_SETLK, &fl);
}

} // namespace vel::dbf
