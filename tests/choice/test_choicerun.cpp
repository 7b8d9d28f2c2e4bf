// The choice reaction run without a window and without waiting: the schedule, the
// phases of a presentation, the answers of the keyboard, the stop and the stored record.
#include <QtTest>

#include "choice/choicerun.h"
#include "run/schedule.h"
#include "records/datapsy.h"
#include "tests/run/runfakes.h"

using namespace vel;
using namespace vel::choice;
using namespace runfakes;

namespace {

// A key press of a presentation: its hand, its moment relative to the start mark, and
// how much later the run gets to it.
struct Press {
    Hand hand = Hand::Left;
    int at = 0;
    int late = 0;
};

// "L300 R-20 L300+150": hand, moment, and optionally the delay of its handling.
QList<Press> PressesOf(const QString &script)
{
    QList<Press> out;
    const QStringList items = script.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &item : items) {
        Press p;
        p.hand = item.startsWith(QLatin1Char('R')) ? Hand::Right : Hand::Left;
        const QStringList parts = item.mid(1).split(QLatin1Char('+'));
        p.at = parts.at(0).toInt();
        p.late = parts.size() > 1 ? parts.at(1).toInt() : 0;
        out << p;
    }
    return out;
}

// A run on a fake clock, ticked every millisecond.
struct Harness {
    Harness() { run.SetScheduleDraw(ZeroDraw); }

    // Ticks until the run stops or `ms` have passed; hands the presses of presentation i
    // (presses[i - 1]) to the run at their moments. `at`, when set, is called at each
    // millisecond with the time since the call.
    void TickFor(int ms, const QList<QList<Press>> &presses = {},
                 const std::function<void(int)> &at = {})
    {
        for (int t = 0; t < ms && run.Running(); ++t) {
            if (at)
                at(t);
            if (!run.Running())
                break;
            run.Tick();
            if (run.CurrentPhase() == ChoiceRun::Phase::Presenting) {
                const int i = run.DoneCount() + 1;
                const int since = int(clock.now - run.StartTick());
                for (const Press &p : presses.value(i - 1))
                    if (since == qMax(0, p.at + p.late))
                        run.KeyAnswer(p.hand, run.StartTick() + uint32_t(p.at));
            }
            clock.now += 1;
        }
    }

    TTestRun record;
    FakeClock clock;
    FakeView view{clock};
    ChoiceRun run{record, view, clock, nullptr};
};

int Count(const TTestRun &run, int from, int to, uint8_t kind)
{
    int n = 0;
    for (int i = from; i <= to; ++i)
        n += run.Kinds[i] == kind;
    return n;
}

} // namespace

