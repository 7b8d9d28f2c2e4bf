#pragma once
// Memo files: dBASE III .dbt (512-byte blocks, text ended by 0x1A), dBASE IV and 7 .dbt
// (blocks of the size in the header, each memo behind an 8-byte block header) and FoxPro
// .fpt (block size in the header, big-endian numbers). A changed memo is always written
// to new blocks at the end, so a write that is cut short never damages a stored memo.
#include "store/dbf/file.h"
#include "store/dbf/header.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace vel::dbf {

class MemoFile {
public:
    // Opens and checks the header; throws TableError naming the memo file.
    void open(const QString &path, MemoKind kind, bool writable);
    // Creates a new empty memo file (fails when it exists).
    void create(const QString &path, MemoKind kind, const QString &tableBaseName);
    void close() { m_file.close(); }
    bool isOpen() const { return m_file.isOpen(); }
    void reopenWritable();

    // The memo stored from `block`; throws when the block lies outside the file or its
    // length does not fit in it.
    QByteArray read(uint32_t block) const;
    // Writes a memo to fresh blocks and returns the first one. The caller holds the
    // table's write lock, which covers the memo file too.
    uint32_t write(const QByteArray &data);

    int blockSize() const { return m_blockSize; }
    MemoKind kind() const { return m_kind; }
    const QString &path() const { return m_file.path(); }
    int64_t size() const { return m_file.size(); }
    void flush() { m_file.flush(); }

    // Checks one memo without reading its text into memory: "" when it is sound.
    QString check(uint32_t block) const;

private:
    [[noreturn]] void fail(const QString &what) const;
    uint32_t firstDataBlock() const { return uint32_t((512 + m_blockSize - 1) / m_blockSize); }
    void readHeader();

    File m_file;
    MemoKind m_kind = MemoKind::None;
    int m_blockSize = 512;
};

// The memo file that belongs to a table file: same name, extension by kind; an existing
// file is found without regard to case.
QString MemoPathFor(const QString &tablePath, MemoKind kind);

} // namespace vel::dbf
