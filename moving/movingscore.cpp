#include "moving/movingscore.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "moving/movingprotocol.h"
#include "common/mathutil.h"
#include "records/protocolhtml.h"

namespace vel::moving {

namespace {

// Whole part toward zero of x / 10, times 10: -65 gives -60, 65 gives 60.
int TruncTens(int x) { return x / 10 * 10; }

// num / den rounded to the nearest whole number, halves to even. The sums are whole
// numbers, so an exact half is exactly representable and the division gives it exactly.
double RoundedRatio(qint64 num, qint64 den)
{
    return double(RoundHalfEven(SafeDiv(double(num), double(den))));
}

// The standard deviation about the mean, rounded: sqrt(sum (a - S/N)^2 / N), computed as
// sqrt(N * sum a^2 - S^2) / N from the whole-number sums so that no rounding of the mean
// can move a value across a half.
int RoundedDeviation(const ClassStats &c)
{
    if (c.Count == 0)
        return 0;
    const qint64 scaled = qint64(c.Count) * c.SumOfSquares - c.Sum * c.Sum;
    return int(RoundHalfEven(std::sqrt(double(scaled)) / c.Count));
}

ChartSeriesData Series(const QString &name, SeriesShape shape, const QColor &colour)
{
    ChartSeriesData series;
    series.Name = name;
    series.Shape = shape;
    series.Colour = colour;   // invalid: the chart's own colour
    return series;
}

void AddMember(ClassStats &c, int a)
{
    ++c.Count;
    c.Sum += a;
    c.SumOfSquares += qint64(a) * a;
}

void Extend(ClassStats &c, int value)
{
    c.Min = c.Min ? std::min(*c.Min, value) : value;
    c.Max = c.Max ? std::max(*c.Max, value) : value;
}

} // namespace

int CorridorOf(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok && value > 0 ? value : DefaultCorridorMs;
}

ReactionClass ClassOf(int deviation, int corridor)
{
    if (std::abs(deviation) <= corridor)
        return ExactClass;
    return deviation < 0 ? LeadClass : LagClass;
}

int ReactionValue(const TTestRun &run, int i)
{
    if (i < 1 || i > run.DoneCount || i > MaxPresentations)
        return 0;
    return run.LeftTimes[i] != 0 ? run.LeftTimes[i] : run.RightTimes[i];
}

std::optional<int> ClassStats::Range() const
{
    if (!Min || !Max)
        return std::nullopt;
    return *Max - *Min;
}

Histogram Histogram::For(int dmin, int dmax)
{
    Histogram h;
    const int span = TruncTens(std::abs(dmin)) + TruncTens(std::abs(dmax)) + 20;
    const int step = span / 10;
    const int start = TruncTens(dmin) - 10;
    for (int k = 0; k <= BinCount; ++k)
        h.Bounds[k] = start + k * step;
    return h;
}

int Histogram::BinOf(int d) const
{
    for (int k = 1; k <= BinCount; ++k)
        if (Bounds[k - 1] <= d && d <= Bounds[k])
            return k;
    return 0;
}

QString ConclusionFor(int exact, int lead, int lag)
{
    if (exact > lead && exact > lag)
        return BalancedConclusion;
    if (lag == 0)
        return lead > 0 ? ExcitationConclusion : BalancedConclusion;
    // lead / lag >= 1.05 and lag / lead >= 1.05, in whole numbers.
    if (lead > 0 && 20 * lead >= 21 * lag)
        return ExcitationConclusion;
    if (lead == 0 || 20 * lag >= 21 * lead)
        return InhibitionConclusion;
    return BalancedConclusion;
}

ChartData EmptyResultChart(bool left)
{
    ChartData chart;
    if (left) {
        chart.Series.push_back(Series(QStringLiteral("Series3"), SeriesShape::Bar, BarColour));
        chart.Series.push_back(Series(QStringLiteral("lnsrsSeries1"), SeriesShape::Line, QColor()));
        chart.Series.push_back(Series(QStringLiteral("lnsrsSeries2"), SeriesShape::Line, Qt::red));
    } else {
        chart.Series.push_back(Series(QStringLiteral("Series6"), SeriesShape::Bar, BarColour));
        // Bin bounds in ms: one slot per bin, whatever their values.
        chart.ByCategory = true;
    }
    return chart;
}

QByteArray Score::ProtocolBytes() const { return protocol::PageBytes(Protocol); }

std::optional<Score> ScoreRun(const TTestRun &run, const PatientFacts &patient,
                              const QDate &testDate, int corridor, const QLocale &locale)
{
    const int n = std::min<int>(run.DoneCount, MaxPresentations);
    if (n == 0)
        return std::nullopt;

    Score s;
    s.Corridor = corridor;
    s.Left = EmptyResultChart(true);
    s.Right = EmptyResultChart(false);
    auto &classes = s.Classes;
    ClassStats &all = classes[AllClass];

    // Counts, sums and extremes; the deviation bars with the corridor lines.
    for (int i = 1; i <= n; ++i) {
        const int r = ReactionValue(run, i);
        if (r == 0) {
            s.Deviations.push_back(std::nullopt);
            continue;
        }
        const int d = r - run.BaseTime;
        const int a = std::abs(d);
        s.Deviations.push_back(d);
        AddMember(all, a);
        Extend(all, d);
        const ReactionClass c = ClassOf(d, corridor);
        AddMember(classes[c], a);
        if (c != ExactClass)
            Extend(classes[c], a);
        auto point = [i](ChartSeriesData &series, double y) {
            series.Points.push_back({double(i), y, series.Colour});
        };
        point(s.Left.Series[DeviationSeries], d);
        point(s.Left.Series[UpperCorridorSeries], corridor);
        point(s.Left.Series[LowerCorridorSeries], -corridor);
    }

    for (ClassStats &c : classes) {
        c.Mean = SafeDiv(double(c.Sum), c.Count);
        c.Deviation = RoundedDeviation(c);
        // Deviation / Mean x 100 = Deviation x Count x 100 / Sum, to hundredths.
        c.Variation = RoundedRatio(qint64(c.Deviation) * c.Count * 10000, c.Sum) / 100;
        c.Share = RoundedRatio(qint64(c.Count) * 10000, all.Count) / 100;
    }

    // Histogram bins, and each member inside or outside the deviation of its classes.
    if (all.Min) {
        s.Bins = Histogram::For(*all.Min, *all.Max);
        for (const std::optional<int> &d : s.Deviations) {
            if (!d)
                continue;
            ++s.Bins->Counts[s.Bins->BinOf(*d)];
            const int a = std::abs(*d);
            for (ClassStats *c : {&all, &classes[ClassOf(*d, corridor)]})
                ++(a < c->Deviation ? c->Within : c->Outside);
        }
        ChartSeriesData &bars = s.Right.Series[HistogramSeries];
        for (int k = 1; k <= Histogram::BinCount; ++k)
            bars.Points.push_back({double(s.Bins->Bounds[k]), double(s.Bins->Counts[k]), bars.Colour});
    }

    s.ConclusionText = ConclusionFor(classes[ExactClass].Count, classes[LeadClass].Count,
                                     classes[LagClass].Count);
    s.PatientName = patient.Name;
    s.AgeText = AgeText(AgeInMonths(patient.Birthday, testDate));
    s.SexText = SexText(patient.Sex);
    s.DateText = locale.toString(testDate, QLocale::ShortFormat);
    s.Protocol = BuildProtocol(run, s, locale);
    return s;
}

} // namespace vel::moving
