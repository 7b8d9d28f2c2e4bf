// The moving-object window's scoring, offscreen: a stored test scored on its result tab
// with the corridor of the settings field, and scoring again after the record changed.
#include <QAbstractBarSeries>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QTabWidget>
#include <QWebEngineView>
#include <QtTest>

#include "tests/support/controls.h"
#include "tests/support/windowdriver.h"
#include "tests/support/protocolfixtures.h"

#include "moving/movingscore.h"
#include "moving/rdo.h"
#include "common/text.h"

using namespace vel;

namespace {

const PatientFacts Kuznetsova{QStringLiteral("Кузнецова Мария"), QStringLiteral("ж"), QDate(2005, 9, 1)};
const QDate kTestDate(2017, 9, 1);

QString MovingData(const QString &name)
{
    return FromCp1251(protocolfixtures::ReadBytes(QStringLiteral("moving"), name + QStringLiteral(".datapsy")));
}

TTestRun MovingRun(const QString &name)
{
    TTestRun run;
    QString error;
    if (!LoadDataPsy(MovingData(name), TestType::Moving, run, error))
        qFatal("fixture %s: %s", qPrintable(name), qPrintable(error));
    return run;
}

// The points the Qt chart shows in each series, by series name. A bar set of the
// deviations has a slot for every x from 0 to the last presentation.
QMap<QString, int> ShownPoints(QChartView *view)
{
    QMap<QString, int> points;
    for (QAbstractSeries *s : view->chart()->series()) {
        if (auto *bars = qobject_cast<QAbstractBarSeries *>(s)) {
            for (const QBarSet *set : bars->barSets())
                points[set->label()] = set->count();
        } else if (auto *line = qobject_cast<QLineSeries *>(s)) {
            points[line->name()] = line->count();
        }
    }
    return points;
}

void CompareCharts(const ChartData &shown, const ChartData &expected)
{
    QCOMPARE(shown.Series.size(), expected.Series.size());
    for (size_t s = 0; s < expected.Series.size(); ++s) {
        QCOMPARE(shown.Series[s].Name, expected.Series[s].Name);
        QCOMPARE(shown.Series[s].Points.size(), expected.Series[s].Points.size());
        for (size_t p = 0; p < expected.Series[s].Points.size(); ++p) {
            QCOMPARE(shown.Series[s].Points[p].X, expected.Series[s].Points[p].X);
            QCOMPARE(shown.Series[s].Points[p].Y, expected.Series[s].Points[p].Y);
        }
    }
}

} // namespace

