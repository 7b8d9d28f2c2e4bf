#include "store/dbf/memo.h"

#include "common/paths.h"
#include "store/dbf/codec.h"

#include <QFileInfo>

#include <cstring>

namespace vel::dbf {

namespace {
constexpr int kMemoHeader = 512;
constexpr uchar kDbase4Mark[4] = {0xFF, 0xFF, 0x08, 0x00};
constexpr int kFoxBlockSize = 64;
constexpr uint32_t kFoxText = 1;
constexpr uint32_t kMaxMemo = 256u << 20;   // no memo of this system comes near it
} // namespace

QString MemoPathFor(const QString &tablePath, MemoKind kind)
{
    const QFileInfo info(tablePath);
    const QString ext = kind == MemoKind::FoxPro ? QStringLiteral(".fpt") : QStringLiteral(".dbt");
    return ResolvePath(info.path() + QLatin1Char('/') + info.completeBaseName() + ext);
}

void MemoFile::fail(const QString &what) const
{
    throw TableError(QStringLiteral("Файл примечаний «%1»: %2").arg(m_file.path(), what));
}

void MemoFile::open(const QString &path, MemoKind kind, bool writable)
{
    m_kind = kind;
    m_file.open(path, writable ? File::ReadWrite : File::ReadOnly);
    readHeader();
}

void MemoFile::reopenWritable()
{
    m_file.reopen(File::ReadWrite);
}

void MemoFile::readHeader()
{
    uchar h[kMemoHeader];
    if (m_file.readSomeAt(0, h, kMemoHeader) != kMemoHeader)
        fail(QStringLiteral("заголовок обрезан"));
    switch (m_kind) {
    case MemoKind::DBase3:
        m_blockSize = 512;
        break;
    case MemoKind::DBase4: {
        const int bs = ReadLE16(h + 20);
        m_blockSize = bs == 0 ? 512 : bs;   // dBASE III files carry no block size
        if (m_blockSize < 8)
            fail(QStringLiteral("недопустимый размер блока %1").arg(m_blockSize));
        break;
    }
    case MemoKind::FoxPro:
        m_blockSize = ReadBE16(h + 6);
        if (m_blockSize < 1)
            fail(QStringLiteral("недопустимый размер блока %1").arg(m_blockSize));
        break;
    case MemoKind::None:
        fail(QStringLiteral("таблица не хранит примечаний"));
    }
}

void MemoFile::create(const QString &path, MemoKind kind, const QString &tableBaseName)
{
    m_kind = kind;
    uchar h[kMemoHeader];
    std::memset(h, 0, sizeof h);
    switch (kind) {
    case MemoKind::DBase3:
        WriteLE32(h, 1);
        h[16] = 0x03;
        m_blockSize = 512;
        break;
    case MemoKind::DBase4: {
        WriteLE32(h, 1);
        const QByteArray name = tableBaseName.toUpper().toLatin1().left(8);
        std::memcpy(h + 8, name.constData(), size_t(name.size()));
        WriteLE16(h + 20, 512);
        m_blockSize = 512;
        break;
    }
    case MemoKind::FoxPro:
        WriteBE32(h, kMemoHeader / kFoxBlockSize);
        WriteBE16(h + 6, kFoxBlockSize);
        m_blockSize = kFoxBlockSize;
        break;
    case MemoKind::None:
        return;
    }
    m_file.open(path, File::CreateNew);
    m_file.writeAt(0, h, kMemoHeader);
}

QString MemoFile::check(uint32_t block) const
{
    try {
        (void)read(block);
    } catch (const TableError &e) {
        return e.message();
    }
    return QString();
}

QByteArray MemoFile::read(uint32_t block) const
{
    if (block == 0)
        return QByteArray();
    const int64_t fileSize = m_file.size();
    const int64_t pos = int64_t(block) * m_blockSize;
    if (block < firstDataBlock() || pos >= fileSize)
        fail(QStringLiteral("блок %1 вне файла").arg(block));
    const int64_t room = fileSize - pos;

    auto readTo1A = [&]() {
        // dBASE III text: runs up to the first 0x1A (written twice) or the end of the file.
        QByteArray out;
        char chunk[4096];
        int64_t at = pos;
        while (at < fileSize) {
            const int64_t n = m_file.readSomeAt(at, chunk, qMin<int64_t>(sizeof chunk, fileSize - at));
            if (n <= 0)
                break;
            const void *end = std::memchr(chunk, 0x1A, size_t(n));
            if (end) {
                out.append(chunk, static_cast<const char *>(end) - chunk);
                return out;
            }
            out.append(chunk, int(n));
            at += n;
        }
        return out;
    };

    switch (m_kind) {
    case MemoKind::DBase3:
        return readTo1A();
    case MemoKind::DBase4: {
        uchar bh[8];
        if (room < 8)
            fail(QStringLiteral("блок %1 обрезан").arg(block));
        m_file.readAt(pos, bh, 8);
        if (std::memcmp(bh, kDbase4Mark, 4) != 0)
            return readTo1A();   // a dBASE III memo in a dBASE IV file
        const uint32_t length = ReadLE32(bh + 4);
        if (length < 8 || int64_t(length) > room || length > kMaxMemo)
            fail(QStringLiteral("длина примечания в блоке %1 (%2 байт) не помещается в файл").arg(block).arg(length));
        QByteArray out(int(length - 8), Qt::Uninitialized);
        m_file.readAt(pos + 8, out.data(), out.size());
        return out;
    }
    case MemoKind::FoxPro: {
        uchar bh[8];
        if (room < 8)
            fail(QStringLiteral("блок %1 обрезан").arg(block));
        m_file.readAt(pos, bh, 8);
        const uint32_t length = ReadBE32(bh + 4);
        if (int64_t(length) > room - 8 || length > kMaxMemo)
            fail(QStringLiteral("длина примечания в блоке %1 (%2 байт) не помещается в файл").arg(block).arg(length));
        QByteArray out(int(length), Qt::Uninitialized);
        m_file.readAt(pos + 8, out.data(), out.size());
        return out;
    }
    case MemoKind::None:
        break;
    }
    return QByteArray();
}

uint32_t MemoFile::write(const QByteArray &data)
{
    if (data.isEmpty())
        return 0;
    uchar h[8];
    m_file.readAt(0, h, 8);
    uint32_t next = m_kind == MemoKind::FoxPro ? ReadBE32(h) : ReadLE32(h);
    // Never trust a next-free number that points into blocks already written.
    const int64_t size = m_file.size();
    const int64_t used = (size + m_blockSize - 1) / m_blockSize;
    if (int64_t(next) < used)
        next = uint32_t(used);
    if (next < firstDataBlock())
        next = firstDataBlock();

    QByteArray block;
    switch (m_kind) {
    case MemoKind::DBase3:
        block = data + QByteArray("\x1A\x1A", 2);
        break;
    case MemoKind::DBase4: {
        block.resize(8);
        std::memcpy(block.data(), kDbase4Mark, 4);
        WriteLE32(reinterpret_cast<uchar *>(block.data()) + 4, uint32_t(data.size() + 8));
        block += data;
        break;
    }
    case MemoKind::FoxPro: {
        block.resize(8);
        WriteBE32(reinterpret_cast<uchar *>(block.data()), kFoxText);
        WriteBE32(reinterpret_cast<uchar *>(block.data()) + 4, uint32_t(data.size()));
        block += data;
        break;
    }
    case MemoKind::None:
        fail(QStringLiteral("таблица не хранит примечаний"));
    }
    const int64_t blocks = (block.size() + m_blockSize - 1) / m_blockSize;
    if (int64_t(next) + blocks > 0xFFFFFFFFll)
        fail(QStringLiteral("файл примечаний переполнен"));
    block.append(QByteArray(int(blocks * m_blockSize - block.size()), '\0'));
    m_file.writeAt(int64_t(next) * m_blockSize, block.constData(), block.size());
    const uint32_t after = uint32_t(next + blocks);
    if (m_kind == MemoKind::FoxPro)
        WriteBE32(h, after);
    else
        WriteLE32(h, after);
    m_file.writeAt(0, h, 4);
    return next;
}

} // namespace vel::dbf
