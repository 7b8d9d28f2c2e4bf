#include "store/dbf/tags.h"

#include "store/expr/expression.h"

#include <algorithm>
#include <cstring>

namespace vel::dbf {

struct Tag::Entry {
    QByteArray key;
    int recNo;
    bool operator<(const Entry &o) const
    {
        const int c = std::memcmp(key.constData(), o.key.constData(), size_t(qMin(key.size(), o.key.size())));
        if (c != 0)
            return c < 0;
        if (key.size() != o.key.size())
            return key.size() < o.key.size();
        return recNo < o.recNo;
    }
};

Tag::Tag(const IndexDef &def, const RecordLayout &layout)
    : m_def(def),
      m_key(std::make_unique<Expression>(Expression::IndexKey(def.expression, layout, def.caseInsensitive)))
{
}

Tag::~Tag() = default;

char Tag::keyType() const { return m_key->KeyType(); }
int Tag::keyLength() const { return m_key->KeyLength(); }
QByteArray Tag::key(const uchar *record) const { return m_key->Key(record); }

void Tag::refreshOrder() const
{
    if (!m_orderStale)
        return;
    m_order.clear();
    m_order.reserve(m_entries.size());
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (m_def.unique && i > 0 && m_entries[i].key == m_entries[i - 1].key)
            continue;
        m_order.push_back(int(i));
    }
    m_orderStale = false;
}

int Tag::size() const
{
    refreshOrder();
    return int(m_order.size());
}

int Tag::recNoAt(int position) const
{
    refreshOrder();
    return m_entries[size_t(m_order[size_t(position)])].recNo;
}

int Tag::positionOf(int recNo, const uchar *record) const
{
    refreshOrder();
    const Entry probe{key(record), recNo};
    const auto it = std::lower_bound(m_entries.begin(), m_entries.end(), probe);
    if (it == m_entries.end() || it->recNo != recNo)
        return -1;
    const int index = int(it - m_entries.begin());
    const auto pos = std::lower_bound(m_order.begin(), m_order.end(), index);
    if (pos == m_order.end() || *pos != index)
        return -1;
    return int(pos - m_order.begin());
}

int Tag::lowerBound(const QByteArray &k) const
{
    refreshOrder();
    const auto pos = std::lower_bound(m_order.begin(), m_order.end(), k, [&](int index, const QByteArray &key) {
        return m_entries[size_t(index)].key < key;
    });
    return int(pos - m_order.begin());
}

void Tag::build(int count, const RecordAt &record)
{
    m_entries.clear();
    m_entries.reserve(size_t(count));
    for (int r = 1; r <= count; ++r)
        m_entries.push_back(Entry{key(record(r)), r});
    std::sort(m_entries.begin(), m_entries.end());
    m_orderStale = true;
}

void Tag::insert(int recNo, const uchar *record)
{
    Entry e{key(record), recNo};
    m_entries.insert(std::upper_bound(m_entries.begin(), m_entries.end(), e), std::move(e));
    m_orderStale = true;
}

void Tag::change(int recNo, const uchar *before, const uchar *after)
{
    const QByteArray oldKey = key(before), newKey = key(after);
    if (oldKey == newKey)
        return;
    const Entry probe{oldKey, recNo};
    const auto it = std::lower_bound(m_entries.begin(), m_entries.end(), probe);
    if (it != m_entries.end() && it->recNo == recNo)
        m_entries.erase(it);
    insert(recNo, after);
}

void Tag::clear()
{
    m_entries.clear();
    m_orderStale = true;
}

Tag *Tags::find(const QString &name) const
{
    for (const auto &t : m_tags)
        if (t->name().compare(name, Qt::CaseInsensitive) == 0)
            return t.get();
    return nullptr;
}

void Tags::insert(int recNo, const uchar *record)
{
    for (const auto &t : m_tags)
        t->insert(recNo, record);
}

void Tags::change(int recNo, const uchar *before, const uchar *after)
{
    for (const auto &t : m_tags)
        t->change(recNo, before, after);
}

void Tags::rebuild(int count, const RecordAt &record)
{
    for (const auto &t : m_tags)
        t->build(count, record);
}

} // namespace vel::dbf
