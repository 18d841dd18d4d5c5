#pragma once

#include <QColor>
#include <QFont>
#include <QPen>
#include <QPointF>
#include <QString>

#include <string>
#include <vector>

class QPainter;

namespace velmora {

// Sizes of a figure for a paper, in points (1/72 inch): text keeps its size on paper at any resolution.
inline constexpr double pointsPerInch = 72.0;
inline constexpr int tickPoints = 7;
inline constexpr int labelPoints = 8;
inline constexpr double markerRadius = 2.3;
inline constexpr double lineWidth = 0.9;
inline constexpr double barWidth = 0.6;

QString fromUtf8(const std::string& text);

// A font measured in the painter's units, which are points here; unhinted, so a PNG at any resolution and
// a PDF set the same line breaks and widths.
QFont plotFont(int points, bool bold = false);

// Round tick spacing (1, 2 or 5 times a power of ten) giving about `wanted` intervals over span.
double tickStep(double span, int wanted);

QString tickText(double v);

// The x values of the sweep when there are few (each ticked), round steps otherwise.
std::vector<double> xTicks(const std::vector<double>& values, double xMin, double xMax);

// How a time maps onto a panel's height (0 at the bottom, 1 at the top), and where its ticks go: linear, or
// logarithmic when the times span a factor of ten or more.
struct TimeAxis {
    bool logarithmic = false;
    double low = 0.0;
    double high = 1.0;
    std::vector<double> ticks;

    static TimeAxis spanning(double tMin, double tMax);
    double position(double t) const;
};

// Marker and dash of series i: a series stays recognisable without its colour.
void drawMarker(QPainter& p, QPointF at, int series, QColor color);
QPen seriesLine(int series, QColor color);

// A vertical bar from low to high with short caps.
void drawBar(QPainter& p, double x, double yLow, double yHigh, QColor color);

}  // namespace velmora
