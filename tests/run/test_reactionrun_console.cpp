// The run of either test with the response console: velmora-consolesim on a real
// pseudo-terminal answers through the console link, on the real clock. Each case is a
// short run.
#include <QSignalSpy>
#include <QtTest>

#include <memory>

#include "common/clock.h"
#include "console/consolelink.h"
#include "records/datapsy.h"
#include "tests/support/runharness.h"
#include "tests/support/simprocess.h"

using namespace vel;
using namespace runfakes;

namespace {

struct ConsoleHarness {
    ConsoleHarness(const QString &test, const QStringList &simArgs)
        : sim(simArgs), run(MakeRun(test, record, view, clock, &link))
    {
        run->SetScheduleDraw(ZeroDraw);   // 500 ms pauses; in a run of two the kinds 2 then 1
        QObject::connect(&link, &ConsoleLink::consoleLost, [this] { run->ConsoleLost(); });
    }

    // Ticks as the polling thread does, and runs the watchdog at the interval of its timer,
    // until the run stops, `until` holds, or `limitMs` pass.
    void TickFor(int limitMs, const std::function<bool()> &until = {})
    {
        QElapsedTimer t;
        t.start();
        const int every = run->Profile().WatchdogIntervalMs;
        qint64 nextWatch = every;
        while (run->Running() && t.elapsed() < limitMs && !(until && until())) {
            run->Tick();
            if (view.watchdog && t.elapsed() >= nextWatch) {
                nextWatch += every;
                run->WatchdogCheck();
            }
            SleepMs(1);
        }
    }
    void TickUntilPresenting()
    {
        TickFor(5000, [&] { return run->CurrentPhase() == ReactionRun::Phase::Presenting; });
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
    std::unique_ptr<ReactionRun> run;
};

TestType TypeOf(const QString &test) { return test == QLatin1String("moving") ? TestType::Moving : TestType::Choice; }

} // namespace

class TestReactionRunConsole : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void exchangesOfARunInOrder_data()
    {
        QTest::addColumn<QString>("test");
        QTest::addColumn<QStringList>("simArgs");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<QString>("dataPsy");
        QTest::addColumn<QStringList>("bars");   // not checked when empty
        // Presentation 1 (red): the green button at 312 ms; presentation 2 (green): the
        // red button at 1200 ms, above the ceiling. 312 + 1000 + 150; a reply of 1200 taken
        // as 999; no press: 2000 + 1000 + 150.
        QTest::newRow("choice") << "choice" << QStringList{"--times", "312,-;-,1200"}
                                << QStringList{
                                       "ATV",
                                       "ATL99,0,0", "ATL0,0,0",   // red light pulse at onset
                                       "ATa", "ATA",              // the answers asked for at the end
                                       "ATL0,0,0",                // after the press time 312
                                       "ATL0,0,0",                // presentation done
                                       "ATL0,2,0", "ATL0,0,0",    // green light pulse
                                       "ATa", "ATA",
                                       "ATL0,0,0",                // after the press time 1200
                                       "ATL0,0,0",                // presentation done
                                       "ATL0,0,0"}                // the stop
                                << QStringLiteral("1000\r\n1000\r\n2\r\n2\r\n"
                                                  "SR\r\n1462\r\n3150\r\n"
                                                  "SL\r\n3150\r\n2149\r\n")
                                << QStringList{};
        // Presentation 1 (line on the right): the green button at 1342 ms; presentation 2
        // (line on the left): the red button at 1200 ms. Press times as the console gave
        // them, no ceiling; a hand without one keeps 1800.
        QTest::newRow("moving") << "moving" << QStringList{"--times", "1342,-;-,1200"}
                                << QStringList{
                                       "ATV",
                                       "ATL99,0,0",               // onset, line on the right: no light pulse
                                       "ATa", "ATA",              // the answers asked for at the end
                                       "ATL0,0,0",                // after the press time 1342
                                       "ATL0,0,0",                // presentation done
                                       "ATL0,2,0",                // onset, line on the left
                                       "ATa", "ATA",
                                       "ATL0,0,0",                // after the press time 1200
                                       "ATL0,0,0",                // presentation done
                                       "ATL0,0,0"}                // the stop
                                << QStringLiteral("1350\r\n1800\r\n2\r\n2\r\n"
                                                  "SR_\r\n1342\r\n1800\r\n"
                                                  "SL_\r\n1800\r\n1200\r\n")
                                << QStringList{"1:-8", "2:450"};
    }
    void exchangesOfARunInOrder()
    {
        QFETCH(QString, test);
        QFETCH(QStringList, simArgs);
        QFETCH(QStringList, commands);
        QFETCH(QString, dataPsy);
        QFETCH(QStringList, bars);
        ConsoleHarness h(test, simArgs);
        QVERIFY(!h.sim.path.isEmpty());
        h.run->StartRun(h.sim.path, QStringLiteral("2"));
        QVERIFY(h.run->ConsoleFound());
        QVERIFY(h.view.watchdog);
        h.TickFor(15000);
        QVERIFY(!h.run->Running());
        QVERIFY(!h.view.watchdog);
        QCOMPARE(h.Commands("never", 300), commands);
        QCOMPARE(BuildDataPsy(h.record, TypeOf(test)), dataPsy);
        if (!bars.isEmpty())
            QCOMPARE(h.view.bars, bars);
    }

