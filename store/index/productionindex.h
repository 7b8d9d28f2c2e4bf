#pragma once
// The index tags of one table and, for a file table, its .mdx production index file.
//
// Open() builds every tag from the records in one pass and writes the .mdx anew: the
// records are the truth, and the system deletes its .mdx files at every close, so each
// start builds them again. An existing .mdx is read first only to keep tags that other
// programs of the suite added (those whose key this engine can compute); a garbled one
// is simply replaced. From then on every change writes just the blocks it touched, so
// other programs reading the file see it current.
#include <QFile>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>
#include <vector>

#include "store/dbf/layout.h"
#include "store/index/tagindex.h"
#include "store/defs/tabledefs.h"

namespace vel {

class ProductionIndex : public PageAllocator {
public:
    ProductionIndex();
    ~ProductionIndex() override;
    ProductionIndex(const ProductionIndex &) = delete;
    ProductionIndex &operator=(const ProductionIndex &) = delete;

    // Builds the tags of `defs` over records 1..recordCount. With an .mdx path the file is
    // written there (throws TableError when it cannot be); with an empty path the tags
    // live in memory only (memory tables, read-only views). A key expression the engine
    // cannot read throws ExpressionError.
    void Open(const QString &mdxPath, const QString &tableName, const RecordLayout &layout,
              const QVector<IndexDef> &defs, quint32 recordCount, const RecordSource &records);
    void Close();
    // The definitions as an existing .mdx holds them: a tag the file has keeps the file's
    // key expression and unique flag, so that a second view of a table (opened read-only,
    // in memory) orders records as the tags the first one made. A missing or garbled file
    // leaves `defs` as they are.
    static QVector<IndexDef> DefinitionsInFile(const QString &mdxPath, const QVector<IndexDef> &defs);
    bool IsOpen() const { return m_open; }
    QString FilePath() const { return m_path; }
    // What Open() found worth telling: a garbled file replaced, a tag of the old file that
    // could not be kept.
    QStringList Notes() const { return m_notes; }

    int TagCount() const { return int(m_tags.size()); }
    TagIndex &TagAt(int i) { return *m_tags[size_t(i)]; }
    TagIndex *Tag(const QString &name);   // case-insensitive; nullptr when missing

    // Changes of one record, applied to every tag and written to the file at once. The tags
    // are current even when writing fails; the file is then deleted (it is rebuilt at the
    // next open) and TableError says so.
    void Insert(quint32 recNo, const uchar *record);
    void Update(quint32 recNo, const uchar *oldRecord, const uchar *newRecord);
    void Remove(quint32 recNo, const uchar *record);
    void Clear();

    // Between these two, changes apply to the tags at once but reach the file together at
    // the end, each touched block written once (the table's write lock is held meanwhile,
    // so no other program reads the file half-written). The end throws as a change does.
    void DeferWrites() { m_deferred = true; }
    void EndDeferredWrites();

    // PageAllocator
    quint32 AllocatePage() override;
    void FreePage(quint32 page) override;

private:
    QByteArray FileHeader() const;
    QByteArray TagHeader(const TagIndex &tag) const;
    void WriteWholeFile();
    void Flush();
    void WriteAt(qint64 offset, const char *data, qint64 size);
    void DropFile(const QString &why);

    bool m_open = false;
    QString m_path;
    QString m_tableName;
    QStringList m_notes;
    std::vector<std::unique_ptr<TagIndex>> m_tags;
    std::vector<quint32> m_tagHeaderPages;
    std::vector<quint8> m_serial;
    quint32 m_nextPage = 0;
    std::vector<quint32> m_freePages;
    bool m_freeChanged = false;
    bool m_deferred = false;
    QFile m_file;
};

} // namespace vel
