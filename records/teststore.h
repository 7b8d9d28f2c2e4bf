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

// Record `recNo`, read without moving the cursor.
StoredTest ReadTest(const Table &dbfpsy, int recNo);

// A test the operator picked in the list: its record, and what the record held then.
struct TestRef {
    int RecNo = 0;
    StoredTest Was;
};
TestRef RefOf(const Table &dbfpsy, int recNo);

// Moves to the picked test. False, and the cursor where it was, when the test has gone
// meanwhile: the record is deleted, no longer visible, or holds another test (another
// patient, test, date or time, as after another program packed the file).
bool GoToTest(Table &dbfpsy, const TestRef &ref);

// Reads the table afresh, then appends a record; it becomes the current one. Returns its
// record number. Once this returns the record is in the file, whatever fails next.
int AppendTest(Table &dbfpsy, const StoredTest &test);

// Reads the table afresh and rewrites the picked test in place; false, with nothing
// written, when the test has gone (GoToTest).
bool RewriteTest(Table &dbfpsy, const TestRef &ref, const StoredTest &test);

} // namespace vel
