#pragma once
// What the import and export tests share: files written in code page 1251 with CR LF
// lines, a template in Defaults/IMPORT.PTN, and the patient and test tables opened in the
// working folder as the program opens them.
#include <QDir>
#include <QStringList>

#include "common/text.h"
#include "store/database.h"
#include "tests/support/workfolder.h"

namespace vel::testing {

inline void WriteCp1251(const QString &path, const QStringList &lines)
{
    WriteAll(path, ToCp1251(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
}

// A template with the given keys and the day-first and year-first patterns of the
// shipped one; default school 0.
inline QStringList TemplateLines(const QString &keys)
{
    return {keys, QStringLiteral("(\\d{1,2})[./-](\\d{1,2})[./-](\\d{4})"),
            QStringLiteral("(\\d{4})[./-](\\d{1,2})[./-](\\d{1,2})"), QStringLiteral("0")};
}

inline void WriteTemplate(const QStringList &lines)
{
    QDir().mkpath(QStringLiteral("Defaults"));
    WriteCp1251(QStringLiteral("Defaults/IMPORT.PTN"), lines);
}

// The patient and test tables of the working folder (created when missing).
struct Tables {
    Table people, tests;
    Tables()
    {
        QDir().mkpath(QStringLiteral("Data"));
        DefinePeopleTable(people, QStringLiteral("Data"));
        DefineTestTable(tests);
        people.open();
        tests.open();
    }
};

} // namespace vel::testing
