// The run part of the choice window on a stand-in window (offscreen, real clock): what a
// run does to the controls, the console found through the port search, and the ways a
// run ends.
#include <QBarSeries>
#include <QBarSet>
#include <QSignalSpy>
#include <QtTest>

#include "choice/rs232thread.h"
#include "standinwindow.h"
#include "tests/console/simprocess.h"

using namespace vel;
using namespace vel::choice;
using namespace choicetest;

namespace {

// The stand-in window with its run part, over a fixed device list, shown.
struct Fixture {
    explicit Fixture(const QList<SerialDevice> &present = {}, const QString &listError = {})
    {
        devices.list.devices = present;
        devices.list.error = listError;
        runner.SetDeviceList(&devices);
        w.window.show();
    }
    StandInWindow w;
    TTestRun record;
    FixedDevices devices;
    ChoiceRunner runner{record, w.c};
    MessageWatcher watcher;
};

int Bars(const ChoiceRunControls &c)
{
    const auto *series = qobject_cast<QBarSeries *>(c.ChartLR->chart()->series().value(0));
    return series && !series->barSets().isEmpty() ? series->barSets().first()->count() : -1;
}

} // namespace

class TestChoiceRunner : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void keyboardRunFromStartToTheClosingMessage()
    {
        Fixture f;
        auto &[w, record, devices, runner, watcher] = f;
        runner.SetPlannedCountText([] { return QStringLiteral("1"); });
        QSignalSpy stopped(&runner, &ChoiceRunner::runStopped);
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));

        runner.btnTstClick();
        QVERIFY(runner.Running());
        QCOMPARE(w.c.btnTst->text(), StopCaption);
        for (QWidget *off : {(QWidget *)w.c.btnQit, (QWidget *)w.c.btnSave, (QWidget *)w.c.btnPrnR,
                             w.c.dtpDataTest, (QWidget *)w.c.cbb_pult, w.c.lbl1})
            QVERIFY(!off->isEnabled());
        QVERIFY(w.c.btnTst->isEnabled());
        QVERIFY(!w.c.pgc1->isTabVisible(1) && !w.c.pgc1->isTabVisible(2));
        QVERIFY(w.c.ChartLR->isVisible() && w.c.ext_pred->isVisible());
        QVERIFY(!w.c.lblTextHelp->isVisible());
        QVERIFY(!w.c.tmr1->isActive());   // no console, no watchdog
        QVERIFY(!(w.window.windowFlags() & Qt::WindowCloseButtonHint));

        // The stimulus comes up after the first pause; a right Ctrl answers it.
        QTRY_VERIFY_WITH_TIMEOUT(w.c.imgSL->isVisible() || w.c.imgSR->isVisible(), 3000);
        QVERIFY(!w.c.imgS0->isVisible());
        QTest::qWait(200);
        QTRY_VERIFY(w.c.imgS0->isVisible());   // hidden 150 ms after the start mark
        QKeyEvent ctrl(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, 105, 0xffe4, 0);
        QCoreApplication::sendEvent(&w.window, &ctrl);
        QTRY_VERIFY_WITH_TIMEOUT(!runner.Running(), 4000);

        QTRY_COMPARE(watcher.messages, QStringList{FinishedCaption + ": " + FinishedText});
        QCOMPARE(stopped.size(), 1);
        QCOMPARE(int(record.DoneCount), 1);
        QVERIFY(record.RightTimes[1] > 1150 + 190 && record.RightTimes[1] < 1150 + 600);
        QCOMPARE(w.c.btnTst->text(), StartCaption);
        QVERIFY(w.c.btnTst->isEnabled() && w.c.btnQit->isEnabled() && w.c.btnSave->isEnabled());
        QVERIFY(w.c.pgc1->isTabVisible(1) && w.c.pgc1->isTabVisible(2));
        QVERIFY(!w.c.ChartLR->isVisible() && !w.c.ext_pred->isVisible());
        QVERIFY(w.c.lblTextHelp->isVisible());
        QVERIFY(w.window.windowFlags() & Qt::WindowCloseButtonHint);
        QCOMPARE(Bars(w.c), 1);
        QCOMPARE(w.c.ext_pred->text(), QStringLiteral("1 из 1"));
        QVERIFY(runner.Thread().Suspended());
    }

    void consoleFoundByThePortSearchAndStoppedByTheButton()
    {
        SimProcess sim({});
        QVERIFY(!sim.path.isEmpty());
        Fixture f({MakeSerialDevice("Порт связи", "/dev/ttyS0"),
                   MakeSerialDevice("AVR Communication Device Class", sim.path)});
        auto &[w, record, devices, runner, watcher] = f;
        QCOMPARE(w.c.cbb_pult->currentText(), QStringLiteral("/dev/ttyS0"));

        runner.btnTstClick();
        QCOMPARE(w.c.cbb_pult->currentText(), sim.path);
        QVERIFY(runner.Run().ConsoleFound());
        QVERIFY(w.c.tmr1->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(runner.Run().CurrentPhase() == ChoiceRun::Phase::Presenting, 3000);
        runner.btnTstClick();   // "Стоп теста": the console has sent nothing, nothing counted
        QVERIFY(!runner.Running());
        QVERIFY(!w.c.tmr1->isActive());
        QCOMPARE(int(record.DoneCount), 0);
        QTRY_COMPARE(watcher.messages.size(), 1);
        QVERIFY(sim.Saw("cmd ATL0,0,0"));
        QVERIFY(w.c.lbl_status->text().isEmpty());
    }

    void silentPortShownInTheStatusLabel()
    {
        SimProcess sim({"--ident", ""});
        Fixture f({MakeSerialDevice("AVR Communication Device Class", sim.path)});
        auto &[w, record, devices, runner, watcher] = f;
        runner.btnTstClick();
        QCOMPARE(w.c.lbl_status->text(), QStringLiteral("на порту %1 пульт ЗМР не найден").arg(sim.path));
        QVERIFY(!w.c.tmr1->isActive());
        runner.btnTstClick();
        QVERIFY(!runner.Running());
    }

    void unreadableDeviceListDoesNotStart()
    {
        Fixture f({}, "нет доступа");
        auto &[w, record, devices, runner, watcher] = f;
        runner.btnTstClick();
        QVERIFY(!runner.Running());
        QTRY_COMPARE(watcher.messages.size(), 1);
        QVERIFY(watcher.messages.first().contains("нет доступа"));
    }

    void closingTheWindowStopsTheRunQuietly()
    {
        Fixture f;
        auto &[w, record, devices, runner, watcher] = f;
        runner.btnTstClick();
        QTRY_VERIFY_WITH_TIMEOUT(runner.Run().CurrentPhase() == ChoiceRun::Phase::Presenting, 3000);
        w.window.close();
        QVERIFY(!runner.Running());
        QCOMPARE(int(record.DoneCount), 1);
        QTest::qWait(100);
        QVERIFY(watcher.messages.isEmpty());
    }
};

QTEST_MAIN(TestChoiceRunner)
#include "test_choicerunner.moc"
