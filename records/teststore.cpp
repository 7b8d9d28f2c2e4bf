#include "records/teststore.h"

#include "store/table.h"

namespace vel {

namespace {

void SetFields(Table &dbfpsy, const StoredTest &test)
{
    dbfpsy.setValue(QStringLiteral("IDX"), test.Idx);
    dbfpsy.setValue(QStringLiteral("DATE"), test.Date);
    dbfpsy.setValue(QStringLiteral("TIME"), test.Time.left(TestTimeFieldWidth));
    dbfpsy.setValue(QStringLiteral("TYPE"), test.Type);
    dbfpsy.setValue(QStringLiteral("PSYFINAL"), test.Conclusion);
    dbfpsy.setValue(QStringLiteral("DATAPSY"), test.DataPsy);
}

// Posts the change; a failed post is dropped so that the table is usable again.
void Post(Table &dbfpsy, const StoredTest &test)
{
    try {
        SetFields(dbfpsy, test);
        dbfpsy.post();
    } catch (...) {
        dbfpsy.cancel();
        throw;
    }
}

} // namespace

std::optional<TestType> TestOfTypeName(const QString &type)
{
    if (type == ChoiceTestName)
        return TestType::Choice;
    if (type == MovingTestName)
        return TestType::Moving;
    return std::nullopt;
}

StoredTest ReadCurrentTest(const Table &dbfpsy)
{
    StoredTest t;
    t.Idx = dbfpsy.asInteger(QStringLiteral("IDX"));
    t.Date = dbfpsy.asDate(QStringLiteral("DATE"));
    t.Time = dbfpsy.asString(QStringLiteral("TIME"));
    t.Type = dbfpsy.asString(QStringLiteral("TYPE"));
    t.Conclusion = dbfpsy.asString(QStringLiteral("PSYFINAL"));
    t.DataPsy = dbfpsy.memoText(QStringLiteral("DATAPSY"));
    return t;
}

int AppendTest(Table &dbfpsy, const StoredTest &test)
{
    dbfpsy.refresh();
    dbfpsy.append();
    Post(dbfpsy, test);
    const int recNo = dbfpsy.recNo();
    dbfpsy.refresh();
    return recNo;
}

void RewriteTest(Table &dbfpsy, int recNo, const StoredTest &test)
{
    dbfpsy.refresh();
    if (!dbfpsy.goToRecNo(recNo))
        throw TableError(QStringLiteral("Запись теста не найдена в таблице %1: её удалили, пока тест был открыт.")
                             .arg(dbfpsy.tableName()));
    dbfpsy.edit();
    Post(dbfpsy, test);
    dbfpsy.refresh();
}

} // namespace vel
