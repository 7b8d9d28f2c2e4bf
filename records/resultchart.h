#pragma once
// A chart of a test window (chtL, chtR, ChartLR): a Qt chart whose series, named and
// ordered once when the window is created, are filled from ChartData.
//
// The chart keeps the data it shows and builds its Qt series from it on every change, so
// the series always stand in the declared order with the declared names, styles and
// axis titles whatever the data brings.
//
// Bars. The bar series of a chart are the bar sets of one stacked bar series, in their
// order, followed by the line series: a presentation that has a value on one class series
// and 0 on the others shows as one bar filling its slot. When every point of the chart
// lies on a whole x from 0 to MaxIndexX (presentation numbers) and the data does not ask
// for categories (ChartData::ByCategory), the bottom axis is a value axis and the bar of
// x stands at x, in line with the points of the line series. Otherwise (a histogram over
// milliseconds) the bottom axis is a category axis with one category per distinct bar x.
// A bar set has one brush: it takes the colour of the series' first point that is not 0
// (the colour the scoring drew that class in) and the series' pattern.
#include <QColor>
#include <QString>
#include <QStringList>

#include "records/chartdata.h"

class QChart;
class QChartView;

namespace vel {

struct ResultChartStyle {
    QString LeftTitle;     // title of the value axis
    QString BottomTitle;   // title of the bottom axis; empty: none
    double BarWidth = 0.9; // share of a slot a bar fills; 0 keeps the chart's default
};

class ResultChart {
public:
    static constexpr int MaxIndexX = 1000;

    // `layout` names the series in order with their shapes, colours and patterns; its
    // points are not used. The view keeps its chart; its previous series are dropped.
    ResultChart(QChartView *view, const ChartData &layout, const ResultChartStyle &style);

    // Every series emptied; the value axis back to its automatic range.
    void Clear();
    // Series of `data` go to the series of the same name; a series that `data` does not
    // name is emptied, a name the chart does not have is left out. The value axis takes
    // data's range when it has one (AxisMax above AxisMin).
    void Fill(const ChartData &data);
    // One point more on series `series` in the series' own colour (the live chart).
    void AddPoint(int series, double x, double y);
    // The value axis range from now on (the live chart: 0..AnswerTime).
    void SetValueRange(double min, double max);

    const ChartData &Data() const { return m_data; }
    QChartView *View() const { return m_view; }
    QChart *Chart() const;
    QStringList SeriesNames() const;

private:
    void Rebuild();

    QChartView *m_view;
    ResultChartStyle m_style;
    ChartData m_data;   // what is shown: the layout's series with their points
};

} // namespace vel
