#pragma once
// The index tags of one table as its store keeps them: each tag's key expression and the
// order of the records by that key, kept current as records are added and changed.
// "Unique" tags follow dBASE: only the first record of each key value is in the order;
// the others are stored in the table and missing from the tag.
#include "store/dbf/layout.h"
#include "store/table.h"

#include <QString>
#include <QVector>

#include <functional>
#include <memory>
#include <vector>

namespace vel {
class Expression;
}

namespace vel::dbf {

using RecordAt = std::function<const uchar *(int recNo)>;

class Tag {
public:
    // Compiles the key; throws ExpressionError when it cannot be read against the layout.
    Tag(const IndexDef &def, const RecordLayout &layout);
    ~Tag();
    Tag(const Tag &) = delete;
    Tag &operator=(const Tag &) = delete;

    const IndexDef &def() const { return m_def; }
    const QString &name() const { return m_def.tag; }
    char keyType() const;
    int keyLength() const;

    // The records in key order.
    int size() const;
    int recNoAt(int position) const;
    // The position of a record in the order, -1 when it is not there (a later duplicate
    // of a unique key).
    int positionOf(int recNo, const uchar *record) const;
    // The first position whose key is not less than `key` (size() when none).
    int lowerBound(const QByteArray &key) const;
    QByteArray key(const uchar *record) const;

    void build(int count, const RecordAt &record);
    void insert(int recNo, const uchar *record);
    void change(int recNo, const uchar *before, const uchar *after);
    void clear();

private:
    struct Entry;
    void refreshOrder() const;

    IndexDef m_def;
    std::unique_ptr<Expression> m_key;
    std::vector<Entry> m_entries;            // every record, by key then record number
    mutable std::vector<int> m_order;        // unique tags: the first record of each key
    mutable bool m_orderStale = true;
};

class Tags {
public:
    int size() const { return int(m_tags.size()); }
    Tag &at(int i) const { return *m_tags[size_t(i)]; }
    Tag *find(const QString &name) const;   // case-insensitive
    void add(std::unique_ptr<Tag> tag) { m_tags.push_back(std::move(tag)); }
    void insert(int recNo, const uchar *record);
    void change(int recNo, const uchar *before, const uchar *after);
    void rebuild(int count, const RecordAt &record);

private:
    std::vector<std::unique_ptr<Tag>> m_tags;
};

} // namespace vel::dbf
