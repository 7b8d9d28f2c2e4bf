// The pupil-list import without a window: rows split into cells and joined over lines,
// template keys and the date rule, a row made into a patient and the acceptance test, the
// records appended (numbering, LASTLOG, widths), the errors of a row with the rows before
// it kept, the files that are refused whole, and the write lock held across the import.
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

#include "register/importrows.h"
#include "register/patientimport.h"
#include "common/config.h"
#include "tests/support/transferfixture.h"

using namespace vel;
using namespace vel::testing;

namespace {

const QDateTime Now(QDate(2024, 9, 2), QTime(10, 30));

// The stored patients that are not deleted, as "IDX|FIO|SEX|BIRTHDAY|ADDRESS".
QStringList Stored(Table &people)
{
    QStringList out;
    const int idx = people.fieldIndex("IDX"), fio = people.fieldIndex("FIO"), sex = people.fieldIndex("SEX"),
              bd = people.fieldIndex("BIRTHDAY"), addr = people.fieldIndex("ADDRESS");
    for (int r = 1; r <= people.physicalRecordCount(); ++r)
        if (!people.isDeletedAt(r))
            out << QStringLiteral("%1|%2|%3|%4|%5")
                       .arg(people.valueAt(r, idx).toInt())
                       .arg(people.valueAt(r, fio).toString(), people.valueAt(r, sex).toString(),
                            people.valueAt(r, bd).toDate().toString(Qt::ISODate), people.valueAt(r, addr).toString());
    return out;
}

// Whether another open file description finds the table's write lock taken.
bool WriteLockTaken(const QString &dbf)
{
    const int fd = ::open(QFile::encodeName(dbf).constData(), O_RDWR);
    if (fd < 0)
        return false;
    struct flock fl = {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 1;
    const bool taken = ::fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
    ::close(fd);
    return taken;
}

} // namespace

class TestImport : public QObject {
    Q_OBJECT
private:
    WorkFolder m_dir;

private Q_SLOTS:
    void init()
    {
        m_dir.enter({"Data", "data"});
        MutableConfig() = AppConfig{};
    }
    void cleanup() { m_dir.leave(); }

    // ---- rows and cells ----

    void splitCells_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<QStringList>("cells");
        QTest::newRow("plain") << "a;b;c" << QStringList{"a", "b", "c"};
        QTest::newRow("empty row: no cells") << "" << QStringList{};
        QTest::newRow("separator at the end: an empty cell") << "a;" << QStringList{"a", ""};
        QTest::newRow("lone separator") << ";" << QStringList{"", ""};
        QTest::newRow("spaces kept") << " a ; b" << QStringList{" a ", " b"};
        QTest::newRow("quoted separator") << "\"a;b\";c" << QStringList{"a;b", "c"};
        QTest::newRow("doubled quotes") << "\"say \"\"hi\"\"\";x" << QStringList{"say \"hi\"", "x"};
        QTest::newRow("text after the closing quote is a cell") << "\"ab\"cd;e" << QStringList{"ab", "cd", "e"};
        QTest::newRow("quote inside an unquoted cell") << "a\"b;c" << QStringList{"a\"b", "c"};
        QTest::newRow("empty quoted cell at the end") << "x;\"\"" << QStringList{"x", ""};
        QTest::newRow("quoted cell then separator at the end") << "\"a\";" << QStringList{"a", ""};
        QTest::newRow("line break inside quotes") << "\"two\r\nlines\";x" << QStringList{"two\r\nlines", "x"};
        QTest::newRow("unclosed quote runs to the end") << "\"open;x" << QStringList{"open;x"};
    }
    void splitCells()
    {
        QFETCH(QString, row);
        QTEST(SplitCells(row), "cells");
    }

    void joinCellsQuotesWhatSplittingNeeds()
    {
        const QStringList cells{"plain", "a b", "x\"y", "p;q", "tab\there", ""};
        QCOMPARE(JoinCells(cells), QString("plain;\"a b\";\"x\"\"y\";\"p;q\";\"tab\there\";"));
        QCOMPARE(SplitCells(JoinCells(cells)), cells);
    }

    void rowsJoinWhileQuotesAreOdd()
    {
        const QStringList lines{"a;\"first", "second\";b", "c;d", "x;\"never closed"};
        ImportRowReader reader(lines, "list.csv");
        QCOMPARE(reader.nextRow(), QString("a;\"first\r\nsecond\";b"));
        QCOMPARE(reader.rowFirstLine(), 1);
        QCOMPARE(reader.nextRow(), QString("c;d"));
        QCOMPARE(reader.rowFirstLine(), 3);
        try {
            reader.nextRow();
            QFAIL("an unclosed quote at the end of the file must fail");
        } catch (const ImportError &e) {
            QCOMPARE(e.kind(), QString("EParserError"));
            QCOMPARE(e.text(), QString("Неверное число кавычек в строке 4 файла list.csv!"));
        }
    }

