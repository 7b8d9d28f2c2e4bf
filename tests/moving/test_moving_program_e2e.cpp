// The moving-object test through the real program under the X server: a patient added
// through the patient dialog, the moving-object test chosen in the test selector,
// "Добавить", a run answered with the left Ctrl at chosen moments after the bar sets off
// (or by the console simulator), "Сохранить", the record in Psy.dbf, and the test reopened
// and saved again. Controls are clicked where the same windows, laid out in this process
// at the same size, have them.
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QWidget>
#include <QtTest>

#include <mutex>
#include <thread>

#include "app/unit1.h"
#include "moving/movingscore.h"
#include "moving/rdo.h"
#include "records/datapsy.h"
#include "register/newentrydlg.h"
#include "common/config.h"
#include "common/text.h"
#include "tests/support/controls.h"
#include "tests/support/offscreenlayout.h"
#include "tests/support/runprogram.h"
#include "tests/support/presses.h"
#include "tests/support/programdriver.h"
#include "tests/support/xdriver.h"
#include "ui_unit1.h"

using namespace vel;
using namespace e2e;
using namespace presses;

namespace {

const QString PatientName = QStringLiteral("Petrov Petr");
const QString NewCaption = QStringLiteral("^Новая тест реакции выбора пациента: Petrov Petr$");

// Where the controls are, from the client origin of their window.
struct Layout {
    QPoint btPplAppend, cbb_test, btn_plant, firstTest;   // main window
    QPoint btnTst, btnSave, stage;                        // moving-object window
    int barRow = 0;      // a row of the stage through the bar
};

// The main window at `size` and the moving-object window.
Layout LayoutOf(QSize mainSize)
{
    Layout l;
    MeasureOffscreen<Tfrm>([&](Tfrm &frm) {
        l.btPplAppend = Centre(frm.ui().btPplAppend, &frm);
        l.cbb_test = Centre(frm.ui().cbb_test, &frm);
        l.btn_plant = Centre(frm.ui().btn_plant, &frm);
        l.firstTest = FirstRow(frm.ui().dbgrd_psy, &frm);
    }, mainSize);
    MeasureOffscreen<TFormRDO>([&](TFormRDO &rdo) {
        l.btnTst = Centre(Control<QPushButton>(&rdo, "btnTst"), &rdo);
        l.btnSave = Centre(Control<QPushButton>(&rdo, "btnSave"), &rdo);
        l.stage = Control<QWidget>(&rdo, "Panel1")->mapTo(&rdo, QPoint(0, 0));
        l.barRow = Control<QLabel>(&rdo, "imgS0")->geometry().center().y();
    });
    return l;
}

// A press of the left Ctrl `at` ms after the start of a presentation. The start is
// read off the screen: the track's green line tells the kind, and the bar's place, seen
// while it is still near its start, how long ago the presentation began (one pixel per
// 3 ms).
struct BarPress {
    int kind = 0;
    double start = 0;          // the start of the presentation, as seen
    double sent = 0, taken = 0;
};

class BarPresser {
public:
    // `stage`: the stage's origin on the screen; `barRow`: a row through the bar.
    BarPresser(QPoint stage, int barRow, QList<int> atMs)
    {
        m_thread = std::thread([this, stage, barRow, atMs] {
            XDriver x;
            for (const int at : atMs) {
                BarPress o;
                // Readings for 150 ms from the first one: the screen shows the bar's place
                // late when the program was held up, never early, so the earliest start
                // they give is the nearest to the true one.
                const double end = xdriver::NowMs() + 8000;
                double firstSeen = 0;
                while (xdriver::NowMs() < end && (o.kind == 0 || xdriver::NowMs() < firstSeen + 150)) {
                    const int kind = x.PixelAt(stage.x() + 151, stage.y() + 42) == XDriver::Colour::Green ? 1
                                     : x.PixelAt(stage.x() + 503, stage.y() + 42) == XDriver::Colour::Green ? 2
                                                                                                             : 0;
                    // The moment of the reading: only a reading bracketed closely counts.
                    const double before = xdriver::NowMs();
                    // The bar's picture has one clear column before its rim.
                    const int rim = kind ? x.FindColour(stage.x(), stage.y() + barRow, 654, XDriver::Colour::Orange) : -1;
                    const int left = rim - 1;
                    const double after = xdriver::NowMs();
                    const double seen = (before + after) / 2;
                    std::this_thread::sleep_for(std::chrono::microseconds(500));
                    if (after - before > 2 || (o.kind != 0 && kind != o.kind))
                        continue;
                    // Set off less than 300 ms ago: the place of a bar that moves.
                    double start = 0;
                    if (kind == 1 && left >= 500 && left <= 600)
                        start = seen - 3.0 * (600 - left);
                    else if (kind == 2 && left >= 20 && left <= 120)
                        start = seen - 3.0 * (left - 20);
                    else
                        continue;
                    if (o.kind == 0) {
                        o.kind = kind;
                        o.start = start;
                        firstSeen = seen;
                    }
                    o.start = std::min(o.start, start);
                }
                if (o.kind == 0)
                    break;
                while (xdriver::NowMs() < o.start + at)
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                o.sent = x.PressCtrl(false, 20, &o.taken);
                std::lock_guard lock(m_mutex);
                m_made.push_back(o);
            }
        });
    }
    ~BarPresser()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    std::vector<BarPress> Wait()
    {
        m_thread.join();
        return m_made;
    }

private:
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<BarPress> m_made;
};

// The settings of a session of the program: four presentations a run.
const QString Settings = QStringLiteral("число предъявлений рдо = 4\r\n");

} // namespace

