// The choice run with the response console: velmora-consolesim on a real pseudo-terminal
// answers through the console link, on the real clock. Each case is a short run.
#include <QSignalSpy>
#include <QtTest>

#include "choice/choicerun.h"
#include "console/consolelink.h"
#include "records/datapsy.h"
#include "tests/support/runfakes.h"
#include "common/clock.h"
#include "tests/support/simprocess.h"

using namespace vel;
using namespace vel::choice;
using namespace runfakes;

namespace {

struct ConsoleHarness {
    explicit ConsoleHarness(const QStringList &simArgs) : sim(simArgs)
    {
        run.SetScheduleDraw(ZeroDraw);   // 500 ms pauses; R then G in a run of two
        QObject::connect(&link, &ConsoleLink::consoleLost, [this] { run.ConsoleLost(); });
    }

    // Ticks as the polling thread does, and runs the watchdog every second as its timer
    // does, until the run stops, `until` holds, or `limitMs` pass.
    void TickFor(int limitMs, const std::function<bool()> &until = {})
    {
        QElapsedTimer t;
        t.start();
        qint64 nextWatch = WatchdogIntervalMs;
        while (run.Running() && t.elapsed() < limitMs && !(until && until())) {
            run.Tick();
            if (view.watchdog && t.elapsed() >= nextWatch) {
                nextWatch += WatchdogIntervalMs;
                run.WatchdogCheck();
            }
            SleepMs(1);
        }
    }

    // The commands the simulator received, in order.
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
    ChoiceRun run{record, view, clock, &link};
};

} // namespace

class TestChoiceRunConsole : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void exchangesOfARunInOrder()
    {
        // Presentation 1 (red): the green button at 312 ms; presentation 2 (green): the
        // red button at 1200 ms, above the ceiling.
        ConsoleHarness h({"--times", "312,-;-,1200"});
        QVERIFY(!h.sim.path.isEmpty());
        h.run.StartRun(h.sim.path, QStringLiteral("2"));
        QVERIFY(h.run.ConsoleFound());
        QVERIFY(h.view.watchdog);
        h.TickFor(15000);
        QVERIFY(!h.run.Running());
        QVERIFY(!h.view.watchdog);

        const QStringList commands = h.Commands("never", 300);
        QCOMPARE(commands, (QStringList{
            "ATV",
            "ATL99,0,0", "ATL0,0,0",   // red light pulse at onset
            "ATa", "ATA",              // the answers asked for at the end
            "ATL0,0,0",                // after the press time 312
            "ATL0,0,0",                // presentation done
            "ATL0,2,0", "ATL0,0,0",    // green light pulse
            "ATa", "ATA",
            "ATL0,0,0",                // after the press time 1200
            "ATL0,0,0",                // presentation done
            "ATL0,0,0"}));             // the stop
        // 312 + 1000 + 150; a reply of 1200 taken as 999; no press: 2000 + 1000 + 150.
        QCOMPARE(BuildDataPsy(h.record, TestType::Choice),
                 QStringLiteral("1000\r\n1000\r\n2\r\n2\r\n"
                                "SR\r\n1462\r\n3150\r\n"
                                "SL\r\n3150\r\n2149\r\n"));
    }

    void silentConsoleStopsTheRunAndTheOpenPresentationIsNotCounted()
    {
        ConsoleHarness h({"--times", "300,-", "--silent-after", "1"});
        h.run.StartRun(h.sim.path, QStringLiteral("3"));
        QVERIFY(h.run.ConsoleFound());
        QElapsedTimer t;
        t.start();
        h.TickFor(20000);
        QVERIFY(!h.run.Running());
        // First pause, presentation 1 closed, pause, then more than 5 s from the second
        // start mark.
        QVERIFY2(t.elapsed() > 1000 + 2000 + 500 + 5000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(int(h.record.DoneCount), 1);
        QCOMPARE(int(h.record.PlanCount), 3);
        QCOMPARE(int(h.record.LeftTimes[1]), 1450);
        QCOMPARE(h.view.bars.size(), 1);
        // The requests were repeated while the console stayed silent.
        QVERIFY(h.Commands("never", 300).count("ATA") >= 3);
    }

    void stopWithNothingFromTheConsoleDoesNotCount()
    {
        ConsoleHarness h({});
        h.run.StartRun(h.sim.path, QStringLiteral("4"));
        h.TickFor(5000, [&] { return h.run.CurrentPhase() == ChoiceRun::Phase::Presenting; });
        h.TickFor(500, [&] { return false; });
        h.run.StopRun();
        QCOMPARE(int(h.record.DoneCount), 0);
        const QStringList commands = h.Commands("never", 300);
        QVERIFY(!commands.contains("ATa"));
        QCOMPARE(commands.last(), QStringLiteral("ATL0,0,0"));
    }

    void withoutConsoleTheRunGoesOnWithTheKeyboard()
    {
        ConsoleHarness h({"--ident", ""});
        QSignalSpy status(&h.link, &ConsoleLink::statusText);
        h.run.StartRun(h.sim.path, QStringLiteral("4"));
        QVERIFY(!h.run.ConsoleFound());
        QVERIFY(!h.view.watchdog);
        QCOMPARE(status.size(), 1);
        QCOMPARE(status.at(0).at(0).toString(), ConsoleLink::NotFoundText(h.sim.path));
        h.TickFor(5000, [&] { return h.run.CurrentPhase() == ChoiceRun::Phase::Presenting; });
        h.run.KeyAnswer(Hand::Right, h.run.StartTick() + 250);
        h.TickFor(3000, [&] { return h.run.DoneCount() == 1; });
        h.run.StopRun();
        QCOMPARE(int(h.record.DoneCount), 1);
        QCOMPARE(int(h.record.RightTimes[1]), 1400);
        QCOMPARE(h.Commands("never", 200), QStringList{"ATV"});
    }

    void consoleUnpluggedDuringTheRun()
    {
        ConsoleHarness h({});
        h.run.StartRun(h.sim.path, QStringLiteral("2"));
        QVERIFY(h.run.ConsoleFound());
        h.TickFor(5000, [&] { return h.run.CurrentPhase() == ChoiceRun::Phase::Presenting; });
        h.run.KeyAnswer(Hand::Right, h.run.StartTick() + 280);
        h.sim.Kill();
        h.TickFor(15000);
        QVERIFY(!h.run.Running());
        QCOMPARE(int(h.record.DoneCount), 2);
        QCOMPARE(int(h.record.RightTimes[1]), 1430);   // the keyboard's time stands
        QVERIFY(!h.view.watchdog);
    }
};

QTEST_GUILESS_MAIN(TestChoiceRunConsole)
#include "test_choicerun_console.moc"
