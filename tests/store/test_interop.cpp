// Files shared with other programs: a FoxPro Psy.dbf written by the engine reads with the
// same values in python3-dbfread, and a dBASE III table written by GDAL opens in the
// engine with the values it was given.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "store/database.h"
#include "tests/support/tablefixture.h"

using namespace vel;
using vel::testing::AppendFields;

class TestInterop : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dbfreadReadsTheTestTable()
    {
        QTemporaryDir dir;
        Table psy;
        DefineTestTable(psy);
        psy.setFolder(dir.path());
        psy.setFilter(QString());
        psy.open();
        QString longData = "1000\r\n1000\r\n200\r\n200\r\n";
        for (int i = 1; i <= 200; ++i)
            longData += QString("SL\r\n%1\r\n3150\r\n").arg(1400 + i);
        struct Row { int idx; QDate date; QString type, final, time, data; };
        const QList<Row> rows = {
            {17, QDate(2024, 5, 14), "Тест реакции выбора", "Норма", "9:05:07", longData},
            {123456789, QDate(1999, 12, 31), "Реакция на движ.объект", "Замедленная реакция «в пределах»", "16:22:05", "1350\r\n1800\r\n30\r\n0\r\n"},
            {5, QDate(2013, 1, 2), "удалённая", "", "", "x"},
            {0, QDate(), "", "", "", ""},
        };
        for (const Row &r : rows) {
            // As a stored test is written: the fields, then the raw data in a second post.
            AppendFields(psy, {{"IDX", r.idx}, {"DATE", r.date}, {"TYPE", r.type}, {"PSYFINAL", r.final},
                               {"TIME", r.time}});
            psy.edit();
            psy.setValue("DATAPSY", r.data);
            psy.post();
        }
        QVERIFY(psy.goToRecNo(3));
        psy.deleteRecord();
        psy.close();

        QProcess python;
        python.start("/usr/bin/python3", {"-c", R"(
import json, sys
from dbfread import DBF
t = DBF(sys.argv[1], encoding='cp1251', char_decode_errors='strict')
print(json.dumps({'version': t.dbversion,
                  'fields': [[f.name, f.type, f.length, f.decimal_count] for f in t.fields],
                  'records': [dict(r) for r in t]}, ensure_ascii=False, default=str))
)", dir.path() + "/Psy.dbf"});
        QVERIFY(python.waitForFinished(60000));
        QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
        const QJsonObject got = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
        QCOMPARE(got["version"].toString(), QString("FoxPro 2.x (or earlier) with memo"));
        QCOMPARE(QJsonDocument(got["fields"].toArray()).toJson(QJsonDocument::Compact),
                 QByteArray(R"([["IDX","N",9,0],["DATE","D",8,0],["DATAPSY","M",4,0],["TYPE","C",30,0],)"
                            R"(["PSYFINAL","C",60,0],["TIME","C",8,0]])"));
        const QJsonArray records = got["records"].toArray();
        QCOMPARE(records.size(), 3);   // the deleted one is left out
        for (int i = 0, row = 0; i < records.size(); ++i, ++row) {
            if (row == 2)
                ++row;
            const Row &r = rows[row];
            const QJsonObject rec = records[i].toObject();
            QCOMPARE(rec["IDX"].toInt(), r.idx);
            QCOMPARE(rec["DATE"].isNull() ? QDate() : QDate::fromString(rec["DATE"].toString(), Qt::ISODate), r.date);
            QCOMPARE(rec["TYPE"].toString(), r.type);
            QCOMPARE(rec["PSYFINAL"].toString(), r.final);
            QCOMPARE(rec["TIME"].toString(), r.time);
            QCOMPARE(rec["DATAPSY"].isNull() ? QString() : rec["DATAPSY"].toString(), r.data);
        }
    }

    void gdalTableOpensWithItsValues()
    {
        QTemporaryDir dir;
        QFile::copy(VELMORA_SOURCE_DIR "/tests/store/fixtures/ogr-people.dbf", dir.path() + "/ogr-people.dbf");
        QFile(dir.path() + "/ogr-people.dbf").setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        Table t;
        t.setFolder(dir.path());
        t.setTableName("ogr-people.dbf");
        t.open();
        QCOMPARE(t.level(), TableLevel::DBase3);
        struct Row { QVariant idx; QString fio, sex; QDate born; QVariant score, ok; QString address; };
        const QList<Row> rows = {   // tests/store/fixtures/people.csv
            {1, "Иванова Анна Петровна", "ж", QDate(1995, 3, 12), 12.5, 1, "г. Тверь, ул. Ленина, д. 1"},
            {2, "Ёлкин Пётр", "м", QDate(2010, 12, 31), -3.25, 0, ""},
            {3, "O'Hara", "м", QDate(), 0.0, QVariant(), "кв. \"7\""},
            {-42, "", "ж", QDate(1990, 1, 1), QVariant(), 1, "Москва"},
        };
        int i = 0;
        for (bool ok = t.first(); ok && !t.eof(); ok = t.next(), ++i) {
            const Row &r = rows[i];
            QCOMPARE(t.value("IDX"), r.idx);
            QCOMPARE(t.asString("FIO"), r.fio);
            QCOMPARE(t.asString("SEX"), r.sex);
            QCOMPARE(t.asDate("BIRTHDAY"), r.born);
            QCOMPARE(t.value("SCORE").isNull(), r.score.isNull());
            if (!r.score.isNull())
                QCOMPARE(t.value("SCORE").toDouble(), r.score.toDouble());
            QCOMPARE(t.value("OK"), r.ok);
            QCOMPARE(t.asString("ADDRESS"), r.address);
        }
        QCOMPARE(i, rows.size());

        // The engine writes to it in its own format and reads it back.
        t.setFilter("SUBSTR(FIO,1,1)='Ё'");
        QVERIFY(t.first());
        t.edit();
        t.setValue("SCORE", 99.99);
        t.post();
        t.appendRecord({7, "Новая запись"});
        t.close();
        t.open();
        QCOMPARE(t.physicalRecordCount(), 5);
        t.setFilter("(IDX=2) or (IDX=7)");
        QVERIFY(t.first());
        QCOMPARE(t.value("SCORE").toDouble(), 99.99);
        QVERIFY(t.next());
        QCOMPARE(t.asString("FIO"), QString("Новая запись"));
    }

    void gdalNumbersAndEmptyTable()
    {
        QTemporaryDir dir;
        for (const char *name : {"ogr-numbers.dbf", "ogr-empty.dbf"})
            QFile::copy(QString(VELMORA_SOURCE_DIR "/tests/store/fixtures/") + name, dir.path() + "/" + name);
        Table t;
        t.setFolder(dir.path());
        t.setTableName("ogr-numbers.dbf");
        t.setReadOnly(true);
        t.open();
        QVERIFY(t.first());
        QCOMPARE(t.value("BIG"), QVariant(123456789012345678ll));
        QCOMPARE(t.asString("PRICE"), QString("1234567.1234"));
        QCOMPARE(t.asString("NOTE"), QString("Длинная строка — с тире и «кавычками»"));
        QVERIFY(t.next());
        QCOMPARE(t.value("BIG"), QVariant(-9));
        QCOMPARE(t.asString("PRICE"), QString("0.0001"));
        QVERIFY(t.isNull("NOTE"));
        QVERIFY(t.next());
        QCOMPARE(t.value("PRICE").toDouble(), -99999.9999);
        QVERIFY(!t.next());
        t.close();

        t.setTableName("ogr-empty.dbf");
        t.setReadOnly(false);
        t.open();
        QVERIFY(t.isEmpty());
        QCOMPARE(t.fields().size(), 2);
        t.appendRecord({1, "Первая"});
        t.close();
        t.open();
        QCOMPARE(t.physicalRecordCount(), 1);
        QVERIFY(t.first());
        QCOMPARE(t.asString("FIO"), QString("Первая"));
    }
};

QTEST_GUILESS_MAIN(TestInterop)
#include "test_interop.moc"
