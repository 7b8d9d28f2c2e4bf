// The run shared by the two tests, without a window and without waiting: the schedule,
// the planned count, and what every run does alike, each case once per test.
#include <QtTest>

#include "run/schedule.h"
#include "tests/support/runharness.h"

using namespace vel;
using namespace runfakes;

namespace {

void AddTestColumn() { QTest::addColumn<QString>("test"); }

} // namespace

class TestReactionRun : public QObject {
    Q_OBJECT
private Q_SLOTS:
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
                QCOMPARE(CountKind(run, 1 + 4 * b, 4 + 4 * b, SecondKind), 2);
            if (planned % 4 == 2)   // the cut block: one of each
                QCOMPARE(CountKind(run, planned - 1, planned, SecondKind), 1);
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

    // Every run --------------------------------------------------------------------------

    void plannedCountsAtTheEdges_data()
    {
        AddTestColumn();
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("planned");
        QTest::addColumn<int>("done");
        for (const char *test : {"choice", "moving"}) {
            QTest::addRow("%s: 0 still shows one presentation", test) << test << "0" << 0 << 1;
            QTest::addRow("%s: empty field, 30", test) << test << "" << 30 << 30;
            QTest::addRow("%s: above 200, capped", test) << test << "250" << 200 << 200;
        }
    }
    void plannedCountsAtTheEdges()
    {
        QFETCH(QString, test);
        QFETCH(QString, text);
        QFETCH(int, planned);
        QFETCH(int, done);
        RunHarness h(test);
        h.run->SetScheduleDraw(ClockSeededDraw());
        h.run->StartRun(QString(), text);
        h.TickFor(1000 + 200 * 4500);
        QVERIFY(!h.run->Running());
        QCOMPARE(int(h.record.PlanCount), planned);
        QCOMPARE(int(h.record.DoneCount), done);
        QCOMPARE(int(h.record.BaseTime), int(h.run->Profile().BaseTimeMs));
        QCOMPARE(int(h.record.AnswerTime), int(h.run->Profile().AnswerTimeMs));
        QCOMPARE(h.view.bars.size(), done);
        QCOMPARE(h.view.progress, QStringLiteral("%1 из %2").arg(done).arg(planned));
        if (planned == 30)
            QCOMPARE(CountKind(h.record, 1, 30, SecondKind), 15);
    }

    void stopByTheOperator_data()
    {
        AddTestColumn();
        QTest::addColumn<int>("stopAt");   // ms after the start
        QTest::addColumn<int>("done");
        QTest::addColumn<int>("left1");    // stored left answer of presentation 1
        QTest::addColumn<int>("right2");   // stored right answer of presentation 2
        // Presentation 1 from 1000 ms; its pause of 500 ms begins at 3000 (choice) or 2795
        // (moving, whose start mark is set 5 ms back); presentation 2 begins at 3500 or 3295.
        struct Test { const char *name; int left1, right2; };
        for (const Test t : {Test{"choice", 1450, 1460}, Test{"moving", 300, 310}}) {
            QTest::addRow("%s: in the first pause", t.name) << t.name << 500 << 0 << 0 << 0;
            QTest::addRow("%s: during presentation 1, closed and counted", t.name) << t.name << 1500 << 1 << t.left1 << 0;
            QTest::addRow("%s: in the pause after presentation 1, nothing more counted", t.name)
                << t.name << 3200 << 1 << t.left1 << 0;
            QTest::addRow("%s: during presentation 2, after its answer", t.name) << t.name << 3900 << 2 << t.left1 << t.right2;
        }
    }
    void stopByTheOperator()
    {
        QFETCH(QString, test);
        QFETCH(int, stopAt);
        QFETCH(int, done);
        QFETCH(int, left1);
        QFETCH(int, right2);
        RunHarness h(test);
        h.run->StartRun(QString(), QStringLiteral("4"));
        h.TickFor(20000, {PressesOf("L300"), PressesOf("R310")}, [&](int t) {
            if (t == stopAt)
                h.run->StopRun();
        });
        QVERIFY(!h.run->Running());
        QCOMPARE(int(h.record.DoneCount), done);
        QCOMPARE(int(h.record.PlanCount), 4);
        QCOMPARE(h.view.bars.size(), done);
        QVERIFY(!h.view.polling && !h.view.hook && h.view.shown == 0);
        QCOMPARE(h.view.Names().mid(h.view.events.size() - 2), (QStringList{"beep", "finished"}));
        if (done >= 1)
            QCOMPARE(int(h.record.LeftTimes[1]), left1);
        if (done >= 2)   // closed with the answer held when it was stopped
            QCOMPARE(int(h.record.RightTimes[2]), right2);
    }

    void pressWithoutPresentationChangesNothing_data()
    {
        AddTestColumn();
        QTest::newRow("choice") << "choice";
        QTest::newRow("moving") << "moving";
    }
    void pressWithoutPresentationChangesNothing()
    {
        QFETCH(QString, test);
        RunHarness h(test);
        h.run->StartRun(QString(), QStringLiteral("1"));
        h.TickFor(500);
        h.run->KeyAnswer(Hand::Left, h.clock.now);   // first pause: nothing shown
        QCOMPARE(h.run->CurrentKind(), 0);
        h.TickFor(600);
        QCOMPARE(h.run->CurrentPhase(), ReactionRun::Phase::Presenting);
        QCOMPARE(h.run->LeftAnswer(), h.run->Profile().PresentationLengthMs);
    }

    void startWhileRunningIsIgnoredAndTicksAfterTheStopDoNothing_data()
    {
        pressWithoutPresentationChangesNothing_data();
    }
    void startWhileRunningIsIgnoredAndTicksAfterTheStopDoNothing()
    {
        QFETCH(QString, test);
        RunHarness h(test);
        h.run->StartRun(QString(), QStringLiteral("2"));
        h.TickFor(1200);
        const QStringList before = h.view.events;
        h.run->StartRun(QString(), QStringLiteral("2"));
        QCOMPARE(h.view.events, before);
        h.run->StopRun();
        const QStringList after = h.view.events;
        const int moves = h.view.barMoves.size();
        h.clock.now += 5000;
        h.run->Tick();
        h.run->WatchdogCheck();
        h.run->KeyAnswer(Hand::Left, h.clock.now);
        QCOMPARE(h.view.events, after);
        QCOMPARE(h.view.barMoves.size(), moves);
    }
};

QTEST_GUILESS_MAIN(TestReactionRun)
#include "test_reactionrun.moc"
