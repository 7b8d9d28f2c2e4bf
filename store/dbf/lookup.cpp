#include "store/dbf/lookup.h"

#include "store/dbf/codec.h"

#include <QRegularExpression>

#include <algorithm>

namespace vel::dbf {

namespace {

void InsertSorted(std::vector<int> &v, int recNo)
{
    v.insert(std::lower_bound(v.begin(), v.end(), recNo), recNo);
}

void EraseSorted(std::vector<int> &v, int recNo)
{
    const auto it = std::lower_bound(v.begin(), v.end(), recNo);
    if (it != v.end() && *it == recNo)
        v.erase(it);
}

} // namespace

bool NumberLookup::suits(const FieldLayout &field)
{
    return ((field.type == 'N' || field.type == 'F') && field.decimals == 0 && field.width <= 15)
           || ((field.type == 'I' || field.type == '+') && field.width == 4);
}

bool NumberLookup::recognize(const QString &filter, QString *field, int64_t *value)
{
    static const QRegularExpression form(
        QStringLiteral("^\\s*((?:\\(\\s*)*)([A-Za-z_][A-Za-z0-9_]*)\\s*=\\s*(-?[0-9]{1,15})\\s*((?:\\)\\s*)*)$"));
    const QRegularExpressionMatch m = form.match(filter);
    if (!m.hasMatch() || m.captured(1).count(QLatin1Char('(')) != m.captured(4).count(QLatin1Char(')')))
        return false;
    bool ok = false;
    *value = m.captured(3).toLongLong(&ok);
    *field = m.captured(2);
    return ok;
}

bool NumberLookup::plain(const uchar *record, int64_t *value) const
{
    const uchar *p = record + m_field.offset;
    if (m_field.type == 'I' || m_field.type == '+') {
        int32_t v;
        if (!DecodeLong(p, m_level, &v))
            return false;
        *value = v;
        return true;
    }
    // Spaces, an optional minus, digits: what every writer stores for a whole number.
    int i = 0;
    const int w = m_field.width;
    while (i < w && p[i] == ' ')
        ++i;
    bool negative = false;
    if (i < w && p[i] == '-') {
        negative = true;
        ++i;
    }
    if (i == w)
        return false;
    int64_t v = 0;
    for (; i < w; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return false;
        v = v * 10 + (p[i] - '0');
    }
    *value = negative ? -v : v;
    return true;
}

void NumberLookup::add(int recNo, const uchar *record)
{
    int64_t v;
    if (plain(record, &v))
        InsertSorted(m_byValue[v], recNo);
    else
        InsertSorted(m_other, recNo);
}

void NumberLookup::remove(int recNo, const uchar *record)
{
    int64_t v;
    if (plain(record, &v)) {
        const auto it = m_byValue.find(v);
        if (it != m_byValue.end()) {
            EraseSorted(it->second, recNo);
            if (it->second.empty())
                m_byValue.erase(it);
        }
    } else {
        EraseSorted(m_other, recNo);
    }
}

void NumberLookup::build(int count, const RecordSource &records)
{
    m_byValue.clear();
    m_other.clear();
    for (int r = 1; r <= count; ++r) {
        int64_t v;
        const uchar *record = records(quint32(r));
        if (plain(record, &v))
            m_byValue[v].push_back(r);
        else
            m_other.push_back(r);
    }
}

void NumberLookup::insert(int recNo, const uchar *record)
{
    int64_t v;
    if (plain(record, &v))
        m_byValue[v].push_back(recNo);
    else
        m_other.push_back(recNo);
}

void NumberLookup::change(int recNo, const uchar *before, const uchar *after)
{
    const uchar *a = before + m_field.offset, *b = after + m_field.offset;
    if (std::equal(a, a + m_field.width, b))
        return;
    remove(recNo, before);
    add(recNo, after);
}

std::vector<int> NumberLookup::candidates(int64_t value) const
{
    const auto it = m_byValue.find(value);
    if (it == m_byValue.end())
        return m_other;
    if (m_other.empty())
        return it->second;
    std::vector<int> out;
    out.reserve(it->second.size() + m_other.size());
    std::merge(it->second.begin(), it->second.end(), m_other.begin(), m_other.end(), std::back_inserter(out));
    return out;
}

} // namespace vel::dbf
