#include "store/dbf/store.h"

#include "common/clock.h"
#include "common/paths.h"
#include "store/dbf/codec.h"
#include "store/expr/expression.h"

#include <QDate>
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <cstring>
#include <optional>
#include <sys/stat.h>
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

// The stores of the files open in this process, by canonical path. Never destroyed, so
// that a table closed during the process's own teardown still finds it.
QHash<QString, std::weak_ptr<TableStore>> &Registry()
{
    static auto *registry = new QHash<QString, std::weak_ptr<TableStore>>;
    return *registry;
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

std::shared_ptr<TableStore> TableStore::openFile(const OpenRequest &request)
{
    if (QFileInfo::exists(request.path)) {
        const auto found = Registry().value(RegistryKey(request.path)).lock();
        if (found) {
            if (request.writable && !found->m_file.writable()) {
                if (found->m_memo.isOpen())
                    found->m_memo.reopenWritable();
                found->m_file.reopen(File::ReadWrite);
                found->m_stamp = FileStamp();   // read everything again under the lock
                found->m_indexStale = true;     // and write the index file
            }
            found->addTags(request.indexes);
            return found;
        }
    }
    std::shared_ptr<TableStore> store(new TableStore);
    store->openOrCreate(request);
    Registry().insert(RegistryKey(store->m_path), store);
    return store;
}

std::shared_ptr<TableStore> TableStore::createMemory(const QString &name, const RecordLayout &layout,
                                                     const QVector<IndexDef> &indexes)
{
    std::shared_ptr<TableStore> store(new TableStore);
    store->m_memory = true;
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

void TableStore::openOrCreate(const OpenRequest &request)
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
    // The tags in memory follow at once; the index file is built anew before this process
    // writes again.
    bool changed = newCount != m_count;
    const int tags = m_index.TagCount();
    if (newCount < m_count) {
        m_records = std::move(records);
        m_count = newCount;
        for (int t = 0; t < tags; ++t)
            m_index.TagAt(t).Build(quint32(m_count), source());
        lookupsRebuild();
    } else {
        for (int r = 1; r <= m_count; ++r) {
            if (std::memcmp(at(m_records, r, rl), at(records, r, rl), size_t(rl)) != 0) {
                for (int t = 0; t < tags; ++t)
                    m_index.TagAt(t).Update(quint32(r), at(m_records, r, rl), at(records, r, rl));
                lookupsChange(r, at(m_records, r, rl), at(records, r, rl));
                changed = true;
            }
        }
        for (int r = m_count + 1; r <= newCount; ++r) {
            for (int t = 0; t < tags; ++t)
                m_index.TagAt(t).Insert(quint32(r), at(records, r, rl));
            lookupsInsert(r, at(records, r, rl));
        }
        m_records = std::move(records);
        m_count = newCount;
    }
    m_header.recordCount = header.recordCount;
    if (changed) {
        ++m_changes;
        m_indexStale = m_indexStale || m_indexFile;
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
    std::optional<FileLock> lock;
    lockUnlessHeld(lock, false);
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
        std::optional<FileLock> lock;
        lockUnlessHeld(lock, false);
        if (m_file.readSomeAt(recordPos(recNo), buf.data(), rl) != rl)
            return;   // the file shrank: the next look at its stamp reads it all again
    }
    uchar *mine = m_records.data() + size_t(recNo - 1) * size_t(rl);
    if (std::memcmp(mine, buf.data(), size_t(rl)) == 0)
        return;
    for (int t = 0; t < m_index.TagCount(); ++t)
        m_index.TagAt(t).Update(quint32(recNo), mine, buf.data());
    lookupsChange(recNo, mine, buf.data());
    std::memcpy(mine, buf.data(), size_t(rl));
    ++m_changes;
    m_indexStale = m_indexStale || m_indexFile;
}

void TableStore::lockUnlessHeld(std::optional<FileLock> &lock, bool exclusive)
{
    // A lock taken again by the same file description would replace the held one (and
    // its unlock release it): under a hold, the held lock covers the operation.
    if (m_holds == 0)
        lock.emplace(m_file, kLockStart, kLockLength, exclusive);
}

void TableStore::holdWriteLock()
{
    ensureWritable();
    if (!isMemory() && m_holds == 0) {
        m_file.lock(kLockStart, kLockLength, true, 5000);
        try {
            lockedSync();
        } catch (...) {
            m_file.unlock(kLockStart, kLockLength);
            throw;
        }
        // Nobody reads the index file while the lock is held: the blocks the changes
        // touch are written once, at the release.
        m_index.DeferWrites();
    }
    ++m_holds;
}

void TableStore::releaseWriteLock()
{
    if (m_holds == 0)
        return;
    if (--m_holds > 0 || isMemory())
        return;
    try {
        m_index.EndDeferredWrites();
    } catch (const TableError &) {
        m_indexFile = false;   // the file was dropped; the tags in memory are current
    }
    m_file.unlock(kLockStart, kLockLength);
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
    if (m_indexFile && (m_indexStale || indexFileChanged()))
        buildIndex();
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
        // takes. What lay past the end (the rest of a record cut short) goes.
        QByteArray bytes = record;
        bytes.append('\x1A');
        const int64_t end = recordPos(recNo) + bytes.size();
        m_file.writeAt(recordPos(recNo), bytes.constData(), bytes.size());
        if (m_file.size() > end)
            m_file.truncate(end);
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
        // A fill of the working list appends many records before anyone walks a tag:
        // the tags are built once when one is walked next.
        m_tagsBehind = m_index.TagCount() > 0;
        lookupsInsert(m_count, this->record(m_count));
        ++m_changes;
        return m_count;
    }
    std::optional<FileLock> lock;
    lockUnlessHeld(lock, true);
    if (m_holds == 0)
        lockedSync();   // a hold synchronised when it took the lock, and nobody wrote since
    storeMemos(record, memos);
    const int recNo = m_count + 1;
    writeRecordAt(recNo, record, true);
    m_records.insert(m_records.end(), record.begin(), record.end());
    m_count = recNo;
    indexInsert(recNo);
    lookupsInsert(recNo, this->record(recNo));
    m_stamp = m_file.stamp();
    ++m_changes;
    return recNo;
}

