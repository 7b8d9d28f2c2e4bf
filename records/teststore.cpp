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

StoredTest ReadTest(const Table &dbfpsy, int recNo)
{
    const auto field = [&](const char *name) {
        return dbfpsy.valueAt(recNo, dbfpsy.fieldIndex(QLatin1String(name)));
    };
    const auto text = [&](const char *name) {
        QString t = field(name).toString();
        while (t.endsWith(QLatin1Char(' ')))
            t.chop(1);
        return t;
    };
    StoredTest t;
    t.Idx = field("IDX").toInt();
    t.Date = field("DATE").toDate();
    t.Time = text("TIME");
    t.Type = text("TYPE");
    t.Conclusion = text("PSYFINAL");
    t.DataPsy = field("DATAPSY").toString();
    return t;
}

TestRef RefOf(const Table &dbfpsy, int recNo) { return TestRef{recNo, ReadTest(dbfpsy, recNo)}; }

bool GoToTest(Table &dbfpsy, const TestRef &ref)
{
    if (ref.RecNo <= 0 || dbfpsy.isDeletedAt(ref.RecNo))
        return false;
    const StoredTest now = ReadTest(dbfpsy, ref.RecNo);
    if (now.Idx != ref.Was.Idx || now.Date != ref.Was.Date || now.Time != ref.Was.Time || now.Type != ref.Was.Type)
        return false;
    return dbfpsy.goToRecNo(ref.RecNo);
}

int AppendTest(Table &dbfpsy, const StoredTest &test)
{
    dbfpsy.refresh();
    dbfpsy.append();
    Post(dbfpsy, test);
    return dbfpsy.recNo();
}

bool RewriteTest(Table &dbfpsy, const TestRef &ref, const StoredTest &test)
{
    dbfpsy.refresh();
    if (!GoToTest(dbfpsy, ref))
        return false;
    dbfpsy.edit();
    Post(dbfpsy, test);
    return true;
}

} // namespace vel
