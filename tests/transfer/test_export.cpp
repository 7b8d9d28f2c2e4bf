// The CSV export of the patient table: the file read back by Python's csv module (quotes,
// separators and line breaks inside values), its bytes (code page 1251, CR LF, ";" after
// every value), deleted records left out and filtered-out ones written, the table's
// filter and position unchanged, an empty table, a second run replacing the file, and an
// export imported into an empty register giving the same patients.
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QtTest>

#include "register/importrows.h"
#include "register/patientexport.h"
#include "register/patientimport.h"
#include "common/config.h"
#include "tests/support/tablefixture.h"
#include "tests/support/transferfixture.h"

using namespace vel;
using namespace vel::testing;

namespace {

struct Person {
    int idx;
    QString fio, sex;
    QDate birthday;
    QString address, insurance, birthCert, info;
    int lastlog;
    QString medIns, passport, issuedBy;
    QDate issued;
};

const QVector<Person> People = {
    {1, "Иванов \"Ваня\" Иван", "м", QDate(2010, 5, 17), "г. Тула; ул. Мира, 1", "12345678901", "II-АБ 123456",
     "строка 1\r\nстрока 2", 0, "1234567890123456", "1234567890", "ОВД \"Центральный\"", QDate(2024, 1, 15)},
    {2, "Удалённая Анна", "ж", QDate(2011, 2, 3), "", "", "", "", 1, "", "", "", QDate(2024, 1, 15)},
    {3, "Петрова Анна", "ж", QDate(2011, 2, 3), "", "", "", "", 2, "", "", "", QDate(2023, 12, 31)},
};

void Store(Table &people, const Person &p)
{
    AppendFields(people, {{"IDX", p.idx}, {"FIO", p.fio}, {"SEX", p.sex}, {"BIRTHDAY", p.birthday},
                          {"ADDRESS", p.address}, {"INSURANCE", p.insurance}, {"BIRTHCERT", p.birthCert},
                          {"INFO", p.info.isEmpty() ? QVariant() : QVariant(p.info)}, {"LASTLOG", p.lastlog},
                          {"MINSURANCE", p.medIns}, {"RUPASSPORT", p.passport}, {"RUPASSUED", p.issuedBy},
                          {"RUPASSUEDD", p.issued}});
}

QString Short(const QDate &d) { return Config().AppFormatSettings.toString(d, QLocale::ShortFormat); }

// A record as the file's row gives it, with the empty text after the last ";".
QStringList Row(const Person &p)
{
    return {QString::number(p.idx), p.fio, p.sex, Short(p.birthday), p.address, p.insurance, p.birthCert, p.info,
            QString::number(p.lastlog), p.medIns, p.passport, p.issuedBy, Short(p.issued), ""};
}

// The rows of a CSV file as Python's csv module reads them (code page 1251, ";").
QList<QStringList> PythonRows(const QString &path)
{
    QProcess py;
    py.start("python3", {"-c",
                         "import csv, json, sys\n"
                         "with open(sys.argv[1], encoding='cp1251', newline='') as f:\n"
                         "    json.dump(list(csv.reader(f, delimiter=';')), sys.stdout)\n",
                         path});
    if (!py.waitForFinished(60000) || py.exitCode() != 0) {
        qWarning() << py.readAllStandardError();
        return {};
    }
    QList<QStringList> rows;
    for (const QJsonValue &row : QJsonDocument::fromJson(py.readAllStandardOutput()).array()) {
        QStringList cells;
        for (const QJsonValue &cell : row.toArray())
            cells << cell.toString();
        rows << cells;
    }
    return rows;
}

} // namespace

class TestExport : public QObject {
    Q_OBJECT
private:
    WorkFolder m_dir;

    // The register above, patient 2 deleted, the table narrowed to patient 3 and standing
    // on it as the selection leaves it.
    void seed(Table &people)
    {
        for (const Person &p : People)
            Store(people, p);
        people.goToRecNo(2);
        people.deleteRecord();
        people.setFilter("(IDX=3)");
        QCOMPARE(people.recNo(), 3);
    }

private Q_SLOTS:
    void init()
    {
        m_dir.enter({"Data", "data"});
        MutableConfig() = AppConfig{};
    }
    void cleanup() { m_dir.leave(); }

