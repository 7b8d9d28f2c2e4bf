#pragma once
// Raw records for expression and index tests: a layout from field definitions and a
// record writer that stores values in the on-disk encoding of each field type.
#include <QByteArray>
#include <QRandomGenerator>
#include <QString>
#include <QVector>

#include <cstring>
#include <vector>

#include "common/text.h"
#include "store/dbf/layout.h"

namespace vel::testing {

inline RecordLayout MakeLayout(TableLevel level, const QVector<FieldDef> &defs)
{
    RecordLayout layout;
    layout.level = level;
    int offset = 1;
    for (const FieldDef &d : defs) {
        FieldLayout f;
        f.name = d.name.toUpper();
        f.type = d.type;
        f.width = d.width;
        f.decimals = d.decimals;
        f.offset = offset;
        offset += f.width;
        layout.fields << f;
    }
    layout.recordLength = offset;
    return layout;
}

// patients.dbf as the system creates it (dBASE 7).
inline RecordLayout PatientsLayout()
{
    return MakeLayout(TableLevel::DBase7, {
        {"IDX", 'I', 4}, {"FIO", 'C', 60}, {"SEX", 'C', 1}, {"BIRTHDAY", 'D', 8},
        {"ADDRESS", 'C', 80}, {"INSURANCE", 'C', 11}, {"MINSURANCE", 'C', 16},
        {"BIRTHCERT", 'C', 15}, {"RUPASSPORT", 'C', 10}, {"RUPASSUED", 'C', 80},
        {"RUPASSUEDD", 'D', 8}, {"INFO", 'M', 10}, {"LASTLOG", 'I', 4}});
}

// Psy.dbf (FoxPro).
inline RecordLayout PsyLayout()
{
    return MakeLayout(TableLevel::FoxPro, {
        {"IDX", 'N', 9}, {"DATE", 'D', 8}, {"DATAPSY", 'M', 4}, {"TYPE", 'C', 30},
        {"PSYFINAL", 'C', 60}, {"TIME", 'C', 8}});
}

// The working list "tabrpt" (memory table).
inline RecordLayout WorkListLayout()
{
    return MakeLayout(TableLevel::FoxPro, {
        {"IDX", 'I', 4}, {"CHK", 'L', 1}, {"FIO", 'C', 60}, {"SEX", 'C', 1},
        {"BIRTHDAY", 'D', 8}, {"ADDRESS", 'C', 80}, {"SCHOOL", 'S', 2}, {"CLASS", 'S', 2},
        {"LETTER", 'C', 20}});
}

class Record {
public:
    explicit Record(const RecordLayout &layout) : m_layout(layout), m_bytes(layout.recordLength, ' ')
    {
        for (const FieldLayout &f : layout.fields)
            if (f.type == 'I' || f.type == 'S')
                std::memset(m_bytes.data() + f.offset, 0, size_t(f.width));
    }

    Record &text(const QString &field, const QString &value)
    {
        const FieldLayout &f = at(field);
        const QByteArray b = ToCp1251(value).left(f.width);
        std::memset(m_bytes.data() + f.offset, ' ', size_t(f.width));
        std::memcpy(m_bytes.data() + f.offset, b.constData(), size_t(b.size()));
        return *this;
    }
    // "YYYYMMDD" or "" for an empty date.
    Record &date(const QString &field, const QString &yyyymmdd) { return text(field, yyyymmdd); }
    Record &number(const QString &field, long long value)
    {
        const FieldLayout &f = at(field);
        uchar *p = reinterpret_cast<uchar *>(m_bytes.data()) + f.offset;
        if (f.type == 'I' && m_layout.level == TableLevel::DBase7) {
            const quint32 u = quint32(qint32(value)) ^ 0x80000000u;
            p[0] = uchar(u >> 24); p[1] = uchar(u >> 16); p[2] = uchar(u >> 8); p[3] = uchar(u);
        } else if (f.type == 'I') {
            const quint32 u = quint32(qint32(value));
            p[0] = uchar(u); p[1] = uchar(u >> 8); p[2] = uchar(u >> 16); p[3] = uchar(u >> 24);
        } else if (f.type == 'S') {
            const quint16 u = quint16(quint16(qint16(value)) ^ 0x8000u);
            p[0] = uchar(u >> 8); p[1] = uchar(u);
        } else {
            text(field, QString::number(value).rightJustified(f.width, ' '));
        }
        return *this;
    }

    const uchar *data() const { return reinterpret_cast<const uchar *>(m_bytes.constData()); }
    QByteArray bytes() const { return m_bytes; }

private:
    const FieldLayout &at(const QString &name) const
    {
        const int i = m_layout.indexOf(name);
        Q_ASSERT(i >= 0);
        return m_layout.fields[i];
    }
    RecordLayout m_layout;
    QByteArray m_bytes;
};

// n patient records drawn from a fixed seed: common surnames (some in capitals), both
// sexes in both cases, birthdays 1985-2014, and document numbers that are often blank, as
// in a real register.
inline std::vector<QByteArray> RandomPatients(int n, quint32 seed = 42)
{
    static const char *const surnames[] = {"Иванов", "Петров", "Сидоров", "Ивлев", "Смирнов", "Кузнецов",
                                           "Попов", "Васильев", "Ёлкин", "Соколов", "Михайлов", "Новиков"};
    static const char *const names[] = {"Анна", "Мария", "Иван", "Пётр", "Ольга", "Сергей", "Елена"};
    const RecordLayout layout = PatientsLayout();
    QRandomGenerator rng(seed);
    std::vector<QByteArray> out;
    out.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        const bool girl = rng.bounded(2);
        QString fio = QString::fromUtf8(surnames[rng.bounded(12)]) + (girl ? "а " : " ")
                      + QString::fromUtf8(names[rng.bounded(7)]);
        if (rng.bounded(10) == 0)
            fio = fio.toUpper();
        Record r(layout);
        r.number("IDX", i + 1).text("FIO", fio)
            .text("SEX", girl ? (rng.bounded(2) ? "ж" : "Ж") : "м")
            .date("BIRTHDAY", QString::asprintf("%04d%02d%02d", 1985 + rng.bounded(30),
                                                1 + rng.bounded(12), 1 + rng.bounded(28)))
            .text("ADDRESS", QString("г. Город, ул. Улица, д. %1").arg(rng.bounded(200)))
            .text("INSURANCE", rng.bounded(3) ? QString::number(10000000000LL + rng.bounded(1000000)) : "")
            .text("BIRTHCERT", rng.bounded(2) ? QString("I-АБ %1").arg(rng.bounded(1000000)) : "")
            .text("RUPASSPORT", rng.bounded(4) ? "" : QString::number(4500000000LL + i));
        out.push_back(r.bytes());
    }
    return out;
}

// The tags of patients.dbf and of Psy.dbf.
inline QVector<IndexDef> PatientTags()
{
    return {{"I", "IDX", false, false}, {"F", "FIO", false, false}, {"X", "SEX", false, false},
            {"B", "DTOS(BIRTHDAY)", false, false}, {"A", "ADDRESS", false, false},
            {"U", "INSURANCE", true, false}, {"C", "BIRTHCERT", true, false},
            {"P", "RUPASSPORT", true, false}};
}
inline QVector<IndexDef> PsyTags() { return {{"I", "IDX", true, false}}; }

} // namespace vel::testing
