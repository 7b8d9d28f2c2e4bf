#pragma once
// The records of one table in this process, shared by every Table open on it: a file
// table (.dbf with its memo file and production index) or a table held in memory.
//
// A file table keeps all its records in memory, read once at open. Writes go through to
// the file at once under the table's write lock. Other processes' writes are noticed by
// the file's change stamp, checked at most every few milliseconds while a cursor moves
// and always on refresh; when it changed, the records are read again and the index tags
// follow the records that changed.
//
// The production index (.mdx) is written only under the write lock: built whole at open,
// then block by block with each change. When another process changed the table, or
// replaced the .mdx, the tags in memory still follow at once, and the file is built anew
// the next time this process writes.
#include "store/dbf/file.h"
#include "store/dbf/header.h"
#include "store/dbf/lookup.h"
#include "store/dbf/memo.h"
#include "store/index/productionindex.h"

#include <QHash>
#include <QString>
#include <QVector>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace vel::dbf {

struct OpenRequest {
    QString path;              // the .dbf, resolved
    bool writable = false;
    bool create = false;       // create from `fields` when the file is missing
    TableLevel level = TableLevel::DBase7;   // for creating
    QVector<FieldDef> fields;
    QVector<IndexDef> indexes;
};

// Memo texts of a record being written: field index -> code page 1251 bytes (empty to
// clear the memo).
using MemoEdits = QHash<int, QByteArray>;

class TableStore {
public:
    // The store of a file, shared with the other Tables of this process open on it.
    static std::shared_ptr<TableStore> openFile(const OpenRequest &request);
    static std::shared_ptr<TableStore> createMemory(const QString &name, const RecordLayout &layout,
                                                    const QVector<IndexDef> &indexes);
    ~TableStore();
    TableStore(const TableStore &) = delete;
    TableStore &operator=(const TableStore &) = delete;

    bool isMemory() const { return m_memory; }
    bool writable() const { return isMemory() || m_file.writable(); }
    const QString &path() const { return m_path; }
    const QString &memoPath() const { return m_memoPath; }
    QString indexPath() const;
    const RecordLayout &layout() const { return m_layout; }
    const DbfHeader &header() const { return m_header; }

    int count() const { return m_count; }
    const uchar *record(int recNo) const
    {
        return m_records.data() + size_t(recNo - 1) * size_t(m_layout.recordLength);
    }
    // Grows by one on every change of the records, this process's or another's.
    uint64_t changeCount() const { return m_changes; }

    // Picks up other processes' writes. Without `force` the file is looked at no more
    // than once every few milliseconds.
    void noticeChanges(bool force);
    // Reads one record from the file again and takes it when it changed.
    void rereadRecord(int recNo);

    // Writes; each throws TableError and leaves memory as the file is.
    int append(QByteArray record, const MemoEdits &memos);   // returns the record number
    void update(int recNo, QByteArray record, const MemoEdits &memos);
    void removeAll();

    // Holds the write lock across several writes, so that other processes see them all
    // at once: they wait for the release. Holds nest; the last release frees the lock.
    void holdWriteLock();
    void releaseWriteLock();

    QByteArray memo(int field, const uchar *record) const;

    // Index tags, kept current with the records; nullptr when the table has no such tag.
    TagIndex *tag(const QString &name) { return m_index.Tag(name); }
    // A memory table's tags follow a run of appends only when they are walked next: call
    // this before walking a tag.
    void prepareTags()
    {
        if (m_tagsBehind)
            catchUpTags();
    }
    QStringList tagNames();
    // Adds the defined tags that are missing (built from the records).
    void addTags(const QVector<IndexDef> &defs);
    // The record numbers by value of a numeric field (built on first use, then kept
    // current); nullptr for a field that cannot have one.
    const NumberLookup *lookup(int field);

    // What building the index found worth telling (tags of another program not kept).
    QStringList indexNotes() const { return m_index.Notes(); }

    // Called by each Table that opens or closes this store; the last close writes the
    // production index when it changed and closes the files.
    void attach() { ++m_users; }
    void detach();

private:
    TableStore() = default;
    void openOrCreate(const OpenRequest &request);
    void createFile(const OpenRequest &request);
    void loadRecords(bool initial);
    void buildIndex();
    void catchUpTags();
    bool indexFileChanged() const;
    void indexInsert(int recNo);
    void indexUpdate(int recNo, const uchar *before, const uchar *after);
    void lockedSync();
    // Takes the write lock (or a shared one) for one operation unless a hold has it.
    void lockUnlessHeld(std::optional<FileLock> &lock, bool exclusive);
    void writeRecordAt(int recNo, const QByteArray &record, bool appending);
    void storeMemos(QByteArray &record, const MemoEdits &memos);
    void ensureWritable() const;
    // Lookups follow every record added or changed, by this process or another.
    void lookupsInsert(int recNo, const uchar *record);
    void lookupsChange(int recNo, const uchar *before, const uchar *after);
    void lookupsRebuild();
    RecordSource source() const
    {
        return [this](quint32 r) { return record(int(r)); };
    }
    int64_t recordPos(int recNo) const
    {
        return int64_t(m_header.headerLength) + int64_t(recNo - 1) * m_layout.recordLength;
    }

    bool m_memory = false;
    QString m_path, m_memoPath;
    File m_file;
    MemoFile m_memo;
    DbfHeader m_header;
    RecordLayout m_layout;
    std::vector<uchar> m_records;
    int m_count = 0;
    uint64_t m_changes = 0;
    FileStamp m_stamp;
    uint64_t m_lastCheck = 0;
    int m_users = 0;
    int m_holds = 0;               // nested holds of the write lock
    ProductionIndex m_index;
    QVector<IndexDef> m_indexDefs;
    bool m_indexFile = false;      // the tags are kept in an .mdx file
    bool m_indexStale = false;     // the file misses changes of other processes
    bool m_tagsBehind = false;     // memory table: records appended since the tags were built
    uint64_t m_indexInode = 0;     // the .mdx this process wrote
    std::vector<std::unique_ptr<NumberLookup>> m_lookups;   // by field, empty until used
    // Memo texts of a memory table; a record's memo field holds the index + 1.
    std::vector<QByteArray> m_memoryMemos;
};

} // namespace vel::dbf
