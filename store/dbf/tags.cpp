#include "store/dbf/tags.h"

namespace vel::dbf {

TagIndex *Tags::find(const QString &name) const
{
    for (const auto &t : m_tags)
        if (t->name().compare(name, Qt::CaseInsensitive) == 0)
            return t.get();
    return nullptr;
}

void Tags::insert(int recNo, const uchar *record)
{
    for (const auto &t : m_tags)
        t->Insert(quint32(recNo), record);
}

void Tags::change(int recNo, const uchar *before, const uchar *after)
{
    for (const auto &t : m_tags)
        t->Update(quint32(recNo), before, after);
}

void Tags::rebuild(int count, const RecordSource &records)
{
    for (const auto &t : m_tags)
        t->Build(quint32(count), records);
}

} // namespace vel::dbf