class TestMovingProgramE2E : public QObject {
    Q_OBJECT
private:
    // Adds the patient, chooses the moving-object test and opens a new one; its window.
    QString AddPatientAndOpenTest(ProgramSession &s, Layout &layout)
    {
        const QString mainWindow = AddPatient(s, PatientName, layout, &LayoutOf);
        if (mainWindow.isEmpty())
            return {};
        // The second test of the selector.
        Click(mainWindow, layout.cbb_test);
        Xdo({"key", "Down"});
        QTest::qWait(200);
        return OpenNewTest(s, mainWindow, layout.btn_plant, NewCaption);
    }

private Q_SLOTS:
    void initTestCase() { CheckProgramAndXServer(); }

    void keyboardTestFromAddingToReopening()
    {
        ProgramSession s(Settings);
        Layout layout;
        const QString rdo = AddPatientAndOpenTest(s, layout);
        QVERIFY2(!rdo.isEmpty(), DescribeWindows(s.pid()));
        BarPresser presser(Origin(rdo) + layout.stage, layout.barRow, {1300, 1350, 1420, 1250});
        Click(rdo, layout.btnTst);
        const std::vector<BarPress> made = presser.Wait();
        // Reopened, scored again and saved: the same record with the same raw data and
        // conclusion.
        QMap<QString, QString> test;
        TTestRun run;
        SaveReopenAndStop(s, rdo, NewCaption, PatientName, layout.btnSave, layout.firstTest, 30000,
                          QStringLiteral("Реакция на движ.объект"), TestType::Moving, test, run);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(int(run.PlanCount), 4);
        QCOMPARE(int(run.DoneCount), 4);
        QCOMPARE(int(run.BaseTime), 1350);
        QCOMPARE(int(run.AnswerTime), 1800);
        QCOMPARE(int(made.size()), 4);
        QStringList kinds, timing;
        for (int i = 1; i <= 4; ++i) {
            const BarPress &m = made[size_t(i - 1)];
            timing << QString("%1: %2 stored, pressed %3..%4").arg(i).arg(run.LeftTimes[i])
                          .arg(m.sent - m.start).arg(m.taken - m.start);
        }
        qInfo() << timing;
        for (int i = 1; i <= 4; ++i) {
            const BarPress &m = made[size_t(i - 1)];
            kinds << (run.Kinds[i] == 1 ? "SL_" : "SR_");
            QCOMPARE(int(run.Kinds[i]), m.kind);
            QCOMPARE(int(run.RightTimes[i]), 1800);
            // The start as seen is known to the 3 ms of a pixel; the screen shows the bar's
            // place a few ms after the run clock has reached it (a tick, a paint, the X
            // server), so the start is seen late by as much and the stored time is longer.
            const double low = m.sent - m.start, high = m.taken - m.start;
            const double stored = run.LeftTimes[i];
            QVERIFY2(stored >= low - 4 && stored <= high + 12,
                     qPrintable(QString("presentation %1: %2 ms stored, pressed %3..%4 ms after the start")
                                    .arg(i).arg(stored).arg(low).arg(high)));
        }
        QVERIFY2(test.value("DATAPSY").contains(kinds.first()), qPrintable(test.value("DATAPSY")));
        // The conclusion is the scoring's, at the corridor of a fresh settings page.
        const auto score = moving::ScoreRun(run, {PatientName, QStringLiteral("м"), QDate::currentDate().addDays(-2555)},
                                            QDate::currentDate(), moving::CorridorOf(QString()));
        QVERIFY(score);
        // The conclusion field holds 60 characters.
        QCOMPARE(test.value("PSYFINAL").trimmed(), score->ConclusionText.left(60).trimmed());
    }

    void consoleTest()
    {
        ConsolePerson person({}, 1340);
        const QString port = person.Port();
        QVERIFY(!port.isEmpty());
        ProgramSession s(Settings, port);
        Layout layout;
        const QString rdo = AddPatientAndOpenTest(s, layout);
        QMap<QString, QString> test;
        TTestRun run;
        RunSaveAndStop(s, rdo, NewCaption, layout.btnTst, layout.btnSave,
                       TestType::Moving, test, run);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(int(run.PlanCount), 4);
        QCOMPARE(int(run.DoneCount), 4);
        const QStringList pressed = person.Presses();
        const QByteArray story = (test.value("DATAPSY") + "\n" + person.Events().join("\n")).toUtf8();
        QVERIFY2(pressed.size() == 4, story.constData());
        for (int i = 1; i <= 4; ++i) {
            // The green light (line on the left) is answered with the green button, whose
            // time is the left answer; the red one with the red button, the right answer.
            const QStringList parts = pressed[i - 1].split(' ');
            const bool green = parts[1] == "green";
            QVERIFY2(int(run.Kinds[i]) == (green ? 1 : 2), story.constData());
            QVERIFY2(int(green ? run.LeftTimes[i] : run.RightTimes[i]) == parts[2].toInt(), story.constData());
            QVERIFY2(int(green ? run.RightTimes[i] : run.LeftTimes[i]) == 1800, story.constData());
        }
    }
};

QTEST_MAIN(TestMovingProgramE2E)
#include "test_moving_program_e2e.moc"
