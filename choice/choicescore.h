#pragma once
// Scoring of a choice reaction run: the outcome of each presentation, the counts, mean
// times, spreads and coefficients, the age norms and the conclusion, the two result
// charts and the protocol. No widgets: the test window shows what this computes.
#include <QByteArray>
#include <QDate>
#include <QLocale>
#include <QString>
#include <array>
#include <optional>
#include <vector>

#include "records/chartdata.h"
#include "common/config.h"
#include "common/patientfacts.h"
#include "common/testrun.h"

namespace vel::choice {

// Stimulus colours of the protocol's presentation table.
inline const QString GreenName = QStringLiteral("зеленый");
inline const QString RedName = QStringLiteral("красный");

// Bar colours of the four outcome classes, as on the window's legend.
inline const QColor OmissionColour{0xFF, 0xFF, 0xFF};   // white, "пропуск"
inline const QColor WrongColour{0xFF, 0x00, 0x00};      // red, "неправильная реакция"
inline const QColor CorrectColour{0x00, 0xFF, 0x00};    // lime, "правильная реакция"
inline const QColor DoubletColour{0xFF, 0xFF, 0x00};    // yellow, "дуплет"

// Series of each result chart, in the chart's order: the four class bar series, then the
// lower and upper norm lines.
enum ChartSeriesIndex {
    WrongSeries = 0,
    DoubletSeries = 1,
    OmissionSeries = 2,
    CorrectSeries = 3,
    LowerNormSeries = 4,
    UpperNormSeries = 5,
    ChartSeriesCount = 6
};

// One presentation of a run. Code: 4 for a red stimulus (kind 2; any other kind is
// green), plus 2 when the left hand answered in time, plus 1 when the right hand did.
// L and R are the scored times (stored time - BaseTime, unsigned 16-bit); a hand answered
// in time when its scored time is above 0 and below AnswerTime.
struct Presentation {
    int Code = 0;
    int L = 0;
    int R = 0;
    int MinLR = 0;
    QString LeftText;    // L in decimal when the left hand answered in time, else empty
    QString RightText;   // likewise for R
    QString ColourName;  // GreenName or RedName; empty outside 1..DoneCount
};

// Presentation i of the run; outside 1..DoneCount code 0 with every text empty.
Presentation ClassifyPresentation(const TTestRun &run, int i);

struct NormBand {
    int Lower = 0;   // ms
    int Upper = 0;   // ms
};

// The norms of the mean correct reaction time by age in whole months.
NormBand NormsForAge(int months);

// The conclusion for the mean correct reaction time M against the band.
QString ConclusionFor(int mean, const NormBand &band);

// The conclusion when the patient's birthday is unknown and no norm applies.
inline const QString NoAgeConclusion =
    QStringLiteral("сравнение с нормой невозможно: нет даты рождения");

// A coefficient with exactly three decimals and a point ("0.867").
QString FormatCoefficient(double value);

struct Score {
    std::vector<Presentation> Presentations;   // presentation i at index i - 1
    std::array<int, 8> Counts{};               // presentations of each outcome code
    int ErrorsGreen = 0;                       // omissions, doublets and wrong reactions
    int ErrorsRed = 0;

    // Mean scored times, rounded; "left" is the column "зеленый", "right" "красный".
    int CorrectLeftMean = 0, CorrectRightMean = 0;
    int WrongLeftMean = 0, WrongRightMean = 0;
    int AllLeftMean = 0, AllRightMean = 0;
    int WrongLeftCount = 0, WrongRightCount = 0;   // erroneous reactions of each hand
    int LeftDeviation = 0, RightDeviation = 0;     // standard deviations, rounded

    double TimeCoefficient = 0;        // "по времени реакций"
    double AsymmetryCoefficient = 0;   // "по асимметрии ошибок"
    double ChoiceCoefficient = 0;      // "коэффициент реакции выбора"

    int AgeMonths = -1;                // -1: birthday unknown
    std::optional<NormBand> Norms;     // none when the age is unknown
    int ConclusionMean = 0;            // M, the mean of the two correct means
    QString ConclusionText;            // what the test record stores in PSYFINAL

    QString PatientName, AgeText, SexText, DateText;

    ChartData Left;    // chtL: reactions to the green stimulus
    ChartData Right;   // chtR: reactions to the red stimulus

    QString Protocol;  // the HTML protocol, one line
    // What the result browser loads: the protocol and CR LF in code page 1251.
    QByteArray ProtocolBytes() const;
};

// Scores presentations 1..DoneCount. Nothing to score (DoneCount 0) gives no result:
// the window then keeps its charts, page and conclusion as they are. The date text of
// the protocol is the test date in the locale's short date format.
std::optional<Score> ScoreRun(const TTestRun &run, const PatientFacts &patient,
                              const QDate &testDate,
                              const QLocale &locale = Config().AppFormatSettings);

// The empty result charts with their series in order; left is chtL, else chtR.
ChartData EmptyResultChart(bool left);

// Adds presentation i to both charts: on the class series of the colour (red wrong,
// yellow doublet, white omission, lime correct) the point (i, leftValue) on chtL and
// (i, rightValue) on chtR in that colour; on the other three bar series of both charts
// (i, 0) in the series' own colour.
void AddOutcomeBar(ChartData &left, ChartData &right, int i, int leftValue, int rightValue,
                   const QColor &colour);

} // namespace vel::choice
