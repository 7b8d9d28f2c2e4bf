// The run of the moving-object window (offscreen, real clock): the stage during a run,
// the bar travelling and stopping where the answer put it, and what the stop leaves.
#include <QChartView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include "run/rs232thread.h"
#include "tests/support/controls.h"
#include "tests/support/movingwindow.h"

using namespace movingtest;

class TestMovingRunner : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void keyboardRunFromStartToTheClosingMessage()
    {
        MovingWindow f;
        TFormRDO &w = f.window;
        QVERIFY(f.ShowFor(1));
        QVERIFY(!Control<QLabel>(&w, "imgS0")->isVisible() && !Control<QLabel>(&w, "imgSR")->isVisible() && !Control<QLabel>(&w, "imgSL")->isVisible());

        Control<QPushButton>(&w, "btnTst")->click();
        QVERIFY(f.Runner().Running());
        QCOMPARE(Control<QPushButton>(&w, "btnTst")->text(), StopCaption);
        QVERIFY(!Control<QTabWidget>(&w, "pgc1")->isTabVisible(1) && !Control<QTabWidget>(&w, "pgc1")->isTabVisible(2));
        QVERIFY(Control<QChartView>(&w, "ChartLR")->isVisible() && Control<QLabel>(&w, "ext_rdo")->isVisible());
        QCOMPARE(Control<QTimer>(&w, "tmr1")->interval(), 1);

        // After the first pause: the track where the kind puts its line, the bar on its
        // way to it from its own side, over the track.
        QTRY_VERIFY_WITH_TIMEOUT(Control<QLabel>(&w, "imgS0")->isVisible(), 3000);
        const uint8_t kind = f.Record().Kinds[1];
        QCOMPARE(Control<QLabel>(&w, "imgSR")->x(), kind == 1 ? 11 : 363);
        QVERIFY(Control<QLabel>(&w, "imgSR")->isVisible() && !Control<QLabel>(&w, "imgSL")->isVisible());
        QCOMPARE(Control<QLabel>(&w, "imgS0")->parentWidget(), Control<QWidget>(&w, "Panel1"));
        QLabel *bar = Control<QLabel>(&w, "imgS0");
        QTRY_VERIFY_WITH_TIMEOUT(kind == 1 ? bar->x() < 500 : bar->x() > 120, 1000);

        // The left Ctrl at about 300 ms: the bar stops at Round((1350 - r) / 3) + 150 or
        // Round(r / 3) + 20, which is where it stays in the pause.
        QKeyEvent ctrl(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, 37, 0xffe3, 0);
        QCoreApplication::sendEvent(&w, &ctrl);
        QTRY_VERIFY_WITH_TIMEOUT(f.Runner().Run().DoneCount() == 1, 3000);
        const int r = f.Record().LeftTimes[1];
        QVERIFY2(r > 0 && r < 1800, qPrintable(QString::number(r)));
        QCOMPARE(f.Record().RightTimes[1], 1800);
        QCOMPARE(Control<QLabel>(&w, "imgS0")->x(), FrozenBarLeft(kind, r));

        QTRY_VERIFY_WITH_TIMEOUT(!f.Runner().Running(), 4000);
        QTRY_COMPARE(f.modals.boxes, QStringList{testing::BoxLine(QMessageBox::Information, FinishedCaption, FinishedText)});
        QCOMPARE(int(f.Record().BaseTime), 1350);
        QCOMPARE(int(f.Record().AnswerTime), 1800);
        QVERIFY(!Control<QLabel>(&w, "imgS0")->isVisible() && !Control<QLabel>(&w, "imgSR")->isVisible());
        QCOMPARE(Control<QPushButton>(&w, "btnTst")->text(), StartCaption);
        QVERIFY(Control<QTabWidget>(&w, "pgc1")->isTabVisible(1) && Control<QTabWidget>(&w, "pgc1")->isTabVisible(2));
        QVERIFY(Control<QLabel>(&w, "lblTextHelp")->isVisible());
        QCOMPARE(Control<QLabel>(&w, "ext_rdo")->text(), QStringLiteral("1 из 1"));
        QVERIFY(f.Runner().Thread().Suspended());
    }

    void saveDuringARunStopsItWithoutTheMessage()
    {
        MovingWindow f;
        TFormRDO &w = f.window;
        QVERIFY(f.ShowFor(3));
        Control<QPushButton>(&w, "btnTst")->click();
        QTRY_VERIFY_WITH_TIMEOUT(Control<QLabel>(&w, "imgS0")->isVisible(), 3000);
        Control<QPushButton>(&w, "btnSave")->click();
        QVERIFY(!f.Runner().Running());
        QCOMPARE(int(f.Record().DoneCount), 1);   // the presentation on the screen, closed
        QCOMPARE(int(f.Record().PlanCount), 3);
        QTest::qWait(200);
        QVERIFY(f.modals.boxes.isEmpty());
        QVERIFY(!w.isVisible());
    }
};

QTEST_MAIN(TestMovingRunner)
#include "test_movingrunner.moc"
