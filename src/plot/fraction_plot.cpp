#include "plot/fraction_plot.h"

#include "files/replacing_file.h"
#include "plot/offscreen_gui.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QBuffer>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace velmora {
namespace {

QString fromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Round tick spacing (1, 2 or 5 times a power of ten) giving about `wanted` intervals over span.
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

}  // namespace

FractionPlot::FractionPlot(std::string title, std::string xLabel, std::string yLabel)
    : title_(std::move(title)), xLabel_(std::move(xLabel)), yLabel_(std::move(yLabel))
{
}

void FractionPlot::addSeries(Series series) { series_.push_back(std::move(series)); }

std::vector<double> FractionPlot::xTicks(double xMin, double xMax) const
{
    // A sweep has a handful of x values: tick exactly those. Many values get round steps instead.
    std::vector<double> values;
    for (const Series& s : series_)
        for (const Point& pt : s.points)
            values.push_back(pt.x);
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    if (!values.empty() && values.size() <= 12)
        return values;
    values.clear();
    const double step = tickStep(xMax - xMin, 6);
    for (double x = std::ceil(xMin / step) * step; x <= xMax; x += step)
        values.push_back(std::abs(x) < step * 1e-9 ? 0.0 : x);
    return values;
}

QColor FractionPlot::seriesColor(int i)
{
    // Okabe and Ito's palette: told apart also by readers with colour-blind vision.
    static const QColor colors[] = {QColor(0, 114, 178), QColor(213, 94, 0), QColor(0, 158, 115),
                                    QColor(204, 121, 167), QColor(230, 159, 0), QColor(86, 180, 233),
                                    QColor(0, 0, 0)};
    return colors[static_cast<std::size_t>(i) % std::size(colors)];
}

