// The choice test through the real program under the X server: a patient added through
// the patient dialog, "Добавить" on the test list, a run answered with real Ctrl presses
// (or by the console simulator), "Сохранить", the record in Psy.dbf, and the test
// reopened and saved again. Controls are clicked where the same windows, laid out in this
// process at the same size, have them.
#include <QDir>
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
#include "tests/support/presses.h"
#include "tests/support/choicewindow.h"
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

// Where the controls are, from the client origin of their window.
struct Layout {
    QPoint btPplAppend, btn_plant, firstTest;   // main window
    QPoint btnTst, btnSave, stimulus;           // choice window
};

QPoint Centre(QWidget *w, QWidget *window) { return w->mapTo(window, w->rect().center()); }

// The main window at `size` and the choice window, laid out off the screen.
Layout LayoutOf(QSize mainSize)
{
    Layout l;
    WorkFolder folder;
    folder.enter({"Data"});
    MutableConfig() = AppConfig{};
    {
        Tfrm frm;
        frm.setAttribute(Qt::WA_DontShowOnScreen);
        frm.resize(mainSize);
        frm.show();
        QCoreApplication::processEvents();
        Ui::Tfrm &ui = frm.ui();
        l.btPplAppend = Centre(ui.btPplAppend, &frm);
        l.btn_plant = Centre(ui.btn_plant, &frm);
        QTableView *grid = ui.dbgrd_psy;
        const int rowHeight = grid->verticalHeader()->defaultSectionSize();
        l.firstTest = grid->viewport()->mapTo(&frm, QPoint(grid->viewport()->width() / 3, rowHeight / 2));
    }
    {
        TFormPsy psy;
        psy.setAttribute(Qt::WA_DontShowOnScreen);
        psy.show();
        QCoreApplication::processEvents();
        l.btnTst = Centre(psy.btnTst(), &psy);
        l.btnSave = Centre(psy.btnSave(), &psy);
        l.stimulus = Centre(psy.imgSL(), &psy);
    }
    folder.leave();
    return l;
}

// One session of the program: its workplace with four presentations a run.
struct Session : e2e::ProgramSession {
    explicit Session(const QString &extraPorts = {})
        : e2e::ProgramSession(QStringLiteral("Число предъявлений = 4\r\n"), extraPorts) {}
};

} // namespace

class TestChoiceProgramE2E : public QObject {
    Q_OBJECT
private:
    // Adds the patient through the dialog and opens a new choice test; the choice window.
    QString AddPatientAndOpenTest(Session &s, Layout &layout)
    {
        const QString mainWindow = AddPatient(s, PatientName, [&](QSize size) {
            layout = LayoutOf(size);
            return layout.btPplAppend;
        });
        if (mainWindow.isEmpty())
            return {};
        Click(mainWindow, layout.btn_plant);
        const QStringList psy = WaitForWindow("^Новая тест реакции выбора пациента: " + PatientName + "$", s.pid(), 10000);
        if (psy.isEmpty())
            return {};
        Focus(psy.first());
        return psy.first();
    }

    // Closes "Тест завершен!" and saves; true when the window went away.
    bool FinishAndSave(Session &s, const QString &psy, const Layout &layout, int runLimitMs)
    {
        const QStringList done = WaitForWindow("^Тест завершен!$", s.pid(), runLimitMs);
        if (done.isEmpty() || !Dismiss(done, "^Тест завершен!$", *s.program))
            return false;
        Focus(psy);
        Click(psy, layout.btnSave);
        for (int i = 0; i < 50; ++i) {
            if (WindowsOf(s.pid(), "^Новая тест реакции выбора").isEmpty())
                return true;
            QTest::qWait(100);
        }
        return false;
    }

    // Reopens the stored test and saves it again without running it.
    bool ReopenAndSave(Session &s, const Layout &layout)
    {
        const QStringList main = WaitForWindow(MainCaption, s.pid(), 1000);
        Focus(main.value(0));
        Click(main.value(0), layout.firstTest, 2);
        const QString caption = "^Тест пациента: " + PatientName + "$";
        const QStringList psy = WaitForWindow(caption, s.pid(), 10000);
        if (psy.isEmpty())
            return false;
        QTest::qWait(1500);   // scored again on its result tab
        Focus(psy.first());
        Click(psy.first(), layout.btnSave);
        for (int i = 0; i < 50 && !WindowsOf(s.pid(), caption).isEmpty(); ++i)
            QTest::qWait(100);
        return WindowsOf(s.pid(), caption).isEmpty();
    }

    // The one stored test of the session, after the program has ended.
    QMap<QString, QString> StoredTest(Session &s)
    {
        Stop(*s.program);
        const auto tests = Records(FindFile(s.w.home(), "Psy.dbf"));
        if (tests.size() != 1)
            qWarning() << "stored tests:" << tests;
        return tests.size() == 1 ? tests.first() : QMap<QString, QString>();
    }

    static PatientFacts Patient()
    {
        return {PatientName, QStringLiteral("м"), QDate::currentDate().addDays(-2555)};
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(Program).isExecutable(), qPrintable(Program));
        QVERIFY2(XDriver().Ok(), "needs an X server (run under xvfb-run)");
    }

    void keyboardTestFromAddingToReopening()
    {
        Session s;
        Layout layout;
        const QString psy = AddPatientAndOpenTest(s, layout);
        QVERIFY2(!psy.isEmpty(), DescribeWindows(s.pid()));
        const QPoint o = Origin(psy);
        KeyPresser presser(o + layout.stimulus, {{300, 0}, {320, 0}, {340, 0}, {360, 650}});
        Click(psy, layout.btnTst);
        const std::vector<Made> made = presser.Wait();
        QVERIFY2(FinishAndSave(s, psy, layout, 20000), DescribeWindows(s.pid()));
        const auto saved = Records(FindFile(s.w.home(), "Psy.dbf"));
        QCOMPARE(saved.size(), 1);
        QVERIFY2(ReopenAndSave(s, layout), DescribeWindows(s.pid()));

        // Reopened, scored again and saved: the same record with the same raw data and
        // conclusion.
        const QMap<QString, QString> test = StoredTest(s);
        for (const char *field : {"IDX", "TYPE", "DATAPSY", "PSYFINAL", "DATE"})
            QCOMPARE(test.value(field), saved.first().value(field));
        QCOMPARE(test.value("TYPE").trimmed(), QStringLiteral("Тест реакции выбора"));
        TTestRun run;
        QString error;
        QVERIFY2(LoadDataPsy(test.value("DATAPSY"), TestType::Choice, run, error), qPrintable(error));
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
        Session s(port);
        Layout layout;
        const QString psy = AddPatientAndOpenTest(s, layout);
        QVERIFY2(!psy.isEmpty(), DescribeWindows(s.pid()));
        Click(psy, layout.btnTst);
        QVERIFY2(FinishAndSave(s, psy, layout, 40000), DescribeWindows(s.pid()));

        const QMap<QString, QString> test = StoredTest(s);
        TTestRun run;
        QString error;
        QVERIFY2(LoadDataPsy(test.value("DATAPSY"), TestType::Choice, run, error), qPrintable(error));
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