    // ---- template and dates ----

    void keysIgnoreLatinCaseOnly()
    {
        const ImportTemplate t = ImportTemplate::FromLines(TemplateLines("fio;Sex;BIRTHDAY; FIO;ИМЯ;id_issuedby"));
        QCOMPARE(t.keys, (QVector<ImportKey>{ImportKey::Fio, ImportKey::Sex, ImportKey::Birthday, ImportKey::Ignored,
                                            ImportKey::Ignored, ImportKey::PassportIssuedBy}));
    }

    void importDate_data()
    {
        QTest::addColumn<QString>("dayFirst");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("error");
        const QString standard = TemplateLines("").at(1);
        const QDate none(1111, 11, 11);
        QTest::newRow("day first") << standard << "05.06.2010" << QDate(2010, 6, 5) << "";
        QTest::newRow("day first, short parts") << standard << "5/6/2010" << QDate(2010, 6, 5) << "";
        QTest::newRow("year first") << standard << "2010-06-05" << QDate(2010, 6, 5) << "";
        QTest::newRow("anywhere in the cell") << standard << "род. 05.06.2010 г." << QDate(2010, 6, 5) << "";
        QTest::newRow("neither pattern") << standard << "5 июня" << none << "";
        QTest::newRow("empty cell") << standard << "" << none << "";
        QTest::newRow("no such day") << standard << "31.02.2010" << QDate() << "EConvertError";
        QTest::newRow("month 13") << standard << "05.13.2010" << QDate() << "EConvertError";
        QTest::newRow("year 0") << standard << "01.01.0000" << QDate() << "EConvertError";
        QTest::newRow("part above 65535") << "(\\d+)\\.(\\d+)\\.(\\d+)" << "1.1.70000" << QDate() << "ERangeError";
        QTest::newRow("part not a number") << "(\\w+)\\.(\\d+)\\.(\\d+)" << "ab.1.2010" << QDate() << "EConvertError";
        QTest::newRow("group the pattern lacks") << "(\\d+)\\.(\\d+)" << "1.2" << QDate() << "EConvertError";
        QTest::newRow("pattern does not compile") << "(\\d+" << "1.2.2010" << QDate() << "ERegularExpressionError";
    }
    void importDate()
    {
        QFETCH(QString, dayFirst);
        QFETCH(QString, cell);
        QFETCH(QString, error);
        QStringList lines = TemplateLines("BIRTHDAY");
        lines[1] = dayFirst;
        const ImportTemplate t = ImportTemplate::FromLines(lines);
        try {
            const QDate date = ImportDate(t, cell);
            QVERIFY2(error.isEmpty(), qPrintable("expected " + error));
            QTEST(date, "date");
        } catch (const ImportError &e) {
            QCOMPARE(e.kind(), error);
        }
    }

    // ---- one row ----

