#pragma once
// The test records of Psy.dbf (dbfpsy) as the test list writes and reads them. No
// widgets. Every write throws vel::TableError when the engine fails, and a write that
// failed leaves no half-written record behind: all fields, the raw data included, go in
// with one post.
#include <QDate>
#include <QString>

#include <optional>

#include "records/datapsy.h"

namespace vel {

class Table;

// TYPE of a test record.
inline const QString ChoiceTestName = QStringLiteral("Тест реакции выбора");
inline const QString MovingTestName = QStringLiteral("Реакция на движ.объект");

// The test a TYPE names; none for any other text (such records are not opened).
std::optional<TestType> TestOfTypeName(const QString &type);

struct StoredTest {
    int Idx = 0;
    QDate Date;
    QString Time;          // TIME as stored, at most 8 characters
    QString Type;
    QString Conclusion;    // PSYFINAL, cut to 60 characters by the field
    QString DataPsy;
};

// The current record of the table.
StoredTest ReadCurrentTest(const Table &dbfpsy);

// Appends a record; it becomes the current one. Returns its record number.
int AppendTest(Table &dbfpsy, const StoredTest &test);

// Rewrites record `recNo` in place. Throws when the record is no longer visible (another
// program deleted it meanwhile).
void RewriteTest(Table &dbfpsy, int recNo, const StoredTest &test);

} // namespace vel
