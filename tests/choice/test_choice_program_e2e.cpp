// The choice test through the real program under the X server: a patient added through
// the patient dialog, "Добавить" on the test list, a run answered with real Ctrl presses
// (or by the console simulator), "Сохранить", the record in Psy.dbf, and the test
// reopened and saved again. Controls are clicked where the same windows, laid out in this
// process at the same size, have them.
#include <QDir>
#include <QLabel>
#include <QMap>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QHeaderView>
#include <QtTest>

#include "app/unit1.h"
#include "choice/choicescore.h"
#include "choice/upsy.h"
#include "records/datapsy.h"
#include "register/newentrydlg.h"
#include "common/config.h"
#include "common/text.h"
#include "tests/support/controls.h"
#include "tests/support/offscreenlayout.h"
#include "tests/support/presses.h"
#include "tests/support/runprogram.h"
#include "ui_newentrydlg.h"
#include "ui_unit1.h"
#include "tests/support/programdriver.h"
#include "tests/support/xdriver.h"

using namespace vel;
using namespace e2e;
using namespace presses;

namespace {

const QString PatientName = QStringLiteral("Ivanov Ivan");
const QString NewCaption = QStringLiteral("^Новая тест реакции выбора пациента: Ivanov Ivan$");

// Where the controls are, from the client origin of their window.
struct Layout {
    QPoint btPplAppend, btn_plant, firstTest;   // main window
    QPoint btnTst, btnSave, stimulus;           // choice window
};

// The main window at `size` and the choice window.
Layout LayoutOf(QSize mainSize)
{
    Layout l;
    MeasureOffscreen<Tfrm>([&](Tfrm &frm) {
        l.btPplAppend = Centre(frm.ui().btPplAppend, &frm);
        l.btn_plant = Centre(frm.ui().btn_plant, &frm);
        l.firstTest = FirstRow(frm.ui().dbgrd_psy, &frm);
    }, mainSize);
    MeasureOffscreen<TFormPsy>([&](TFormPsy &psy) {
        l.btnTst = Centre(Control<QPushButton>(&psy, "btnTst"), &psy);
        l.btnSave = Centre(Control<QPushButton>(&psy, "btnSave"), &psy);
        l.stimulus = Centre(Control<QLabel>(&psy, "imgSL"), &psy);
    });
    return l;
}

// The settings of a session of the program: four presentations a run.
const QString Settings = QStringLiteral("Число предъявлений = 4\r\n");

} // namespace

class TestChoiceProgramE2E : public QObject {
    Q_OBJECT
private:
    // Adds the patient through the dialog and opens a new choice test; the choice window.
    QString AddPatientAndOpenTest(ProgramSession &s, Layout &layout)
    {
        const QString mainWindow = AddPatient(s, PatientName, layout, &LayoutOf);
        return mainWindow.isEmpty() ? QString() : OpenNewTest(s, mainWindow, layout.btn_plant, NewCaption);
    }

    static PatientFacts Patient()
    {
        return {PatientName, QStringLiteral("м"), QDate::currentDate().addDays(-2555)};
    }

private Q_SLOTS:
    void initTestCase() { CheckProgramAndXServer(); }

    void keyboardTestFromAddingToReopening()
    {
        ProgramSession s(Settings);
        Layout layout;
        const QString psy = AddPatientAndOpenTest(s, layout);
        QVERIFY2(!psy.isEmpty(), DescribeWindows(s.pid()));
        KeyPresser presser(Origin(psy) + layout.stimulus, {{300, 0}, {320, 0}, {340, 0}, {360, 650}});
        Click(psy, layout.btnTst);
        const std::vector<Made> made = presser.Wait();
        // Reopened, scored again and saved: the same record with the same raw data and
        // conclusion.
        QMap<QString, QString> test;
        TTestRun run;
        SaveReopenAndStop(s, psy, NewCaption, PatientName, layout.btnSave, layout.firstTest, 20000,
                          QStringLiteral("Тест реакции выбора"), TestType::Choice, test, run);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(int(run.PlanCount), 4);
        QCOMPARE(int(run.DoneCount), 4);
        QCOMPARE(int(made.size()), 4);
        for (int i = 1; i <= 4; ++i) {
            const Made &m = made[size_t(i - 1)];
            QCOMPARE(int(run.Kinds[i]), m.green ? 1 : 2);
            const double answer = double(m.green ? run.LeftTimes[i] : run.RightTimes[i]) - 1150;
            QVERIFY2(answer >= m.correct.Low() - 1.5 && answer <= m.correct.High() + 1.5,
                     qPrintable(QString("presentation %1: %2 ms stored, pressed %3..%4 ms after the stimulus")
                                    .arg(i).arg(answer).arg(m.correct.Low()).arg(m.correct.High())));
        }
        const auto score = choice::ScoreRun(run, Patient(), QDate::currentDate());
        QVERIFY(score);
        QCOMPARE(test.value("PSYFINAL").trimmed(), score->ConclusionText);
    }

    void consoleTestAndASilentConsole_data()
    {
        QTest::addColumn<QStringList>("simArgs");
        QTest::addColumn<int>("done");
        QTest::newRow("console answers") << QStringList{} << 4;
        QTest::newRow("console falls silent after two") << QStringList{"--silent-after", "2"} << 2;
    }
    void consoleTestAndASilentConsole()
    {
        QFETCH(QStringList, simArgs);
        QFETCH(int, done);
        ConsolePerson person(simArgs, 280);
        const QString port = person.Port();
        QVERIFY(!port.isEmpty());
        ProgramSession s(Settings, port);
        Layout layout;
        const QString psy = AddPatientAndOpenTest(s, layout);
        QMap<QString, QString> test;
        TTestRun run;
        RunSaveAndStop(s, psy, NewCaption, layout.btnTst, layout.btnSave,
                       TestType::Choice, test, run);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(int(run.PlanCount), 4);
        QCOMPARE(int(run.DoneCount), done);
        const QStringList pressed = person.Presses();
        QVERIFY(pressed.size() >= done);
        for (int i = 1; i <= done; ++i) {
            const QStringList parts = pressed[i - 1].split(' ');
            const bool green = parts[1] == "green";
            QCOMPARE(int(run.Kinds[i]), green ? 1 : 2);
            QCOMPARE(int(green ? run.LeftTimes[i] : run.RightTimes[i]), parts[2].toInt() + 1150);
        }
        QCOMPARE(test.value("PSYFINAL").trimmed(),
                 choice::ScoreRun(run, Patient(), QDate::currentDate())->ConclusionText);
    }
};

QTEST_MAIN(TestChoiceProgramE2E)
#include "test_choice_program_e2e.moc"
