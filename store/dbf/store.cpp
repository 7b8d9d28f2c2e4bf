#include "store/dbf/store.h"

#include "store/common/clock.h"
#include "store/common/paths.h"
#include "store/dbf/codec.h"
#include "store/expr/expression.h"

#include <QDate>
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <cstring>
#include <unistd.h>

namespace vel::dbf {

namespace {

// The write lock: the first bytes of the .dbf, taken exclusively around every write and
// shared while the records are read again.
constexpr int64_t kLockStart = 0;
constexpr int64_t kLockLength = kHeaderPrefix;
// How often a moving cursor may look at the file for other processes' writes.
constexpr uint64_t kCheckIntervalMs = 20;
// The most record bytes one table may hold in memory.
constexpr int64_t kMaxRecordBytes = int64_t(1) << 31;

QHash<QString, std::weak_ptr<TableStore>> &Registry()
{
    static QHash<QString, std::weak_ptr<TableStore>> registry;
    return registry;
}

QString RegistryKey(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QFileInfo(path).absoluteFilePath() : canonical;
}

// Fields that a tag keys on by themselves are flagged in their descriptors.
QSet<QString> IndexedFields(const QVector<IndexDef> &defs, const RecordLayout &layout)
{
    QSet<QString> names;
    for (const IndexDef &d : defs) {
        const QString e = d.expression.trimmed();
        if (layout.indexOf(e) >= 0)
            names.insert(e.toUpper());
    }
    return names;
}

} // namespace

std::shared_ptr<TableStore> TableStore::OpenFile(const OpenRequest &request)
{
    if (QFileInfo::exists(request.path)) {
        const auto found = Registry().value(RegistryKey(request.path)).lock();
        if (found) {
            if (request.writable && !found->m_file.writable()) {
                found->m_file.open(found->m_path, File::ReadWrite);
                if (found->m_memo.isOpen())
                    found->m_memo.reopenWritable();
                found->m_stamp = FileStamp();   // read everything again on the next look
            }
            found->addTags(request.indexes);
            return found;
        }
    }
    std::shared_ptr<TableStore> store(new TableStore);
    store->openFile(request);
    Registry().insert(RegistryKey(store->m_path), store);
    return store;
}

std::shared_ptr<TableStore> TableStore::CreateMemory(const QString &name, const RecordLayout &layout,
                                                     const QVector<IndexDef> &indexes)
{
    std::shared_ptr<TableStore> store(new TableStore);
    store->m_path = name;
    store->m_layout = layout;
    store->m_header.level = layout.level;
    store->m_header.recordLength = layout.recordLength;
    store->m_header.layout = layout;
    store->addTags(indexes);
    return store;
}

TableStore::~TableStore()
{
    if (!isMemory())
        Registry().remove(RegistryKey(m_path));
}

QString TableStore::indexPath() const
{
    if (isMemory())
        return QString();
    const QFileInfo info(m_path);
    return ResolvePath(info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".mdx"));
}

void TableStore::ensureWritable() const
{
    if (!writable())
        FailFile(m_path, QStringLiteral("таблица открыта только для чтения"));
}

void TableStore::openFile(const OpenRequest &request)
{
    m_path = request.path;
    if (!QFileInfo::exists(m_path)) {
        if (!request.create)
            FailFile(m_path, QStringLiteral("файл не найден"));
        createFile(request);
    }
    m_file.open(m_path, request.writable ? File::ReadWrite : File::ReadOnly);
    {
        // A table another process is creating is locked until its memo file exists.
        FileLock lock(m_file, kLockStart, kLockLength, false);
        m_stamp = m_file.stamp();
        loadRecords(true);
        if (m_header.memoKind != MemoKind::None) {
            m_memoPath = MemoPathFor(m_path, m_header.memoKind);
            if (!QFileInfo::exists(m_memoPath))
                FailFile(m_path, QStringLiteral("нет файла примечаний «%1»").arg(m_memoPath));
            m_memo.open(m_memoPath, m_header.memoKind, request.writable);
        }
    }
    m_lastCheck = TickCount64();
    addTags(request.indexes);
}