    void silentConsoleStopsTheRunAndTheOpenPresentationIsNotCounted_data()
    {
        QTest::addColumn<QString>("test");
        QTest::addColumn<QString>("times");
        QTest::addColumn<int>("leftTime");
        QTest::addColumn<int>("atLeastMs");
        // First pause, presentation 1 closed, pause, then more than the console's time
        // limit from the second start mark: 5 s for the choice, 3600 ms for the moving bar.
        QTest::newRow("choice") << "choice" << "300,-" << 1450 << 1000 + 2000 + 500 + 5000;
        QTest::newRow("moving") << "moving" << "1300,-" << 1300 << 1000 + 1795 + 500 + 3600;
    }
    void silentConsoleStopsTheRunAndTheOpenPresentationIsNotCounted()
    {
        QFETCH(QString, test);
        QFETCH(QString, times);
        QFETCH(int, leftTime);
        QFETCH(int, atLeastMs);
        ConsoleHarness h(test, {"--times", times, "--silent-after", "1"});
        h.run->StartRun(h.sim.path, QStringLiteral("3"));
        QVERIFY(h.run->ConsoleFound());
        QElapsedTimer t;
        t.start();
        h.TickFor(20000);
        QVERIFY(!h.run->Running());
        QVERIFY2(t.elapsed() > atLeastMs, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(int(h.record.DoneCount), 1);
        QCOMPARE(int(h.record.PlanCount), 3);
        QCOMPARE(int(h.record.LeftTimes[1]), leftTime);
        QCOMPARE(h.view.bars.size(), 1);
        // The requests were repeated while the console stayed silent.
        QVERIFY(h.Commands("never", 300).count("ATA") >= 3);
    }

    void stopWithNothingFromTheConsoleDoesNotCount_data()
    {
        QTest::addColumn<QString>("test");
        QTest::newRow("choice") << "choice";
        QTest::newRow("moving") << "moving";
    }
    void stopWithNothingFromTheConsoleDoesNotCount()
    {
        QFETCH(QString, test);
        ConsoleHarness h(test, {});
        h.run->StartRun(h.sim.path, QStringLiteral("4"));
        h.TickUntilPresenting();
        h.TickFor(500, [&] { return false; });
        h.run->StopRun();
        QCOMPARE(int(h.record.DoneCount), 0);
        const QStringList commands = h.Commands("never", 300);
        QVERIFY(!commands.contains("ATa"));
        QCOMPARE(commands.last(), QStringLiteral("ATL0,0,0"));
    }

    // The choice run without a console that answers the identification.
    void withoutConsoleTheRunGoesOnWithTheKeyboard()
    {
        ConsoleHarness h("choice", {"--ident", ""});
        QSignalSpy status(&h.link, &ConsoleLink::statusText);
        h.run->StartRun(h.sim.path, QStringLiteral("4"));
        QVERIFY(!h.run->ConsoleFound());
        QVERIFY(!h.view.watchdog);
        QCOMPARE(status.size(), 1);
        QCOMPARE(status.at(0).at(0).toString(), ConsoleLink::NotFoundText(h.sim.path));
        h.TickUntilPresenting();
        h.run->KeyAnswer(Hand::Right, h.run->StartTick() + 250);
        h.TickFor(3000, [&] { return h.run->DoneCount() == 1; });
        h.run->StopRun();
        QCOMPARE(int(h.record.DoneCount), 1);
        QCOMPARE(int(h.record.RightTimes[1]), 1400);
        QCOMPARE(h.Commands("never", 200), QStringList{"ATV"});
    }

    // The choice run's console pulled out after a key answer.
    void consoleUnpluggedDuringTheRun()
    {
        ConsoleHarness h("choice", {});
        h.run->StartRun(h.sim.path, QStringLiteral("2"));
        QVERIFY(h.run->ConsoleFound());
        h.TickUntilPresenting();
        h.run->KeyAnswer(Hand::Right, h.run->StartTick() + 280);
        h.sim.Kill();
        h.TickFor(15000);
        QVERIFY(!h.run->Running());
        QCOMPARE(int(h.record.DoneCount), 2);
        QCOMPARE(int(h.record.RightTimes[1]), 1430);   // the keyboard's time stands
        QVERIFY(!h.view.watchdog);
    }
};

QTEST_GUILESS_MAIN(TestReactionRunConsole)
#include "test_reactionrun_console.moc"
