#include "records/resultchart.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QFontMetrics>
#include <QGraphicsLayout>
#include <QLineSeries>
#include <QStackedBarSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <map>

namespace vel {

namespace {

constexpr int ChartBorder = 7;

bool IsIndexX(double x) { return x >= 0 && x <= ResultChart::MaxIndexX && x == std::floor(x); }

// Ticks of a presentation axis: 1, 2 or 5 times a power of ten, about ten of them.
double TickInterval(double span)
{
    double step = 1;
    while (span / step > 12) {
        if (span / (step * 2) <= 12)
            return step * 2;
        if (span / (step * 5) <= 12)
            return step * 5;
        step *= 10;
    }
    return step;
}

// Room the left axis title leaves for the bottom axis (labels, title) and the plot's
// own margins, in pixels.
constexpr int LeftTitleReserve = 56;

QAbstractAxis *AxisAt(QChart *chart, Qt::Alignment side)
{
    const QList<QAbstractAxis *> axes = chart->axes(side == Qt::AlignLeft ? Qt::Vertical : Qt::Horizontal);
    return axes.isEmpty() ? nullptr : axes.first();
}

// The title in lines of whole words no wider than `width` where it can (a word longer
// than that stands alone), joined as the axis shows lines.
QString WrappedTitle(const QString &title, const QFontMetrics &metrics, int width)
{
    if (width <= 0 || metrics.horizontalAdvance(title) <= width)
        return title;
    QStringList lines;
    QString line;
    for (const QString &word : title.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (!line.isEmpty() && metrics.horizontalAdvance(longer) > width) {
            lines << line;
            line = word;
        } else {
            line = longer;
        }
    }
    if (!line.isEmpty())
        lines << line;
    return lines.join(QStringLiteral("<br>"));
}

// The brush of a bar series: the colour of its first bar above 0, its own pattern.
QBrush BarBrush(const ChartSeriesData &s)
{
    QColor colour = s.Colour;
    for (const ChartPoint &p : s.Points) {
        if (p.Y != 0) {
            colour = p.Colour.isValid() ? p.Colour : s.Colour;
            break;
        }
    }
    return QBrush(colour, s.Pattern);
}

} // namespace

ResultChart::ResultChart(QChartView *view, const ChartData &layout, const ResultChartStyle &style)
    : m_view(view), m_style(style), m_data(layout)
{
    QChart *chart = m_view->chart();
    chart->legend()->hide();
    chart->setTitle(QString());
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(ChartBorder, ChartBorder, ChartBorder, ChartBorder));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setBackgroundBrush(Qt::white);
    chart->setPlotAreaBackgroundBrush(Qt::white);
    chart->setPlotAreaBackgroundVisible(true);
    chart->setAnimationOptions(QChart::NoAnimation);
    m_view->setRubberBand(QChartView::NoRubberBand);
    m_view->setRenderHint(QPainter::Antialiasing, false);
    Clear();
}

QChart *ResultChart::Chart() const { return m_view->chart(); }

QStringList ResultChart::SeriesNames() const
{
    QStringList names;
    for (const ChartSeriesData &s : m_data.Series)
        names << s.Name;
    return names;
}

void ResultChart::Clear()
{
    for (ChartSeriesData &s : m_data.Series)
        s.Points.clear();
    m_data.AxisMin = m_data.AxisMax = 0;
    Rebuild();
}

void ResultChart::Fill(const ChartData &data)
{
    for (ChartSeriesData &s : m_data.Series) {
        s.Points.clear();
        for (const ChartSeriesData &given : data.Series)
            if (given.Name == s.Name)
                s.Points = given.Points;
    }
    m_data.AxisMin = data.AxisMin;
    m_data.AxisMax = data.AxisMax;
    m_data.ByCategory = data.ByCategory;
    Rebuild();
}

void ResultChart::AddPoint(int series, double x, double y)
{
    if (series < 0 || series >= int(m_data.Series.size()))
        return;
    ChartSeriesData &s = m_data.Series[size_t(series)];
    s.Points.push_back({x, y, s.Colour});
    Rebuild();
}

void ResultChart::SetValueRange(double min, double max)
{
    m_data.AxisMin = min;
    m_data.AxisMax = max;
    Rebuild();
}