void TableStore::createFile(const OpenRequest &request)
{
    const QFileInfo info(m_path);
    if (!info.dir().exists())
        FailFile(m_path, QStringLiteral("папка «%1» не найдена").arg(info.path()));
    const RecordLayout layout = MakeLayout(request.fields, request.level, false, m_path);
    QByteArray content = BuildHeader(layout, 0, !request.indexes.isEmpty(),
                                     IndexedFields(request.indexes, layout), QDate::currentDate());
    content.append('\x1A');

    // The new table is written under a temporary name and linked into place whole, still
    // locked, so that a process opening it meanwhile waits until the memo file is there
    // too; of two processes creating it at once, the second finds it made.
    const QString temp = m_path + QStringLiteral(".%1.tmp").arg(::getpid());
    QFile::remove(temp);
    File table;
    table.open(temp, File::CreateNew);
    const QByteArray tempName = QFile::encodeName(temp);
    try {
        table.writeAt(0, content.constData(), content.size());
        table.flush();
        table.lock(kLockStart, kLockLength, true, 5000);
    } catch (...) {
        ::unlink(tempName.constData());
        throw;
    }
    const int rc = ::link(tempName.constData(), QFile::encodeName(m_path).constData());
    const int err = errno;
    ::unlink(tempName.constData());
    if (rc != 0) {
        if (err == EEXIST)
            return;
        FailFile(m_path, QStringLiteral("не удалось создать файл (%1)").arg(QString::fromLocal8Bit(std::strerror(err))));
    }
    if (HasMemoFields(layout)) {
        // A memo file without its table is a leftover: the new table starts a new one.
        const MemoKind kind = MemoKindFor(layout.level);
        const QString memoPath = MemoPathFor(m_path, kind);
        const QString memoTemp = memoPath + QStringLiteral(".%1.tmp").arg(::getpid());
        QFile::remove(memoTemp);
        {
            MemoFile memo;
            memo.create(memoTemp, kind, info.completeBaseName());
            memo.flush();
        }
        if (::rename(QFile::encodeName(memoTemp).constData(), QFile::encodeName(memoPath).constData()) != 0) {
            QFile::remove(memoTemp);
            FailFile(memoPath, QStringLiteral("не удалось создать файл примечаний"));
        }
    }
}

void TableStore::loadRecords(bool initial)
{
    const int64_t size = m_file.size();
    QByteArray head(kHeaderPrefix, '\0');
    if (size < kHeaderPrefix)
        FailFile(m_path, QStringLiteral("файл слишком короток для таблицы dBASE (%1 байт)").arg(size));
    m_file.readAt(0, head.data(), kHeaderPrefix);
    const int headerLength = StoredHeaderLength(reinterpret_cast<const uchar *>(head.constData()));
    if (headerLength > kHeaderPrefix) {
        head.resize(int(qMin<int64_t>(headerLength, size)));
        m_file.readAt(0, head.data(), head.size());
    }
    DbfHeader header = ParseHeader(head, m_path);
    if (!initial && (header.headerLength != m_header.headerLength
                     || header.recordLength != m_header.recordLength
                     || header.layout.fields.size() != m_layout.fields.size()))
        FailFile(m_path, QStringLiteral("структура таблицы изменена другой программой; откройте её заново"));

    const int64_t rl = header.recordLength;
    const int64_t whole = (size - header.headerLength) / rl;
    int64_t count = header.recordCount;
    if (count > whole)
        FailFile(m_path, QStringLiteral("файл обрезан: заголовок насчитывает %1 записей, в файле целиком только %2")
                             .arg(count).arg(whole));
    const bool extra = whole > count;   // a record written by an append that was cut short
    if ((count + (extra ? 1 : 0)) * rl > kMaxRecordBytes)
        FailFile(m_path, QStringLiteral("таблица слишком велика (%1 записей)").arg(count));

    std::vector<uchar> records(size_t((count + (extra ? 1 : 0)) * rl));
    if (!records.empty())
        m_file.readAt(header.headerLength, records.data(), int64_t(records.size()));
    if (extra) {
        const uchar flag = records[size_t(count * rl)];
        if (flag == ' ' || flag == '*')
            ++count;   // the record is whole: only the header count did not follow
        records.resize(size_t(count * rl));
    }

    if (initial) {
        m_header = header;
        m_layout = header.layout;
        m_records = std::move(records);
        m_count = int(count);
        return;
    }
    // Tell the tags which records other processes added or changed.
    const int newCount = int(count);
    const auto at = [](const std::vector<uchar> &buf, int recNo, int64_t len) {
        return buf.data() + size_t(recNo - 1) * size_t(len);
    };
    bool changed = newCount != m_count;
    if (newCount < m_count) {
        m_records = std::move(records);
        m_count = newCount;
        m_tags.rebuild(m_count, [this](quint32 r) { return record(int(r)); });
    } else {
        for (int r = 1; r <= m_count; ++r) {
            if (std::memcmp(at(m_records, r, rl), at(records, r, rl), size_t(rl)) != 0) {
                m_tags.change(r, at(m_records, r, rl), at(records, r, rl));
                changed = true;
            }
        }
        for (int r = m_count + 1; r <= newCount; ++r)
            m_tags.insert(r, at(records, r, rl));
        m_records = std::move(records);
        m_count = newCount;
    }
    m_header.recordCount = header.recordCount;
    if (changed) {
        ++m_changes;
        m_indexDirty = true;
    }
}

