#pragma once
// The .mdx production index file of dBASE IV and later: reading and checking it.
//
// Layout (little-endian numbers; "page" means a 512-byte page number, "block" the unit
// of the B-tree, 1024 bytes here):
//   pages 0-3     file header (bytes 0-47) and the tag table at byte 544, 32 bytes a tag,
//                 at most 47 tags;
//   per tag       a header block (root page, key type and length, keys per block, item
//                 length, unique flag, key expression at byte 24) and the blocks of its
//                 B-tree;
//   B-tree block  count of keys (4 bytes), 4 bytes unused, then items of
//                 [4-byte pointer][key], the item length being the key length plus 4
//                 rounded up to a multiple of 4. In a leaf the pointers are record
//                 numbers and the pointer after the last key is 0. An interior block has
//                 one pointer more than keys; pointer i leads to the block whose largest
//                 key is key i, the last one to the keys above them all.
#include <QByteArray>
#include <QString>
#include <QVector>

#include <vector>

namespace vel {

namespace mdx {
constexpr int kPage = 512;
constexpr int kHeaderPages = 4;
constexpr int kTagTable = 544;
constexpr int kTagEntry = 32;
constexpr int kMaxTags = 47;
constexpr int kMaxKeyLength = 100;
constexpr int kMaxExpression = 220;
constexpr int kMaxTagName = 10;
// Tag header fields.
constexpr int kTagExpression = 24;
constexpr int kTagHasKeys = 246;
constexpr int kTagFirstLeaf = 248;
constexpr int kTagLastLeaf = 252;
constexpr int kTagForExpression = 762;
} // namespace mdx

struct MdxTagInfo {
    QString name;
    QString expression;
    QString forExpression;   // empty when the tag has no FOR condition
    char keyType = 'C';      // 'C', 'N' or 'D'
    int keyLength = 0;       // of the keys in the file
    bool unique = false;
    bool descending = false;
    quint32 headerPage = 0;
    quint32 rootPage = 0;
    int keysPerBlock = 0;
    int itemLength = 0;
};

struct MdxEntry {
    QByteArray key;          // as the file stores it
    quint32 recNo = 0;
};

struct MdxNode {
    bool leaf = true;
    std::vector<quint32> pointers;   // record numbers (leaf) or pages, count + 1 for interior
    std::vector<QByteArray> keys;
};

// Reads an .mdx held whole in memory. Every read is checked against the size of the
// file: a garbled file gives a TableError that names it and says what is wrong.
class MdxReader {
public:
    explicit MdxReader(const QString &path);                 // throws TableError
    MdxReader(const QByteArray &bytes, const QString &name); // throws TableError

    int BlockSize() const { return m_blockSize; }
    quint32 PageCount() const { return m_pageCount; }
    const QVector<MdxTagInfo> &Tags() const { return m_tags; }
    const MdxTagInfo *Tag(const QString &name) const;   // by name, case-insensitive

    MdxNode ReadNode(const MdxTagInfo &tag, quint32 page) const;
    // The leaf entries of a tag in B-tree order. Checks on the way that every block lies in
    // the file, no block is reached twice, keys never go down and each lies within the
    // keys of the interior blocks above it.
    QVector<MdxEntry> Entries(const MdxTagInfo &tag) const;
    void CheckAll() const;

private:
    void Parse();
    [[noreturn]] void Fail(const QString &what) const;
    int CompareKeys(const MdxTagInfo &tag, const QByteArray &a, const QByteArray &b) const;
    void Walk(const MdxTagInfo &tag, quint32 page, int depth, const QByteArray *low,
              const QByteArray *high, std::vector<char> &seen, QVector<MdxEntry> &out) const;

    QByteArray m_bytes;
    QString m_name;
    int m_blockSize = 1024;
    quint32 m_pageCount = 0;
    QVector<MdxTagInfo> m_tags;
};

} // namespace vel
