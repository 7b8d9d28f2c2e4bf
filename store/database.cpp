#include "store/database.h"

namespace vel {

namespace {

QVector<FieldDef> PeopleFields()
{
    return {
        {QStringLiteral("IDX"), 'I', 4, 0},
        {QStringLiteral("FIO"), 'C', 60, 0},
        {QStringLiteral("SEX"), 'C', 1, 0},
        {QStringLiteral("BIRTHDAY"), 'D', 8, 0},
        {QStringLiteral("ADDRESS"), 'C', 80, 0},
        {QStringLiteral("INSURANCE"), 'C', 11, 0},
        {QStringLiteral("MINSURANCE"), 'C', 16, 0},
        {QStringLiteral("BIRTHCERT"), 'C', 15, 0},
        {QStringLiteral("RUPASSPORT"), 'C', 10, 0},
        {QStringLiteral("RUPASSUED"), 'C', 80, 0},
        {QStringLiteral("RUPASSUEDD"), 'D', 8, 0},
        {QStringLiteral("INFO"), 'M', 10, 0},
        {QStringLiteral("LASTLOG"), 'I', 4, 0},
        {QStringLiteral("IDTYPE"), 'I', 4, 0},
        {QStringLiteral("IDORPHHABITATION"), 'I', 4, 0},
        {QStringLiteral("DATEORPHHABITATION"), 'D', 8, 0},
        {QStringLiteral("IDSTACORG"), 'I', 4, 0},
    };
}

QVector<IndexDef> PeopleIndexes(bool uniqueTags)
{
    return {
        {QStringLiteral("I"), QStringLiteral("IDX"), false, false},
        {QStringLiteral("F"), QStringLiteral("FIO"), false, false},
        {QStringLiteral("X"), QStringLiteral("SEX"), false, false},
        {QStringLiteral("B"), QStringLiteral("DTOS(BIRTHDAY)"), false, false},
        {QStringLiteral("A"), QStringLiteral("ADDRESS"), false, false},
        {QStringLiteral("U"), QStringLiteral("INSURANCE"), uniqueTags, false},
        {QStringLiteral("C"), QStringLiteral("BIRTHCERT"), uniqueTags, false},
        {QStringLiteral("P"), QStringLiteral("RUPASSPORT"), true, false},
    };
}

void ResetFilter(Table &t, const QString &filter, const FilterOptions &options)
{
    t.setFilterOptions(options);
    t.setFilter(filter);
    t.setFiltered(true);
}

// dbPeople and pdb differ in access, in creating the file and in the unique tags.
void DefinePatients(Table &t, const QString &dataDir, bool view)
{
    t.setFolder(dataDir);
    t.setTableName(QStringLiteral("patients.dbf"));
    t.setLevel(TableLevel::DBase7);
    t.setStorage(Storage::File);
    t.setOpenMode(view ? OpenMode::Normal : OpenMode::Create);
    t.setReadOnly(view);
    t.setFieldDefs(PeopleFields());
    t.setIndexDefs(PeopleIndexes(!view));
    t.setIndexName(QString());
    ResetFilter(t, QString(), FilterOptions{true, view});
}

} // namespace

void DefinePeopleTable(Table &t, const QString &dataDir) { DefinePatients(t, dataDir, false); }
void DefinePeopleView(Table &t, const QString &dataDir) { DefinePatients(t, dataDir, true); }

void DefineWorkList(Table &t)
{
    t.setFolder(QString());   // held in memory only
    t.setTableName(QStringLiteral("tabrpt"));
    t.setLevel(TableLevel::FoxPro);
    t.setStorage(Storage::Memory);
    t.setOpenMode(OpenMode::Temporary);
    t.setReadOnly(false);
    t.setFieldDefs({
        {QStringLiteral("IDX"), 'I', 4, 0},
        {QStringLiteral("CHK"), 'L', 1, 0},
        {QStringLiteral("FIO"), 'C', 60, 0},
        {QStringLiteral("SEX"), 'C', 1, 0},
        {QStringLiteral("BIRTHDAY"), 'D', 8, 0},
        {QStringLiteral("ADDRESS"), 'C', 80, 0},
        {QStringLiteral("SCHOOL"), 'S', 2, 0},
        {QStringLiteral("CLASS"), 'S', 2, 0},
        {QStringLiteral("LETTER"), 'C', 20, 0},
        {QStringLiteral("LASTLOG"), 'I', 4, 0},
        {QStringLiteral("INSURANCE"), 'C', 20, 0},
        {QStringLiteral("MINSURANCE"), 'C', 16, 0},
    });
    t.setIndexDefs({
        {QStringLiteral("I"), QStringLiteral("IDX"), true, false},
        {QStringLiteral("F"), QStringLiteral("FIO"), false, true},
        {QStringLiteral("X"), QStringLiteral("SEX"), false, false},
        {QStringLiteral("B"), QStringLiteral("DTOS(BIRTHDAY)"), false, false},
        {QStringLiteral("A"), QStringLiteral("ADDRESS"), false, true},
        {QStringLiteral("ALL"), QStringLiteral("STR(SCHOOL,5)+STR(CLASS,2)+LETTER+SUBSTR(FIO,1,40)"), false, false},
    });
    t.setIndexName(QStringLiteral("F"));
    ResetFilter(t, QString(), FilterOptions{true, true});
}

void DefineTestTable(Table &t)
{
    t.setFolder(QStringLiteral("data\\"));
    t.setTableName(QStringLiteral("Psy.dbf"));
    t.setLevel(TableLevel::FoxPro);
    t.setStorage(Storage::File);
    t.setOpenMode(OpenMode::Create);
    t.setReadOnly(false);
    t.setFieldDefs({
        {QStringLiteral("IDX"), 'N', 9, 0},
        {QStringLiteral("DATE"), 'D', 8, 0},
        {QStringLiteral("DATAPSY"), 'M', 4, 0},
        {QStringLiteral("TYPE"), 'C', 30, 0},
        {QStringLiteral("PSYFINAL"), 'C', 60, 0},
        {QStringLiteral("TIME"), 'C', 8, 0},
    });
    t.setIndexDefs(SystemIndexDefs(QStringLiteral("Psy.dbf")));
    t.setIndexName(QString());
    ResetFilter(t, QStringLiteral("(idx=0)"), FilterOptions{false, true});
}

QVector<IndexDef> SystemIndexDefs(const QString &fileName)
{
    if (fileName.compare(QLatin1String("patients.dbf"), Qt::CaseInsensitive) == 0)
        return PeopleIndexes(true);
    if (fileName.compare(QLatin1String("psy.dbf"), Qt::CaseInsensitive) == 0)
        return {{QStringLiteral("I"), QStringLiteral("IDX"), true, false}};
    return {};
}

void Database::Open(const QString &dataDir, const QLocale &locale)
{
    DefinePeopleTable(dbPeople, dataDir);
    DefinePeopleView(pdb, dataDir);
    DefineWorkList(rdb);
    DefineTestTable(dbfpsy);
    Table *order[] = {&dbPeople, &pdb, &rdb, &dbfpsy};
    for (Table *t : order)
        t->setLocale(locale);
    for (Table *t : order) {
        try {
            t->open();
        } catch (...) {
            for (Table *o : order)
                if (o->isOpen())
                    o->close();
            throw;
        }
    }
}

void Database::Close()
{
    std::exception_ptr first;
    for (Table *t : {&dbfpsy, &rdb, &pdb, &dbPeople}) {
        try {
            t->close();
        } catch (...) {
            if (!first)
                first = std::current_exception();
        }
    }
    if (first)
        std::rethrow_exception(first);
}

} // namespace vel
