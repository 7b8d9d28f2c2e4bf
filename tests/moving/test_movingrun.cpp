// The moving-object run without a window and without waiting: the onsets, the bar's
// motion and its frozen place in the pause, the answers of the keyboard, the live bars
// and the stored record.
#include <QtTest>

#include "moving/movingrun.h"
#include "records/datapsy.h"
#include "tests/support/runharness.h"

using namespace vel;
using namespace vel::moving;
using namespace runfakes;

namespace {

// Onset, start mark and end of a presentation on the view's time line.
struct Span {
    uint32_t onset, mark, end;
    uint8_t kind;
};

} // namespace

class TestMovingRun : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void motionTable_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("t");
        QTest::addColumn<int>("left");
        QTest::newRow("kind 1 at the start mark") << 1 << 0 << 600;
        QTest::newRow("kind 1, 1 ms: rounds to 0 px") << 1 << 1 << 600;
        QTest::newRow("kind 1, 2 ms: rounds to 1 px") << 1 << 2 << 599;
        QTest::newRow("kind 1 on the line: left edge at 150") << 1 << 1350 << 150;
        QTest::newRow("kind 1 at the end") << 1 << 1799 << 0;
        QTest::newRow("kind 2 at the start mark") << 2 << 0 << 20;
        QTest::newRow("kind 2 on the line: right edge at 504") << 2 << 1350 << 470;
        QTest::newRow("kind 2 at the end") << 2 << 1799 << 620;
    }
    void motionTable()
    {
        QFETCH(int, kind);
        QFETCH(int, t);
        QFETCH(int, left);
        QCOMPARE(BarLeft(uint8_t(kind), t), left);
    }

    void frozenBarAndLiveBar_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("leftAnswer");
        QTest::addColumn<int>("rightAnswer");
        QTest::addColumn<int>("frozen");
        QTest::addColumn<int>("liveBar");
        QTest::newRow("kind 1, no press: the bar waits at 0, +450") << 1 << 1800 << 1800 << 0 << 450;
        QTest::newRow("kind 2, no press: the bar waits at 620") << 2 << 1800 << 1800 << 620 << 450;
        QTest::newRow("kind 1, on the line") << 1 << 1350 << 1800 << 150 << 0;
        QTest::newRow("kind 1, early: -17 px rounds away from the line") << 1 << 1400 << 1800 << 133 << 50;
        QTest::newRow("kind 2, 100 ms early") << 2 << 1250 << 1800 << 437 << -100;
        QTest::newRow("right hand alone: the left 1800 stands") << 2 << 1800 << 900 << 620 << 450;
        QTest::newRow("left answer 0: the right one counts") << 2 << 0 << 900 << 320 << -450;
        QTest::newRow("both 0") << 1 << 0 << 0 << 600 << 0;
    }
    void frozenBarAndLiveBar()
    {
        QFETCH(int, kind);
        QFETCH(int, leftAnswer);
        QFETCH(int, rightAnswer);
        QFETCH(int, frozen);
        QFETCH(int, liveBar);
        QCOMPARE(FrozenBarLeft(uint8_t(kind), ReactionValue(uint16_t(leftAnswer), uint16_t(rightAnswer))), frozen);
        QCOMPARE(LiveBarHeight(uint16_t(leftAnswer), uint16_t(rightAnswer)), liveBar);
    }

    void keyboardRunOfFourPresentations()
    {
        RunHarness h(QStringLiteral("moving"));
        h.run->StartRun(QString(), QStringLiteral("4"));
        // Kinds 2 2 1 1: on the line; the right hand alone; two left presses, the second
        // handled 30 ms late; none.
        h.TickFor(20000, {PressesOf("L1350"), PressesOf("R1000"), PressesOf("L1200 L1400+30"), {}});
        QVERIFY(!h.run->Running());

        // Onsets after the first pause and the 500 ms pauses; the start mark is set 5 ms
        // back, so each presentation ends 1795 ms after its onset.
        QCOMPARE(h.view.events, (QStringList{
            "0 enter", "0 hook on", "0 polling on",
            "1000 beep", "1000 stimulus 2", "3295 stimulus 2", "5590 stimulus 1", "7885 stimulus 1",
            "9680 stop display", "9680 polling off", "9680 stimulus 0", "9680 hook off",
            "9680 leave", "9680 beep", "9680 finished"}));
        QCOMPARE(h.view.bars, (QStringList{"1:0", "2:450", "3:50", "4:450"}));
        QCOMPARE(h.view.progress, QStringLiteral("4 из 4"));
        QCOMPARE(BuildDataPsy(h.record, TestType::Moving),
                 QStringLiteral("1350\r\n1800\r\n4\r\n4\r\n"
                                "SR_\r\n1350\r\n1800\r\n"
                                "SR_\r\n1800\r\n1000\r\n"
                                "SL_\r\n1400\r\n1800\r\n"
                                "SL_\r\n1800\r\n1800\r\n"));

        // Every move of the bar while it travels is the formula at that moment, one pixel
        // from the last (the first catches up the 5 ms of the start mark); at the end it
        // stops where the answer put it until the next onset.
        const QList<Span> spans = {{1000, 995, 2795, 2}, {3295, 3290, 5090, 2},
                                   {5590, 5585, 7385, 1}, {7885, 7880, 9680, 1}};
        const QList<int> frozen = {470, 620, 133, 0};
        for (int i = 0; i < spans.size(); ++i) {
            const Span s = spans[i];
            QList<QPair<uint32_t, int>> moves;
            for (const auto &m : h.view.barMoves)
                if (m.first >= s.onset && m.first <= s.end)
                    moves << m;
            QVERIFY(moves.size() > 590);
            int previous = BarLeft(s.kind, 0);
            for (int j = 0; j + 1 < moves.size(); ++j) {
                QCOMPARE(moves[j].second, BarLeft(s.kind, int(moves[j].first - s.mark)));
                if (j > 0)
                    QCOMPARE(qAbs(moves[j].second - previous), 1);
                previous = moves[j].second;
            }
            QCOMPARE(previous, s.kind == 1 ? 0 : 620);
            QCOMPARE(moves.last(), qMakePair(s.end, frozen[i]));
        }
    }

    void answersOfOnePresentation_data()
    {
        QTest::addColumn<QString>("presses");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        QTest::newRow("no press: both 1800") << "" << 1800 << 1800;
        QTest::newRow("left hand") << "L1340" << 1340 << 1800;
        QTest::newRow("right hand alone") << "R900" << 1800 << 900;
        QTest::newRow("two presses: the later one") << "L1200 L1500" << 1500 << 1800;
        QTest::newRow("handled late: timed by when it was made") << "L1300+200" << 1300 << 1800;
        QTest::newRow("before the start mark: no press") << "L-20+30" << 1800 << 1800;
        QTest::newRow("the last moment") << "L1799" << 1799 << 1800;
    }
    void answersOfOnePresentation()
    {
        QFETCH(QString, presses);
        QFETCH(int, left);
        QFETCH(int, right);
        RunHarness h(QStringLiteral("moving"));
        h.run->StartRun(QString(), QStringLiteral("1"));
        h.TickFor(5000, {PressesOf(presses)});
        QVERIFY(!h.run->Running());
        QCOMPARE(h.record.DoneCount, 1);
        QCOMPARE(int(h.record.LeftTimes[1]), left);
        QCOMPARE(int(h.record.RightTimes[1]), right);
    }
};

QTEST_GUILESS_MAIN(TestMovingRun)
#include "test_movingrun.moc"