void TableStore::update(int recNo, QByteArray record, const MemoEdits &memos)
{
    ensureWritable();
    Q_ASSERT(record.size() == m_layout.recordLength);
    std::optional<FileLock> lock;
    if (!isMemory()) {
        lockUnlessHeld(lock, true);
        lockedSync();
    }
    if (recNo < 1 || recNo > m_count)
        FailFile(m_path, QStringLiteral("записи %1 нет в таблице").arg(recNo));
    storeMemos(record, memos);
    if (!isMemory()) {
        writeRecordAt(recNo, record, false);
        m_stamp = m_file.stamp();
    }
    // The tags see the record before and after; the record in memory changes between.
    uchar *mine = m_records.data() + size_t(recNo - 1) * size_t(m_layout.recordLength);
    const std::vector<uchar> before(mine, mine + m_layout.recordLength);
    std::memcpy(mine, record.constData(), size_t(m_layout.recordLength));
    if (!m_tagsBehind)
        indexUpdate(recNo, before.data(), mine);
    lookupsChange(recNo, before.data(), mine);
    ++m_changes;
}

void TableStore::removeAll()
{
    ensureWritable();
    if (isMemory()) {
        m_records.clear();
        m_memoryMemos.clear();
        m_count = 0;
        m_index.Clear();
        m_tagsBehind = false;
        lookupsRebuild();
        ++m_changes;
        return;
    }
    // A file keeps its records: every one is marked deleted, as a soft delete does.
    std::optional<FileLock> lock;
    lockUnlessHeld(lock, true);
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

QStringList TableStore::tagNames()
{
    QStringList names;
    for (int t = 0; t < m_index.TagCount(); ++t)
        names << m_index.TagAt(t).Name();
    return names;
}

void TableStore::addTags(const QVector<IndexDef> &defs)
{
    bool added = false;
    for (const IndexDef &def : defs) {
        if (m_index.Tag(def.tag))
            continue;
        bool known = false;
        for (const IndexDef &d : m_indexDefs)
            known = known || d.tag.compare(def.tag, Qt::CaseInsensitive) == 0;
        if (!known) {
            m_indexDefs.append(def);
            added = true;
        }
    }
    if (m_index.IsOpen() && !added && !(m_indexStale && !m_indexFile && m_file.writable()))
        return;
    if (isMemory() || !m_file.writable()) {
        buildIndex();
        return;
    }
    std::optional<FileLock> lock;
    lockUnlessHeld(lock, true);
    m_indexStale = false;
    lockedSync();
    buildIndex();
}

void TableStore::buildIndex()
{
    // Callers that may write the file hold the write lock.
    const QString path = isMemory() ? QString() : indexPath();
    bool withFile = !isMemory() && m_file.writable() && (!m_indexDefs.isEmpty() || QFileInfo::exists(path));
    // A view that cannot write the file orders its records as the file's tags do.
    const QVector<IndexDef> defs = (!isMemory() && !withFile) ? ProductionIndex::DefinitionsInFile(path, m_indexDefs)
                                                              : m_indexDefs;
    try {
        m_index.Open(withFile ? path : QString(), QFileInfo(m_path).fileName(), m_layout, defs,
                     quint32(m_count), source());
    } catch (const ExpressionError &e) {
        FailFile(m_path, QStringLiteral("индекс не построить: %1").arg(e.message()));
    } catch (const TableError &) {
        if (!withFile)
            throw;
        // The index file cannot be written here: the tags live in memory, and the next
        // start builds the file again.
        withFile = false;
        m_index.Open(QString(), QFileInfo(m_path).fileName(), m_layout, defs, quint32(m_count), source());
    }
    m_indexFile = withFile;
    m_indexStale = false;
    m_indexInode = 0;
    if (!withFile)
        return;
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) == 0)
        m_indexInode = uint64_t(st.st_ino);
    if (!m_header.productionIndex) {
        // The table says that it has a production index, as other programs look for it.
        uchar flag = 0;
        m_file.readAt(28, &flag, 1);
        flag |= 0x01;
        m_file.writeAt(28, &flag, 1);
        m_header.productionIndex = true;
        m_stamp = m_file.stamp();
    }
}

