#pragma once
// Record numbers by the whole-number value of one numeric field, so that a filter such as
// "(IDX=n)", which the register sets at every move of the patient list, visits only the
// records that can pass it instead of every record of the table.
//
// Records whose field is not a plain whole number (empty, with decimals, garbled) are
// kept apart and visited always: the filter itself still decides for every record
// visited, so the lookup can narrow the walk but never change its result.
#include "store/dbf/layout.h"
#include "store/index/tagindex.h"

#include <QString>

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace vel::dbf {

class NumberLookup {
public:
    NumberLookup(const FieldLayout &field, TableLevel level) : m_field(field), m_level(level) {}

    void build(int count, const RecordSource &records);
    void insert(int recNo, const uchar *record);   // recNo above every record so far
    void change(int recNo, const uchar *before, const uchar *after);

    // The records that may hold `value`, in record order.
    std::vector<int> candidates(int64_t value) const;

    // The field and value of a filter that is one comparison "FIELD = whole number",
    // in any number of parentheses; false for every other filter.
    static bool recognize(const QString &filter, QString *field, int64_t *value);
    // Whether a field can have a lookup.
    static bool suits(const FieldLayout &field);

private:
    bool plain(const uchar *record, int64_t *value) const;
    void add(int recNo, const uchar *record);
    void remove(int recNo, const uchar *record);

    FieldLayout m_field;
    TableLevel m_level;
    std::unordered_map<int64_t, std::vector<int>> m_byValue;   // each in record order
    std::vector<int> m_other;                                   // in record order
};

} // namespace vel::dbf
