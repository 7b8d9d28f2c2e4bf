// The run of the choice window (offscreen, real clock): what a run does to the window's
// controls, the console found through the port search, and the ways a run ends.
#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include "run/rs232thread.h"
#include "tests/support/choicewindow.h"
#include "tests/support/simprocess.h"

using namespace choicetest;

namespace {

SerialDevice Console(const QString &port)
{
    return MakeSerialDevice(QStringLiteral("AVR Communication Device Class"), port);
}

qsizetype LiveBars(TFormPsy &w) { return w.LiveChart().Data().Series.at(0).Points.size(); }

} // namespace

class TestChoiceRunner : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void keyboardRunFromStartToTheClosingMessage()
    {
        ChoiceWindow f;
        TFormPsy &w = f.window;
        QVERIFY(f.ShowFor(1));

        w.btnTst()->click();
        QVERIFY(f.Runner().Running());
        QCOMPARE(w.btnTst()->text(), StopCaption);
        for (QWidget *off : {(QWidget *)w.btnQit(), (QWidget *)w.btnPrnR(), (QWidget *)w.dtpDataTest(),
                             (QWidget *)w.cbb_pult(), (QWidget *)w.lbl1()})
            QVERIFY(!off->isEnabled());
        QVERIFY(w.btnTst()->isEnabled());
        QVERIFY(!w.pgc1()->isTabVisible(1) && !w.pgc1()->isTabVisible(2));
        QVERIFY(w.ChartLR()->isVisible() && w.ProgressLabel()->isVisible());
        QVERIFY(!w.lblTextHelp()->isVisible());
        QVERIFY(!w.tmr1().isActive());   // no console, no watchdog

        // The stimulus comes up after the first pause and is blank again 150 ms after the
        // start mark; a right Ctrl answers it.
        QTRY_VERIFY_WITH_TIMEOUT(w.imgSL()->isVisible() || w.imgSR()->isVisible(), 3000);
        QVERIFY(!w.imgS0()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(w.imgS0()->isVisible(), 1000);
        QVERIFY(!w.imgSL()->isVisible() && !w.imgSR()->isVisible());
        QKeyEvent ctrl(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, 105, 0xffe4, 0);
        QCoreApplication::sendEvent(&w, &ctrl);
        QTRY_VERIFY_WITH_TIMEOUT(!f.Runner().Running(), 4000);

        QTRY_COMPARE(f.modals.boxes, QStringList{testing::BoxLine(QMessageBox::Information, FinishedCaption, FinishedText)});
        QCOMPARE(int(f.Record().DoneCount), 1);
        QVERIFY(f.Record().RightTimes[1] > 1150 + 140 && f.Record().RightTimes[1] < 1150 + 600);
        QCOMPARE(w.btnTst()->text(), StartCaption);
        QVERIFY(w.btnTst()->isEnabled() && w.btnQit()->isEnabled() && w.btnSave()->isEnabled());
        QVERIFY(w.pgc1()->isTabVisible(1) && w.pgc1()->isTabVisible(2));
        QVERIFY(!w.ChartLR()->isVisible() && !w.ProgressLabel()->isVisible());
        QVERIFY(w.lblTextHelp()->isVisible());
        QCOMPARE(LiveBars(w), 1);
        QCOMPARE(w.ProgressLabel()->text(), QStringLiteral("1 из 1"));
        QVERIFY(f.Runner().Thread().Suspended());
    }

    void consoleFoundByThePortSearchAndStoppedByTheButton()
    {
        SimProcess sim({});
        QVERIFY(!sim.path.isEmpty());
        ChoiceWindow f({MakeSerialDevice("Порт связи", "/dev/ttyS0"), Console(sim.path)});
        TFormPsy &w = f.window;
        w.show();
        QCOMPARE(w.cbb_pult()->currentText(), QStringLiteral("/dev/ttyS0"));

        w.btnTst()->click();
        QCOMPARE(w.cbb_pult()->currentText(), sim.path);
        QVERIFY(f.Runner().Run().ConsoleFound());
        QVERIFY(w.tmr1().isActive());
        QTRY_VERIFY_WITH_TIMEOUT(f.Runner().Run().CurrentPhase() == ChoiceRun::Phase::Presenting, 3000);
        w.btnTst()->click();   // "Стоп теста": the console has sent nothing, nothing counted
        QVERIFY(!f.Runner().Running());
        QVERIFY(!w.tmr1().isActive());
        QCOMPARE(int(f.Record().DoneCount), 0);
        QTRY_COMPARE(f.modals.boxes.size(), 1);
        QVERIFY(sim.Saw("cmd ATL0,0,0"));
        QVERIFY(w.lbl_status()->text().isEmpty());
    }

    void silentPortShownInTheStatusLabel()
    {
        SimProcess sim({"--ident", ""});
        ChoiceWindow f({Console(sim.path)});
        f.window.show();
        f.window.btnTst()->click();
        QCOMPARE(f.window.lbl_status()->text(), QStringLiteral("на порту %1 пульт ЗМР не найден").arg(sim.path));
        QVERIFY(!f.window.tmr1().isActive());
        f.window.btnTst()->click();
        QVERIFY(!f.Runner().Running());
    }

    void unreadableDeviceListDoesNotStart()
    {
        ChoiceWindow f({}, "нет доступа");
        f.window.show();
        f.window.btnTst()->click();
        QVERIFY(!f.Runner().Running());
        QTRY_COMPARE(f.modals.boxes.size(), 1);
        QVERIFY(f.modals.boxes.first().contains("нет доступа"));
    }

    void closingOrSavingStopsTheRunQuietly_data()
    {
        QTest::addColumn<bool>("save");
        QTest::newRow("closed") << false;
        QTest::newRow("saved") << true;
    }
    void closingOrSavingStopsTheRunQuietly()
    {
        QFETCH(bool, save);
        ChoiceWindow f;
        f.window.PrepareNew("Новая тест реакции выбора пациента: Тестов Тест",
                            PatientFacts{"Тестов Тест", "м", QDate(2012, 3, 1)});
        f.window.show();
        f.window.btnTst()->click();
        QTRY_VERIFY_WITH_TIMEOUT(f.Runner().Run().CurrentPhase() == ChoiceRun::Phase::Presenting, 3000);
        if (save)
            f.window.btnSave()->click();
        else
            f.window.close();
        QVERIFY(!f.Runner().Running());
        QVERIFY(!f.window.isVisible());
        QCOMPARE(int(f.Record().DoneCount), 1);   // the presentation going on, closed
        QCOMPARE(f.window.result(), save ? int(QDialog::Accepted) : int(QDialog::Rejected));
        if (save)   // scored before closing: the conclusion is this run's
            QCOMPARE(f.window.Result().Conclusion, QStringLiteral("подвижность нервных процессов"));
        QTest::qWait(100);
        QVERIFY(f.modals.boxes.isEmpty());
    }
};

QTEST_MAIN(TestChoiceRunner)
#include "test_choicerunner.moc"
