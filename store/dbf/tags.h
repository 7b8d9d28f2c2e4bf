#pragma once
// The index tags of one table as its store keeps them, current with every change of the
// records (see store/index/tagindex.h for the order and the dBASE meaning of unique).
#include "store/index/tagindex.h"

#include <QString>

#include <memory>
#include <vector>

namespace vel::dbf {

class Tags {
public:
    int size() const { return int(m_tags.size()); }
    TagIndex &at(int i) const { return *m_tags[size_t(i)]; }
    TagIndex *find(const QString &name) const;   // case-insensitive
    void add(std::unique_ptr<TagIndex> tag) { m_tags.push_back(std::move(tag)); }
    void clear() { m_tags.clear(); }

    void insert(int recNo, const uchar *record);
    void change(int recNo, const uchar *before, const uchar *after);
    void rebuild(int count, const RecordSource &records);

private:
    std::vector<std::unique_ptr<TagIndex>> m_tags;
};

} // namespace vel::dbf