    void patientFromRow_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("fio");
        QTest::addColumn<QString>("sex");
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("accepted");
        const QString fsb = "FIO;SEX;BIRTHDAY";
        QTest::newRow("three names joined") << "F;I;O;SEX;BIRTHDAY" << "Иванова;Мария;Петровна;ж;05.06.2015"
                                            << "Иванова Мария Петровна" << "ж" << "" << true;
        QTest::newRow("Ж") << fsb << "Анна Ли;Ж;05.06.2015" << "Анна Ли" << "ж" << "" << true;
        QTest::newRow("ж with text after it") << fsb << "Анна Ли;жен.;05.06.2015" << "Анна Ли" << "ж" << "" << true;
        QTest::newRow("М") << fsb << "Иван Ли;М;05.06.2015" << "Иван Ли" << "м" << "" << true;
        QTest::newRow("Latin M") << fsb << "Иван Ли;M;05.06.2015" << "Иван Ли" << "м" << "" << true;
        QTest::newRow("space first gives м") << fsb << "Иван Ли; ж;05.06.2015" << "Иван Ли" << "м" << "" << true;
        QTest::newRow("empty sex cell") << fsb << "Иван Ли;;05.06.2015" << "Иван Ли" << "м" << "" << true;
        QTest::newRow("missing sex cell") << "FIO;BIRTHDAY;SEX" << "Иван Ли;05.06.2015" << "Иван Ли" << "м" << ""
                                          << true;
        QTest::newRow("no SEX column: refused") << "FIO;BIRTHDAY" << "Иван Ли;05.06.2015" << "Иван Ли" << "" << ""
                                                << false;
        QTest::newRow("two addresses") << "FIO;SEX;BIRTHDAY;ADDRESS;ADDRESS" << "Иван Ли;м;05.06.2015;г. Тула;ул. Мира, 1"
                                       << "Иван Ли" << "м" << "г. Тула, ул. Мира, 1" << true;
        QTest::newRow("second address empty") << "FIO;SEX;BIRTHDAY;ADDRESS;ADDRESS" << "Иван Ли;м;05.06.2015;г. Тула;"
                                              << "Иван Ли" << "м" << "г. Тула" << true;
        QTest::newRow("first address empty") << "FIO;SEX;BIRTHDAY;ADDRESS;ADDRESS" << "Иван Ли;м;05.06.2015;;ул. Мира"
                                             << "Иван Ли" << "м" << "ул. Мира" << true;
        QTest::newRow("name of 3 characters: refused") << fsb << "Ли ;м;05.06.2015" << "Ли " << "м" << "" << false;
        QTest::newRow("no name columns: '-' refused") << "SEX;BIRTHDAY" << "м;05.06.2015" << "-" << "м" << "" << false;
        QTest::newRow("short FIO built from the names") << "FIO;F;I;SEX;BIRTHDAY" << ";Ли;Ан;м;05.06.2015" << "Ли Ан "
                                                        << "м" << "" << true;
        QTest::newRow("later column overrides") << "FIO;FIO;SEX;BIRTHDAY" << "Первый Ф;Второй Ф;м;05.06.2015"
                                                << "Второй Ф" << "м" << "" << true;
        QTest::newRow("birthday matching no pattern: refused") << fsb << "Иван Ли;м;весной" << "Иван Ли" << "м" << ""
                                                               << false;
        QTest::newRow("header row: refused") << fsb << "ФИО;Пол;Дата рождения" << "ФИО" << "м" << "" << false;
        QTest::newRow("birthday 1899-12-30: refused") << fsb << "Иван Ли;м;30.12.1899" << "Иван Ли" << "м" << "" << false;
        QTest::newRow("birthday 1899-12-31: accepted") << fsb << "Иван Ли;м;31.12.1899" << "Иван Ли" << "м" << "" << true;
    }
    void patientFromRow()
    {
        QFETCH(QString, keys);
        QFETCH(QString, row);
        const ImportTemplate t = ImportTemplate::FromLines(TemplateLines(keys));
        const ImportedPatient p = PatientFromCells(t, SplitCells(row), Now);
        QTEST(p.fio, "fio");
        QTEST(p.sex, "sex");
        QTEST(p.address, "address");
        QTEST(p.accepted(), "accepted");
    }

    void passportDatesAndSchool()
    {
        // Without an ID_ISSUED column the issue date is the moment of the import; with one,
        // a row too short for it gets 1111-11-11; the issuing office defaults to a space.
        const ImportTemplate without = ImportTemplate::FromLines(TemplateLines("FIO;SEX;BIRTHDAY"));
        QCOMPARE(PatientFromCells(without, {"Иван Ли", "м", "05.06.2015"}, Now).passportIssued, Now.date());
        const ImportTemplate with = ImportTemplate::FromLines(TemplateLines("FIO;ID_ISSUED;ID_ISSUEDBY;SCH;NUM_LTR"));
        const ImportedPatient shortRow = PatientFromCells(with, {"Иван Ли"}, Now);
        QCOMPARE(shortRow.passportIssued, QDate(1111, 11, 11));
        QCOMPARE(shortRow.passportIssuedBy, QString(" "));
        QCOMPARE(shortRow.school, 0);
        QCOMPARE(shortRow.classLetter, QString("1 А"));
        const ImportedPatient full = PatientFromCells(with, {"Иван Ли", "2020-01-15", "ОВД", "12", "3-б"}, Now);
        QCOMPARE(full.passportIssued, QDate(2020, 1, 15));
        QCOMPARE(full.school, 12);
        QCOMPARE(full.classLetter, QString("3 б"));
        try {
            PatientFromCells(with, {"Иван Ли", "", "", "школа 5"}, Now);
            QFAIL("a school number that is not a number must fail");
        } catch (const ImportError &e) {
            QCOMPARE(e.kind(), QString("EConvertError"));
        }
    }

    // ---- into the table ----

    void appendsAcceptedRowsWithFreshNumbers()
    {
        Tables t;
        // 3 records, one deleted, the largest IDX 7; a test of patient 9 (removed elsewhere).
        for (int idx : {7, 2, 3}) {
            t.people.append();
            t.people.setValue("IDX", idx);
            t.people.setValue("FIO", QString("Старый %1").arg(idx));
            t.people.post();
        }
        t.people.goToRecNo(3);
        t.people.deleteRecord();
        t.tests.append();
        t.tests.setValue("IDX", 9);
        t.tests.post();

        const QString longName = QString(70, QChar(u'Я'));
        const QStringList lines{"ФИО;Пол;Дата рождения;Улица;Дом;СНИЛС",
                                "Иванова Мария;ж;05.06.2015;\"ул. Мира,", "кв. 1\";;12345678901234",
                                longName + ";м;2014-01-02;;;",
                                "Ли;м;05.06.2015;;;"};
        const ImportTemplate tpl = ImportTemplate::FromLines(TemplateLines("FIO;SEX;BIRTHDAY;ADDRESS;ADDRESS;INSURANCE"));
        const ImportOutcome out = ImportPatients(t.people, t.tests, lines, "list.csv", tpl, Now);
        QVERIFY(!out.failed);
        QCOMPARE(out.rows, 4);
        QCOMPARE(out.accepted, 2);
        QCOMPARE(out.refused, 2);
        QCOMPARE(Stored(t.people).mid(2), (QStringList{"10|Иванова Мария|ж|2015-06-05|ул. Мира,\r\nкв. 1",
                                                        "11|" + QString(60, QChar(u'Я')) + "|м|2014-01-02|"}));
        // LASTLOG: the records stored before each append; the insurance number cut to 11.
        const int lastlog = t.people.fieldIndex("LASTLOG"), ins = t.people.fieldIndex("INSURANCE"),
                  issued = t.people.fieldIndex("RUPASSUEDD");
        QCOMPARE(t.people.valueAt(4, lastlog).toInt(), 3);
        QCOMPARE(t.people.valueAt(5, lastlog).toInt(), 4);
        QCOMPARE(t.people.valueAt(4, ins).toString(), QString("12345678901"));
        QCOMPARE(t.people.valueAt(4, issued).toDate(), Now.date());
    }

    void rowErrorKeepsRowsBefore_data()
    {
        QTest::addColumn<QStringList>("templateLines");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("appended");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("cells");
        const QStringList std = TemplateLines("FIO;SEX;BIRTHDAY");
        QTest::newRow("date that does not exist")
            << std << QStringList{"Иван Ли;м;01.02.2010", "Анна Ли;ж;31.02.2010", "Олег Ли;м;01.02.2010"} << 1
            << "EConvertError" << "\"Анна Ли\";ж;31.02.2010";
        QTest::newRow("lone quote in the last line: the row before is shown")
            << std << QStringList{"Иван Ли;м;01.02.2010", "Анна Ли;ж;01.02.2010", "Олег \"Ли;м;01.02.2010"} << 2
            << "EParserError" << "\"Анна Ли\";ж;01.02.2010";
        QTest::newRow("template of three lines") << std.mid(0, 3) << QStringList{"Иван Ли;м;01.02.2010"} << 0
                                                 << "EStringListError" << "";
        QStringList big = std;
        big[1] = "(\\d+)\\.(\\d+)\\.(\\d+)";
        QTest::newRow("date part above 65535")
            << big << QStringList{"Иван Ли;м;01.02.2010", "Анна Ли;ж;01.02.99999"} << 1 << "ERangeError"
            << "\"Анна Ли\";ж;01.02.99999";
        QStringList bad = std;
        bad[1] = "([0-9]+";
        QTest::newRow("pattern that does not compile") << bad << QStringList{"Иван Ли;м;01.02.2010"} << 0
                                                       << "ERegularExpressionError" << "\"Иван Ли\";м;01.02.2010";
    }
    void rowErrorKeepsRowsBefore()
    {
        QFETCH(QStringList, templateLines);
        QFETCH(QStringList, lines);
        QFETCH(int, appended);
        Tables t;
        const ImportOutcome out =
            ImportPatients(t.people, t.tests, lines, "list.csv", ImportTemplate::FromLines(templateLines), Now);
        QVERIFY(out.failed);
        QTEST(out.errorKind, "kind");
        QTEST(out.errorCells, "cells");
        QCOMPARE(out.accepted, appended);
        QCOMPARE(t.people.physicalRecordCount(), appended);
        // The box: five lines with single LF breaks; the clipboard takes the first three.
        const QStringList box = out.message().split('\n');
        QCOMPARE(box.size(), 5);
        QCOMPARE(box[0], QString("Исключение при импорте на строке"));
        QCOMPARE(box[1], "\"" + out.errorCells + "\" —");
        QCOMPARE(box[2], out.errorKind + " -> " + out.errorText);
        QCOMPARE(box[3], QString());
        QCOMPARE(box[4], QString("Сообщение помещено в буфер обмена."));
        QCOMPARE(out.clipboardText(), QStringList(box.mid(0, 3)).join('\n'));
    }

    void emptyFileOrKeylessTemplateImportsNothing()
    {
        Tables t;
        const ImportOutcome empty = ImportPatients(t.people, t.tests, {}, "list.csv",
                                                   ImportTemplate::FromLines({"FIO;SEX;BIRTHDAY"}), Now);
        QVERIFY(!empty.failed);
        QCOMPARE(empty.rows, 0);
        const ImportOutcome keyless = ImportPatients(t.people, t.tests, {"Иван Ли;м;01.02.2010"}, "list.csv",
                                                     ImportTemplate::FromLines(TemplateLines("")), Now);
        QVERIFY(!keyless.failed);
        QCOMPARE(keyless.refused, 1);
        QCOMPARE(t.people.physicalRecordCount(), 0);
    }

    void filesRefusedWhole_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("kind");
        QTest::newRow("UTF-8") << QString("Иван Ли;м;01.02.2010\r\n").toUtf8() << "EEncodingError";
        QTest::newRow("UTF-8 mark, Latin text") << QByteArray("\xEF\xBB\xBFIvan Li;m;01.02.2010\r\n")
                                                << "EEncodingError";
        QTest::newRow("binary") << QByteArray("PK\x03\x04\x00\x00\x08\x00\"\xff;", 11) << "EFileFormatError";
    }
    void filesRefusedWhole()
    {
        QFETCH(QByteArray, bytes);
        WriteTemplate(TemplateLines("FIO;SEX;BIRTHDAY"));
        WriteAll("list.csv", bytes);
        Tables t;
        try {
            ImportPatientFile(t.people, t.tests, "list.csv", Now);
            QFAIL("the file must be refused");
        } catch (const ImportError &e) {
            QTEST(e.kind(), "kind");
        }
        QCOMPARE(t.people.physicalRecordCount(), 0);
    }

    void codePage1251FileAndTemplate()
    {
        WriteTemplate(TemplateLines("fio;sex;birthday"));
        WriteCp1251("list.csv", {"Ёлкина Анна;ж;01.02.2010"});
        Tables t;
        const ImportOutcome out = ImportPatientFile(t.people, t.tests, "list.csv", Now);
        QCOMPARE(out.accepted, 1);
        QCOMPARE(Stored(t.people), QStringList{"1|Ёлкина Анна|ж|2010-02-01|"});
        // Missing data file, missing and empty template: nothing read, nothing imported.
        QVERIFY_THROWS_EXCEPTION(ImportError, ImportPatientFile(t.people, t.tests, "none.csv", Now));
        WriteAll("Defaults/IMPORT.PTN", "");
        QVERIFY_THROWS_EXCEPTION(ImportError, ImportPatientFile(t.people, t.tests, "list.csv", Now));
        QFile::remove("Defaults/IMPORT.PTN");
        QVERIFY_THROWS_EXCEPTION(ImportError, ImportPatientFile(t.people, t.tests, "list.csv", Now));
        QCOMPARE(t.people.physicalRecordCount(), 1);
    }

    void writeLockHeldAcrossTheWholeImport()
    {
        Tables t;
        const QString dbf = t.people.filePath();
        int appends = 0, lockedAfterAppend = 0;
        connect(&t.people, &Table::afterScroll, this, [&] {
            ++appends;
            lockedAfterAppend += WriteLockTaken(dbf);
        });
        const ImportOutcome out =
            ImportPatients(t.people, t.tests, {"Иван Ли;м;01.02.2010", "Анна Ли;ж;01.02.2010", "Олег Ли;м;01.02.2010"},
                           "list.csv", ImportTemplate::FromLines(TemplateLines("FIO;SEX;BIRTHDAY")), Now);
        QCOMPARE(out.accepted, 3);
        QCOMPARE(appends, 3);
        QCOMPARE(lockedAfterAppend, 3);        // between rows too, not per row
        QVERIFY(!WriteLockTaken(dbf));         // and released at the end
        // A failed row releases it as well.
        ImportPatients(t.people, t.tests, {"Анна Ли;ж;31.02.2010"}, "list.csv",
                       ImportTemplate::FromLines(TemplateLines("FIO;SEX;BIRTHDAY")), Now);
        QVERIFY(!WriteLockTaken(dbf));
    }
};

QTEST_GUILESS_MAIN(TestImport)
#include "test_import.moc"
