#pragma once
// Scoring of a moving-object reaction run: each press against the moment the bar reaches
// the green line (BaseTime), the exact, lead and lag classes with their statistics, the
// histogram of the deviations, the conclusion about the balance of the nervous
// processes, the two result charts and the protocol. No widgets: TFormRDO shows what
// this computes.
//
// Terms. The reaction value r(i) of presentation i is LeftTimes[i] when not 0, else
// RightTimes[i]; a presentation with r(i) = 0 (possible only in stored data) is shown in
// the protocol's presentation table as "-" and takes part in nothing else. The deviation
// is d = r(i) - BaseTime (negative: pressed before the bar reached the line), its
// magnitude a = |d|. With the corridor C: a <= C is exact, a larger lead when d < 0,
// a larger lag when d > 0.
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

namespace vel::moving {

// The corridor of exact reactions when the settings field gives none.
inline constexpr int DefaultCorridorMs = 39;

// The corridor from the text of its settings field (blanks around ignored): its whole
// number; "0", an empty text, a text that is not a whole number and a negative number
// give DefaultCorridorMs. A negative corridor would leave a press right on the line in no
// class at all.
int CorridorOf(const QString &text);

enum ReactionClass { ExactClass = 0, LeadClass = 1, LagClass = 2, AllClass = 3, ClassCount = 4 };

// The class of one deviation: ExactClass, LeadClass or LagClass.
ReactionClass ClassOf(int deviation, int corridor);

// r(i); 0 outside 1..DoneCount.
int ReactionValue(const TTestRun &run, int i);

// The statistics of one class over the magnitudes a of its members.
struct ClassStats {
    int Count = 0;
    qint64 Sum = 0;
    qint64 SumOfSquares = 0;
    // Smallest and largest member: of a for lead and lag, of the signed d for the class
    // "все"; none for an empty class (and never shown for the exact class).
    std::optional<int> Min, Max;
    double Mean = 0;        // Sum / Count; 0 for an empty class
    int Deviation = 0;      // standard deviation about Mean, rounded; 0 for an empty class
    int Within = 0;         // members with a < Deviation
    int Outside = 0;        // members with a >= Deviation
    double Variation = 0;   // Deviation / Mean x 100 to 2 decimals; 0 when Mean is 0
    double Share = 0;       // Count / count of "все" x 100 to 2 decimals; 0 without members

    std::optional<int> Range() const;
};

// Ten bins over the deviations of the class "все". Bounds[0] is the start, Bounds[k] the
// upper bound of bin k; bin k holds U(k-1) <= d <= U(k), a value on a bound going to the
// lower bin. The bounds always enclose the deviations they were made for.
struct Histogram {
    static constexpr int BinCount = 10;
    std::array<int, BinCount + 1> Bounds{};
    std::array<int, BinCount + 1> Counts{};   // bin k at index k; index 0 unused

    // The bins for deviations from dmin to dmax, all empty.
    static Histogram For(int dmin, int dmax);
    // The first bin that holds d; 0 when none does.
    int BinOf(int d) const;
};

// The three conclusions, by the counts of exact, lead and lag reactions. Exact reactions
// outnumbering both others mean balance; otherwise the ratio of leads to lags decides,
// a difference below 5 % counting as balance.
inline const QString BalancedConclusion = QStringLiteral("уравновешенность нервных процессов");
inline const QString ExcitationConclusion = QStringLiteral(
    "неуравновешенность нервных процессов с преобладанием силы процесса возбуждения");
inline const QString InhibitionConclusion = QStringLiteral(
    "неуравновешенность нервных процессов с преобладанием силы процесса торможения");
QString ConclusionFor(int exact, int lead, int lag);

// Series of the result charts, in the charts' order.
enum LeftSeriesIndex { DeviationSeries = 0, UpperCorridorSeries = 1, LowerCorridorSeries = 2 };
enum RightSeriesIndex { HistogramSeries = 0 };
inline const QColor BarColour{0x00, 0xFF, 0x80};

// The empty result charts with their series in order; left is chtL (Series3 bars,
// lnsrsSeries1 and the red lnsrsSeries2 lines), else chtR (Series6 bars, one slot per
// bin).
ChartData EmptyResultChart(bool left);

struct Score {
    int Corridor = DefaultCorridorMs;
    // Deviation of presentation i at index i - 1; none when r(i) is 0.
    std::vector<std::optional<int>> Deviations;
    std::array<ClassStats, ClassCount> Classes;
    std::optional<Histogram> Bins;   // none when no presentation has a reaction value
    QString ConclusionText;          // what the test record stores in PSYFINAL

    QString PatientName, AgeText, SexText, DateText;

    // chtL: (i, d) bars with the corridor lines (i, C) and (i, -C); chtR: (U(k), count of
    // bin k) for k = 1..10. Every point in its series' own colour.
    ChartData Left, Right;

    QString Protocol;   // the HTML protocol, one line
    // What the result browser loads: the protocol and CR LF in code page 1251.
    QByteArray ProtocolBytes() const;
};

// Scores presentations 1..DoneCount with the corridor in ms. Nothing to score
// (DoneCount 0) gives no result: the window then keeps its charts, page and conclusion
// as they are. Date text and decimal separator are the locale's.
std::optional<Score> ScoreRun(const TTestRun &run, const PatientFacts &patient,
                              const QDate &testDate, int corridor,
                              const QLocale &locale = Config().AppFormatSettings);

} // namespace vel::moving
