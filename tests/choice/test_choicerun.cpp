// The choice reaction run without a window and without waiting: the phases of a
// presentation, the answers of the keyboard, the stop and the stored record. What holds
// for both tests (the schedule, the planned counts, stopping) is in tests/run.
#include <QtTest>

#include "choice/choicerun.h"
#include "records/datapsy.h"
#include "tests/support/runfakes.h"

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

} // namespace

class TestChoiceRun : public QObject {
    Q_OBJECT
private Q_SLOTS:
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

    void quietStopWhenTheWindowCloses()
    {
        Harness h;
        h.run.StartRun(QString(), QStringLiteral("4"));
        h.TickFor(1500);
        h.run.StopRun(true);
        QCOMPARE(h.view.Names().mid(h.view.events.size() - 2), (QStringList{"leave", "finished quietly"}));
        QCOMPARE(int(h.record.DoneCount), 1);
    }

};

QTEST_GUILESS_MAIN(TestChoiceRun)
#include "test_choicerun.moc"