    void readsBackInPythonCsv()
    {
        Tables t;
        seed(t.people);
        const CsvExportResult result = ExportPeople(t.people);
        QVERIFY(!result.failed);
        QCOMPARE(result.records, 2);
        const QList<QStringList> rows = PythonRows(PeopleExportPath());
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0], PeopleExportFields() + QStringList{""});
        QCOMPARE(rows[1], Row(People[0]));
        QCOMPARE(rows[2], Row(People[2]));
        // The selection is as it was.
        QCOMPARE(t.people.filter(), QString("(IDX=3)"));
        QVERIFY(t.people.filtered());
        QCOMPARE(t.people.recNo(), 3);
        QCOMPARE(t.people.exactRecordCount(), 1);
    }

    void fileBytes()
    {
        Tables t;
        seed(t.people);
        ExportPeople(t.people);
        const QByteArray bytes = ReadAll(PeopleExportPath());
        QVERIFY(bytes.startsWith("\"IDX\";\"FIO\";\"SEX\";\"BIRTHDAY\";\"ADDRESS\";\"INSURANCE\";\"BIRTHCERT\";\"INFO\";"
                                 "\"LASTLOG\";\"MINSURANCE\";\"RUPASSPORT\";\"RUPASSUED\";\"RUPASSUEDD\";\r\n"));
        QVERIFY(bytes.contains(ToCp1251("\"Иванов \"\"Ваня\"\" Иван\";")));
        QVERIFY(bytes.contains(ToCp1251("\"строка 1\r\nстрока 2\";")));
        QVERIFY(bytes.contains(ToCp1251(";\"2\";\"\";\"\";\"\";\"" + Short(QDate(2023, 12, 31)) + "\";\r\n")));
        QVERIFY(!bytes.contains(ToCp1251("Удалённая")));
        QVERIFY(bytes.endsWith(";\r\n"));
        // Every line ends with ";" before CR LF, and no LF stands alone.
        QCOMPARE(bytes.count("\r\n"), bytes.count('\n'));
        QCOMPARE(bytes.count(";\r\n"), bytes.count("\r\n") - 1);   // the INFO line break is inside quotes
    }

    void emptyTableAndSecondRun()
    {
        Tables t;
        ExportPeople(t.people);
        const QByteArray header = ReadAll(PeopleExportPath());
        QCOMPARE(header.count("\r\n"), 1);
        Store(t.people, People[0]);
        ExportPeople(t.people);
        const QByteArray once = ReadAll(PeopleExportPath());
        ExportPeople(t.people);
        QCOMPARE(ReadAll(PeopleExportPath()), once);
        QVERIFY(once.startsWith(header));
    }

    void folderThatCannotBeMade()
    {
        Tables t;
        WriteAll("Exported", "a file where the folder should be");
        QVERIFY_THROWS_EXCEPTION(ExportError, ExportPeople(t.people));
        QCOMPARE(t.people.recNo(), 0);
    }

    void exportImportedIntoEmptyRegisterGivesSamePatients()
    {
        {
            Tables t;
            seed(t.people);
            ExportPeople(t.people);
        }
        QVERIFY(QDir("Data").removeRecursively());
        QVERIFY(QDir().rename("Exported/People.csv", "people.csv"));
        // The export's own columns; IDX, INFO and LASTLOG are not imported.
        WriteTemplate(TemplateLines("IDX;FIO;SEX;BIRTHDAY;ADDRESS;INSURANCE;BIRTHCERT;INFO;LASTLOG;MINSURANCE;ID;"
                                    "ID_ISSUEDBY;ID_ISSUED"));
        Tables t;
        const ImportOutcome out = ImportPatientFile(t.people, t.tests, "people.csv", QDateTime::currentDateTime());
        QVERIFY2(!out.failed, qPrintable(out.message()));
        QCOMPARE(out.accepted, 2);
        QCOMPARE(out.refused, 1);   // the header line
        const QStringList fields{"FIO", "SEX", "BIRTHDAY", "ADDRESS", "INSURANCE", "BIRTHCERT", "MINSURANCE",
                                 "RUPASSPORT", "RUPASSUED", "RUPASSUEDD"};
        int r = 0;
        for (const Person &p : {People[0], People[2]}) {
            ++r;
            QStringList got;
            for (const QString &f : fields)
                got << t.people.valueAt(r, t.people.fieldIndex(f)).toString();
            const QStringList want{p.fio,         p.sex,    p.birthday.toString(Qt::ISODate), p.address, p.insurance,
                                   p.birthCert,   p.medIns, p.passport,                       p.issuedBy,
                                   p.issued.toString(Qt::ISODate)};
            QCOMPARE(got, want);
        }
    }
};

QTEST_GUILESS_MAIN(TestExport)
#include "test_export.moc"
