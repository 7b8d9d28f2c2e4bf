#pragma once
// One index tag held in memory: the records of a table ordered by the tag's key, then by
// record number.
//
// The order is a B+ tree whose nodes are the pages of the tag in the .mdx file: each node
// holds as many entries as one .mdx block holds keys, so a file-backed tag writes exactly
// the nodes that changed (see ProductionIndex). Entries carry the memcmp-ordered key of
// Expression::Key() followed by the record number, big-endian, so one memcmp orders them.
//
// "Unique" has the dBASE meaning: of the records with one key value only the first (the
// lowest record number) is in the tag; the others are kept aside and take its place when
// it leaves the key value. No error is ever raised for a duplicate.
//
// Records marked deleted stay in the tag, as in dBASE; the table hides them.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>
#include <QVector>

#include <functional>
#include <vector>

#include "store/dbf/layout.h"
#include "store/expr/expression.h"
#include "store/defs/tabledefs.h"

namespace vel {

// The raw record of a record number (1-based), recordLength bytes; valid until the next call.
using RecordSource = std::function<const uchar *(quint32 recNo)>;

// Pages for the nodes of a file-backed tag (512-byte page numbers of whole blocks).
class PageAllocator {
public:
    virtual ~PageAllocator() = default;
    virtual quint32 AllocatePage() = 0;
    virtual void FreePage(quint32 page) = 0;
};

// A place in a tag. It stays usable across changes of the tag: after a change it finds
// its entry again by key and record number.
class TagCursor {
public:
    quint32 recNo() const { return m_recNo; }   // 0 when off either end
    QByteArray key() const;                     // the key of the current entry

private:
    friend class TagIndex;
    int m_node = -1;
    int m_slot = 0;
    int m_off = 0;        // -1 before the first entry, 1 after the last
    quint64 m_stamp = 0;
    quint32 m_recNo = 0;
    QByteArray m_entry;   // key + record number of the current entry
};

class TagIndex {
public:
    // Compiles the key expression; throws ExpressionError. `blockSize` is the .mdx block
    // size that fixes the number of entries per node.
    TagIndex(const IndexDef &def, const RecordLayout &layout, int blockSize = 1024);
    ~TagIndex();
    TagIndex(const TagIndex &) = delete;
    TagIndex &operator=(const TagIndex &) = delete;

    QString Name() const { return m_def.tag; }
    const IndexDef &Definition() const { return m_def; }
    const Expression &KeyExpression() const { return m_expr; }
    bool Unique() const { return m_def.unique; }
    char KeyType() const { return m_expr.KeyType(); }
    int KeyLength() const { return m_keyLength; }
    int KeysPerNode() const { return m_capacity; }
    int Count() const { return m_count; }   // entries in the tag order

    // ---- keeping the tag current
    void Build(quint32 recordCount, const RecordSource &records);
    // The same in steps, so that one pass over the records builds several tags: every
    // record number from 1 to recordCount is given once, in any order.
    void BeginBuild(quint32 recordCount);
    void AddToBuild(quint32 recNo, const uchar *record);
    void FinishBuild();
    void Insert(quint32 recNo, const uchar *record);
    void Update(quint32 recNo, const uchar *oldRecord, const uchar *newRecord);
    void Remove(quint32 recNo, const uchar *record);
    void Clear();

    // ---- walking the order; each returns whether the cursor is on an entry
    bool First(TagCursor &c) const;
    bool Last(TagCursor &c) const;
    bool Next(TagCursor &c) const;
    bool Prior(TagCursor &c) const;
    // The first entry whose key, compared on the length of `key`, is not below `key`.
    bool Seek(TagCursor &c, const QByteArray &key) const;
    // The entry of this record. False when the record is not in the tag (a duplicate of
    // a unique tag); the cursor is then on the entry that follows its place.
    bool Locate(TagCursor &c, quint32 recNo, const uchar *record) const;

    QByteArray KeyOf(const uchar *record) const { return m_expr.Key(record); }
    // The key of a value for Seek(): text (padded no further), number or date.
    QByteArray SeekKey(const QVariant &value) const;

    // ---- the nodes as .mdx pages (for ProductionIndex)
    void SetPageAllocator(PageAllocator *pages) { m_pages = pages; }
    quint32 RootPage() const;
    quint32 FirstLeafPage() const;
    quint32 LastLeafPage() const;
    int NodeCount() const { return m_liveNodes; }
    // Nodes changed since the last call, as page numbers; clears the list.
    std::vector<int> TakeChangedNodes();
    std::vector<int> AllNodes() const;
    quint32 NodePage(int node) const;
    // The node in .mdx page form: `blockSize` bytes.
    void EncodeNode(int node, uchar *page, int blockSize) const;

private:
    struct Node {
        bool leaf = true;
        bool changed = false;
        bool live = true;
        int count = 0;                 // entries (leaf) or separators (interior)
        std::vector<uchar> entries;    // (capacity + 1) * entry length
        std::vector<int> kids;         // interior: count + 1 children
        int prev = -1, next = -1;      // leaves in order
        quint32 page = 0;
    };
    struct Step {
        int node;
        int index;   // child index taken (interior) or slot (leaf)
    };

    int EntryLength() const { return m_keyLength + 4; }
    uchar *EntryAt(Node &n, int i) { return n.entries.data() + size_t(i) * size_t(EntryLength()); }
    const uchar *EntryAt(const Node &n, int i) const
    {
        return n.entries.data() + size_t(i) * size_t(EntryLength());
    }
    int NewNode(bool leaf);
    void FreeNode(int node);
    void Touch(int node);
    void ResetEmpty(bool withRoot = true);

    void MakeEntry(const uchar *record, quint32 recNo, uchar *out) const;
    int ChildFor(const Node &n, const uchar *probe, int length) const;
    int LowerBound(const Node &n, const uchar *probe, int length) const;
    void Descend(const uchar *probe, int length, std::vector<Step> &path) const;

    bool FindEntry(const uchar *entry, std::vector<Step> &path) const;
    bool InsertEntry(const uchar *entry);
    bool RemoveEntry(const uchar *entry);
    void SplitUp(std::vector<Step> &path);
    void RemoveChild(std::vector<Step> &path, size_t level);
    void FixMaxUp(const std::vector<Step> &path, size_t level);

    // unique tags: records kept aside, by key
    void InsertUnique(const uchar *entry);
    void RemoveUnique(const uchar *entry);
    bool FindKey(const uchar *key, quint32 &recNo) const;

    bool SetCursor(TagCursor &c, int node, int slot) const;
    void Relocate(const TagCursor &c, int &node, int &slot, bool &exact) const;

    IndexDef m_def;
    Expression m_expr;
    int m_keyLength;
    int m_capacity;
    std::vector<Node> m_nodes;
    std::vector<int> m_freeNodes;
    std::vector<int> m_changed;
    int m_root = -1;
    int m_count = 0;
    int m_liveNodes = 0;
    quint64 m_stamp = 1;
    QHash<QByteArray, std::vector<quint32>> m_aside;   // unique: later records of a key
    PageAllocator *m_pages = nullptr;
    mutable std::vector<Step> m_path;
    std::vector<uchar> m_entry, m_entry2;
    std::vector<uchar> m_build;   // entries of a build under way, by record number
    quint32 m_buildCount = 0;
};

} // namespace vel
