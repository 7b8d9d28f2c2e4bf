// velmora-dbftool on a small patient table: what an administrator sees of a sound table,
// of a damaged memo pointer and of a stale index file, and the index rebuilt.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "store/database.h"
#include "store/dbf/codec.h"
#include "tests/support/tablefixture.h"

using namespace vel;

namespace {

struct Run {
    int code;
    QString out;
};

Run Tool(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(DBFTOOL), args);
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
}

} // namespace

class TestDbfTool : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void administratorsView()
    {
        QTemporaryDir dir;
        const QString table = dir.path() + "/patients.dbf";
        {
            Table t;
            DefinePeopleTable(t, dir.path());
            t.open();
            t.appendRecord({1, "Иванова Анна", "ж", QDate(1995, 3, 12)});
            t.append();
            t.setValue("IDX", 2);
            t.setValue("FIO", "Петров\tПётр");
            t.setValue("INFO", "строка 1\r\nстрока 2");
            t.post();
            t.deleteRecord();
        }
        Run r = Tool({"structure", table});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains("dBASE 7 (version byte 0x8c)"), qPrintable(r.out));
        QVERIFY(r.out.contains(QRegularExpression("DATEORPHHABITATION\\s+D\\s+8\\s+0\\s+at 316")));
        r = Tool({"dump", table});
        QCOMPARE(r.code, 0);
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[0].startsWith("#\tDEL\tIDX\tFIO\tSEX\tBIRTHDAY\t"));
        QVERIFY(lines[1].startsWith("1\t\t1\tИванова Анна\tж\t1995-03-12\t"));
        QVERIFY(lines[2].startsWith("2\t*\t2\tПетров\\tПётр\t"));
        QVERIFY(lines[2].contains("\tстрока 1\\r\\nстрока 2\t"));
        r = Tool({"check", table});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains("tag F          FIO: 2 entries, in order"), qPrintable(r.out));

        // Another program appends a record without keeping the index: the index is stale.
        QByteArray bytes = ReadAll(table);
        auto *p = reinterpret_cast<uchar *>(bytes.data());
        const int hl = dbf::ReadLE16(p + 8), rl = dbf::ReadLE16(p + 10);
        bytes.insert(hl + 2 * rl, bytes.mid(hl, rl));
        dbf::WriteLE32(reinterpret_cast<uchar *>(bytes.data()) + 4, 3);
        WriteAll(table, bytes);
        r = Tool({"check", table});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.out.contains("FAULT index tag I: 2 entries, the records give 3"), qPrintable(r.out));
        r = Tool({"reindex", table});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains("I, F, X, B, A, U, C, P over 3 records"), qPrintable(r.out));
        QCOMPARE(Tool({"check", table}).code, 0);

        // A memo pointer into nowhere.
        bytes = ReadAll(table);
        bytes.replace(hl + rl + 294, 10, "     99999");   // INFO of record 2
        WriteAll(table, bytes);
        r = Tool({"check", table});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.out.contains("FAULT record 2: INFO:"), qPrintable(r.out));
        QVERIFY(r.out.contains("patients.dbt"));

        WriteAll(table, "garbage");
        r = Tool({"check", table});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.out.contains("FAULT") && r.out.contains(table), qPrintable(r.out));
    }
};

QTEST_GUILESS_MAIN(TestDbfTool)
#include "test_dbftool.moc"
