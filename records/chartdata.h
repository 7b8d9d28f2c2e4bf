#pragma once
// A result chart as plain data: the series in the chart's order, each with its points,
// which the test window puts into its Qt Charts as they are.
#include <QColor>
#include <QString>
#include <vector>

namespace vel {

struct ChartPoint {
    double X = 0;
    double Y = 0;
    QColor Colour;   // the colour this point's bar is drawn in
};

enum class SeriesShape { Bar, Line };

struct ChartSeriesData {
    QString Name;                              // object name of the series in the window
    SeriesShape Shape = SeriesShape::Bar;
    QColor Colour;                             // the series' own colour
    Qt::BrushStyle Pattern = Qt::SolidPattern; // fill of the bars
    int LineWidth = 1;                         // pen of a line series, pixels
    std::vector<ChartPoint> Points;
};

struct ChartData {
    std::vector<ChartSeriesData> Series;
    double AxisMin = 0;   // range of the left (value) axis
    double AxisMax = 0;
    // The bars stand one slot per distinct x, labelled with it (a histogram over
    // milliseconds), even when every x is a whole number that could count presentations.
    bool ByCategory = false;
};

} // namespace vel
