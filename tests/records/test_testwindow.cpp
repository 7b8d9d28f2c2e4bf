// The test window shell on both windows, offscreen: layout and series, opening a new and
// a stored test, scoring on the result tabs, the protocol in the browser, saving (which
// stops a run and scores first), refusal of damaged records, and the window during a run.
#include <QAbstractBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimeEdit>
#include <QTimer>
#include <QValueAxis>
#include <QWebEngineView>
#include <QtTest>

#include "tests/support/controls.h"
#include "tests/support/windowdriver.h"
#include "tests/support/textfits.h"

#include "choice/choicescore.h"
#include "choice/upsy.h"
#include "moving/rdo.h"

using namespace vel;

Q_DECLARE_METATYPE(vel::TestType)

namespace {

std::unique_ptr<TestWindow> MakeWindow(TestType test)
{
    if (test == TestType::Choice)
        return std::make_unique<TFormPsy>();
    return std::make_unique<TFormRDO>();
}

// Shows the window as the test list does, without the modal loop.
void Open(TestWindow &w)
{
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
}

struct SeriesView {
    QString name;
    bool bar;
    QList<qreal> values;   // bar values by x, or the y of the line's points
};

// The series of a chart in order: the bar sets of its bar series, then its lines.
QList<SeriesView> SeriesOf(QChartView *view)
{
    QList<SeriesView> out;
    for (QAbstractSeries *s : view->chart()->series()) {
        if (auto *bars = qobject_cast<QAbstractBarSeries *>(s)) {
            for (const QBarSet *set : bars->barSets()) {
                SeriesView v{set->label(), true, {}};
                for (int i = 0; i < set->count(); ++i)
                    v.values << set->at(i);
                out << v;
            }
        } else if (auto *line = qobject_cast<QLineSeries *>(s)) {
            SeriesView v{s->name(), false, {}};
            for (const QPointF &p : line->points())
                v.values << p.y();
            out << v;
        }
    }
    return out;
}

// An axis title as read, its lines joined by a blank.
QString AxisTitle(QChartView *view, Qt::Alignment side)
{
    const auto axes = view->chart()->axes(side == Qt::AlignLeft ? Qt::Vertical : Qt::Horizontal);
    return axes.isEmpty() ? QString() : axes.first()->titleText().replace(QStringLiteral("<br>"), QStringLiteral(" "));
}

int PointsOnCharts(TestWindow &w)
{
    int n = 0;
    for (QChartView *v : {Control<QChartView>(&w, "chtL"), Control<QChartView>(&w, "chtR")})
        for (const SeriesView &s : SeriesOf(v))
            for (qreal value : s.values)
                n += value != 0 ? 1 : 0;
    return n;
}

// A choice window whose run is still going when it is told to stop: the stop closes the
// last presentations, as the run's stop writes the record.
class RunningChoiceWindow : public TFormPsy {
public:
    QStringList calls;
    TTestRun afterStop;
    bool running = false;

protected:
    void StopRunIfGoing() override
    {
        calls << "stop";
        if (running) {
            Run() = afterStop;
            running = false;
        }
    }
    void ScoreRun() override
    {
        calls << "score";
        TFormPsy::ScoreRun();
    }
};

} // namespace

class TestTestWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void layoutOfTheWindow_data()
    {
        QTest::addColumn<TestType>("test");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<QStringList>("right");
        QTest::addColumn<QStringList>("axes");   // chtL left, chtL bottom, chtR left, chtR bottom
        QTest::addColumn<QString>("progress");
        QTest::newRow("choice") << TestType::Choice
            << QStringList{"brsrs2", "Series1", "Series2", "Series3", "Series7", "Series9"}
            << QStringList{"brsrs1", "Series4", "Series5", "Series6", "Series8", "Series10"}
            << QStringList{"t реакции на зеленый цвет, мс", "Предъявления", "t реакции на красный цвет,мс", "Предъявления"}
            << "ext_pred";
        QTest::newRow("moving") << TestType::Moving
            << QStringList{"Series3", "lnsrsSeries1", "lnsrsSeries2"} << QStringList{"Series6"}
            << QStringList{"Время реакции, мс", "Предъявления", "Количество", "Время реакции, мс"}
            << "ext_rdo";
    }
    void layoutOfTheWindow()
    {
        QFETCH(TestType, test);
        QFETCH(QStringList, left);
        QFETCH(QStringList, right);
        QFETCH(QStringList, axes);
        QFETCH(QString, progress);
        auto w = MakeWindow(test);
        QCOMPARE(w->size(), QSize(764, 497));
        QCOMPARE(Control<QTabWidget>(w.get(), "pgc1")->count(), 3);
        QCOMPARE(Control<QTabWidget>(w.get(), "pgc1")->tabText(0), QString("Тест"));
        QCOMPARE(Control<QTabWidget>(w.get(), "pgc1")->tabText(1), QString("Результат"));
        QCOMPARE(Control<QTabWidget>(w.get(), "pgc1")->tabText(2), QString("График"));
        QCOMPARE(Control<QPushButton>(w.get(), "btnTst")->text(), QString("Старт теста"));
        QCOMPARE(Control<QPushButton>(w.get(), "btnSave")->text(), QString("Сохранить"));
        QCOMPARE(Control<QPushButton>(w.get(), "btnPrnR")->text(), QString("Печать"));
        QCOMPARE(Control<QPushButton>(w.get(), "btnQit")->text(), QString("Выход"));
        QCOMPARE(Control<QLabel>(w.get(), "lbl1")->text(), QString("Дата теста"));
        QCOMPARE(Control<QLabel>(w.get(), "lbl_pult")->text(), QString("Порт пульта ЗМР:"));
        QVERIFY(w->findChild<QLabel *>(progress));
        QVERIFY(Control<QLabel>(w.get(), "lblTextHelp")
                    ->text()
                    .startsWith(test == TestType::Choice ? "В окне будут появляться треугольники. \r\n"
                                                         : "Возьмите пульт в удобную руку\r\n"));

        // Series by name and shape, in order, and the axis titles.
        auto names = [](QChartView *v) {
            QStringList n;
            for (const SeriesView &s : SeriesOf(v))
                n << s.name + (s.bar ? ":bar" : ":line");
            return n;
        };
        auto shaped = [](const QStringList &n, int bars) {
            QStringList out;
            for (int i = 0; i < n.size(); ++i)
                out << n[i] + (i < bars ? ":bar" : ":line");
            return out;
        };
        QCOMPARE(names(Control<QChartView>(w.get(), "chtL")), shaped(left, test == TestType::Choice ? 4 : 1));
        QCOMPARE(names(Control<QChartView>(w.get(), "chtR")), shaped(right, test == TestType::Choice ? 4 : 1));
        QCOMPARE(names(Control<QChartView>(w.get(), "ChartLR")), QStringList{"BarSeries1:bar"});
        QCOMPARE(AxisTitle(Control<QChartView>(w.get(), "chtL"), Qt::AlignLeft), axes[0]);
        QCOMPARE(AxisTitle(Control<QChartView>(w.get(), "chtL"), Qt::AlignBottom), axes[1]);
        QCOMPARE(AxisTitle(Control<QChartView>(w.get(), "chtR"), Qt::AlignLeft), axes[2]);
        QCOMPARE(AxisTitle(Control<QChartView>(w.get(), "chtR"), Qt::AlignBottom), axes[3]);
        QCOMPARE(AxisTitle(Control<QChartView>(w.get(), "ChartLR"), Qt::AlignLeft), QString("t реакции , мс"));
        QVERIFY(w->findChild<QTimer *>("tmr1"));
        QCOMPARE(Control<QTimer>(w.get(), "tmr1")->interval(), test == TestType::Choice ? 1000 : 1);
        QVERIFY(!Control<QTimer>(w.get(), "tmr1")->isActive());

        // What only a run shows stays hidden; the stimulus pictures are loaded.
        Open(*w);
        const QByteArray progressName = progress.toLatin1();
        for (const char *hidden : {"mmo1", "lbl_pult", "cbb_pult", "ChartLR", "imgSL", "imgSR", "imgS0",
                                   progressName.constData()})
            QVERIFY2(!Control<QWidget>(w.get(), hidden)->isVisible(), hidden);
        const QSize stimulus = test == TestType::Choice ? QSize(160, 152) : QSize(280, 180);
        QCOMPARE(Control<QLabel>(w.get(), "imgSR")->pixmap().size(), stimulus);
        if (test == TestType::Choice)
            QCOMPARE(Control<QLabel>(w.get(), "imgSL")->pixmap().size(), stimulus);
        else
            QCOMPARE(Control<QLabel>(w.get(), "imgS0")->pixmap().size(), QSize(34, 88));
    }

    // At the window's own size every text stands whole on every tab: labels, buttons,
    // the legend and the charts' axes, which show no stray pieces of earlier axes.
    void textsStandWhole_data()
    {
        QTest::addColumn<TestType>("test");
        QTest::newRow("choice") << TestType::Choice;
        QTest::newRow("moving") << TestType::Moving;
    }
    void textsStandWhole()
    {
        QFETCH(TestType, test);
        auto w = MakeWindow(test);
        // A stored test opens on its result: its charts are filled while their tab is hidden.
        QString error;
        QVERIFY(w->PrepareStored("Тест пациента: Иванов Иван", Ivanov, QDate(2020, 9, 1), "9:05:07",
                                 BuildDataPsy(FixtureRun("mixed", test), test), "", error));
        Open(*w);
        QStringList cut;
        for (int tab : {int(TestWindow::ResultTab), int(TestWindow::ChartTab), int(TestWindow::TestTab),
                        int(TestWindow::ChartTab)}) {
            Control<QTabWidget>(w.get(), "pgc1")->setCurrentIndex(tab);
            QCoreApplication::processEvents();
            for (const QString &text : textfits::CutTexts(w.get()))
                if (!cut.contains(text))
                    cut << text;
        }
        for (QChartView *chart : {Control<QChartView>(w.get(), "chtL"), Control<QChartView>(w.get(), "chtR")}) {
            cut << textfits::CutChartTexts(chart);
            const QString left = AxisTitle(chart, Qt::AlignLeft);
            if (!textfits::ChartTexts(chart).join(' ').simplified().contains(left))
                cut << chart->objectName() + ": " + left + " not shown whole";
        }
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(" | ")));
    }

    void newTestOpensOnTheTestTab_data()
    {
        QTest::addColumn<TestType>("test");
        QTest::newRow("choice") << TestType::Choice;
        QTest::newRow("moving") << TestType::Moving;
    }
    void newTestOpensOnTheTestTab()
    {
        QFETCH(TestType, test);
        auto w = MakeWindow(test);
        w->PrepareNew("Новая тест реакции выбора пациента: Иванов Иван", Ivanov);
        Open(*w);
        QCOMPARE(w->windowTitle(), QString("Новая тест реакции выбора пациента: Иванов Иван"));
        QCOMPARE(Control<QTabWidget>(w.get(), "pgc1")->currentIndex(), 0);
        QVERIFY(Control<QPushButton>(w.get(), "btnTst")->isVisible());
        QVERIFY(Control<QLabel>(w.get(), "lblTextHelp")->isVisible());
        QVERIFY(!Control<QPushButton>(w.get(), "btnPrnR")->isVisible());
        QCOMPARE(Control<QDateEdit>(w.get(), "dtpDataTest")->date(), QDate::currentDate());
        QVERIFY(qAbs(Control<QTimeEdit>(w.get(), "edtTime")->time().secsTo(QTime::currentTime())) < 60);

        // Before any run a result tab shows a blank page and empty charts.
        Control<QTabWidget>(w.get(), "pgc1")->setCurrentIndex(TestWindow::ResultTab);
        QVERIFY(Control<QPushButton>(w.get(), "btnPrnR")->isVisible());
        QVERIFY(!Control<QPushButton>(w.get(), "btnTst")->isVisible());
        QVERIFY(!w->HasProtocol());
        QCOMPARE(PointsOnCharts(*w), 0);
        QCOMPARE(w->ConclusionText(), QString());
    }

    void storedTestOpensOnItsResult()
    {
        TFormPsy w;
        ShowStoredChoice(w);
        QCOMPARE(Control<QTabWidget>(&w, "pgc1")->currentIndex(), int(TestWindow::ResultTab));
        QVERIFY(!Control<QPushButton>(&w, "btnTst")->isVisible());
        QVERIFY(Control<QPushButton>(&w, "btnPrnR")->isVisible());
        QCOMPARE(Control<QDateEdit>(&w, "dtpDataTest")->date(), QDate(2020, 9, 1));
        QCOMPARE(Control<QTimeEdit>(&w, "edtTime")->time(), QTime(9, 5, 7));

        const auto score = choice::ScoreRun(FixtureRun("mixed"), Ivanov, QDate(2020, 9, 1));
        QVERIFY(score);
        QCOMPARE(w.ConclusionText(), score->ConclusionText);
        // The protocol came through code page 1251 and reads as the browser shows it.
        QVERIFY(w.HasProtocol());
        const QString page = PageText(Control<QWebEngineView>(&w, "wbRep"));
        QVERIFY2(page.contains("Пациент: Иванов Иван"), qPrintable(page.left(300)));
        QVERIFY(page.contains("Приложение - Графики реакции выбора"));
        // Charts: every bar series has one bar per presentation; the bars are the scoring's.
        const auto left = SeriesOf(Control<QChartView>(&w, "chtL"));
        QCOMPARE(left.size(), 6);
        for (int s = 0; s < 4; ++s)
            QCOMPARE(left[s].values.size(), 7 + 1);   // x 0 is left of the first bar
        QCOMPARE(left[choice::CorrectSeries].values[1], 562.0);
        QCOMPARE(left[choice::LowerNormSeries].values.size(), 7);
        QCOMPARE(Control<QChartView>(&w, "chtL")->chart()->axes(Qt::Vertical).first()->property("max").toDouble(),
                 1000.0);
    }

    void switchingResultTabsScoresAgain()
    {
        TFormPsy w;
        ShowStoredChoice(w);
        QVERIFY(!Control<QLabel>(&w, "lbllb1")->isVisible());
        // A changed record shows on the next switch, on both result tabs.
        w.Run() = FixtureRun("no_errors");
        Control<QTabWidget>(&w, "pgc1")->setCurrentIndex(TestWindow::ChartTab);
        for (const char *legend : {"lbllb1", "lbllb2", "lbllb3", "lbllb4"})
            QVERIFY2(Control<QLabel>(&w, legend)->isVisible(), legend);
        const auto expected = choice::ScoreRun(FixtureRun("no_errors"), Ivanov, QDate(2020, 9, 1));
        QCOMPARE(w.ConclusionText(), expected->ConclusionText);
        QCOMPARE(SeriesOf(Control<QChartView>(&w, "chtL"))[choice::WrongSeries].values,
                 QList<qreal>(w.Run().DoneCount + 1, 0.0));
        w.Run().DoneCount = 2;
        Control<QTabWidget>(&w, "pgc1")->setCurrentIndex(TestWindow::ResultTab);
        QVERIFY(!Control<QLabel>(&w, "lbllb1")->isVisible());
        QCOMPARE(SeriesOf(Control<QChartView>(&w, "chtL"))[choice::LowerNormSeries].values.size(), 2);
        const auto two = choice::ScoreRun(w.Run(), Ivanov, QDate(2020, 9, 1));
        QVERIFY(w.WaitForProtocol(20000));
        QVERIFY(PageText(Control<QWebEngineView>(&w, "wbRep")).contains("Заключение:" + two->ConclusionText));
        Control<QTabWidget>(&w, "pgc1")->setCurrentIndex(TestWindow::TestTab);
        QVERIFY(!Control<QLabel>(&w, "lbllb1")->isVisible());
        QVERIFY(Control<QPushButton>(&w, "btnTst")->isVisible());
    }

    void openingForgetsThePreviousTest()
    {
        TFormPsy w;
        ShowStoredChoice(w);
        QVERIFY(!w.ConclusionText().isEmpty());
        w.hide();

        w.PrepareNew("Новая тест реакции выбора пациента: Петров", PatientFacts{"Петров", "м", {}});
        Open(w);
        QCOMPARE(Control<QTabWidget>(&w, "pgc1")->currentIndex(), 0);
        QCOMPARE(w.ConclusionText(), QString());
        QVERIFY(!w.HasProtocol());
        QCOMPARE(PointsOnCharts(w), 0);
        QCOMPARE(w.Result().DataPsy.count("\r\n"), 4);
        QCOMPARE(w.Patient().Name, QString("Петров"));
    }

    // The conclusion stored is always the one of the run being saved: saving scores the
    // run even when no result tab was opened, and a run still going is stopped first.
    void savingStopsTheRunAndScoresIt()
    {
        RunningChoiceWindow w;
        // The window last showed another test, whose conclusion it held.
        QString error;
        QVERIFY(w.PrepareStored("Тест пациента: Сидоров", PatientFacts{"Сидоров", "м", QDate(2013, 1, 10)},
                                QDate(2019, 9, 20), "10:00:00", FixtureDataPsy("no_correct"), "", error));
        Open(w);
        const QString previous = w.ConclusionText();
        w.hide();

        w.PrepareNew("Новая тест реакции выбора пациента: Иванов Иван", Ivanov);
        w.calls.clear();
        Open(w);
        Control<QDateEdit>(&w, "dtpDataTest")->setDate(QDate(2020, 9, 1));
        TTestRun partial = FixtureRun("mixed");
        partial.DoneCount = 2;
        w.Run() = partial;                 // two presentations done, the run goes on
        w.afterStop = FixtureRun("mixed"); // the stop closes the run with all seven
        w.running = true;
        QTest::mouseClick(Control<QPushButton>(&w, "btnSave"), Qt::LeftButton);
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QCOMPARE(w.calls.mid(0, 2), (QStringList{"stop", "score"}));
        const auto score = choice::ScoreRun(FixtureRun("mixed"), Ivanov, QDate(2020, 9, 1));
        QVERIFY(score->ConclusionText != previous);
        QCOMPARE(w.Result().Conclusion, score->ConclusionText);
        QCOMPARE(w.Result().DataPsy, BuildDataPsy(FixtureRun("mixed"), TestType::Choice));
    }

    void closingWithoutSavingStopsTheRun()
    {
        RunningChoiceWindow w;
        w.PrepareNew("Новая тест реакции выбора пациента: Иванов Иван", Ivanov);
        Open(w);
        w.calls.clear();
        QTest::mouseClick(Control<QPushButton>(&w, "btnQit"), Qt::LeftButton);
        QCOMPARE(w.result(), int(QDialog::Rejected));
        QCOMPARE(w.calls.value(0), QString("stop"));
        QVERIFY(!w.isVisible());
    }

    // Esc is no way out of a test window: a finished run not yet saved would be lost.
    void escapeDoesNotCloseTheWindow_data()
    {
        QTest::addColumn<TestType>("test");
        QTest::newRow("choice") << TestType::Choice;
        QTest::newRow("moving") << TestType::Moving;
    }
    void escapeDoesNotCloseTheWindow()
    {
        QFETCH(TestType, test);
        auto w = MakeWindow(test);
        w->PrepareNew("Новая тест реакции выбора пациента: Иванов Иван", Ivanov);
        bool openAfterEsc = false;
        QTimer::singleShot(50, w.get(), [&] {
            w->Run() = FixtureRun("mixed", test);   // the run has ended
            QWidget *focus = QApplication::focusWidget();
            QTest::keyClick(focus && w->isAncestorOf(focus) ? focus : w.get(), Qt::Key_Escape);
            QTimer::singleShot(50, w.get(), [&] {
                openAfterEsc = w->isVisible();
                QTest::mouseClick(Control<QPushButton>(w.get(), "btnSave"), Qt::LeftButton);
            });
        });
        QTimer::singleShot(10000, w.get(), [&] { w->done(QDialog::Rejected); });   // never hang
        QCOMPARE(w->exec(), int(QDialog::Accepted));
        QVERIFY(openAfterEsc);
        QCOMPARE(w->Result().DataPsy, BuildDataPsy(FixtureRun("mixed", test), test));
    }

    // A stored test that nothing scores keeps its date and conclusion; a new run drops the
    // conclusion until it is scored.
    void storedTestWithoutPresentationsKeepsItsDate()
    {
        TFormRDO w;
        QString error;
        QVERIFY(w.PrepareStored("Тест пациента: Иванов Иван", Ivanov, QDate(2021, 2, 3), "14:30:00",
                                "1350\r\n1800\r\n30\r\n0\r\n", "уравновешенность нервных процессов", error));
        Open(w);
        QCOMPARE(Control<QTabWidget>(&w, "pgc1")->currentIndex(), 0);
        QCOMPARE(Control<QDateEdit>(&w, "dtpDataTest")->date(), QDate(2021, 2, 3));
        QCOMPARE(w.Result().Time, QString("14:30:00"));
        QCOMPARE(w.Result().Conclusion, QString("уравновешенность нервных процессов"));
        w.SetRunLayout(true);
        QCOMPARE(w.Result().Conclusion, QString());
        w.SetRunLayout(false);
    }

    void damagedRecordLeavesTheWindowAlone_data()
    {
        QTest::addColumn<TestType>("test");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("data");
        QTest::addColumn<QString>("says");
        const QString good = "1000\r\n1000\r\n10\r\n1\r\nSL\r\n1500\r\n3150\r\n";
        const QDate day(2020, 1, 2);
        QTest::newRow("too few items") << TestType::Choice << day << "9:00:00"
                                       << "1000\r\n1000\r\n10\r\n2\r\nSL\r\n1500\r\n3150\r\n" << "нужно значений: 10";
        QTest::newRow("not a number") << TestType::Moving << day << "9:00:00"
                                      << "1350\r\n1800\r\n30\r\n1\r\nSL_\r\n12a\r\n1800\r\n" << "не является целым числом";
        QTest::newRow("above 65535") << TestType::Choice << day << "9:00:00"
                                     << "1000\r\n1000\r\n10\r\n1\r\nSL\r\n65536\r\n3150\r\n" << "больше 65535";
        QTest::newRow("DoneCount above 200") << TestType::Moving << day << "9:00:00"
                                             << "1350\r\n1800\r\n250\r\n201\r\n" << "больше 200";
        QTest::newRow("time of 25 hours") << TestType::Choice << day << "25:00:00" << good << "не является временем";
        QTest::newRow("time not a time") << TestType::Choice << day << "обед" << good << "не является временем";
        QTest::newRow("time empty") << TestType::Choice << day << "" << good << "не является временем";
        QTest::newRow("no date") << TestType::Choice << QDate() << "9:00:00" << good << "нет даты";
    }
    void damagedRecordLeavesTheWindowAlone()
    {
        QFETCH(TestType, test);
        QFETCH(QDate, date);
        QFETCH(QString, time);
        QFETCH(QString, data);
        QFETCH(QString, says);
        auto w = MakeWindow(test);
        w->PrepareNew("прежний", Ivanov);
        w->Run() = FixtureRun("mixed", test);
        const TTestRun before = w->Run();
        const QDate dateBefore = Control<QDateEdit>(w.get(), "dtpDataTest")->date();
        QString error;
        QVERIFY(!w->PrepareStored("Тест пациента: Иванов Иван", Ivanov, date, time, data, "", error));
        QVERIFY2(error.contains(says), qPrintable(error));
        QVERIFY(error.contains("Запись теста не изменена"));
        QCOMPARE(w->windowTitle(), QString("прежний"));
        QVERIFY(w->Run() == before);
        QCOMPARE(Control<QDateEdit>(w.get(), "dtpDataTest")->date(), dateBefore);
    }

    // The title bar changes while the window runs modally: the modal loop goes on.
    void runLayoutKeepsTheWindowOpen()
    {
        TFormPsy w;
        w.PrepareNew("Новая тест реакции выбора пациента: Иванов Иван", Ivanov);
        bool stillOpen = false;
        QTimer::singleShot(50, &w, [&] {
            w.SetRunLayout(true);
            QTimer::singleShot(50, &w, [&] {
                stillOpen = w.isVisible();
                w.SetRunLayout(false);
                QTimer::singleShot(
                    50, &w, [&] { QTest::mouseClick(Control<QPushButton>(&w, "btnSave"), Qt::LeftButton); });
            });
        });
        QTimer::singleShot(10000, &w, [&] { w.done(QDialog::Rejected); });   // never hang
        QCOMPARE(w.exec(), int(QDialog::Accepted));
        QVERIFY(stillOpen);
    }

    void windowDuringARun()
    {
        TFormPsy w;
        w.PrepareNew("Новая тест реакции выбора пациента: Иванов Иван", Ivanov);
        Open(w);
        w.SetRunLayout(true);
        QVERIFY(w.isVisible());
        QVERIFY(!Control<QTabWidget>(&w, "pgc1")->isTabVisible(TestWindow::ResultTab));
        QVERIFY(!Control<QTabWidget>(&w, "pgc1")->isTabVisible(TestWindow::ChartTab));
        QVERIFY(!(w.windowFlags() & Qt::WindowCloseButtonHint));
        for (const char *off : {"btnQit", "btnPrnR", "dtpDataTest", "lbl1", "cbb_pult"})
            QVERIFY2(!Control<QWidget>(&w, off)->isEnabled(), off);
        QVERIFY(Control<QPushButton>(&w, "btnSave")->isEnabled());
        w.BeginRunDisplay(0, 1000);
        w.AddLiveBar(1, 420);
        w.AddLiveBar(2, 380);
        QCOMPARE(SeriesOf(Control<QChartView>(&w, "ChartLR")).first().values, (QList<qreal>{0, 420, 380}));
        // Showing again for the title bar does not reopen the window on another tab.
        QCOMPARE(Control<QTabWidget>(&w, "pgc1")->currentIndex(), 0);

        w.SetRunLayout(false);
        QVERIFY(w.isVisible());
        QVERIFY(Control<QTabWidget>(&w, "pgc1")->isTabVisible(TestWindow::ResultTab));
        QVERIFY(Control<QPushButton>(&w, "btnQit")->isEnabled());
        QVERIFY(w.windowFlags() & Qt::WindowCloseButtonHint);
    }
};

QTEST_MAIN(TestTestWindow)
#include "test_testwindow.moc"
