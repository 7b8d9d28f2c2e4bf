#pragma once
// Patients and tests written through the system's own tables, for the tests of the
// register's logic and windows; the windows' tests answer modal windows with
// tests/support/modalscript.h.
#include <QDate>
#include <QtTest>

#include "store/table.h"
#include "tests/support/workfolder.h"

namespace vel::testing {

struct Patient {
    int idx = 0;
    QString fio;
    QString sex = QStringLiteral("м");
    QDate birthday = QDate(2010, 5, 17);
    QString address;
};

inline void AddPatient(Table &people, int idx, const QString &fio, const QString &sex = QStringLiteral("м"),
                       const QDate &birthday = QDate(2010, 5, 17), const QString &address = QString())
{
    people.append();
    people.setValue("IDX", idx);
    people.setValue("FIO", fio);
    people.setValue("SEX", sex);
    people.setValue("BIRTHDAY", birthday);
    people.setValue("ADDRESS", address);
    people.post();
}

inline void AddPatient(Table &people, const Patient &p)
{
    AddPatient(people, p.idx, p.fio, p.sex, p.birthday, p.address);
}

inline void AddTest(Table &tests, int idx, const QString &conclusion)
{
    tests.append();
    tests.setValue("IDX", idx);
    tests.setValue("DATE", QDate(2024, 3, 1));
    tests.setValue("TYPE", QStringLiteral("Тест реакции выбора"));
    tests.setValue("PSYFINAL", conclusion);
    tests.post();
}

// The conclusions of the test records that are not deleted, in file order, whatever the
// table's filter.
inline QStringList LiveTests(const Table &tests)
{
    QStringList out;
    const int idx = tests.fieldIndex("IDX");
    const int fin = tests.fieldIndex("PSYFINAL");
    for (int r = 1; r <= const_cast<Table &>(tests).physicalRecordCount(); ++r)
        if (!tests.isDeletedAt(r))
            out << QStringLiteral("%1:%2").arg(tests.valueAt(r, idx).toInt()).arg(tests.valueAt(r, fin).toString());
    return out;
}

} // namespace vel::testing
