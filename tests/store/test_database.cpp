// The system's tables as the main window opens them: files, folders, fields, tags,
// filters and their options, and the opening order.
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "store/database.h"

using namespace vel;

namespace {

QString Describe(const QVector<FieldDef> &fields)
{
    QStringList parts;
    for (const FieldDef &f : fields)
        parts << QStringLiteral("%1 %2 %3.%4").arg(f.name).arg(QLatin1Char(f.type)).arg(f.width).arg(f.decimals);
    return parts.join(QLatin1String(", "));
}

QStringList Walk(Table &t, const char *field = "FIO")
{
    QStringList out;
    for (bool ok = t.first(); ok && !t.eof(); ok = t.next())
        out << t.asString(field);
    return out;
}

void AddPatient(Database &db, int idx, const QString &fio, const QString &sex, const QDate &born,
                const QString &insurance = QString())
{
    db.dbPeople.append();
    db.dbPeople.setValue("IDX", idx);
    db.dbPeople.setValue("FIO", fio);
    db.dbPeople.setValue("SEX", sex);
    db.dbPeople.setValue("BIRTHDAY", born);
    if (!insurance.isEmpty())
        db.dbPeople.setValue("INSURANCE", insurance);
    db.dbPeople.post();
}

} // namespace

class TestDatabase : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_home;
    QString m_startDir;

