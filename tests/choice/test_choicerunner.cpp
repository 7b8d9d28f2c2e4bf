// The run of the choice window (offscreen, real clock): what a run does to the window's
// controls, the console found through the port search, and the ways a run ends.
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

#include "run/rs232thread.h"
#include "tests/support/choicewindow.h"
#include "tests/support/controls.h"
#include "tests/support/simprocess.h"

using namespace choicetest;

namespace {

SerialDevice Console(const QString &port)
{
    return MakeSerialDevice(QStringLiteral("AVR Communication Device Class"), port);
}

qsizetype LiveBars(TFormPsy &w) { return w.LiveChartData().Series.at(0).Points.size(); }

} // namespace

class TestChoiceRunner : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void keyboardRunFromStartToTheClosingMessage()
    {
        ChoiceWindow f;
        TFormPsy &w = f.window;
        QVERIFY(f.ShowFor(1));

        Control<QPushButton>(&w, "btnTst")->click();
        QVERIFY(f.Runner().Running());
        QCOMPARE(Control<QPushButton>(&w, "btnTst")->text(), StopCaption);
        for (const char *off : {"btnQit", "btnPrnR", "dtpDataTest", "cbb_pult", "lbl1"})
            QVERIFY2(!Control<QWidget>(&w, off)->isEnabled(), off);
        QVERIFY(Control<QPushButton>(&w, "btnTst")->isEnabled());
        QVERIFY(!Control<QTabWidget>(&w, "pgc1")->isTabVisible(1) && !Control<QTabWidget>(&w, "pgc1")->isTabVisible(2));
        QVERIFY(Control<QChartView>(&w, "ChartLR")->isVisible() && Control<QLabel>(&w, "ext_pred")->isVisible());
        QVERIFY(!Control<QLabel>(&w, "lblTextHelp")->isVisible());
        QVERIFY(!Control<QTimer>(&w, "tmr1")->isActive());   // no console, no watchdog

        // The stimulus comes up after the first pause and is blank again 150 ms after the
        // start mark; a right Ctrl answers it.
        QTRY_VERIFY_WITH_TIMEOUT(
            Control<QLabel>(&w, "imgSL")->isVisible() || Control<QLabel>(&w, "imgSR")->isVisible(), 3000);
        QVERIFY(!Control<QLabel>(&w, "imgS0")->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(Control<QLabel>(&w, "imgS0")->isVisible(), 1000);
        QVERIFY(!Control<QLabel>(&w, "imgSL")->isVisible() && !Control<QLabel>(&w, "imgSR")->isVisible());
        QKeyEvent ctrl(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, 105, 0xffe4, 0);
        QCoreApplication::sendEvent(&w, &ctrl);
        QTRY_VERIFY_WITH_TIMEOUT(!f.Runner().Running(), 4000);

        QTRY_COMPARE(f.modals.boxes, QStringList{testing::BoxLine(QMessageBox::Information, FinishedCaption, FinishedText)});
        QCOMPARE(int(f.Record().DoneCount), 1);
        QVERIFY(f.Record().RightTimes[1] > 1150 + 140 && f.Record().RightTimes[1] < 1150 + 600);
        QCOMPARE(Control<QPushButton>(&w, "btnTst")->text(), StartCaption);
        for (const char *on : {"btnTst", "btnQit", "btnSave"})
            QVERIFY2(Control<QPushButton>(&w, on)->isEnabled(), on);
        QVERIFY(Control<QTabWidget>(&w, "pgc1")->isTabVisible(1) && Control<QTabWidget>(&w, "pgc1")->isTabVisible(2));
        QVERIFY(!Control<QChartView>(&w, "ChartLR")->isVisible() && !Control<QLabel>(&w, "ext_pred")->isVisible());
        QVERIFY(Control<QLabel>(&w, "lblTextHelp")->isVisible());
        QCOMPARE(LiveBars(w), 1);
        QCOMPARE(Control<QLabel>(&w, "ext_pred")->text(), QStringLiteral("1 из 1"));
        QVERIFY(f.Runner().Thread().Suspended());
    }

    void consoleFoundByThePortSearchAndStoppedByTheButton()
    {
        SimProcess sim({});
        QVERIFY(!sim.path.isEmpty());
        ChoiceWindow f({MakeSerialDevice("Порт связи", "/dev/ttyS0"), Console(sim.path)});
        TFormPsy &w = f.window;
        w.show();
        QCOMPARE(Control<QComboBox>(&w, "cbb_pult")->currentText(), QStringLiteral("/dev/ttyS0"));

        Control<QPushButton>(&w, "btnTst")->click();
        QCOMPARE(Control<QComboBox>(&w, "cbb_pult")->currentText(), sim.path);
        QVERIFY(f.Runner().Run().ConsoleFound());
        QVERIFY(Control<QTimer>(&w, "tmr1")->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(f.Runner().Run().CurrentPhase() == ChoiceRun::Phase::Presenting, 3000);
        // "Стоп теста": the console has sent nothing, nothing counted
        Control<QPushButton>(&w, "btnTst")->click();
        QVERIFY(!f.Runner().Running());
        QVERIFY(!Control<QTimer>(&w, "tmr1")->isActive());
        QCOMPARE(int(f.Record().DoneCount), 0);
        QTRY_COMPARE(f.modals.boxes.size(), 1);
        QVERIFY(sim.Saw("cmd ATL0,0,0"));
        QVERIFY(Control<QLabel>(&w, "lbl_status")->text().isEmpty());
    }

    void silentPortShownInTheStatusLabel()
    {
        SimProcess sim({"--ident", ""});
        ChoiceWindow f({Console(sim.path)});
        f.window.show();
        Control<QPushButton>(&f.window, "btnTst")->click();
        QCOMPARE(Control<QLabel>(&f.window, "lbl_status")->text(),
                 QStringLiteral("на порту %1 пульт ЗМР не найден").arg(sim.path));
        QVERIFY(!Control<QTimer>(&f.window, "tmr1")->isActive());
        Control<QPushButton>(&f.window, "btnTst")->click();
        QVERIFY(!f.Runner().Running());
    }

    void unreadableDeviceListDoesNotStart()
    {
        ChoiceWindow f({}, "нет доступа");
        f.window.show();
        Control<QPushButton>(&f.window, "btnTst")->click();
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
        Control<QPushButton>(&f.window, "btnTst")->click();
        QTRY_VERIFY_WITH_TIMEOUT(f.Runner().Run().CurrentPhase() == ChoiceRun::Phase::Presenting, 3000);
        if (save)
            Control<QPushButton>(&f.window, "btnSave")->click();
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
