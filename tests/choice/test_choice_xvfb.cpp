// The choice run end to end under a real X server: the window on the screen, Ctrl
// presses made through the XTest extension at chosen moments after the stimulus is seen,
// and runs answered by velmora-consolesim, a person pressing its buttons when its lights
// come on. The stored raw data, its answer times and its conclusion are checked.
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include "choice/choicescore.h"
#include "run/rs232thread.h"
#include "records/datapsy.h"
#include "tests/support/choicewindow.h"
#include "tests/support/controls.h"
#include "tests/support/presses.h"
#include "tests/support/xdriver.h"

using namespace choicetest;
using xdriver::XDriver;
using namespace presses;

namespace {

// A twelve-year-old: norms 408..604 ms.
const PatientFacts Patient{QStringLiteral("Иванов Иван"), QStringLiteral("м"),
                           QDate::currentDate().addYears(-12).addMonths(-3)};

// Opens the window modally as the test list does, starts the run when the window is
// active (`started` is told where the stimulus appears), answers the closing message and
// presses "Сохранить" when the run is over. The result of the modal loop; the window is
// closed without OK after `limitMs` whatever happens.
int RunModally(ChoiceWindow &f, int planned, const std::function<void(QPoint)> &started, int limitMs)
{
    f.SetPlannedCount(planned);
    f.window.PrepareNew(QStringLiteral("Новая тест реакции выбора пациента: ") + Patient.Name, Patient);
    bool clicked = false, saved = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!clicked) {
            if (!f.window.isActiveWindow()) {
                f.window.activateWindow();
                return;
            }
            clicked = true;
            const QPoint centre = f.window.mapToGlobal(f.window.rect().center());
            XDriver().MovePointer(centre.x(), centre.y());
            QLabel *image = Control<QLabel>(&f.window, "imgSL");
            if (started)
                started(image->mapToGlobal(QPoint(image->width() / 2, image->height() / 2)));
            Control<QPushButton>(&f.window, "btnTst")->click();
        } else if (!saved && !f.Runner().Running() && !f.modals.boxes.isEmpty()) {
            saved = true;
            Control<QPushButton>(&f.window, "btnSave")->click();
        }
    });
    poll.start(20);
    QTimer::singleShot(limitMs, &f.window, [&] { f.window.reject(); });
    return f.window.exec();
}

SerialDevice ConsoleDevice(const QString &port)
{
    return MakeSerialDevice(QStringLiteral("AVR Communication Device Class"), port);
}

} // namespace

class TestChoiceXvfb : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(XDriver().Ok(), "needs an X server (run under xvfb-run)");
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    }

    void keyboardRunAnsweredWithRealKeyPresses()
    {
        ChoiceWindow f;
        // Correct answers 290..330 ms after the stimulus; presentation 3 also gets a late
        // press of the other hand, after the correct one.
        std::unique_ptr<KeyPresser> presser;
        const int result = RunModally(f, 4, [&](QPoint stimulus) {
            presser = std::make_unique<KeyPresser>(stimulus, QList<Plan>{{290, 0}, {310, 0}, {300, 700}, {330, 0}});
        }, 30000);
        QVERIFY(presser);
        const std::vector<Made> made = presser->Wait();
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(f.modals.boxes, QStringList{testing::BoxLine(QMessageBox::Information, FinishedCaption, FinishedText)});

        // What the test list stores: the raw data as the run left it, and its conclusion.
        const WindowResult stored = f.window.Result();
        TTestRun record;
        QString error;
        QVERIFY2(LoadDataPsy(stored.DataPsy, TestType::Choice, record, error), qPrintable(error));
        QCOMPARE(int(record.DoneCount), 4);
        QCOMPARE(int(record.PlanCount), 4);
        QCOMPARE(int(made.size()), 4);
        // Each stored time is the press's delay after the stimulus, as far as the screen
        // and the server let it be observed, within a millisecond of rounding either way.
        auto timedRight = [](uint16_t stored, const Observed &o) {
            const double answer = double(stored) - 1150;
            return answer >= o.Low() - 1.5 && answer <= o.High() + 1.5;
        };
        for (int i = 1; i <= 4; ++i) {
            const Made &m = made[size_t(i - 1)];
            QCOMPARE(int(record.Kinds[i]), m.green ? 1 : 2);
            const uint16_t correct = m.green ? record.LeftTimes[i] : record.RightTimes[i];
            const uint16_t other = m.green ? record.RightTimes[i] : record.LeftTimes[i];
            QVERIFY2(timedRight(correct, m.correct),
                     qPrintable(QString("presentation %1: stored %2, pressed %3..%4 ms after the stimulus")
                                    .arg(i).arg(correct).arg(m.correct.Low()).arg(m.correct.High())));
            if (m.other.Made())
                QVERIFY(timedRight(other, m.other));
            else
                QCOMPARE(int(other), 3150);
        }
        // Three correct reactions and a doublet (the other hand in time too); correct means
        // near 450 ms: within the norms of a 12-year-old.
        const auto score = choice::ScoreRun(record, Patient, QDate::currentDate());
        QVERIFY(score);
        QCOMPARE(score->Counts[2] + score->Counts[5], 3);
        QCOMPARE(score->Counts[3] + score->Counts[7], 1);
        QCOMPARE(stored.Conclusion, QStringLiteral("нервные процессы в норме"));
    }

    void runAnsweredByTheConsole()
    {
        ConsolePerson person({}, 280);
        const QString port = person.Port();
        QVERIFY(!port.isEmpty());
        ChoiceWindow f({ConsoleDevice(port)});
        QCOMPARE(RunModally(f, 4, {}, 40000), int(QDialog::Accepted));
        const TTestRun &record = f.Record();
        QCOMPARE(int(record.DoneCount), 4);
        const QStringList presses = person.Presses();
        QCOMPARE(presses.size(), 4);
        for (int i = 1; i <= 4; ++i) {
            const QStringList parts = presses[i - 1].split(' ');
            const bool green = parts[1] == "green";
            QCOMPARE(int(record.Kinds[i]), green ? 1 : 2);
            QCOMPARE(int(green ? record.LeftTimes[i] : record.RightTimes[i]), parts[2].toInt() + 1150);
            QCOMPARE(int(green ? record.RightTimes[i] : record.LeftTimes[i]), 3150);
        }
        QCOMPARE(f.window.Result().Conclusion, QStringLiteral("нервные процессы в норме"));
    }

    void silentConsoleStoppedByTheWatchdog()
    {
        ConsolePerson person({"--silent-after", "2"}, 280);
        ChoiceWindow f({ConsoleDevice(person.Port())});
        QCOMPARE(RunModally(f, 4, {}, 40000), int(QDialog::Accepted));
        QCOMPARE(f.modals.boxes.size(), 1);
        // Two answered; the third was asked for again and again and is not counted.
        QCOMPARE(int(f.Record().DoneCount), 2);
        QCOMPARE(int(f.Record().PlanCount), 4);
        QVERIFY(person.Count("silent") >= 4);
        QCOMPARE(f.window.Result().DataPsy.count("\r\n"), 4 + 2 * 3);
    }
};

QTEST_MAIN(TestChoiceXvfb)
#include "test_choice_xvfb.moc"