private Q_SLOTS:
    void initTestCase() { m_startDir = QDir::currentPath(); }
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QDir(m_home->path()).mkdir("Data");
        QDir::setCurrent(m_home->path());
    }
    void cleanup() { QDir::setCurrent(m_startDir); }

    void firstStartCreatesBothTables()
    {
        Database db;
        QSignalSpy beforeOpen(&db.dbPeople, &Table::beforeOpen);
        db.Open(QStringLiteral("Data/"));
        QCOMPARE(beforeOpen.count(), 1);
        const QString data = m_home->path() + "/Data/";
        QCOMPARE(db.dbPeople.filePath(), data + "patients.dbf");
        QCOMPARE(db.pdb.filePath(), data + "patients.dbf");
        QCOMPARE(db.dbfpsy.filePath(), data + "Psy.dbf");   // "data\" is the existing "Data/"
        QVERIFY(QFile::exists(data + "patients.dbt"));
        QVERIFY(QFile::exists(data + "Psy.fpt"));
        QVERIFY(QFile::exists(data + "patients.mdx"));
        QVERIFY(QFile::exists(data + "Psy.mdx"));
        QCOMPARE(db.dbPeople.level(), TableLevel::DBase7);
        QCOMPARE(db.dbfpsy.level(), TableLevel::FoxPro);
        QCOMPARE(Describe(db.dbPeople.fields()),
                 QString("IDX I 4.0, FIO C 60.0, SEX C 1.0, BIRTHDAY D 8.0, ADDRESS C 80.0, INSURANCE C 11.0, "
                         "MINSURANCE C 16.0, BIRTHCERT C 15.0, RUPASSPORT C 10.0, RUPASSUED C 80.0, "
                         "RUPASSUEDD D 8.0, INFO M 10.0, LASTLOG I 4.0, IDTYPE I 4.0, IDORPHHABITATION I 4.0, "
                         "DATEORPHHABITATION D 8.0, IDSTACORG I 4.0"));
        QCOMPARE(Describe(db.dbfpsy.fields()),
                 QString("IDX N 9.0, DATE D 8.0, DATAPSY M 4.0, TYPE C 30.0, PSYFINAL C 60.0, TIME C 8.0"));
        QCOMPARE(Describe(db.rdb.fields()),
                 QString("IDX I 4.0, CHK L 1.0, FIO C 60.0, SEX C 1.0, BIRTHDAY D 8.0, ADDRESS C 80.0, "
                         "SCHOOL S 2.0, CLASS S 2.0, LETTER C 20.0, LASTLOG I 4.0, INSURANCE C 20.0, "
                         "MINSURANCE C 16.0"));
        QVERIFY(db.dbPeople.isEmpty() && db.pdb.isEmpty() && db.rdb.isEmpty() && db.dbfpsy.isEmpty());
        QCOMPARE(db.dbfpsy.filter(), QString("(idx=0)"));
        QCOMPARE(db.rdb.indexName(), QString("F"));
        QCOMPARE(db.dbPeople.indexName(), QString());
        QVERIFY(db.dbPeople.filtered() && db.pdb.filtered() && db.rdb.filtered() && db.dbfpsy.filtered());
        for (const char *tag : {"I", "F", "X", "B", "A", "U", "C", "P"}) {
            db.dbPeople.setIndexName(tag);
            db.pdb.setIndexName(tag);
        }
        for (const char *tag : {"I", "F", "X", "B", "A", "ALL"})
            db.rdb.setIndexName(tag);
        db.dbfpsy.setIndexName("I");
        QVERIFY_THROWS_EXCEPTION(TableError, db.pdb.append());
        db.Close();
        QVERIFY(!db.dbPeople.isOpen() && !db.pdb.isOpen() && !db.rdb.isOpen() && !db.dbfpsy.isOpen());
    }

    void missingDataFolderStopsTheStart()
    {
        Database db;
        try {
            db.Open(QStringLiteral("NoSuchFolder/"));
            QFAIL("opened without a data folder");
        } catch (const TableError &e) {
            QVERIFY2(e.message().contains("NoSuchFolder"), qPrintable(e.message()));
        }
        QVERIFY(!db.dbPeople.isOpen() && !db.pdb.isOpen());
    }

    void dataDirElsewhereKeepsTestsInDataAndTheLocaleReachesEveryTable()
    {
        QDir(m_home->path()).mkpath("Other/Place");
        Database db;
        const QLocale finnish(QLocale::Finnish, QLocale::Finland);
        db.Open(m_home->path() + "/Other/Place/", finnish);
        QCOMPARE(db.dbPeople.filePath(), m_home->path() + "/Other/Place/patients.dbf");
        QCOMPARE(db.dbfpsy.filePath(), m_home->path() + "/Data/Psy.dbf");
        for (const Table *t : {&db.dbPeople, &db.pdb, &db.rdb, &db.dbfpsy})
            QCOMPARE(t->locale(), finnish);
        db.Close();
    }

    // The register as Part of the main window uses it: the view walks with the working
    // filter, the list is filled and sorted, the test table is narrowed to a patient.
    void selectionAndTestsOfAPatient()
    {
        Database db;
        db.Open(QStringLiteral("Data/"));
        AddPatient(db, 1, "Иванова Анна", "Ж", QDate(1995, 3, 12), "11111111111");
        AddPatient(db, 2, "ивлева Мария", "ж", QDate(1990, 1, 1), "11111111111");
        AddPatient(db, 3, "Иванов Пётр", "м", QDate(1996, 6, 6));
        AddPatient(db, 4, "Андреева Ольга", "ж", QDate(1999, 9, 9));
        db.pdb.setFilter("(SUBSTR(FIO,1,2)='Ив') and (SUBSTR(DTOS(BIRTHDAY),1,3)='199') and ((SEX='ж') or (SEX='Ж'))");
        QCOMPARE(Walk(db.pdb), QStringList({"Иванова Анна", "ивлева Мария"}));

        db.pdb.setFilter(QString());
        db.rdb.emptyTable();
        for (bool ok = db.pdb.first(); ok && !db.pdb.eof(); ok = db.pdb.next())
            db.rdb.appendRecord({db.pdb.value("IDX"), true, db.pdb.value("FIO"), db.pdb.value("SEX"),
                                 db.pdb.value("BIRTHDAY"), db.pdb.value("ADDRESS")});
        db.rdb.setIndexName("F");   // declared case-insensitive
        QCOMPARE(Walk(db.rdb), QStringList({"Андреева Ольга", "Иванов Пётр", "Иванова Анна", "ивлева Мария"}));
        db.rdb.setIndexName("ALL");   // SCHOOL, CLASS and LETTER empty: by name alone
        QCOMPARE(Walk(db.rdb), QStringList({"Андреева Ольга", "Иванов Пётр", "Иванова Анна", "ивлева Мария"}));
        // Two patients share an insurance number and two have none: the unique tag holds
        // the first record of each key, the empty key included.
        db.dbPeople.setIndexName("U");
        db.dbPeople.setFilter("(SUBSTR(FIO,1,0)='')");
        QCOMPARE(Walk(db.dbPeople), QStringList({"Иванов Пётр", "Иванова Анна"}));

        for (int i = 0; i < 5; ++i) {
            db.dbfpsy.append();
            db.dbfpsy.setValue("IDX", i % 2 ? 3 : 1);
            db.dbfpsy.setValue("DATE", QDate(2024, 5, i + 1));
            db.dbfpsy.setValue("TYPE", "Тест реакции выбора");
            db.dbfpsy.post();
            db.dbfpsy.edit();
            db.dbfpsy.setValue("DATAPSY", QString("1000\r\n1000\r\n10\r\n%1\r\n").arg(i));
            db.dbfpsy.post();
        }
        QVERIFY(db.dbfpsy.isEmpty());   // "(idx=0)" until a patient is selected
        db.dbfpsy.setFilter("(IDX=1)");
        QCOMPARE(db.dbfpsy.exactRecordCount(), 3);
        QVERIFY(db.dbfpsy.findLast());
        QCOMPARE(db.dbfpsy.memoText("DATAPSY"), QString("1000\r\n1000\r\n10\r\n4\r\n"));
        db.dbfpsy.deleteRecord();
        QCOMPARE(db.dbfpsy.exactRecordCount(), 2);
        db.Close();

        // A view opened on its own orders by the tags as the file holds them: U unique.
        {
            Table view;
            DefinePeopleView(view, QStringLiteral("Data/"));
            view.open();
            view.setIndexName("U");
            QCOMPARE(view.exactRecordCount(), 2);
        }

        // The next start, after the index files were deleted, finds everything again.
        QFile::remove("Data/patients.mdx");
        QFile::remove("Data/Psy.mdx");
        Database again;
        again.Open(QStringLiteral("Data/"));
        again.dbfpsy.setFilter("(IDX=3)");
        QCOMPARE(again.dbfpsy.exactRecordCount(), 2);
        again.dbPeople.setIndexName("I");
        QCOMPARE(Walk(again.dbPeople, "IDX"), QStringList({"1", "2", "3", "4"}));
        again.Close();
    }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "test_database.moc"
