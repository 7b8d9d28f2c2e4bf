// The moving-object run with the response console: velmora-consolesim on a real
// pseudo-terminal answers through the console link, on the real clock.
#include <QtTest>

#include "console/consolelink.h"
#include "moving/movingrun.h"
#include "records/datapsy.h"
#include "common/clock.h"
#include "tests/support/simprocess.h"
#include "tests/support/runfakes.h"

using namespace vel;
using namespace vel::moving;
using namespace runfakes;

namespace {

struct ConsoleHarness {
    explicit ConsoleHarness(const QStringList &simArgs) : sim(simArgs)
    {
        run.SetScheduleDraw(ZeroDraw);   // 500 ms pauses; kinds 2 then 1 in a run of two
        QObject::connect(&link, &ConsoleLink::consoleLost, [this] { run.ConsoleLost(); });
    }

    // Ticks as the polling thread does, with the watchdog's timer every millisecond, until
    // the run stops, `until` holds, or `limitMs` pass.
    void TickFor(int limitMs, const std::function<bool()> &until = {})
    {
        QElapsedTimer t;
        t.start();
        while (run.Running() && t.elapsed() < limitMs && !(until && until())) {
            run.Tick();
            if (view.watchdog)
                run.WatchdogCheck();
            SleepMs(1);
        }
    }

    QStringList Commands(const QString &until, int ms = 2000)
    {
        QStringList out;
        for (const QString &e : sim.Events(until, ms))
            if (e.startsWith(QLatin1String("cmd ")))
                out << e.mid(4);
        return out;
    }

    SimProcess sim;
    TTestRun record;
    SystemRunClock clock;
    FakeView view{clock};
    ConsoleLink link;
    MovingRun run{record, view, clock, &link};
};

} // namespace

class TestMovingRunConsole : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void exchangesOfARunInOrder()
    {
        // Presentation 1 (line on the right): the green button at 1342 ms; presentation 2
        // (line on the left): the red button at 1200 ms.
        ConsoleHarness h({"--times", "1342,-;-,1200"});
        QVERIFY(!h.sim.path.isEmpty());
        h.run.StartRun(h.sim.path, QStringLiteral("2"));
        QVERIFY(h.run.ConsoleFound());
        QVERIFY(h.view.watchdog);
        h.TickFor(15000);
        QVERIFY(!h.run.Running());
        QVERIFY(!h.view.watchdog);

        QCOMPARE(h.Commands("never", 300), (QStringList{
            "ATV",
            "ATL99,0,0",               // onset, line on the right: no light pulse
            "ATa", "ATA",              // the answers asked for at the end
            "ATL0,0,0",                // after the press time 1342
            "ATL0,0,0",                // presentation done
            "ATL0,2,0",                // onset, line on the left
            "ATa", "ATA",
            "ATL0,0,0",                // after the press time 1200
            "ATL0,0,0",                // presentation done
            "ATL0,0,0"}));             // the stop
        // Press times as the console gave them, no ceiling; a hand without one keeps 1800.
        QCOMPARE(BuildDataPsy(h.record, TestType::Moving),
                 QStringLiteral("1350\r\n1800\r\n2\r\n2\r\n"
                                "SR_\r\n1342\r\n1800\r\n"
                                "SL_\r\n1800\r\n1200\r\n"));
        QCOMPARE(h.view.bars, (QStringList{"1:-8", "2:450"}));
    }

    void silentConsoleStopsTheRunAndTheOpenPresentationIsNotCounted()
    {
        ConsoleHarness h({"--times", "1300,-", "--silent-after", "1"});
        h.run.StartRun(h.sim.path, QStringLiteral("3"));
        QVERIFY(h.run.ConsoleFound());
        QElapsedTimer t;
        t.start();
        h.TickFor(20000);
        QVERIFY(!h.run.Running());
        // First pause, presentation 1 closed, pause, then more than 3600 ms from the
        // second start mark.
        QVERIFY2(t.elapsed() > 1000 + 1795 + 500 + 3600, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(int(h.record.DoneCount), 1);
        QCOMPARE(int(h.record.PlanCount), 3);
        QCOMPARE(int(h.record.LeftTimes[1]), 1300);
        QCOMPARE(h.view.bars.size(), 1);
        QVERIFY(h.Commands("never", 300).count("ATA") >= 3);
    }

    void stopWithNothingFromTheConsoleDoesNotCount()
    {
        ConsoleHarness h({});
        h.run.StartRun(h.sim.path, QStringLiteral("4"));
        h.TickFor(5000, [&] { return h.run.CurrentPhase() == ReactionRun::Phase::Presenting; });
        h.TickFor(500, [&] { return false; });
        h.run.StopRun();
        QCOMPARE(int(h.record.DoneCount), 0);
        const QStringList commands = h.Commands("never", 300);
        QVERIFY(!commands.contains("ATa"));
        QCOMPARE(commands.last(), QStringLiteral("ATL0,0,0"));
    }
};

QTEST_GUILESS_MAIN(TestMovingRunConsole)
#include "test_movingrun_console.moc"