QImage FractionPlot::render(int width, int height) const
{
    const QString family = plotFontFamily();
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QFont font(family);
    font.setPixelSize(14);
    QFont titleFont = font;
    titleFont.setPixelSize(17);
    titleFont.setBold(true);
    const QFontMetrics fm(font);

    // Legend width from the longest series name, so the legend never covers data.
    int legendText = 0;
    for (const Series& s : series_)
        legendText = std::max(legendText, fm.horizontalAdvance(fromUtf8(s.name)));
    const int legendWidth = legendText + 60;
    const QRect area(80, 50, width - 80 - legendWidth - 30, height - 50 - 70);

    double xMin = 0.0;
    double xMax = 0.0;
    bool any = false;
    for (const Series& s : series_)
        for (const Point& pt : s.points) {
            xMin = any ? std::min(xMin, pt.x) : pt.x;
            xMax = any ? std::max(xMax, pt.x) : pt.x;
            any = true;
        }
    if (!any || xMax - xMin <= 0.0) {
        xMin -= 5.0;
        xMax += 5.0;
    }
    const double xPad = (xMax - xMin) * 0.04;
    xMin -= xPad;
    xMax += xPad;
    const auto toX = [&](double x) { return area.left() + (x - xMin) / (xMax - xMin) * area.width(); };
    const auto toY = [&](double f) { return area.bottom() - f * area.height(); };

    p.setFont(titleFont);
    p.setPen(Qt::black);
    p.drawText(QRect(0, 10, width, 30), Qt::AlignHCenter | Qt::AlignVCenter, fromUtf8(title_));

    // Grid and ticks: every 10 % up the side, round steps along the bottom.
    p.setFont(font);
    for (int k = 0; k <= 10; ++k) {
        const double y = toY(k / 10.0);
        p.setPen(QPen(QColor(225, 225, 225), 1));
        p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        if (k % 2 == 0) {
            p.setPen(Qt::black);
            p.drawLine(QPointF(area.left() - 5, y), QPointF(area.left(), y));
            p.drawText(QRectF(area.left() - 70, y - 10, 60, 20), Qt::AlignRight | Qt::AlignVCenter,
                       QString::number(k * 10) + " %");
        }
    }
    for (const double x : xTicks(xMin, xMax)) {
        const double px = toX(x);
        p.setPen(QPen(QColor(225, 225, 225), 1));
        p.drawLine(QPointF(px, area.top()), QPointF(px, area.bottom()));
        p.setPen(Qt::black);
        p.drawLine(QPointF(px, area.bottom()), QPointF(px, area.bottom() + 5));
        p.drawText(QRectF(px - 40, area.bottom() + 8, 80, 20), Qt::AlignHCenter | Qt::AlignTop, tickText(x));
    }
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(area);
    p.drawText(QRect(area.left(), area.bottom() + 32, area.width(), 24), Qt::AlignHCenter | Qt::AlignTop,
               fromUtf8(xLabel_));
    p.save();
    p.translate(18, area.center().y());
    p.rotate(-90);
    p.drawText(QRect(-area.height() / 2, -12, area.height(), 24), Qt::AlignCenter, fromUtf8(yLabel_));
    p.restore();

    p.setClipRect(area.adjusted(-8, -8, 8, 8));
    for (std::size_t i = 0; i < series_.size(); ++i) {
        const QColor color = seriesColor(static_cast<int>(i));
        // Series side by side at each x, a few pixels apart, so equal values do not hide each other.
        const double dodge = (static_cast<double>(i) - (static_cast<double>(series_.size()) - 1.0) / 2.0) * 3.0;
        std::vector<Point> points = series_[i].points;
        std::sort(points.begin(), points.end(), [](const Point& a, const Point& b) { return a.x < b.x; });
        p.setPen(QPen(color, 1.5));
        for (const Point& pt : points) {
            const double px = toX(pt.x) + dodge;
            p.drawLine(QPointF(px, toY(pt.low)), QPointF(px, toY(pt.high)));
            p.drawLine(QPointF(px - 4, toY(pt.low)), QPointF(px + 4, toY(pt.low)));
            p.drawLine(QPointF(px - 4, toY(pt.high)), QPointF(px + 4, toY(pt.high)));
        }
        QPainterPath line;
        for (std::size_t k = 0; k < points.size(); ++k) {
            const QPointF at(toX(points[k].x) + dodge, toY(points[k].fraction));
            k == 0 ? line.moveTo(at) : line.lineTo(at);
        }
        p.setPen(QPen(color, 2.5));
        p.setBrush(Qt::NoBrush);
        p.drawPath(line);
        p.setBrush(color);
        for (const Point& pt : points)
            p.drawEllipse(QPointF(toX(pt.x) + dodge, toY(pt.fraction)), 4.0, 4.0);
    }
    p.setClipping(false);

    const int legendLeft = area.right() + 20;
    const int rowHeight = fm.height() + 8;
    const QRect legend(legendLeft, area.top(), legendWidth, rowHeight * static_cast<int>(series_.size()) + 12);
    p.setBrush(Qt::white);
    p.setPen(QPen(QColor(160, 160, 160), 1));
    p.drawRect(legend);
    for (std::size_t i = 0; i < series_.size(); ++i) {
        const QColor color = seriesColor(static_cast<int>(i));
        const int y = legend.top() + 6 + static_cast<int>(i) * rowHeight + rowHeight / 2;
        p.setPen(QPen(color, 2.5));
        p.drawLine(legendLeft + 10, y, legendLeft + 40, y);
        p.setBrush(color);
        p.drawEllipse(QPointF(legendLeft + 25, y), 4.0, 4.0);
        p.setPen(Qt::black);
        p.drawText(QRect(legendLeft + 48, y - rowHeight / 2, legendText + 10, rowHeight), Qt::AlignVCenter,
                   fromUtf8(series_[i].name));
    }
    p.end();
    return image;
}

std::string FractionPlot::png(int width, int height) const
{
    const OffscreenGui gui;
    const QImage image = render(width, height);
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        throw std::runtime_error("cannot encode the plot as PNG");
    return encoded.toStdString();
}

void FractionPlot::savePng(const std::string& path, int width, int height) const
{
    ReplacingFile file(path);
    file.write(png(width, height));
    file.commit();
}

}  // namespace velmora
