// Scoring of the moving-object reaction test: classes, statistics, histogram, conclusion,
// charts and protocol. The hand-written protocols of the fixtures are checked with the
// choice test's in tests/run.
#include <QtTest>

#include <numeric>

#include "moving/movingprotocol.h"
#include "moving/movingscore.h"
#include "records/datapsy.h"
#include "common/text.h"

using namespace vel;
using namespace vel::moving;

namespace {

const QLocale kRussian(QStringLiteral("ru_RU"));
const QDate kTestDate(2020, 6, 15);
const QDate kBirthday147Months(2008, 3, 10);   // 147 months before kTestDate

// Stands for a presentation with both registers 0 in Run().
constexpr int NoValue = 100000;

TTestRun RunOf(const QString &items)
{
    TTestRun run;
    QString error;
    if (!LoadDataPsy(items, TestType::Moving, run, error))
        qFatal("bad run in a test: %s", qPrintable(error));
    return run;
}

// The raw data of a run whose presentations pressed the left Ctrl with these deviations
// from 1350 ms.
QString Run(const QList<int> &deviations)
{
    QString items = QStringLiteral("1350 1800 %1 %1").arg(deviations.size());
    for (int i = 0; i < deviations.size(); ++i) {
        const int d = deviations[i];
        items += QStringLiteral(" %1 %2 %3").arg(i % 2 ? "SR_" : "SL_")
                     .arg(d == NoValue ? 0 : 1350 + d).arg(d == NoValue ? 0 : 1800);
    }
    return items;
}

QList<int> Repeat(int times, int deviation) { return QList<int>(times, deviation); }

Score ScoreOf(const QString &items, int corridor = DefaultCorridorMs, const QString &sex = "м",
              const QDate &birthday = kBirthday147Months)
{
    const auto score = ScoreRun(RunOf(items), PatientFacts{"Тестов Тест", sex, birthday}, kTestDate,
                                corridor, kRussian);
    if (!score)
        qFatal("nothing scored");
    return *score;
}

QList<int> BinCounts(const Score &s)
{
    return s.Bins ? QList<int>(s.Bins->Counts.begin() + 1, s.Bins->Counts.end()) : QList<int>();
}
QList<int> UpperBounds(const Score &s)
{
    return s.Bins ? QList<int>(s.Bins->Bounds.begin() + 1, s.Bins->Bounds.end()) : QList<int>();
}

} // namespace

