#pragma once
// Small tables for the engine's tests: a patient-like table at any level or in memory,
// and records written field by field as the program writes them.
#include <QDate>
#include <QDir>
#include <QFile>
#include <QString>
#include <QVariant>
#include <QVector>

#include <initializer_list>
#include <utility>

#include "store/table.h"
#include "tests/support/workfolder.h"   // ReadAll, WriteAll

namespace vel::testing {

// A record appended and written with the values of the named fields; the others blank.
inline void AppendFields(Table &table, std::initializer_list<std::pair<QString, QVariant>> fields)
{
    table.append();
    for (const auto &[name, value] : fields)
        table.setValue(name, value);
    table.post();
}

inline QVector<FieldDef> PersonFields(TableLevel level)
{
    QVector<FieldDef> f = {
        {"FIO", 'C', 30, 0}, {"SEX", 'C', 1, 0}, {"BIRTHDAY", 'D', 8, 0},
        {"SCORE", 'N', 7, 2}, {"OK", 'L', 1, 0}, {"NOTE", 'M', level == TableLevel::FoxPro ? 4 : 10, 0},
        {"INS", 'C', 11, 0},
    };
    if (level == TableLevel::DBase7 || level == TableLevel::FoxPro)
        f.prepend({"IDX", 'I', 4, 0});
    else
        f.prepend({"IDX", 'N', 9, 0});
    return f;
}

inline QVector<IndexDef> PersonIndexes()
{
    return {{"I", "IDX", false, false}, {"F", "FIO", false, false}, {"U", "INS", true, false},
            {"B", "DTOS(BIRTHDAY)", false, false}};
}

// Configures (does not open) a person table in `folder`, or in memory when folder is empty.
inline void DefinePersons(Table &t, const QString &folder, TableLevel level = TableLevel::DBase7,
                          const QString &name = QStringLiteral("persons.dbf"))
{
    t.setFolder(folder);
    t.setTableName(name);
    t.setLevel(level);
    t.setStorage(folder.isEmpty() ? Storage::Memory : Storage::File);
    t.setOpenMode(folder.isEmpty() ? OpenMode::Temporary : OpenMode::Create);
    t.setFieldDefs(PersonFields(level));
    t.setIndexDefs(PersonIndexes());
    t.setFilterOptions({true, true});
}

inline void AddPerson(Table &t, int idx, const QString &fio, const QString &sex = "м",
                      const QDate &born = QDate(2010, 5, 17), const QString &ins = QString(),
                      const QString &note = QString())
{
    t.append();
    t.setValue("IDX", idx);
    t.setValue("FIO", fio);
    t.setValue("SEX", sex);
    t.setValue("BIRTHDAY", born);
    t.setValue("SCORE", idx * 1.25);
    t.setValue("OK", idx % 2 == 0);
    if (!ins.isEmpty())
        t.setValue("INS", ins);
    if (!note.isEmpty())
        t.setValue("NOTE", note);
    t.post();
}

} // namespace vel::testing
