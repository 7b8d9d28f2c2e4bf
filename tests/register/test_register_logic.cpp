// The register's logic without a window: filter texts and their description, the address
// test with its bounds, the insurance-number check, the number of a new patient, the fill
// of the working list and the deletion of a patient's tests.
#include <QElapsedTimer>
#include <QtTest>

#include "records/testcascade.h"
#include "register/addresstest.h"
#include "register/filters.h"
#include "register/patientrecord.h"
#include "register/worklistfill.h"
#include "tests/support/registerfixture.h"
#include "store/database.h"

using namespace vel;
using namespace vel::testing;

class TestRegisterLogic : public QObject {
    Q_OBJECT
private:
    WorkFolder m_dir;
    Database m_db;

    void openTables()
    {
        m_dir.enter({"Data", "data"});
        m_db.Open(QStringLiteral("Data/"));
    }

private Q_SLOTS:
    void cleanup()
    {
        m_db.Close();
        m_dir.leave();
    }

    void selectionFilter_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<bool>("byBirthday");
        QTest::addColumn<qint64>("birthday");
        QTest::addColumn<bool>("bySex");
        QTest::addColumn<int>("sexItem");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("description");

        QTest::newRow("name, birthday 199, girls")
            << "Ив" << true << qint64(199) << true << 1
            << "(SUBSTR(FIO,1,2)='Ив') and (SUBSTR(DTOS(BIRTHDAY),1,3)='199') and ((SEX='ж') or (SEX='Ж'))"
            << "(девочки, д/р 199X-XX-XX)";
        QTest::newRow("boys only") << "" << false << qint64(2010) << true << 0
                                   << "((SEX='м') or (SEX='М'))" << "(мальчики)";
        QTest::newRow("year 2010") << "" << true << qint64(2010) << false << 0
                                   << "(SUBSTR(DTOS(BIRTHDAY),1,4)='2010')" << "(д/р 2010-XX-XX)";
        QTest::newRow("one day") << "" << true << qint64(20100517) << false << 0
                                 << "(SUBSTR(DTOS(BIRTHDAY),1,8)='20100517')" << "(д/р 2010-05-17)";
        QTest::newRow("value 0 switches the birthday off") << "" << true << qint64(0) << false << 0 << "" << "";
        QTest::newRow("sex box without a chosen item") << "" << false << qint64(0) << true << -1 << "" << "";
        QTest::newRow("nothing on, empty search") << "" << false << qint64(0) << false << 0 << "" << "";
    }
    void selectionFilter()
    {
        QFETCH(QString, search);
        FilterSettings f;
        QFETCH(bool, byBirthday);
        QFETCH(qint64, birthday);
        QFETCH(bool, bySex);
        QFETCH(int, sexItem);
        f.byBirthday = byBirthday;
        f.birthday = birthday;
        f.bySex = bySex;
        f.sexItem = sexItem;
        const QString filter = JoinFilters(search.isEmpty() ? QString() : NameSearchFilter(search),
                                           BuildSelectionFilter(f));
        QTEST(filter, "filter");
        QTEST(DescribeFilters(f), "description");
        if (sexItem < 0)
            QVERIFY(!f.bySex);
    }

    void birthdayPattern_data()
    {
        QTest::addColumn<QString>("digits");
        QTest::addColumn<QString>("pattern");
        QTest::newRow("decade") << "199" << "199X-XX-XX";
        QTest::newRow("year") << "2010" << "2010-XX-XX";
        QTest::newRow("month") << "201005" << "2010-05-XX";
        QTest::newRow("day") << "20100517" << "2010-05-17";
        QTest::newRow("one digit") << "2" << "2XXX-XX-XX";
    }
    void birthdayPattern()
    {
        QFETCH(QString, digits);
        QTEST(FormatBirthdayPattern(digits), "pattern");
    }

    void addressDescribedAsTyped()
    {
        FilterSettings f;
        f.byAddress = true;
        f.address = "  ленина ";
        f.bySex = true;
        f.sexItem = 0;
        QCOMPARE(DescribeFilters(f), QString("(мальчики, в адресе \"  ленина \")"));
        f.address.clear();
        QCOMPARE(DescribeFilters(f), QString("(мальчики)"));
    }

    // Whatever the operator types, the search stays one comparison: only the names that
    // really begin with the typed text pass, on the patient table and on its view.
    void searchTextIsOneConstant_data()
    {
        QTest::addColumn<QString>("search");
        QTest::newRow("quote and or") << "Ив' or '1'='1";
        QTest::newRow("closing parenthesis") << "Ив') or (FIO<>'";
        QTest::newRow("and") << "Ив' and FIO='x";
        QTest::newRow("double quotes") << "Ив\" or \"1\"=\"1";
        QTest::newRow("lone quote") << "'";
        QTest::newRow("parentheses and words") << "(and) or (or)";
    }
    void searchTextIsOneConstant()
    {
        QFETCH(QString, search);
        openTables();
        AddPatient(m_db.dbPeople, 1, "Иванов Иван");
        AddPatient(m_db.dbPeople, 2, "Петров Пётр");
        AddPatient(m_db.dbPeople, 3, search + " Сидоров");
        for (Table *t : {&m_db.dbPeople, &m_db.pdb}) {
            t->setFilter(NameSearchFilter(search));
            QCOMPARE(t->exactRecordCount(), 1);
            QCOMPARE(t->asInteger("IDX"), 3);
        }
    }

    void addressTest_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("passes");
        QTest::newRow("plain, any case") << "ленина" << "г. Курск, УЛ. ЛЕНИНА, 5" << true;
        QTest::newRow("plain, spaces around trimmed") << "  ленина  " << "ул. Ленина, 5" << true;
        QTest::newRow("plain, absent") << "мира" << "ул. Ленина, 5" << false;
        QTest::newRow("plain, empty passes all") << "" << "ул. Ленина, 5" << true;
        QTest::newRow("regex anywhere") << "/ленина,\\s*\\d+" << "УЛ. ЛЕНИНА,  12" << true;
        QTest::newRow("regex anchored") << "/^ул" << "г. Курск, ул. Мира" << false;
        QTest::newRow("slash only matches all") << "/" << "ул. Мира" << true;
    }
    void addressTest()
    {
        QFETCH(QString, text);
        QFETCH(QString, address);
        AddressTest test(true, text);
        QVERIFY(test.isValid());
        QTEST(test.Passes(address), "passes");
        QVERIFY(AddressTest(false, "/[").Passes(address));
    }

    void addressRegexErrors()
    {
        AddressTest broken(true, "/ул[abc");
        QVERIFY(!broken.isValid());
        QVERIFY2(broken.error().contains("позиция 8"), qPrintable(broken.error()));
        QVERIFY(broken.error().contains("/ул[abc"));

        // Catastrophic backtracking gives up at the matcher's limit, at once.
        AddressTest nested(true, "/(a+)+$");
        QElapsedTimer clock;
        clock.start();
        QVERIFY_THROWS_EXCEPTION(AddressTestTooSlow, nested.Passes(QString(40, 'a') + "!"));
        QVERIFY(clock.elapsed() < 1000);
        // The operator's own limit in the pattern cannot lift it.
        AddressTest lifted(true, "/(*LIMIT_MATCH=2000000000)(a+)+$");
        QVERIFY(lifted.isValid());
        QVERIFY_THROWS_EXCEPTION(AddressTestTooSlow, lifted.Passes(QString(40, 'a') + "!"));

        // Matches that each finish but together take longer than the budget.
        AddressTest slow(true, "/мира", 1);
        QVERIFY_THROWS_EXCEPTION(AddressTestTooSlow, {
            for (int i = 0; i < 10000000; ++i)
                slow.Passes("г. Курск, ул. Ленина, д. 5, кв. 7");
        });
    }

    void insuranceNumber_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<bool>("valid");
        QTest::newRow("check number 95") << "11223344595" << true;
        QTest::newRow("wrong check number") << "11223344596" << false;
        QTest::newRow("001-001-997, any check") << "00100199700" << true;
        QTest::newRow("001-001-997, other check") << "00100199799" << true;
        QTest::newRow("001-001-998 needs its check") << "00100199800" << false;
        QTest::newRow("001-001-998 with its check") << "00100199864" << true;
        QTest::newRow("sum 99") << "30040391799" << true;
        QTest::newRow("sum 100 gives 00") << "40210248800" << true;
        QTest::newRow("sum 100, not 01") << "40210248801" << false;
        QTest::newRow("sum 101 gives 00") << "14114170200" << true;
        QTest::newRow("sum 101, not 01") << "14114170201" << false;
        QTest::newRow("sum 102 gives 01") << "20104576401" << true;
        QTest::newRow("sum 201 gives 00") << "64218592400" << true;
        QTest::newRow("sum 302 gives 00") << "89377656900" << true;
        QTest::newRow("sum 302, other check") << "89377656999" << false;
        QTest::newRow("partly filled") << "1122334" << false;
        QTest::newRow("ten digits") << "1122334459" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("not digits") << "112233445a5" << false;
        QTest::newRow("with dashes") << "112-233-445" << false;
    }
    void insuranceNumber()
    {
        QFETCH(QString, number);
        QTEST(IsValidInsuranceNumber(number), "valid");
    }

    void caretPositions()
    {
        const int insurance[] = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13};
        const int passport[] = {0, 1, 3, 4, 6, 7, 8, 9, 10, 11, 12};
        for (int digits = 0; digits <= 10; ++digits) {
            QCOMPARE(InsuranceCaretPosition(digits), insurance[digits]);
            QCOMPARE(PassportCaretPosition(digits), passport[digits]);
        }
    }

    void newPatientIdx()
    {
        openTables();
        QCOMPARE(NextPatientIdx(m_db.dbPeople, m_db.dbfpsy), 1);
        // Ten stored records, two of them deleted: 11.
        for (int i = 1; i <= 10; ++i)
            AddPatient(m_db.dbPeople, i, QStringLiteral("Пациент %1").arg(i));
        for (int idx : {3, 7}) {
            m_db.dbPeople.setFilter(PatientFilter(idx));
            m_db.dbPeople.deleteRecord();
        }
        QCOMPARE(NextPatientIdx(m_db.dbPeople, m_db.dbfpsy), 11);
        // Another program packed the file, leaving fewer records than the largest number,
        // and tests of a removed patient remain: neither number is given again.
        AddPatient(m_db.dbPeople, 40, "Последний");
        QCOMPARE(NextPatientIdx(m_db.dbPeople, m_db.dbfpsy), 41);
        AddTest(m_db.dbfpsy, 57, "осталось от удалённого");
        QCOMPARE(NextPatientIdx(m_db.dbPeople, m_db.dbfpsy), 58);
    }

    void patientTestsDeleted()
    {
        openTables();
        for (int i = 1; i <= 3; ++i)
            AddTest(m_db.dbfpsy, 5, QStringLiteral("т%1").arg(i));
        AddTest(m_db.dbfpsy, 6, "чужой");
        AddTest(m_db.dbfpsy, 50, "номер с той же цифрой");
        m_db.dbfpsy.setFilter(PatientFilter(5));
        QCOMPARE(DeletePatientTests(m_db.dbfpsy), 3);
        QCOMPARE(LiveTests(m_db.dbfpsy), QStringList({"6:чужой", "50:номер с той же цифрой"}));
        QCOMPARE(DeletePatientTests(m_db.dbfpsy), 0);
    }

    void fillCopiesPassingRows()
    {
        openTables();
        for (int i = 1; i <= 500; ++i)
            AddPatient(m_db.dbPeople, i, QStringLiteral("Пациент %1").arg(i, 3, 10, QChar('0')), i % 2 ? "М" : "ж",
                       QDate(2010, 1, 1).addDays(i), i % 5 ? "ул. Мира" : "ул. Ленина");
        AddressTest address(true, "ленина");
        int calls = 0;
        QString last;
        const int found = FillWorkList(m_db.pdb, m_db.pdb.visibleRecNos(), m_db.rdb, address,
                                       [&](int k, int n, const QString &fio) {
                                           ++calls;
                                           last = QStringLiteral("%1/%2 %3").arg(k).arg(n).arg(fio);
                                       },
                                       60000);
        QCOMPARE(found, 100);
        // Shown for the first and the last record only, when the frame is long.
        QCOMPARE(calls, 2);
        QCOMPARE(last, QString("500/500 Пациент 500"));
        m_db.rdb.setIndexName("I");
        QVERIFY(m_db.rdb.first());
        QCOMPARE(m_db.rdb.asInteger("IDX"), 5);
        QCOMPARE(m_db.rdb.asString("SEX"), QString("м"));
        QCOMPARE(m_db.rdb.asDate("BIRTHDAY"), QDate(2010, 1, 6));
        QCOMPARE(m_db.rdb.asString("ADDRESS"), QString("ул. Ленина"));
        QVERIFY(m_db.rdb.asBoolean("CHK"));
        QVERIFY(m_db.rdb.isNull("SCHOOL"));
    }
};

QTEST_GUILESS_MAIN(TestRegisterLogic)
#include "test_register_logic.moc"