void TableStore::noticeChanges(bool force)
{
    if (isMemory())
        return;
    if (!force) {
        const uint64_t now = TickCount64();
        if (now - m_lastCheck < kCheckIntervalMs)
            return;
        m_lastCheck = now;
    }
    if (m_file.stamp() == m_stamp)
        return;
    FileLock lock(m_file, kLockStart, kLockLength, false);
    m_stamp = m_file.stamp();
    loadRecords(false);
}

void TableStore::rereadRecord(int recNo)
{
    if (isMemory() || recNo < 1 || recNo > m_count)
        return;
    const int rl = m_layout.recordLength;
    std::vector<uchar> buf(static_cast<size_t>(rl));
    {
        FileLock lock(m_file, kLockStart, kLockLength, false);
        if (m_file.readSomeAt(recordPos(recNo), buf.data(), rl) != rl)
            return;   // the file shrank: the next look at its stamp reads it all again
    }
    uchar *mine = m_records.data() + size_t(recNo - 1) * size_t(rl);
    if (std::memcmp(mine, buf.data(), size_t(rl)) == 0)
        return;
    m_tags.change(recNo, mine, buf.data());
    std::memcpy(mine, buf.data(), size_t(rl));
    ++m_changes;
}

void TableStore::lockedSync()
{
    // Under the write lock: take every record other processes added, and what they
    // changed when the file's stamp moved.
    uchar prefix[8];
    m_file.readAt(0, prefix, 8);
    const FileStamp now = m_file.stamp();
    const int64_t whole = (now.size - m_header.headerLength) / m_layout.recordLength;
    if (now != m_stamp || int64_t(ReadLE32(prefix + 4)) != m_count || whole > m_count) {
        loadRecords(false);
        m_stamp = now;
    }
}

void TableStore::storeMemos(QByteArray &record, const MemoEdits &memos)
{
    auto *rec = reinterpret_cast<uchar *>(record.data());
    for (auto it = memos.cbegin(); it != memos.cend(); ++it) {
        const FieldLayout &f = m_layout.fields[it.key()];
        uint32_t block = 0;
        if (!it.value().isEmpty()) {
            if (isMemory()) {
                m_memoryMemos.push_back(it.value());
                block = uint32_t(m_memoryMemos.size());
            } else {
                block = m_memo.write(it.value());
            }
        }
        SetMemoBlock(f, rec, block);
    }
}

void TableStore::writeRecordAt(int recNo, const QByteArray &record, bool appending)
{
    if (appending) {
        // The record (with the end-of-file mark after it) goes first and the count after
        // it, so that a process killed in between leaves a whole record the next open
        // takes.
        QByteArray bytes = record;
        bytes.append('\x1A');
        m_file.writeAt(recordPos(recNo), bytes.constData(), bytes.size());
    } else {
        m_file.writeAt(recordPos(recNo), record.constData(), record.size());
    }
    uchar prefix[8];
    m_file.readAt(0, prefix, 8);
    PutCountAndDate(prefix, uint32_t(appending ? recNo : m_count), QDate::currentDate());
    m_file.writeAt(1, prefix + 1, 7);
}