class TestMovingScore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Each row: a run, its corridor and patient, and what the scoring must make of it:
    // the exact, lead and lag counts, the histogram's upper bounds and bin counts (empty:
    // not looked at) and pieces the protocol holds.
    void edgeCases_data()
    {
        QTest::addColumn<QString>("items");
        QTest::addColumn<int>("corridor");
        QTest::addColumn<QString>("sex");
        QTest::addColumn<QDate>("birthday");
        QTest::addColumn<QList<int>>("counts");
        QTest::addColumn<QList<int>>("bounds");
        QTest::addColumn<QList<int>>("bins");
        QTest::addColumn<QStringList>("pieces");
        const QDate b147 = kBirthday147Months;
        const QDate b144(2008, 6, 15);

        QTest::newRow("deviations -120 to 300") << Run({-120, 0, 300}) << 39 << "м" << b147 << QList<int>{1, 1, 1}
            << QList<int>{-86, -42, 2, 46, 90, 134, 178, 222, 266, 310} << QList<int>{1, 0, 1, 0, 0, 0, 0, 0, 0, 1}
            << QStringList{"<TD>Минимальное время реакции</TD><TD>-</TD><TD>120</TD><TD>300</TD><TD>-120</TD></TR>",
                           "<TD>Вариационный размах</TD><TD>-</TD><TD>0</TD><TD>0</TD><TD>420</TD></TR>"};
        QTest::newRow("deviations 57 to 412") << Run({57, 412, 200}) << 39 << "м" << b147 << QList<int>{0, 0, 3}
            << QList<int>{88, 136, 184, 232, 280, 328, 376, 424, 472, 520} << QList<int>{1, 0, 0, 1, 0, 0, 0, 1, 0, 0}
            << QStringList{"<TD>Максимальное время реакции</TD><TD>-</TD><TD>-</TD><TD>412</TD><TD>412</TD></TR>"};
        QTest::newRow("a value on a bound goes to the lower bin") << Run({-120, 2, 46, 300}) << 39 << "м" << b147
            << QList<int>{1, 1, 2} << QList<int>{-86, -42, 2, 46, 90, 134, 178, 222, 266, 310}
            << QList<int>{1, 0, 1, 1, 0, 0, 0, 0, 0, 1} << QStringList();
        QTest::newRow("all deviations below the line") << Run({-300, -100}) << 39 << "м" << b147 << QList<int>{0, 2, 0}
            << QList<int>{-268, -226, -184, -142, -100, -58, -16, 26, 68, 110}
            << QList<int>{1, 0, 0, 0, 1, 0, 0, 0, 0, 0} << QStringList();
        // No press keeps 1800 in both registers; a right press alone leaves the left at
        // 1800; a left register of 0 hands over to the right one.
        QTest::newRow("no press, right hand only, left register 0")
            << "1350 1800 3 3 SL_ 1800 1800 SR_ 1800 1400 SL_ 0 1400" << 39 << "м" << b147 << QList<int>{0, 0, 3}
            << QList<int>{} << QList<int>{}
            << QStringList{"<TD><B>1</B></TD><TD>&nbsp450</TD>", "<TD><B>2</B></TD><TD>&nbsp450</TD>",
                           "<TD><B>3</B></TD><TD>&nbsp50</TD>"};
        QTest::newRow("corridor 39: -39 and 39 exact, -40 lead, 40 lag") << Run({-39, 39, -40, 40}) << 39 << "м" << b147
            << QList<int>{2, 1, 1} << QList<int>{} << QList<int>{}
            << QStringList{"<TH colspan=1>коридор точной реакции (мс)</TH><TD>39</TD></TR>"};
        QTest::newRow("corridor 50 takes -40 and 40 in") << Run({-39, 39, -40, 40, -51}) << 50 << "м" << b147
            << QList<int>{4, 1, 0} << QList<int>{} << QList<int>{}
            << QStringList{"<TH colspan=1>коридор точной реакции (мс)</TH><TD>50</TD></TR>"};
        QTest::newRow("29 presentations: 15 rows, 30 with -") << Run(Repeat(29, 10)) << 39 << "м" << b147
            << QList<int>{29, 0, 0} << QList<int>{} << QList<int>{}
            << QStringList{"<TR><TD><B>15</B></TD><TD>&nbsp10</TD><TD><B>30</B></TD><TD>-</TD></TR></TABLE>"};
        QTest::newRow("age of 147 months, SEX ж") << Run({0}) << 39 << "ж" << b147 << QList<int>{1, 0, 0}
            << QList<int>{} << QList<int>{} << QStringList{"<h3>Возраст: 12 лет 3 месяцев;         Пол: женский</h3>"};
        QTest::newRow("age of 144 months, empty SEX") << Run({0}) << 39 << "" << b144 << QList<int>{1, 0, 0}
            << QList<int>{} << QList<int>{} << QStringList{"<h3>Возраст: 12 лет ;         Пол: женский</h3>"};
        QTest::newRow("E 10, L 10, G 0") << Run(Repeat(10, 0) + Repeat(10, -100)) << 39 << "м" << b147
            << QList<int>{10, 10, 0} << QList<int>{} << QList<int>{}
            << QStringList{"<h3>Заключение: " + ExcitationConclusion + "</h3>"};
        QTest::newRow("E 12, L 10, G 8") << Run(Repeat(12, 0) + Repeat(10, -100) + Repeat(8, 100)) << 39 << "м" << b147
            << QList<int>{12, 10, 8} << QList<int>{} << QList<int>{}
            << QStringList{"<h3>Заключение: " + BalancedConclusion + "</h3>"};
        QTest::newRow("10 exact of 30, with the decimal comma") << Run(Repeat(10, 0) + Repeat(10, -100) + Repeat(10, 100))
            << 39 << "м" << b147 << QList<int>{10, 10, 10} << QList<int>{} << QList<int>{}
            << QStringList{"<TD text-align: left>Количество</TD><TD>10 (33,33%)</TD><TD>10 (33,33%)</TD>"
                           "<TD>10 (33,33%)</TD><TD>30</TD></TR></TR>",
                           "<h3>Заключение: " + BalancedConclusion + "</h3>"};
        // Rounding takes halves to the even neighbour: mean 2.5 and SD 0.5 give 2 and 0,
        // mean 3.5 and SD 2.5 give 4 and 2, shares of 3.125 % give 3,12.
        QTest::newRow("mean 2.5, SD 0.5") << Run({2, 3}) << 39 << "м" << b147 << QList<int>{2, 0, 0}
            << QList<int>{} << QList<int>{}
            << QStringList{"<TD>Среднее время реакции</TD><TD>2</TD><TD>0</TD><TD>0</TD><TD>2</TD>",
                           "<TD>СКО</TD><TD>0</TD><TD>0</TD><TD>0</TD><TD>0</TD></TR>"};
        QTest::newRow("mean 3.5, SD 2.5, coefficient 57,14") << Run({1, 6}) << 39 << "м" << b147 << QList<int>{2, 0, 0}
            << QList<int>{} << QList<int>{}
            << QStringList{"<TD>Среднее время реакции</TD><TD>4</TD><TD>0</TD><TD>0</TD><TD>4</TD>",
                           "<TD>СКО</TD><TD>2</TD><TD>0</TD><TD>0</TD><TD>2</TD></TR>",
                           "<TD>Коэффициент вариации,%</TD><TD>57,14</TD><TD>0</TD><TD>0</TD><TD>57,14</TD></TR>"};
        QTest::newRow("shares of 3.125 %") << Run(QList<int>{0, -100} + Repeat(30, 100)) << 39 << "м" << b147
            << QList<int>{1, 1, 30} << QList<int>{} << QList<int>{}
            << QStringList{"<TD>1 (3,12%)</TD><TD>1 (3,12%)</TD><TD>30 (93,75%)</TD><TD>32</TD>"};
        // Inside the range of the deviation means strictly below it.
        QTest::newRow("a value equal to the SD is outside it") << Run({10, 30, 10, 30}) << 39 << "м" << b147
            << QList<int>{4, 0, 0} << QList<int>{} << QList<int>{}
            << QStringList{"<TD>СКО</TD><TD>10</TD>", "<TD>Количество в диапазоне СКО</TD><TD>0</TD>",
                           "<TD>Количество вне диапазона СКО</TD><TD>4</TD>"};
        QTest::newRow("a blank presentation amid others") << Run({20, NoValue, -20}) << 39 << "м" << b147
            << QList<int>{2, 0, 0} << QList<int>{} << QList<int>{}
            << QStringList{"<TR><TD><B>1</B></TD><TD>&nbsp20</TD><TD><B>3</B></TD><TD>&nbsp-20</TD></TR>"
                           "<TR><TD><B>2</B></TD><TD>-</TD><TD><B>4</B></TD><TD>-</TD></TR>",
                           "<TD>2 (100%)</TD>"};
    }
    void edgeCases()
    {
        QFETCH(QString, items);
        QFETCH(int, corridor);
        QFETCH(QString, sex);
        QFETCH(QDate, birthday);
        QFETCH(QList<int>, counts);
        QFETCH(QList<int>, bounds);
        QFETCH(QList<int>, bins);
        QFETCH(QStringList, pieces);
        const Score s = ScoreOf(items, corridor, sex, birthday);
        QCOMPARE((QList<int>{s.Classes[ExactClass].Count, s.Classes[LeadClass].Count, s.Classes[LagClass].Count}),
                 counts);
        QCOMPARE(s.Classes[AllClass].Count, counts[0] + counts[1] + counts[2]);
        if (!bounds.isEmpty())
            QCOMPARE(UpperBounds(s), bounds);
        if (!bins.isEmpty())
            QCOMPARE(BinCounts(s), bins);
        // Every deviation lands in a bin.
        const QList<int> inBins = BinCounts(s);
        QCOMPARE(std::accumulate(inBins.begin(), inBins.end(), 0), s.Classes[AllClass].Count);
        for (const QString &piece : pieces)
            QVERIFY2(s.Protocol.contains(piece), qPrintable(piece + "\n  not in\n" + s.Protocol));
    }

    void conclusions_data()
    {
        QTest::addColumn<int>("exact");
        QTest::addColumn<int>("lead");
        QTest::addColumn<int>("lag");
        QTest::addColumn<QString>("conclusion");
        QTest::newRow("exact outnumber both") << 3 << 2 << 2 << BalancedConclusion;
        QTest::newRow("nothing at all") << 0 << 0 << 0 << BalancedConclusion;
        QTest::newRow("only exact, tie with nothing else") << 1 << 0 << 0 << BalancedConclusion;
        QTest::newRow("leads, no lag") << 10 << 10 << 0 << ExcitationConclusion;
        QTest::newRow("lead / lag 1.05") << 0 << 21 << 20 << ExcitationConclusion;
        QTest::newRow("lead / lag below 1.05") << 0 << 104 << 100 << BalancedConclusion;
        QTest::newRow("leads equal lags") << 5 << 5 << 5 << BalancedConclusion;
        QTest::newRow("lag / lead 1.05") << 0 << 20 << 21 << InhibitionConclusion;
        QTest::newRow("lag / lead below 1.05") << 0 << 100 << 104 << BalancedConclusion;
        QTest::newRow("lags, no lead") << 1 << 0 << 1 << InhibitionConclusion;
        QTest::newRow("lags outnumber exact and leads") << 3 << 2 << 4 << InhibitionConclusion;
        QTest::newRow("exact tie with lags, more lags than leads") << 3 << 2 << 3 << InhibitionConclusion;
    }
    void conclusions()
    {
        QFETCH(int, exact);
        QFETCH(int, lead);
        QFETCH(int, lag);
        QFETCH(QString, conclusion);
        QCOMPARE(ConclusionFor(exact, lead, lag), conclusion);
    }

    void corridorFromTheSettingsField_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("corridor");
        QTest::newRow("number") << "50" << 50;
        QTest::newRow("blanks around") << " 45 " << 45;
        QTest::newRow("0") << "0" << 39;
        QTest::newRow("empty") << "" << 39;
        QTest::newRow("not a number") << "4o" << 39;
        QTest::newRow("negative") << "-5" << 39;
        QTest::newRow("three digits") << "999" << 999;
    }
    void corridorFromTheSettingsField()
    {
        QFETCH(QString, text);
        QFETCH(int, corridor);
        QCOMPARE(CorridorOf(text), corridor);
    }

    void chartsHoldDeviationsCorridorAndHistogram()
    {
        const Score s = ScoreOf(Run({-120, NoValue, 0, 300}), 45);
        QCOMPARE(s.Left.Series.size(), size_t(3));
        QCOMPARE(s.Right.Series.size(), size_t(1));
        const ChartSeriesData &bars = s.Left.Series[DeviationSeries];
        const ChartSeriesData &upper = s.Left.Series[UpperCorridorSeries];
        const ChartSeriesData &lower = s.Left.Series[LowerCorridorSeries];
        QCOMPARE(bars.Name, QString("Series3"));
        QCOMPARE(upper.Name, QString("lnsrsSeries1"));
        QCOMPARE(lower.Name, QString("lnsrsSeries2"));
        QCOMPARE(s.Right.Series[HistogramSeries].Name, QString("Series6"));
        // Presentation 2 has no reaction value: no point on any series.
        const QList<double> xs{1, 3, 4}, ds{-120, 0, 300};
        for (int p = 0; p < 3; ++p) {
            QCOMPARE(bars.Points[p].X, xs[p]);
            QCOMPARE(bars.Points[p].Y, ds[p]);
            QCOMPARE(bars.Points[p].Colour, BarColour);
            QCOMPARE(upper.Points[p].X, xs[p]);
            QCOMPARE(upper.Points[p].Y, 45.0);
            QCOMPARE(lower.Points[p].Y, -45.0);
            QCOMPARE(lower.Points[p].Colour, QColor(Qt::red));
        }
        QCOMPARE(bars.Points.size(), size_t(3));
        QCOMPARE(upper.Points.size(), size_t(3));
        QCOMPARE(lower.Points.size(), size_t(3));
        const ChartSeriesData &histogram = s.Right.Series[HistogramSeries];
        QCOMPARE(histogram.Points.size(), size_t(10));
        QCOMPARE(histogram.Points[0].X, -86.0);
        QCOMPARE(histogram.Points[0].Y, 1.0);
        QCOMPARE(histogram.Points[2].X, 2.0);
        QCOMPARE(histogram.Points[2].Y, 1.0);
        QCOMPARE(histogram.Points[9].X, 310.0);
        QCOMPARE(histogram.Points[9].Colour, BarColour);
    }

    void noReactionValueLeavesChartsEmpty()
    {
        const Score s = ScoreOf(Run({NoValue, NoValue, NoValue}));
        QVERIFY(!s.Bins);
        for (const ChartData *chart : {&s.Left, &s.Right})
            for (const ChartSeriesData &series : chart->Series)
                QVERIFY(series.Points.empty());
        QCOMPARE(s.ConclusionText, BalancedConclusion);
        QVERIFY(s.Protocol.contains("<TD>Минимальное время реакции</TD><TD>-</TD><TD>-</TD><TD>-</TD><TD>-</TD></TR></TR>"));
    }

    void nothingToScoreWithoutPresentations()
    {
        QVERIFY(!ScoreRun(RunOf("1350 1800 30 0"), PatientFacts{}, kTestDate, 39, kRussian));
    }

    void nameCannotAddMarkup()
    {
        const auto score = ScoreRun(RunOf(Run({0})), PatientFacts{"<b>Ли & Ко</b>", "ж", QDate(2010, 1, 1)},
                                    kTestDate, 39, kRussian);
        QVERIFY(score);
        QCOMPARE(score->Protocol.count("&lt;b&gt;Ли &amp; Ко&lt;/b&gt;"), 2);
        QVERIFY(!score->Protocol.contains("<b>"));
    }

    void numbersInTheGeneralFormat_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::newRow("comma") << 33.33 << "ru_RU" << "33,33";
        QTest::newRow("point") << 33.33 << "en_US" << "33.33";
        QTest::newRow("whole") << 20.0 << "ru_RU" << "20";
        QTest::newRow("zero") << 0.0 << "ru_RU" << "0";
        QTest::newRow("no trailing zero") << 47.6 << "ru_RU" << "47,6";
        QTest::newRow("no grouping") << 1414.21 << "ru_RU" << "1414,21";
        QTest::newRow("hundredths from a product") << 3333 * 0.01 << "ru_RU" << "33,33";
    }
    void numbersInTheGeneralFormat()
    {
        QFETCH(double, value);
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QCOMPARE(FormatNumber(value, QLocale(locale)), text);
    }
};

QTEST_GUILESS_MAIN(TestMovingScore)
#include "test_movingscore.moc"
