// Scoring of the choice reaction test: outcomes, figures, norms, charts and protocol. The
// hand-written protocols of the fixtures are checked with the moving-object test's in
// tests/run.
#include <QtTest>

#include "choice/choiceprotocol.h"
#include "choice/choicescore.h"
#include "records/datapsy.h"
#include "common/text.h"
#include "tests/support/protocolfixtures.h"

using namespace vel;
using namespace vel::choice;

namespace {

const QLocale kRussian(QStringLiteral("ru_RU"));

// A run written as its raw data: "BaseTime AnswerTime PlanCount DoneCount SL left right ...".
TTestRun RunOf(const QString &items)
{
    TTestRun run;
    QString error;
    if (!LoadDataPsy(items, TestType::Choice, run, error))
        qFatal("bad run in a test: %s", qPrintable(error));
    return run;
}

Score ScoreOf(const QString &items, const QDate &birthday = QDate(2010, 5, 1),
              const QDate &testDate = QDate(2020, 9, 1))
{
    const auto score = ScoreRun(RunOf(items), PatientFacts{"Тестов Тест", "м", birthday}, testDate, kRussian);
    if (!score)
        qFatal("nothing scored");
    return *score;
}

} // namespace

class TestChoiceScore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void classifiesPresentations_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("left");    // stored times, BaseTime and AnswerTime 1000
        QTest::addColumn<int>("right");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("leftText");
        QTest::addColumn<QString>("rightText");
        QTest::addColumn<QString>("colour");
        QTest::newRow("green omission") << 1 << 3150 << 3150 << 0 << "" << "" << GreenName;
        QTest::newRow("green wrong") << 1 << 3150 << 1520 << 1 << "" << "520" << GreenName;
        QTest::newRow("green correct") << 1 << 1562 << 3150 << 2 << "562" << "" << GreenName;
        QTest::newRow("green doublet") << 1 << 1600 << 1700 << 3 << "600" << "700" << GreenName;
        QTest::newRow("red omission") << 2 << 3150 << 3150 << 4 << "" << "" << RedName;
        QTest::newRow("red correct") << 2 << 3150 << 1450 << 5 << "" << "450" << RedName;
        QTest::newRow("red wrong") << 2 << 1480 << 3150 << 6 << "480" << "" << RedName;
        QTest::newRow("red doublet") << 2 << 1600 << 1600 << 7 << "600" << "600" << RedName;
        QTest::newRow("kind 0 is green") << 0 << 1562 << 3150 << 2 << "562" << "" << GreenName;
        QTest::newRow("answer time 0 never counts") << 1 << 1000 << 3150 << 0 << "" << "" << GreenName;
        QTest::newRow("999 counts") << 1 << 1999 << 3150 << 2 << "999" << "" << GreenName;
        QTest::newRow("1000 is too late") << 1 << 2000 << 3150 << 0 << "" << "" << GreenName;
        QTest::newRow("console ceiling is too late") << 2 << 3150 << 2149 << 4 << "" << "" << RedName;
        QTest::newRow("below BaseTime wraps") << 1 << 999 << 3150 << 0 << "" << "" << GreenName;
    }
    void classifiesPresentations()
    {
        QFETCH(int, kind);
        QFETCH(int, left);
        QFETCH(int, right);
        QFETCH(int, code);
        QFETCH(QString, leftText);
        QFETCH(QString, rightText);
        QFETCH(QString, colour);
        TTestRun run = RunOf("1000 1000 1 1 S0 0 0");
        run.Kinds[1] = uint8_t(kind);
        run.LeftTimes[1] = uint16_t(left);
        run.RightTimes[1] = uint16_t(right);
        const Presentation p = ClassifyPresentation(run, 1);
        QCOMPARE(p.Code, code);
        QCOMPARE(p.LeftText, leftText);
        QCOMPARE(p.RightText, rightText);
        QCOMPARE(p.ColourName, colour);
        QCOMPARE(p.MinLR, qMin(p.L, p.R));
    }

    void outsideTheRunIsEmpty()
    {
        const TTestRun run = RunOf("1000 1000 2 2 SR 1500 1500 SR 1500 1500");
        for (int i : {0, -1, 3, 201}) {
            const Presentation p = ClassifyPresentation(run, i);
            QCOMPARE(p.Code, 0);
            QVERIFY(p.LeftText.isEmpty() && p.RightText.isEmpty() && p.ColourName.isEmpty());
        }
    }

    void judgesAgainstAgeNorms_data()
    {
        QTest::addColumn<QString>("run");
        QTest::addColumn<QDate>("birthday");
        QTest::addColumn<QDate>("testDate");
        QTest::addColumn<int>("months");
        QTest::addColumn<int>("mean");
        QTest::addColumn<QString>("conclusion");
        QTest::addColumn<QString>("ageText");
        const QString correct581and582 = "1000 1000 2 2 SL 1581 3150 SR 3150 1582";
        const QString correct620 = "1000 1000 2 2 SL 1620 3150 SR 3150 1620";
        QTest::newRow("581.5 rounds to 582, inside the band")
            << correct581and582 << QDate(2013, 1, 10) << QDate(2019, 9, 20) << 80 << 582
            << "нервные процессы в норме" << "6 лет 8 месяцев";
        QTest::newRow("716.5 rounds to 716, inside the band")
            << "1000 1000 2 2 SL 1716 3150 SR 3150 1717" << QDate(2013, 1, 10) << QDate(2019, 9, 20) << 80
            << 716 << "нервные процессы в норме" << "6 лет 8 месяцев";
        QTest::newRow("90 months: 582-716")
            << correct620 << QDate(2010, 1, 1) << QDate(2017, 8, 1) << 90 << 620 << "нервные процессы в норме"
            << "7 лет 6 месяцев";
        QTest::newRow("91 months: 408-604")
            << correct620 << QDate(2010, 1, 1) << QDate(2017, 8, 2) << 91 << 620
            << "инертность нервных процессов" << "7 лет 7 месяцев";
        QTest::newRow("whole years") << correct620 << QDate(2010, 1, 1) << QDate(2018, 1, 1) << 96 << 620
                                     << "инертность нервных процессов" << "8 лет ";
        QTest::newRow("birthday after the test date")
            << correct620 << QDate(2020, 9, 1) << QDate(2010, 5, 1) << 124 << 620
            << "инертность нервных процессов" << "10 лет 4 месяцев";
        QTest::newRow("no birthday") << correct620 << QDate() << QDate(2017, 8, 1) << -1 << 620
                                     << NoAgeConclusion << "не указан";
    }
    void judgesAgainstAgeNorms()
    {
        QFETCH(QString, run);
        QFETCH(QDate, birthday);
        QFETCH(QDate, testDate);
        QFETCH(int, months);
        QFETCH(int, mean);
        QFETCH(QString, conclusion);
        QFETCH(QString, ageText);
        const Score score = ScoreOf(run, birthday, testDate);
        QCOMPARE(score.AgeMonths, months);
        QCOMPARE(score.ConclusionMean, mean);
        QCOMPARE(score.ConclusionText, conclusion);
        QCOMPARE(score.AgeText, ageText);
        QVERIFY(score.Protocol.contains("<h3>Возраст: " + ageText + ";"));
        QVERIFY(score.Protocol.contains("<h3>Заключение:" + conclusion + "</h3>"));
    }

    void normBands_data()
    {
        QTest::addColumn<int>("months");
        QTest::addColumn<int>("lower");
        QTest::addColumn<int>("upper");
        QTest::newRow("0") << 0 << 582 << 716;
        QTest::newRow("90") << 90 << 582 << 716;
        QTest::newRow("91") << 91 << 408 << 604;
        QTest::newRow("150") << 150 << 408 << 604;
        QTest::newRow("151") << 151 << 363 << 493;
        QTest::newRow("198") << 198 << 363 << 493;
        QTest::newRow("199") << 199 << 332 << 434;
    }
    void normBands()
    {
        QFETCH(int, months);
        QFETCH(int, lower);
        QFETCH(int, upper);
        const NormBand band = NormsForAge(months);
        QCOMPARE(band.Lower, lower);
        QCOMPARE(band.Upper, upper);
        QCOMPARE(ConclusionFor(lower, band), QString("нервные процессы в норме"));
        QCOMPARE(ConclusionFor(upper, band), QString("нервные процессы в норме"));
        QCOMPARE(ConclusionFor(lower - 1, band), QString("подвижность нервных процессов"));
        QCOMPARE(ConclusionFor(upper + 1, band), QString("инертность нервных процессов"));
    }

    void doubletsCountOnTheFasterHand_data()
    {
        QTest::addColumn<QString>("run");
        QTest::addColumn<int>("wrongLeft");    // count
        QTest::addColumn<int>("wrongRight");
        QTest::addColumn<int>("wrongLeftMean");
        QTest::addColumn<int>("wrongRightMean");
        QTest::newRow("equal times: right") << "1000 1000 1 1 SL 1500 1500" << 0 << 1 << 0 << 500;
        QTest::newRow("left faster") << "1000 1000 1 1 SR 1400 1450" << 1 << 0 << 400 << 0;
        QTest::newRow("right faster") << "1000 1000 1 1 SL 1550 1450" << 0 << 1 << 0 << 450;
    }
    void doubletsCountOnTheFasterHand()
    {
        QFETCH(QString, run);
        QFETCH(int, wrongLeft);
        QFETCH(int, wrongRight);
        QFETCH(int, wrongLeftMean);
        QFETCH(int, wrongRightMean);
        const Score score = ScoreOf(run);
        QCOMPARE(score.WrongLeftCount, wrongLeft);
        QCOMPARE(score.WrongRightCount, wrongRight);
        QCOMPARE(score.WrongLeftMean, wrongLeftMean);
        QCOMPARE(score.WrongRightMean, wrongRightMean);
        // A doublet is an error of its stimulus's colour and lowers the time coefficient.
        QCOMPARE(score.ErrorsGreen + score.ErrorsRed, 1);
        QCOMPARE(score.TimeCoefficient, 0.0);
    }

    void coefficientTexts_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("choiceText");
        QTest::newRow("zero") << 0.0 << "0.000" << "нет ошибок";
        QTest::newRow("one") << 1.0 << "1.000" << "1.000";
        QTest::newRow("7/5") << 1.4 << "1.400" << "1.400";
        QTest::newRow("1/7") << 1.0 / 7 << "0.143" << "0.143";
        QTest::newRow("2/3") << 2.0 / 3 << "0.667" << "0.667";
        QTest::newRow("exact half away from zero") << 17.0 / 16 << "1.063" << "1.063";
    }
    void coefficientTexts()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QFETCH(QString, choiceText);
        // The point is the protocol's own, whatever the locale.
        QLocale::setDefault(QLocale(QLocale::German));
        QCOMPARE(FormatCoefficient(value), text);
        QCOMPARE(ChoiceCoefficientText(value), choiceText);
        QLocale::setDefault(QLocale::system());
    }

    void chartsHoldOnePointPerPresentation()
    {
        // The mixed fixture: 1 green correct 562, 2 red correct 450, 3 green omission,
        // 4 red doublet 600/700, 5 green wrong 520, 6 red wrong 480, 7 green doublet 640/640.
        const Score score = ScoreOf(FromCp1251(protocolfixtures::ReadBytes("choice", "mixed.datapsy")));
        const QStringList leftNames{"brsrs2", "Series1", "Series2", "Series3", "Series7", "Series9"};
        const QStringList rightNames{"brsrs1", "Series4", "Series5", "Series6", "Series8", "Series10"};
        for (const auto &[chart, names] : {std::pair{&score.Left, leftNames}, std::pair{&score.Right, rightNames}}) {
            QCOMPARE(int(chart->Series.size()), int(ChartSeriesCount));
            QCOMPARE(chart->AxisMin, 0.0);
            QCOMPARE(chart->AxisMax, 1000.0);
            for (int s = 0; s < ChartSeriesCount; ++s) {
                const ChartSeriesData &series = chart->Series[s];
                QCOMPARE(series.Name, names[s]);
                QCOMPARE(int(series.Points.size()), 7);
                for (int i = 0; i < 7; ++i)
                    QCOMPARE(series.Points[i].X, double(i + 1));
            }
            QCOMPARE(chart->Series[LowerNormSeries].Shape, SeriesShape::Line);
            QCOMPARE(chart->Series[LowerNormSeries].Points[6].Y, 408.0);
            QCOMPARE(chart->Series[UpperNormSeries].Points[0].Y, 604.0);
        }
        // Where each presentation's bar stands: chart, series, point index, height, colour.
        struct Bar { const ChartData *chart; int series; int index; double y; QColor colour; };
        const Bar bars[] = {
            {&score.Left, CorrectSeries, 0, 562, CorrectColour},
            {&score.Right, CorrectSeries, 1, 450, CorrectColour},
            {&score.Left, OmissionSeries, 2, 1000, OmissionColour},
            {&score.Right, DoubletSeries, 3, 600, DoubletColour},
            {&score.Left, WrongSeries, 4, 520, WrongColour},
            {&score.Right, WrongSeries, 5, 480, WrongColour},
            {&score.Left, DoubletSeries, 6, 640, DoubletColour},
        };
        for (const Bar &bar : bars) {
            const ChartPoint &p = bar.chart->Series[bar.series].Points[bar.index];
            QCOMPARE(p.Y, bar.y);
            QCOMPARE(p.Colour, bar.colour);
            // The same presentation stands at 0 everywhere else.
            double elsewhere = 0;
            for (const ChartData *chart : {&score.Left, &score.Right})
                for (int s = WrongSeries; s <= CorrectSeries; ++s)
                    if (chart != bar.chart || s != bar.series)
                        elsewhere += chart->Series[s].Points[bar.index].Y;
            QCOMPARE(elsewhere, 0.0);
        }
        QCOMPARE(score.Left.Series[CorrectSeries].Points[0].Colour, CorrectColour);
        QCOMPARE(score.Left.Series[WrongSeries].Points[0].Colour, score.Left.Series[WrongSeries].Colour);
    }

    void noNormLinesWithoutBirthday()
    {
        const Score score = ScoreOf("1000 1000 1 1 SL 1500 3150", QDate());
        QVERIFY(!score.Norms);
        QVERIFY(score.Left.Series[LowerNormSeries].Points.empty());
        QVERIFY(score.Right.Series[UpperNormSeries].Points.empty());
    }

    void nothingToScoreWithoutPresentations()
    {
        QVERIFY(!ScoreRun(RunOf("1000 1000 30 0"), PatientFacts{}, QDate(2020, 1, 1), kRussian));
    }

    void nameCannotAddMarkup()
    {
        const auto score = ScoreRun(RunOf("1000 1000 1 1 SL 1500 3150"),
                                    PatientFacts{"<b>Ли & Ко</b>", "ж", QDate(2010, 1, 1)},
                                    QDate(2020, 1, 1), kRussian);
        QVERIFY(score);
        QCOMPARE(score->Protocol.count("&lt;b&gt;Ли &amp; Ко&lt;/b&gt;"), 2);
        QVERIFY(!score->Protocol.contains("<b>"));
    }

    void sexText_data()
    {
        QTest::addColumn<QString>("sex");
        QTest::addColumn<QString>("text");
        QTest::newRow("м") << "м" << "мужской";
        QTest::newRow("capital М") << "М" << "мужской";
        QTest::newRow("padded") << " м " << "мужской";
        QTest::newRow("ж") << "ж" << "женский";
        QTest::newRow("empty") << "" << "женский";
        QTest::newRow("latin m") << "m" << "женский";
    }
    void sexText()
    {
        QFETCH(QString, sex);
        QFETCH(QString, text);
        QCOMPARE(SexText(sex), text);
    }
};

QTEST_GUILESS_MAIN(TestChoiceScore)
#include "test_choicescore.moc"
