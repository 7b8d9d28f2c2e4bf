// Real processes on one table: two appending at once lose nothing, and a process killed
// at a random moment of a series of appends leaves a table that opens with every record
// it finished, on which the next append works.
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <map>
#include <memory>

#include "store/table.h"
#include "tests/support/tablefixture.h"

using namespace vel;
using namespace vel::testing;

Q_DECLARE_METATYPE(vel::TableLevel)

namespace {

QString MemoOf(int writer, int i)
{
    return QStringLiteral("writer %1 record %2 ").arg(writer).arg(i).repeated(1 + i % 7);
}

QString LevelArg(TableLevel level) { return level == TableLevel::FoxPro ? "foxpro" : "dbase7"; }

std::unique_ptr<QProcess> StartAppender(const QString &dir, TableLevel level, int writer, int count)
{
    auto p = std::make_unique<QProcess>();
    p->setProgram(QStringLiteral(STORE_APPENDER));
    p->setArguments({dir, LevelArg(level), QString::number(writer), QString::number(count)});
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->start();
    return p;
}

// Every record of the table checked against what its writer wrote: returns, per writer,
// how many records it has (they must be 0..n-1 in order, each with its memo).
std::map<int, int> CheckRecords(Table &t)
{
    std::map<int, int> next;
    t.setFilter(QString());
    for (bool ok = t.first(); ok && !t.eof(); ok = t.next()) {
        const int idx = t.asInteger("IDX");
        const int writer = idx / 100000, i = idx % 100000;
        if (writer == 0)
            continue;   // the parent's own records
        if (i != next[writer])
            throw std::runtime_error(qPrintable(QString("writer %1: record %2 where %3 was due").arg(writer).arg(i).arg(next[writer])));
        if (t.asString("FIO") != QString("W%1 #%2").arg(writer).arg(i))
            throw std::runtime_error(qPrintable(QString("writer %1 #%2: FIO %3").arg(writer).arg(i).arg(t.asString("FIO"))));
        if (t.memoText("NOTE") != MemoOf(writer, i))
            throw std::runtime_error(qPrintable(QString("writer %1 #%2: memo differs").arg(writer).arg(i)));
        ++next[writer];
    }
    return next;
}

} // namespace

class TestProcesses : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;

private Q_SLOTS:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void levels_data()
    {
        QTest::addColumn<TableLevel>("level");
        QTest::newRow("dBASE 7") << TableLevel::DBase7;
        QTest::newRow("FoxPro") << TableLevel::FoxPro;
    }

    void concurrentAppendsLoseNothing_data() { levels_data(); }
    void concurrentAppendsLoseNothing()
    {
        QFETCH(TableLevel, level);
        constexpr int kEach = 300;
        Table t;   // open here too, so that the records arrive while a handle watches
        DefinePersons(t, m_dir->path(), level, "shared.dbf");
        t.setIndexDefs({{"F", "FIO", false, false}});
        t.open();
        auto a = StartAppender(m_dir->path(), level, 1, kEach);
        auto b = StartAppender(m_dir->path(), level, 2, kEach);
        QVERIFY(a->waitForFinished(60000) && b->waitForFinished(60000));
        QCOMPARE(a->exitCode(), 0);
        QCOMPARE(b->exitCode(), 0);
        t.refresh();
        QCOMPARE(t.physicalRecordCount(), 2 * kEach);
        const auto counts = CheckRecords(t);
        QCOMPARE(counts.at(1), kEach);
        QCOMPARE(counts.at(2), kEach);
        t.setIndexName("F");   // the tag took every record from the other processes
        QCOMPARE(t.exactRecordCount(), 2 * kEach);
        QVERIFY(t.first());
        QCOMPARE(t.asString("FIO"), QString("W1 #0"));
    }

    void killedAppendsLeaveWholeRecords_data() { levels_data(); }
    void killedAppendsLeaveWholeRecords()
    {
        QFETCH(TableLevel, level);
        constexpr int kRounds = 25;
        QRandomGenerator rng(20240601u + uint(level));
        int parentRecords = 0;
        for (int round = 1; round <= kRounds; ++round) {
            const int writer = round;
            auto p = StartAppender(m_dir->path(), level, writer, 100000);
            // Wait for a few posted records, then kill it somewhere in the next appends.
            const int wanted = 1 + int(rng.bounded(15));
            int posted = 0;
            QByteArray out;
            while (posted < wanted && p->waitForReadyRead(10000)) {
                out += p->readAllStandardOutput();
                posted = int(out.count('\n'));
            }
            QVERIFY2(posted >= wanted, "the appender did not start");
            QTest::qSleep(int(rng.bounded(3)));
            ::kill(pid_t(p->processId()), SIGKILL);
            QVERIFY(p->waitForFinished(10000));
            out += p->readAllStandardOutput();
            posted = int(out.count('\n'));

            Table t;
            DefinePersons(t, m_dir->path(), level, "shared.dbf");
            t.setOpenMode(OpenMode::Normal);
            t.open();
            std::map<int, int> counts;
            try {
                counts = CheckRecords(t);
            } catch (const std::exception &e) {
                QFAIL(e.what());
            }
            // Every record it reported is there; at most the one it was writing more.
            QVERIFY2(counts[writer] >= posted && counts[writer] <= posted + 1,
                     qPrintable(QString("round %1: %2 records of %3 reported").arg(round).arg(counts[writer]).arg(posted)));
            for (int earlier = 1; earlier < writer; ++earlier)
                QVERIFY(counts[earlier] > 0);
            AddPerson(t, 0, QString("после %1").arg(round), "м", QDate(2010, 1, 1), QString(), "запись родителя");
            ++parentRecords;
            t.close();
            t.open();
            t.setFilter("IDX=0");
            QCOMPARE(t.exactRecordCount(), parentRecords);
            QVERIFY(t.findLast());
            QCOMPARE(t.memoText("NOTE"), QString("запись родителя"));
        }
    }
};

QTEST_GUILESS_MAIN(TestProcesses)
#include "test_processes.moc"
