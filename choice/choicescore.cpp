#include "choice/choicescore.h"

#include <algorithm>
#include <cmath>

#include "choice/choiceprotocol.h"
#include "common/mathutil.h"
#include "records/protocolhtml.h"

namespace vel::choice {

namespace {

// Norm lines of both charts.
const QColor kNormLineColour{0x40, 0x00, 0x40};
constexpr int kNormLineWidth = 2;
// Own colour of the correct-reaction series; its reactions are drawn lime.
const QColor kCorrectSeriesColour{0x00, 0xFF, 0x80};

bool InTime(int scored, int answerTime) { return scored > 0 && scored < answerTime; }

// A sum of scored times and how many went into it.
struct TimeSum {
    qint64 Total = 0;
    int Count = 0;
    void Add(int value)
    {
        Total += value;
        ++Count;
    }
    int Mean() const { return static_cast<int>(RoundHalfEven(SafeDiv(Total, Count))); }
};

// The same for squared deviations.
struct SquareSum {
    double Total = 0;
    int Count = 0;
    void Add(double deviation)
    {
        Total += deviation * deviation;
        ++Count;
    }
    int Deviation() const
    {
        return static_cast<int>(RoundHalfEven(std::sqrt(SafeDiv(Total, Count))));
    }
};

// The bar that a presentation adds: its height on chtL and on chtR and its class colour.
struct OutcomeBar {
    int Left = 0;
    int Right = 0;
    QColor Colour;
};

OutcomeBar BarOf(const Presentation &p, int answerTime)
{
    switch (p.Code) {
    case 0: return {answerTime, 0, OmissionColour};
    case 1: return {p.R, 0, WrongColour};
    case 2: return {p.L, 0, CorrectColour};
    case 3: return {p.MinLR, 0, DoubletColour};
    case 4: return {0, answerTime, OmissionColour};
    case 5: return {0, p.R, CorrectColour};
    case 6: return {0, p.L, WrongColour};
    default: return {0, p.MinLR, DoubletColour};
    }
}

int ClassSeriesOf(const QColor &colour)
{
    if (colour == WrongColour)
        return WrongSeries;
    if (colour == DoubletColour)
        return DoubletSeries;
    if (colour == OmissionColour)
        return OmissionSeries;
    return CorrectSeries;
}

ChartSeriesData Series(const QString &name, SeriesShape shape, const QColor &colour,
                       Qt::BrushStyle pattern = Qt::SolidPattern, int lineWidth = 1)
{
    ChartSeriesData series;
    series.Name = name;
    series.Shape = shape;
    series.Colour = colour;
    series.Pattern = pattern;
    series.LineWidth = lineWidth;
    return series;
}

} // namespace

Presentation ClassifyPresentation(const TTestRun &run, int i)
{
    Presentation p;
    if (i < 1 || i > run.DoneCount || i > MaxPresentations)
        return p;
    // Scored times are unsigned 16-bit differences: a stored time below BaseTime wraps
    // to a large value and never counts as in time.
    p.L = static_cast<uint16_t>(run.LeftTimes[i] - run.BaseTime);
    p.R = static_cast<uint16_t>(run.RightTimes[i] - run.BaseTime);
    p.MinLR = std::min(p.L, p.R);
    const bool red = run.Kinds[i] == 2;
    const bool leftInTime = InTime(p.L, run.AnswerTime);
    const bool rightInTime = InTime(p.R, run.AnswerTime);
    p.Code = (red ? 4 : 0) + (leftInTime ? 2 : 0) + (rightInTime ? 1 : 0);
    if (leftInTime)
        p.LeftText = QString::number(p.L);
    if (rightInTime)
        p.RightText = QString::number(p.R);
    p.ColourName = red ? RedName : GreenName;
    return p;
}

NormBand NormsForAge(int months)
{
    if (months <= 90)
        return {582, 716};
    if (months <= 150)
        return {408, 604};
    if (months <= 198)
        return {363, 493};
    return {332, 434};
}

QString ConclusionFor(int mean, const NormBand &band)
{
    if (mean < band.Lower)
        return QStringLiteral("подвижность нервных процессов");
    if (mean > band.Upper)
        return QStringLiteral("инертность нервных процессов");
    return QStringLiteral("нервные процессы в норме");
}

QString FormatCoefficient(double value)
{
    // QString::number does not follow the locale: the separator is always a point.
    return QString::number(value, 'f', 3);
}

QByteArray Score::ProtocolBytes() const { return protocol::PageBytes(Protocol); }

ChartData EmptyResultChart(bool left)
{
    ChartData chart;
    const QStringList names = left ? QStringList{"brsrs2", "Series1", "Series2", "Series3",
                                                 "Series7", "Series9"}
                                   : QStringList{"brsrs1", "Series4", "Series5", "Series6",
                                                 "Series8", "Series10"};
    const auto bar = SeriesShape::Bar;
    const auto line = SeriesShape::Line;
    chart.Series.push_back(Series(names[WrongSeries], bar, Qt::white, Qt::DiagCrossPattern));
    chart.Series.push_back(Series(names[DoubletSeries], bar, Qt::yellow, Qt::FDiagPattern));
    chart.Series.push_back(Series(names[OmissionSeries], bar, Qt::white));
    chart.Series.push_back(Series(names[CorrectSeries], bar, kCorrectSeriesColour));
    chart.Series.push_back(Series(names[LowerNormSeries], line, kNormLineColour, Qt::SolidPattern, kNormLineWidth));
    chart.Series.push_back(Series(names[UpperNormSeries], line, kNormLineColour, Qt::SolidPattern, kNormLineWidth));
    return chart;
}

void AddOutcomeBar(ChartData &left, ChartData &right, int i, int leftValue, int rightValue,
                   const QColor &colour)
{
    const int target = ClassSeriesOf(colour);
    for (int s = WrongSeries; s <= CorrectSeries; ++s) {
        ChartSeriesData &onLeft = left.Series[s];
        ChartSeriesData &onRight = right.Series[s];
        if (s == target) {
            onLeft.Points.push_back({double(i), double(leftValue), colour});
            onRight.Points.push_back({double(i), double(rightValue), colour});
        } else {
            onLeft.Points.push_back({double(i), 0, onLeft.Colour});
            onRight.Points.push_back({double(i), 0, onRight.Colour});
        }
    }
}

std::optional<Score> ScoreRun(const TTestRun &run, const PatientFacts &patient,
                              const QDate &testDate, const QLocale &locale)
{
    const int n = std::min<int>(run.DoneCount, MaxPresentations);
    if (n == 0)
        return std::nullopt;

    Score s;
    s.Left = EmptyResultChart(true);
    s.Right = EmptyResultChart(false);
    s.Left.AxisMax = s.Right.AxisMax = run.AnswerTime;

    TimeSum correctLeft, correctRight, wrongLeft, wrongRight;
    for (int i = 1; i <= n; ++i) {
        const Presentation p = ClassifyPresentation(run, i);
        s.Presentations.push_back(p);
        const OutcomeBar bar = BarOf(p, run.AnswerTime);
        AddOutcomeBar(s.Left, s.Right, i, bar.Left, bar.Right, bar.Colour);
        ++s.Counts[p.Code];
        switch (p.Code) {
        case 2: correctLeft.Add(p.L); break;
        case 5: correctRight.Add(p.R); break;
        case 6: wrongLeft.Add(p.L); break;
        case 1: wrongRight.Add(p.R); break;
        case 3:
        case 7:
            // A doublet is the faster hand's error; equal times count on the right.
            if (p.R <= p.L)
                wrongRight.Add(p.R);
            else
                wrongLeft.Add(p.L);
            break;
        default: break;
        }
    }
    const auto &c = s.Counts;
    s.ErrorsGreen = c[0] + c[3] + c[1];
    s.ErrorsRed = c[4] + c[7] + c[6];

    s.CorrectLeftMean = correctLeft.Mean();
    s.CorrectRightMean = correctRight.Mean();
    s.WrongLeftMean = wrongLeft.Mean();
    s.WrongRightMean = wrongRight.Mean();
    s.WrongLeftCount = wrongLeft.Count;
    s.WrongRightCount = wrongRight.Count;
    // The mean of all reactions of a hand averages its two rounded means; a mean without
    // reactions enters as 0.
    s.AllLeftMean = static_cast<int>(RoundHalfEven((s.CorrectLeftMean + s.WrongLeftMean) / 2.0));
    s.AllRightMean = static_cast<int>(RoundHalfEven((s.CorrectRightMean + s.WrongRightMean) / 2.0));

    SquareSum leftSquares, rightSquares;
    for (const Presentation &p : s.Presentations) {
        if (p.Code == 0 || p.Code == 4)
            continue;
        if (p.R <= p.L)
            rightSquares.Add(p.R - s.AllRightMean);
        else
            leftSquares.Add(p.L - s.AllLeftMean);
    }
    s.LeftDeviation = leftSquares.Deviation();
    s.RightDeviation = rightSquares.Deviation();

    s.TimeCoefficient = SafeDiv(n - s.WrongLeftCount - s.WrongRightCount, n + c[0] + c[4]);
    s.AsymmetryCoefficient = std::fabs(SafeDiv(s.ErrorsGreen - s.ErrorsRed, n));
    s.ChoiceCoefficient = SafeDiv(n, s.ErrorsGreen + s.ErrorsRed);

    s.AgeMonths = AgeInMonths(patient.Birthday, testDate);
    if (s.AgeMonths >= 0)
        s.Norms = NormsForAge(s.AgeMonths);
    if (s.Norms) {
        for (int i = 1; i <= n; ++i) {
            s.Left.Series[LowerNormSeries].Points.push_back({double(i), double(s.Norms->Lower), kNormLineColour});
            s.Left.Series[UpperNormSeries].Points.push_back({double(i), double(s.Norms->Upper), kNormLineColour});
        }
        s.Right.Series[LowerNormSeries].Points = s.Left.Series[LowerNormSeries].Points;
        s.Right.Series[UpperNormSeries].Points = s.Left.Series[UpperNormSeries].Points;
    }
    s.ConclusionMean =
        static_cast<int>(RoundHalfEven((s.CorrectLeftMean + s.CorrectRightMean) / 2.0));
    s.ConclusionText = s.Norms ? ConclusionFor(s.ConclusionMean, *s.Norms) : NoAgeConclusion;

    s.PatientName = patient.Name;
    s.AgeText = AgeText(s.AgeMonths);
    s.SexText = SexText(patient.Sex);
    s.DateText = locale.toString(testDate, QLocale::ShortFormat);
    s.Protocol = BuildProtocol(run, s);
    return s;
}

} // namespace vel::choice