class TestRdoScore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void storedTestIsScoredWithTheCorridorOfTheSettings()
    {
        TFormRDO w;
        QString corridorField = QStringLiteral("50");
        w.SetCorridorText([&corridorField] { return corridorField; });
        QString error;
        QVERIFY2(w.PrepareStored(QStringLiteral("Тест пациента: Кузнецова Мария"), Kuznetsova, kTestDate,
                                 QStringLiteral("9:05:07"), MovingData("leads"), QString(), error),
                 qPrintable(error));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.WaitForProtocol(20000));
        QCOMPARE(Control<QTabWidget>(&w, "pgc1")->currentIndex(), int(TestWindow::ResultTab));

        const auto at50 = moving::ScoreRun(MovingRun("leads"), Kuznetsova, kTestDate, 50);
        QCOMPARE(w.ConclusionText(), moving::ExcitationConclusion);
        CompareCharts(w.LeftChartData(), at50->Left);
        CompareCharts(w.RightChartData(), at50->Right);
        QCOMPARE(ShownPoints(Control<QChartView>(&w, "chtL")),
                 (QMap<QString, int>{{"Series3", 7}, {"lnsrsSeries1", 6}, {"lnsrsSeries2", 6}}));
        QCOMPARE(ShownPoints(Control<QChartView>(&w, "chtR")), (QMap<QString, int>{{"Series6", 10}}));
        const QString page = PageText(Control<QWebEngineView>(&w, "wbRep"));
        QVERIFY2(page.contains("ТЕКСТ РЕАКЦИИ на движущийся объект ОТ 01.09.2017"), qPrintable(page));
        QVERIFY2(page.contains("Заключение: " + moving::ExcitationConclusion), qPrintable(page));

        // The field is read again at every scoring: "0" stands for 39.
        corridorField = QStringLiteral("0");
        Control<QTabWidget>(&w, "pgc1")->setCurrentIndex(TestWindow::ChartTab);
        const auto at39 = moving::ScoreRun(MovingRun("leads"), Kuznetsova, kTestDate, 39);
        CompareCharts(w.LeftChartData(), at39->Left);
        QCOMPARE(w.LeftChartData().Series[moving::UpperCorridorSeries].Points.front().Y, 39.0);
        QCOMPARE(w.LeftChartData().Series[moving::LowerCorridorSeries].Points.front().Y, -39.0);
    }

    // Every series is emptied before the new points go in, the corridor lines included,
    // and the conclusion follows the new record; a record without presentations changes
    // nothing.
    void scoringAgainReplacesEverySeries()
    {
        TFormRDO w;
        QString error;
        QVERIFY(w.PrepareStored(QStringLiteral("Тест пациента: Смирнов Алексей"), Kuznetsova, kTestDate,
                                QStringLiteral("9:05:07"), MovingData("mixed"), QString(), error));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(ShownPoints(Control<QChartView>(&w, "chtL")),
                 (QMap<QString, int>{{"Series3", 10}, {"lnsrsSeries1", 8}, {"lnsrsSeries2", 8}}));
        QCOMPARE(w.ConclusionText(), moving::InhibitionConclusion);

        w.Run() = MovingRun("no_values");
        Control<QTabWidget>(&w, "pgc1")->setCurrentIndex(TestWindow::ChartTab);
        QCOMPARE(ShownPoints(Control<QChartView>(&w, "chtL")),
                 (QMap<QString, int>{{"Series3", 0}, {"lnsrsSeries1", 0}, {"lnsrsSeries2", 0}}));
        QCOMPARE(ShownPoints(Control<QChartView>(&w, "chtR")), (QMap<QString, int>{{"Series6", 0}}));
        QCOMPARE(w.ConclusionText(), moving::BalancedConclusion);

        w.Run() = MovingRun("leads");
        Control<QTabWidget>(&w, "pgc1")->setCurrentIndex(TestWindow::ResultTab);
        QCOMPARE(ShownPoints(Control<QChartView>(&w, "chtL")),
                 (QMap<QString, int>{{"Series3", 7}, {"lnsrsSeries1", 6}, {"lnsrsSeries2", 6}}));
        w.Run().DoneCount = 0;
        Control<QTabWidget>(&w, "pgc1")->setCurrentIndex(TestWindow::ChartTab);
        QCOMPARE(ShownPoints(Control<QChartView>(&w, "chtR")), (QMap<QString, int>{{"Series6", 10}}));
        QCOMPARE(w.ConclusionText(), moving::ExcitationConclusion);
    }

    // Bins whose bounds are all whole numbers above 0 (only lags) still stand one slot per
    // bin, labelled with their upper bounds, not at their x among 500 empty slots.
    void histogramStandsOneSlotPerBin()
    {
        TFormRDO w;
        QString error;
        QVERIFY(w.PrepareStored(QStringLiteral("Тест пациента: Кузнецова Мария"), Kuznetsova, kTestDate,
                                QStringLiteral("9:05:07"), "1350 1800 3 3 SL_ 1407 1800 SR_ 1762 1800 SL_ 1550 1800",
                                QString(), error));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        Control<QTabWidget>(&w, "pgc1")->setCurrentIndex(TestWindow::ChartTab);
        QStringList categories;
        for (QAbstractAxis *axis : Control<QChartView>(&w, "chtR")->chart()->axes(Qt::Horizontal))
            if (auto *byCategory = qobject_cast<QBarCategoryAxis *>(axis))
                categories = byCategory->categories();
        QCOMPARE(categories, (QStringList{"88", "136", "184", "232", "280", "328", "376", "424", "472", "520"}));
        QCOMPARE(ShownPoints(Control<QChartView>(&w, "chtR")), (QMap<QString, int>{{"Series6", 10}}));
    }
};

QTEST_MAIN(TestRdoScore)
#include "test_rdoscore.moc"