int TableStore::append(QByteArray record, const MemoEdits &memos)
{
    ensureWritable();
    Q_ASSERT(record.size() == m_layout.recordLength);
    if (isMemory()) {
        storeMemos(record, memos);
        m_records.insert(m_records.end(), record.begin(), record.end());
        ++m_count;
        m_tags.insert(m_count, this->record(m_count));
        ++m_changes;
        return m_count;
    }
    FileLock lock(m_file, kLockStart, kLockLength, true);
    lockedSync();
    storeMemos(record, memos);
    const int recNo = m_count + 1;
    writeRecordAt(recNo, record, true);
    m_records.insert(m_records.end(), record.begin(), record.end());
    m_count = recNo;
    m_tags.insert(recNo, this->record(recNo));
    m_stamp = m_file.stamp();
    ++m_changes;
    m_indexDirty = true;
    return recNo;
}

void TableStore::update(int recNo, QByteArray record, const MemoEdits &memos)
{
    ensureWritable();
    Q_ASSERT(record.size() == m_layout.recordLength);
    if (!isMemory()) {
        FileLock lock(m_file, kLockStart, kLockLength, true);
        lockedSync();
        if (recNo < 1 || recNo > m_count)
            FailFile(m_path, QStringLiteral("записи %1 нет в таблице").arg(recNo));
        storeMemos(record, memos);
        writeRecordAt(recNo, record, false);
        m_stamp = m_file.stamp();
        m_indexDirty = true;
    } else {
        if (recNo < 1 || recNo > m_count)
            FailFile(m_path, QStringLiteral("записи %1 нет в таблице").arg(recNo));
        storeMemos(record, memos);
    }
    uchar *mine = m_records.data() + size_t(recNo - 1) * size_t(m_layout.recordLength);
    const auto *after = reinterpret_cast<const uchar *>(record.constData());
    m_tags.change(recNo, mine, after);
    std::memcpy(mine, after, size_t(m_layout.recordLength));
    ++m_changes;
}

void TableStore::removeAll()
{
    ensureWritable();
    if (isMemory()) {
        m_records.clear();
        m_memoryMemos.clear();
        m_count = 0;
        m_tags.rebuild(0, [this](quint32 r) { return record(int(r)); });
        ++m_changes;
        return;
    }
    // A file keeps its records: every one is marked deleted, as a soft delete does.
    FileLock lock(m_file, kLockStart, kLockLength, true);
    lockedSync();
    if (m_count == 0)
        return;
    std::vector<uchar> marked = m_records;
    for (int r = 0; r < m_count; ++r)
        marked[size_t(r) * size_t(m_layout.recordLength)] = '*';
    m_file.writeAt(m_header.headerLength, marked.data(), int64_t(marked.size()));
    uchar prefix[8];
    m_file.readAt(0, prefix, 8);
    PutCountAndDate(prefix, uint32_t(m_count), QDate::currentDate());
    m_file.writeAt(1, prefix + 1, 7);
    m_records = std::move(marked);
    m_stamp = m_file.stamp();
    ++m_changes;
}

QByteArray TableStore::memo(int field, const uchar *rec) const
{
    const uint32_t block = MemoBlock(m_layout.fields[field], rec);
    if (block == 0)
        return QByteArray();
    if (isMemory())
        return block <= m_memoryMemos.size() ? m_memoryMemos[block - 1] : QByteArray();
    if (!m_memo.isOpen())
        return QByteArray();
    return m_memo.read(block);
}

void TableStore::addTags(const QVector<IndexDef> &defs)
{
    for (const IndexDef &def : defs) {
        if (m_tags.find(def.tag))
            continue;
        auto tag = std::make_unique<TagIndex>(def, m_layout);
        tag->Build(quint32(m_count), [this](quint32 r) { return record(int(r)); });
        m_tags.add(std::move(tag));
        m_indexDirty = true;
    }
}

void TableStore::writeIndexFile()
{
    // The production index file is written by the index layer once it is in place.
    m_indexDirty = false;
}

void TableStore::detach()
{
    if (--m_users > 0)
        return;
    if (!isMemory()) {
        if (m_indexDirty && m_file.writable()) {
            try {
                writeIndexFile();
            } catch (const TableError &) {
                // The index file is rebuilt from the records at the next open.
            }
        }
        m_file.flush();
        m_memo.flush();
    }
}

} // namespace vel::dbf
