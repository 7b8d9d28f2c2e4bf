#pragma once
// A table's files at the system-call level: positioned reads and writes that either
// complete or throw, the change stamp used to notice other processes' writes, and
// byte-range locks (open-file-description locks on Linux, so that two handles of one
// process exclude each other as two processes do).
#include <QString>

#include <cstdint>

namespace vel::dbf {

// What fstat tells about a file's content; two equal stamps mean no write happened in
// between, up to the file system's timestamp granularity.
struct FileStamp {
    int64_t size = -1;
    int64_t mtimeNs = 0;
    int64_t ctimeNs = 0;
    bool operator==(const FileStamp &o) const
    {
        return size == o.size && mtimeNs == o.mtimeNs && ctimeNs == o.ctimeNs;
    }
    bool operator!=(const FileStamp &o) const { return !(*this == o); }
};

class File {
public:
    enum Mode { ReadOnly, ReadWrite, CreateNew };
    File() = default;
    ~File();
    File(const File &) = delete;
    File &operator=(const File &) = delete;

    // Throws TableError naming the file; CreateNew fails when the file exists.
    void open(const QString &path, Mode mode);
    // Opens the same file again in another mode; the file stays as it was when that fails.
    void reopen(Mode mode);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    bool writable() const { return m_writable; }
    const QString &path() const { return m_path; }

    int64_t size() const;
    FileStamp stamp() const;

    // Reads exactly n bytes at pos; throws when the file ends before.
    void readAt(int64_t pos, void *buffer, int64_t n) const;
    // Reads up to n bytes at pos; returns how many were read.
    int64_t readSomeAt(int64_t pos, void *buffer, int64_t n) const;
    void writeAt(int64_t pos, const void *data, int64_t n);
    void truncate(int64_t size);
    void flush();   // fdatasync

    // Byte-range lock; waits up to timeoutMs, then throws TableError saying that the
    // file is locked by another program.
    void lock(int64_t start, int64_t length, bool exclusive, int timeoutMs);
    void unlock(int64_t start, int64_t length);

private:
    int m_fd = -1;
    bool m_writable = false;
    QString m_path;
};

// Holds a lock for a scope.
class FileLock {
public:
    FileLock(File &file, int64_t start, int64_t length, bool exclusive, int timeoutMs = 5000)
        : m_file(file), m_start(start), m_length(length)
    {
        m_file.lock(start, length, exclusive, timeoutMs);
    }
    ~FileLock() { m_file.unlock(m_start, m_length); }
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

private:
    File &m_file;
    int64_t m_start, m_length;
};

} // namespace vel::dbf