class TestChoiceRun : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Schedule ---------------------------------------------------------------------------

    void scheduleDrawsPausesFirstThenPlaceAndOffsetOfEachBlock()
    {
        QList<int> bounds;
        // Block b gets p = b mod 4 and r = b mod 3, so every placement of the pair occurs.
        int call = 0;
        const ScheduleDraw draw = [&](int bound) {
            bounds << bound;
            const int i = call++;
            if (i < MaxPresentations)
                return i % bound;
            const int block = (i - MaxPresentations) / 2;
            return (i - MaxPresentations) % 2 == 0 ? block % 4 : block % 3;
        };
        TTestRun run;
        BuildSchedule(run, 200, draw);

        QCOMPARE(bounds.size(), MaxPresentations + 2 * 50);
        QCOMPARE(bounds.mid(0, MaxPresentations), QList<int>(MaxPresentations, PauseSpreadMs));
        for (int b = 0; b < 50; ++b)
            QCOMPARE(bounds.mid(MaxPresentations + 2 * b, 2), (QList<int>{4, 3}));
        QCOMPARE(run.Delays[1], 500);
        QCOMPARE(run.Delays[200], 500 + 199);
        for (int b = 0; b < 50; ++b) {
            const int p = b % 4, q = (b % 3 + p + 1) % 4;
            for (int j = 0; j < 4; ++j)
                QCOMPARE(int(run.Kinds[1 + 4 * b + j]), (j == p || j == q) ? 2 : 1);
        }
    }

    void scheduleHoldsTwoOfEachKindPerBlock_data()
    {
        QTest::addColumn<int>("planned");
        for (int n : {1, 2, 4, 6, 29, 30, 31, 32, 198, 200})
            QTest::addRow("%d presentations", n) << n;
    }
    void scheduleHoldsTwoOfEachKindPerBlock()
    {
        QFETCH(int, planned);
        for (quint32 seed = 1; seed <= 200; ++seed) {
            QRandomGenerator random(seed);
            TTestRun run;
            BuildSchedule(run, planned, [&](int bound) { return int(random.bounded(bound)); });
            for (int i = 1; i <= MaxPresentations; ++i) {
                QVERIFY(run.Delays[i] >= 500 && run.Delays[i] <= 2499);
                QVERIFY(run.Kinds[i] == 1 || run.Kinds[i] == 2);
            }
            const int fullBlocks = planned % 4 == 2 ? planned / 4 : 50;
            for (int b = 0; b < fullBlocks; ++b)
                QCOMPARE(Count(run, 1 + 4 * b, 4 + 4 * b, RedKind), 2);
            if (planned % 4 == 2)   // the cut block: one of each
                QCOMPARE(Count(run, planned - 1, planned, RedKind), 1);
        }
    }

    void plannedCountFromTheSettingsField_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("planned");
        QTest::newRow("empty") << "" << 30;
        QTest::newRow("blanks") << "  " << 30;
        QTest::newRow("number") << "12" << 12;
        QTest::newRow("blanks around, as the settings file may give") << "\t7 " << 7;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("the most") << "200" << 200;
        QTest::newRow("above the schedule, capped") << "201" << 200;
        QTest::newRow("far above") << "999" << 200;
        QTest::newRow("not a number") << "1000 раз" << 30;
        QTest::newRow("negative") << "-5" << 0;
    }
    void plannedCountFromTheSettingsField()
    {
        QFETCH(QString, text);
        QFETCH(int, planned);
        QCOMPARE(PlannedCountOf(text), planned);
    }

    // One run -----------------------------------------------------------------------------

    void keyboardRunOfFourPresentations()
    {
        Harness h;
        h.run.StartRun(QString(), QStringLiteral("4"));
        QVERIFY(h.run.Running());
        // R R G G: a right answer, a wrong-hand answer, a left answer handled 150 ms
        // after it was made, and none.
        h.TickFor(20000, {PressesOf("R300"), PressesOf("L250"), PressesOf("L400+150"), {}});
        QVERIFY(!h.run.Running());

        // Onsets 2500 ms apart (2000 ms presentation, 500 ms pause), each stimulus hidden
        // on the first tick past 150 ms.
        QCOMPARE(h.view.events, (QStringList{
            "0 enter", "0 hook on", "0 polling on",
            "1000 beep", "1000 stimulus 2", "1151 stimulus 0",
            "3500 stimulus 2", "3651 stimulus 0",
            "6000 stimulus 1", "6151 stimulus 0",
            "8500 stimulus 1", "8651 stimulus 0",
            "10500 stop display", "10500 polling off", "10500 stimulus 0", "10500 hook off",
            "10500 leave", "10500 beep", "10500 finished"}));
        QCOMPARE(h.view.bars, (QStringList{"1:450", "2:0", "3:550", "4:0"}));
        QCOMPARE(h.view.progress, QStringLiteral("4 из 4"));
        QCOMPARE(BuildDataPsy(h.record, TestType::Choice),
                 QStringLiteral("1000\r\n1000\r\n4\r\n4\r\n"
                                "SR\r\n3150\r\n1450\r\n"
                                "SR\r\n1400\r\n3150\r\n"
                                "SL\r\n1550\r\n3150\r\n"
                                "SL\r\n3150\r\n3150\r\n"));
    }

    void answersOfOnePresentation_data()
    {
        QTest::addColumn<QString>("presses");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        QTest::newRow("no answer") << "" << 3150 << 3150;
        QTest::newRow("left hand") << "L300" << 1450 << 3150;
        QTest::newRow("both hands") << "L300 R420" << 1450 << 1570;
        QTest::newRow("a held key's repeats: the last counts") << "R300 R330 R360" << 3150 << 1510;
        QTest::newRow("handled late: timed by when it was made") << "L300+180" << 1450 << 3150;
        QTest::newRow("before the start mark: no answer") << "L-20" << 1000 << 3150;
        QTest::newRow("at the start mark: no answer") << "L0" << 1000 << 3150;
        QTest::newRow("the last moment") << "R1999" << 3150 << 3149;
    }
    void answersOfOnePresentation()
    {
        QFETCH(QString, presses);
        QFETCH(int, left);
        QFETCH(int, right);
        Harness h;
        h.run.StartRun(QString(), QStringLiteral("1"));
        h.TickFor(5000, {PressesOf(presses)});
        QVERIFY(!h.run.Running());
        QCOMPARE(h.record.DoneCount, 1);
        QCOMPARE(int(h.record.LeftTimes[1]), left);
        QCOMPARE(int(h.record.RightTimes[1]), right);
    }

    void pressWithoutStimulusChangesNothing()
    {
        Harness h;
        h.run.StartRun(QString(), QStringLiteral("1"));
        h.TickFor(500);
        h.run.KeyAnswer(Hand::Left, h.clock.now);   // first pause: nothing shown
        QCOMPARE(h.run.CurrentKind(), 0);
        h.TickFor(600);
        QCOMPARE(h.run.CurrentPhase(), ChoiceRun::Phase::Presenting);
        QCOMPARE(h.run.LeftAnswer(), PresentationLengthMs);
    }

    // Stopping ---------------------------------------------------------------------------

    void stopByTheOperator_data()
    {
        QTest::addColumn<int>("stopAt");   // ms after the start
        QTest::addColumn<int>("done");
        QTest::newRow("in the first pause") << 500 << 0;
        QTest::newRow("during presentation 1: closed and counted") << 1500 << 1;
        QTest::newRow("in the pause after presentation 1: nothing more counted") << 3200 << 1;
        QTest::newRow("during presentation 2, after its answer") << 3900 << 2;
    }
    void stopByTheOperator()
    {
        QFETCH(int, stopAt);
        QFETCH(int, done);
        Harness h;
        h.run.StartRun(QString(), QStringLiteral("4"));
        h.TickFor(20000, {PressesOf("L300"), PressesOf("R310")}, [&](int t) {
            if (t == stopAt)
                h.run.StopRun();
        });
        QVERIFY(!h.run.Running());
        QCOMPARE(int(h.record.DoneCount), done);
        QCOMPARE(int(h.record.PlanCount), 4);
        QCOMPARE(h.view.bars.size(), done);
        QVERIFY(!h.view.polling && !h.view.hook && h.view.shown == 0);
        QCOMPARE(h.view.Names().mid(h.view.events.size() - 2), (QStringList{"beep", "finished"}));
        if (done >= 1)
            QCOMPARE(int(h.record.LeftTimes[1]), 1450);
        if (done >= 2)   // closed with the answer held when it was stopped
            QCOMPARE(int(h.record.RightTimes[2]), 1460);
    }

    void quietStopWhenTheWindowCloses()
    {
        Harness h;
        h.run.StartRun(QString(), QStringLiteral("4"));
        h.TickFor(1500);
        h.run.StopRun(true);
        QCOMPARE(h.view.Names().mid(h.view.events.size() - 2), (QStringList{"leave", "finished quietly"}));
        QCOMPARE(int(h.record.DoneCount), 1);
    }

    void plannedCountsAtTheEdges_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("planned");
        QTest::addColumn<int>("done");
        QTest::newRow("0 still shows one presentation") << "0" << 0 << 1;
        QTest::newRow("empty field: 30") << "" << 30 << 30;
        QTest::newRow("above 200: capped") << "250" << 200 << 200;
    }
    void plannedCountsAtTheEdges()
    {
        QFETCH(QString, text);
        QFETCH(int, planned);
        QFETCH(int, done);
        Harness h;
        h.run.SetScheduleDraw(ClockSeededDraw());
        h.run.StartRun(QString(), text);
        h.TickFor(1000 + 200 * 4500);
        QVERIFY(!h.run.Running());
        QCOMPARE(int(h.record.PlanCount), planned);
        QCOMPARE(int(h.record.DoneCount), done);
        QCOMPARE(h.view.progress, QStringLiteral("%1 из %2").arg(done).arg(planned));
        if (planned == 30)
            QCOMPARE(Count(h.record, 1, 30, RedKind), 15);
    }

    void startWhileRunningIsIgnoredAndTicksAfterTheStopDoNothing()
    {
        Harness h;
        h.run.StartRun(QString(), QStringLiteral("2"));
        h.TickFor(1200);
        const QStringList before = h.view.events;
        h.run.StartRun(QString(), QStringLiteral("2"));
        QCOMPARE(h.view.events, before);
        h.run.StopRun();
        const QStringList after = h.view.events;
        h.clock.now += 5000;
        h.run.Tick();
        h.run.WatchdogCheck();
        h.run.KeyAnswer(Hand::Left, h.clock.now);
        QCOMPARE(h.view.events, after);
    }
};

QTEST_GUILESS_MAIN(TestChoiceRun)
#include "test_choicerun.moc"