void TableStore::catchUpTags()
{
    for (int t = 0; t < m_index.TagCount(); ++t)
        m_index.TagAt(t).Build(quint32(m_count), source());
    m_tagsBehind = false;
}

bool TableStore::indexFileChanged() const
{
    struct stat st;
    if (::stat(QFile::encodeName(indexPath()).constData(), &st) != 0)
        return true;
    return uint64_t(st.st_ino) != m_indexInode;
}

void TableStore::indexInsert(int recNo)
{
    try {
        m_index.Insert(quint32(recNo), record(recNo));
    } catch (const TableError &) {
        m_indexFile = false;   // the file was dropped; the tags in memory are current
    }
}

void TableStore::indexUpdate(int recNo, const uchar *before, const uchar *after)
{
    try {
        m_index.Update(quint32(recNo), before, after);
    } catch (const TableError &) {
        m_indexFile = false;
    }
}

const NumberLookup *TableStore::lookup(int field)
{
    if (field < 0 || field >= m_layout.fields.size() || !NumberLookup::suits(m_layout.fields[field]))
        return nullptr;
    if (m_lookups.empty())
        m_lookups.resize(size_t(m_layout.fields.size()));
    auto &slot = m_lookups[size_t(field)];
    if (!slot) {
        slot = std::make_unique<NumberLookup>(m_layout.fields[field], m_layout.level);
        slot->build(m_count, source());
    }
    return slot.get();
}

void TableStore::lookupsInsert(int recNo, const uchar *record)
{
    for (auto &l : m_lookups)
        if (l)
            l->insert(recNo, record);
}

void TableStore::lookupsChange(int recNo, const uchar *before, const uchar *after)
{
    for (auto &l : m_lookups)
        if (l)
            l->change(recNo, before, after);
}

void TableStore::lookupsRebuild()
{
    for (auto &l : m_lookups)
        if (l)
            l->build(m_count, source());
}

void TableStore::detach()
{
    if (--m_users > 0)
        return;
    m_index.Close();
    if (!isMemory()) {
        m_file.flush();
        m_memo.flush();
    }
}

} // namespace vel::dbf