void ResultChart::Rebuild()
{
    QChart *chart = m_view->chart();
    chart->removeAllSeries();

    // Where the bars stand: by their x on a value axis, or one category per distinct x.
    bool byIndex = !m_data.ByCategory;
    double minX = 0, maxX = 0, maxY = 0, minY = 0;
    bool anyPoint = false;
    std::map<double, int> categories;
    for (const ChartSeriesData &s : m_data.Series) {
        for (const ChartPoint &p : s.Points) {
            byIndex = byIndex && IsIndexX(p.X);
            minX = anyPoint ? std::min(minX, p.X) : p.X;
            maxX = anyPoint ? std::max(maxX, p.X) : p.X;
            maxY = std::max(maxY, p.Y);
            minY = std::min(minY, p.Y);
            anyPoint = true;
            if (s.Shape == SeriesShape::Bar)
                categories.emplace(p.X, 0);
        }
    }
    int index = 0;
    for (auto &[x, i] : categories)
        i = index++;
    auto categoryOf = [&categories](double x) {
        // A line point between categories goes to the nearest one.
        auto above = categories.lower_bound(x);
        if (above == categories.end())
            return categories.empty() ? 0 : std::prev(above)->second;
        if (above == categories.begin() || above->first == x)
            return above->second;
        auto below = std::prev(above);
        return (x - below->first <= above->first - x) ? below->second : above->second;
    };

    // The axes stay from one rebuild to the next: axes removed and added while the chart
    // stands on a hidden tab leave stray pieces of themselves in its top left corner.
    // Only a bottom axis of the other kind is replaced.
    auto *valueAxis = qobject_cast<QValueAxis *>(AxisAt(chart, Qt::AlignLeft));
    if (!valueAxis) {
        valueAxis = new QValueAxis;
        QFont leftTitleFont = valueAxis->titleFont();
        leftTitleFont.setPixelSize(11);
        valueAxis->setTitleFont(leftTitleFont);
        // Lines that fit beside the plot, so that no part of the title is cut.
        valueAxis->setTitleText(WrappedTitle(m_style.LeftTitle, QFontMetrics(leftTitleFont),
                                             m_view->height() - 2 * ChartBorder - LeftTitleReserve));
        valueAxis->setLabelsBrush(QColor(0x00, 0x00, 0x80));   // navy
        valueAxis->setLabelFormat(QStringLiteral("%d"));
        chart->addAxis(valueAxis, Qt::AlignLeft);
    }
    if (m_data.AxisMax > m_data.AxisMin)
        valueAxis->setRange(m_data.AxisMin, m_data.AxisMax);
    else
        valueAxis->setRange(minY, maxY > 0 ? maxY * 1.1 : 1);
    valueAxis->applyNiceNumbers();
    if (m_data.AxisMax > m_data.AxisMin)
        valueAxis->setRange(m_data.AxisMin, m_data.AxisMax);

    QAbstractAxis *bottom = AxisAt(chart, Qt::AlignBottom);
    if (bottom && (qobject_cast<QValueAxis *>(bottom) != nullptr) != byIndex) {
        chart->removeAxis(bottom);
        delete bottom;
        bottom = nullptr;
    }
    if (!bottom) {
        bottom = byIndex ? static_cast<QAbstractAxis *>(new QValueAxis) : new QBarCategoryAxis;
        QFont titleFont(QStringLiteral("Courier"));
        titleFont.setPixelSize(12);
        bottom->setTitleFont(titleFont);
        bottom->setTitleText(m_style.BottomTitle);
        chart->addAxis(bottom, Qt::AlignBottom);
    }
    if (byIndex) {
        auto *axis = static_cast<QValueAxis *>(bottom);
        if (!anyPoint) {
            minX = 0;
            maxX = 1;
        }
        axis->setRange(minX - 0.5, maxX + 0.5);
        axis->setLabelFormat(QStringLiteral("%d"));
        axis->setTickType(QValueAxis::TicksDynamic);
        axis->setTickAnchor(0);
        axis->setTickInterval(TickInterval(maxX - minX + 1));
    } else {
        auto *axis = static_cast<QBarCategoryAxis *>(bottom);
        QStringList names;
        for (const auto &[x, i] : categories)
            names << QString::number(x, 'g', 10);
        axis->setCategories(names);
    }

    // The bar series of the chart stand as the sets of one stacked series: at each x only
    // one of them is above 0, and its bar fills the slot.
    QStackedBarSeries *bars = nullptr;
    auto attach = [&](QAbstractSeries *series) {
        chart->addSeries(series);
        series->attachAxis(bottom);
        series->attachAxis(valueAxis);
    };
    for (const ChartSeriesData &s : m_data.Series) {
        if (s.Shape != SeriesShape::Bar)
            continue;
        if (!bars) {
            bars = new QStackedBarSeries;
            bars->setObjectName(QStringLiteral("bars"));
            if (m_style.BarWidth > 0)
                bars->setBarWidth(m_style.BarWidth);
            bars->setLabelsVisible(false);
        }
        auto *set = new QBarSet(s.Name);
        set->setObjectName(s.Name);
        set->setBrush(BarBrush(s));
        set->setPen(QPen(Qt::black, 0));
        QList<qreal> values(byIndex ? (anyPoint ? qsizetype(maxX) + 1 : 0) : qsizetype(categories.size()), 0.0);
        for (const ChartPoint &p : s.Points) {
            const qsizetype at = byIndex ? qsizetype(p.X) : categoryOf(p.X);
            if (at >= 0 && at < values.size())
                values[at] = p.Y;
        }
        set->append(values);
        bars->append(set);
    }
    if (bars)
        attach(bars);
    for (const ChartSeriesData &s : m_data.Series) {
        if (s.Shape != SeriesShape::Line)
            continue;
        auto *line = new QLineSeries;
        line->setName(s.Name);
        line->setObjectName(s.Name);
        for (const ChartPoint &p : s.Points)
            line->append(byIndex ? p.X : categoryOf(p.X), p.Y);
        attach(line);
        // A line without a colour of its own keeps the one the chart gives it.
        QPen pen = line->pen();
        if (s.Colour.isValid())
            pen.setColor(s.Colour);
        pen.setWidth(s.LineWidth);
        line->setPen(pen);
    }
}

} // namespace vel
