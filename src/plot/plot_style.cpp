#include "plot/plot_style.h"

#include "plot/offscreen_gui.h"

#include <QPainter>
#include <QPolygonF>

#include <cmath>

namespace velmora {

QString fromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QFont plotFont(int points, bool bold)
{
    QFont font(plotFontFamily());
    font.setPixelSize(points);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

double tickStep(double span, int wanted)
{
    const double raw = span / wanted;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0})
        if (m * magnitude >= raw)
            return m * magnitude;
    return 10.0 * magnitude;
}

QString tickText(double v) { return QString::number(v, 'g', 6); }

std::vector<double> xTicks(const std::vector<double>& values, double xMin, double xMax)
{
    if (!values.empty() && values.size() <= 12)
        return values;
    std::vector<double> ticks;
    const double step = tickStep(xMax - xMin, 6);
    for (double x = std::ceil(xMin / step) * step; x <= xMax; x += step)
        ticks.push_back(std::abs(x) < step * 1e-9 ? 0.0 : x);
    return ticks;
}

double TimeAxis::position(double t) const
{
    if (logarithmic)
        return (std::log10(t) - std::log10(low)) / (std::log10(high) - std::log10(low));
    return (t - low) / (high - low);
}

TimeAxis TimeAxis::spanning(double tMin, double tMax)
{
    TimeAxis axis;
    // Times of one algorithm may lie hundreds of times above another's: a linear axis would flatten all but
    // the slowest.
    if (tMin > 0.0 && tMax / tMin >= 10.0) {
        axis.logarithmic = true;
        const double first = std::floor(std::log10(tMin));
        const double last = std::ceil(std::log10(tMax));
        axis.low = std::pow(10.0, first);
        axis.high = std::pow(10.0, last);
        // Up to two decades, 2 and 5 times each power of ten too.
        const bool fine = last - first <= 2.0;
        for (double e = first; e <= last; e += 1.0)
            for (const double m : {1.0, 2.0, 5.0})
                if ((m == 1.0 || fine) && m * std::pow(10.0, e) <= axis.high)
                    axis.ticks.push_back(m * std::pow(10.0, e));
        return axis;
    }
    const double step = tickStep(tMax > 0.0 ? tMax : 1.0, 3);
    axis.low = 0.0;
    axis.high = std::ceil(tMax / step) * step;
    if (axis.high <= 0.0)
        axis.high = step;
    for (double t = 0.0; t <= axis.high * (1.0 + 1e-9); t += step)
        axis.ticks.push_back(t);
    return axis;
}

void drawMarker(QPainter& p, QPointF at, int series, QColor color)
{
    const double r = markerRadius;
    p.setPen(QPen(Qt::white, 0.4));
    p.setBrush(color);
    switch (series % 5) {
    case 0: p.drawEllipse(at, r, r); break;
    case 1: p.drawRect(QRectF(at.x() - r * 0.9, at.y() - r * 0.9, 1.8 * r, 1.8 * r)); break;
    case 2:
        p.drawPolygon(QPolygonF{{at.x(), at.y() - 1.2 * r}, {at.x() + 1.1 * r, at.y() + 0.8 * r},
                                {at.x() - 1.1 * r, at.y() + 0.8 * r}});
        break;
    case 3:
        p.drawPolygon(QPolygonF{{at.x(), at.y() - 1.25 * r}, {at.x() + 1.25 * r, at.y()},
                                {at.x(), at.y() + 1.25 * r}, {at.x() - 1.25 * r, at.y()}});
        break;
    default:
        p.drawPolygon(QPolygonF{{at.x(), at.y() + 1.2 * r}, {at.x() + 1.1 * r, at.y() - 0.8 * r},
                                {at.x() - 1.1 * r, at.y() - 0.8 * r}});
        break;
    }
    // Past five series the shapes come round again, hollow.
    if (series >= 5) {
        p.setBrush(Qt::white);
        p.setPen(Qt::NoPen);
        p.drawEllipse(at, r * 0.45, r * 0.45);
    }
}

QPen seriesLine(int series, QColor color)
{
    QPen pen(color, lineWidth);
    pen.setCapStyle(Qt::FlatCap);
    static const QList<qreal> dashes[] = {{}, {5, 2.5}, {1.2, 1.8}, {6, 2, 1.2, 2}, {3, 1.5, 1.2, 1.5, 1.2, 1.5}};
    const auto& dash = dashes[series % 5];
    if (!dash.isEmpty())
        pen.setDashPattern(dash);
    return pen;
}

void drawBar(QPainter& p, double x, double yLow, double yHigh, QColor color)
{
    p.setPen(QPen(color, barWidth));
    p.drawLine(QPointF(x, yLow), QPointF(x, yHigh));
    p.drawLine(QPointF(x - 1.5, yLow), QPointF(x + 1.5, yLow));
    p.drawLine(QPointF(x - 1.5, yHigh), QPointF(x + 1.5, yHigh));
}

}  // namespace velmora
