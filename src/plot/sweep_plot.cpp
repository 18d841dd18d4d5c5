#include "plot/sweep_plot.h"

#include "files/replacing_file.h"
#include "plot/plot_encoding.h"
#include "plot/plot_style.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <stdexcept>

namespace velmora {
namespace {

constexpr double pad = 4.0;
constexpr double tickLength = 2.5;
constexpr double panelGap = 9.0;
constexpr double legendSample = 16.0;

// The lower panel's axis, from the spread of every time the series hold.
TimeAxis timeAxisOf(const std::vector<SweepPlot::Series>& series)
{
    double tMin = 0.0;
    double tMax = 0.0;
    bool any = false;
    for (const SweepPlot::Series& s : series)
        for (const SweepPlot::Point& pt : s.points)
            if (pt.time) {
                tMin = any ? std::min(tMin, pt.time->low) : pt.time->low;
                tMax = any ? std::max(tMax, pt.time->high) : pt.time->high;
                any = true;
            }
    return TimeAxis::spanning(tMin, tMax);
}

}  // namespace

std::optional<PlotFormat> plotFormatOf(const std::string& path)
{
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".png")
        return PlotFormat::Png;
    if (ext == ".svg")
        return PlotFormat::Svg;
    if (ext == ".pdf")
        return PlotFormat::Pdf;
    return std::nullopt;
}

SweepPlot::SweepPlot(std::string title, std::string xLabel, std::string fractionLabel, std::string timeLabel)
    : title_(std::move(title)), xLabel_(std::move(xLabel)), fractionLabel_(std::move(fractionLabel)),
      timeLabel_(std::move(timeLabel))
{
}

void SweepPlot::addSeries(Series series) { series_.push_back(std::move(series)); }

QColor SweepPlot::seriesColor(int i)
{
    // Okabe and Ito's palette: told apart also by readers with colour-blind vision.
    static const QColor colors[] = {QColor(0, 114, 178), QColor(213, 94, 0), QColor(0, 158, 115),
                                    QColor(204, 121, 167), QColor(230, 159, 0), QColor(86, 180, 233),
                                    QColor(0, 0, 0)};
    return colors[static_cast<std::size_t>(i) % std::size(colors)];
}

SweepPlot::Layout SweepPlot::layout(double width, double height) const
{
    const QFontMetricsF label(plotFont(labelPoints));
    const QFontMetricsF tick(plotFont(tickPoints));
    double top = pad;
    if (!title_.empty())
        top += QFontMetricsF(plotFont(labelPoints, true)).height() + 2.0;

    // Legend entries flow in rows across the width, centred over the panels.
    const double rowHeight = label.height() + 1.0;
    double rowWidth = 0.0;
    double widest = 0.0;
    int rows = series_.empty() ? 0 : 1;
    for (const Series& s : series_) {
        const double entry = legendSample + 3.0 + label.horizontalAdvance(fromUtf8(s.name));
        if (rowWidth > 0.0 && rowWidth + 8.0 + entry > width - 2.0 * pad) {
            ++rows;
            widest = std::max(widest, rowWidth);
            rowWidth = 0.0;
        }
        rowWidth += (rowWidth > 0.0 ? 8.0 : 0.0) + entry;
    }
    widest = std::max(widest, rowWidth);
    Layout l;
    l.legend = QRectF((width - widest) / 2.0, top, widest, rows * rowHeight);
    top += rows * rowHeight + 3.0;

    double tickWidth = tick.horizontalAdvance("100 %");
    for (const double t : timeAxisOf(series_).ticks)
        tickWidth = std::max(tickWidth, tick.horizontalAdvance(tickText(t)));
    const double left = pad + label.height() + 2.0 + tickWidth + tickLength + 1.5;
    const double right = width - pad - tick.horizontalAdvance("00") / 2.0;
    const double bottom = height - pad - label.height() - tick.height() - tickLength - 1.0;
    const double panelHeight = std::max(1.0, (bottom - top - panelGap) / 2.0);
    l.fractionPanel = QRectF(left, top, std::max(1.0, right - left), panelHeight);
    l.timePanel = QRectF(left, top + panelHeight + panelGap, std::max(1.0, right - left), panelHeight);
    return l;
}

SweepPlot::Frame SweepPlot::frame(double width, double height) const
{
    Frame f;
    f.layout = layout(width, height);
    // The x range, shared by both panels, a little wider than the data so end markers are not cut.
    std::vector<double> xs;
    for (const Series& s : series_)
        for (const Point& pt : s.points) {
            xs.push_back(pt.x);
            f.anyTime = f.anyTime || pt.time.has_value();
        }
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    f.xMin = xs.empty() ? 0.0 : xs.front();
    f.xMax = xs.empty() ? 0.0 : xs.back();
    if (f.xMax - f.xMin <= 0.0) {
        f.xMin -= 5.0;
        f.xMax += 5.0;
    }
    const double xPad = (f.xMax - f.xMin) * 0.05;
    f.xTicks = xTicks(xs, f.xMin, f.xMax);
    f.xMin -= xPad;
    f.xMax += xPad;
    f.time = timeAxisOf(series_);
    return f;
}

double SweepPlot::Frame::toX(double x) const
{
    const QRectF& panel = layout.fractionPanel;
    return panel.left() + (x - xMin) / (xMax - xMin) * panel.width();
}

double SweepPlot::Frame::fractionY(double fraction) const
{
    return layout.fractionPanel.bottom() - fraction * layout.fractionPanel.height();
}

double SweepPlot::Frame::timeY(double t) const
{
    return layout.timePanel.bottom() - time.position(t) * layout.timePanel.height();
}

void SweepPlot::draw(QPainter& p, double width, double height) const
{
    const Frame f = frame(width, height);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRectF(0, 0, width, height), Qt::white);
    if (!title_.empty()) {
        p.setFont(plotFont(labelPoints, true));
        p.setPen(Qt::black);
        const QString title =
            QFontMetricsF(p.font()).elidedText(fromUtf8(title_), Qt::ElideRight, width - 2.0 * pad);
        p.drawText(QRectF(pad, pad, width - 2.0 * pad, f.layout.legend.top() - pad), Qt::AlignHCenter | Qt::AlignTop,
                   title);
    }
    drawAxes(p, f);
    for (std::size_t i = 0; i < series_.size(); ++i)
        drawSeries(p, f, static_cast<int>(i));
    drawLegend(p, f.layout.legend);
}

void SweepPlot::drawAxes(QPainter& p, const Frame& f) const
{
    const QFont labelFont = plotFont(labelPoints);
    const QFont tickFont = plotFont(tickPoints);
    const QFontMetricsF labelMetrics(labelFont);
    const QFontMetricsF tickMetrics(tickFont);
    const QRectF& top = f.layout.fractionPanel;
    const QRectF& low = f.layout.timePanel;
    const QColor grid(222, 222, 222);
    const auto yLabel = [&](const QRectF& panel, const std::string& text) {
        p.save();
        p.setFont(labelFont);
        p.setPen(Qt::black);
        p.translate(pad, panel.center().y());
        p.rotate(-90);
        const QString shown = labelMetrics.elidedText(fromUtf8(text), Qt::ElideRight, panel.height() + 8.0);
        p.drawText(QRectF(-panel.height() / 2.0 - 4.0, 0, panel.height() + 8.0, labelMetrics.height()),
                   Qt::AlignHCenter | Qt::AlignTop, shown);
        p.restore();
    };
    const auto yTick = [&](const QRectF& panel, double y, const QString& text) {
        p.setPen(QPen(grid, 0.4));
        p.drawLine(QPointF(panel.left(), y), QPointF(panel.right(), y));
        p.setPen(QPen(Qt::black, 0.5));
        p.drawLine(QPointF(panel.left() - tickLength, y), QPointF(panel.left(), y));
        p.setFont(tickFont);
        p.drawText(QRectF(0, y - tickMetrics.height() / 2.0, panel.left() - tickLength - 1.5, tickMetrics.height()),
                   Qt::AlignRight | Qt::AlignVCenter, text);
    };

    for (int k = 0; k <= 4; ++k)
        yTick(top, f.fractionY(k / 4.0), QString::number(k * 25) + " %");
    for (const double t : f.time.ticks)
        yTick(low, f.timeY(t), tickText(t));
    for (const double x : f.xTicks) {
        const double px = f.toX(x);
        for (const QRectF* panel : {&top, &low}) {
            p.setPen(QPen(grid, 0.4));
            p.drawLine(QPointF(px, panel->top()), QPointF(px, panel->bottom()));
            p.setPen(QPen(Qt::black, 0.5));
            p.drawLine(QPointF(px, panel->bottom()), QPointF(px, panel->bottom() + tickLength));
        }
        p.setFont(tickFont);
        p.drawText(QRectF(px - 20.0, low.bottom() + tickLength + 0.5, 40.0, tickMetrics.height()),
                   Qt::AlignHCenter | Qt::AlignTop, tickText(x));
    }
    p.setPen(QPen(Qt::black, 0.6));
    p.setBrush(Qt::NoBrush);
    p.drawRect(top);
    p.drawRect(low);
    p.setFont(labelFont);
    p.drawText(QRectF(low.left(), low.bottom() + tickLength + tickMetrics.height(), low.width(), labelMetrics.height()),
               Qt::AlignHCenter | Qt::AlignTop, fromUtf8(xLabel_));
    yLabel(top, fractionLabel_);
    yLabel(low, timeLabel_);
    if (!f.anyTime) {
        p.setFont(tickFont);
        p.setPen(QColor(110, 110, 110));
        p.drawText(low, Qt::AlignCenter, "no trial initialized");
    }
}

void SweepPlot::drawSeries(QPainter& p, const Frame& f, int index) const
{
    const QColor color = seriesColor(index);
    const QRectF& top = f.layout.fractionPanel;
    const QRectF& low = f.layout.timePanel;
    // Series side by side at each x, a little apart, so equal values do not hide each other.
    const double dodge = (static_cast<double>(index) - (static_cast<double>(series_.size()) - 1.0) / 2.0) * 1.6;
    std::vector<Point> points = series_[static_cast<std::size_t>(index)].points;
    std::sort(points.begin(), points.end(), [](const Point& a, const Point& b) { return a.x < b.x; });

    p.setClipRect(top.adjusted(-4, -4, 4, 4));
    QPainterPath fractionLine;
    for (std::size_t k = 0; k < points.size(); ++k) {
        const QPointF at(f.toX(points[k].x) + dodge, f.fractionY(points[k].fraction.middle));
        k == 0 ? fractionLine.moveTo(at) : fractionLine.lineTo(at);
    }
    for (const Point& pt : points)
        drawBar(p, f.toX(pt.x) + dodge, f.fractionY(pt.fraction.low), f.fractionY(pt.fraction.high), color);
    p.setPen(seriesLine(index, color));
    p.setBrush(Qt::NoBrush);
    p.drawPath(fractionLine);
    for (const Point& pt : points)
        drawMarker(p, QPointF(f.toX(pt.x) + dodge, f.fractionY(pt.fraction.middle)), index, color);

    // A cell where no trial initialized has no time: the line breaks there.
    p.setClipRect(low.adjusted(-4, -4, 4, 4));
    QPainterPath timeLine;
    bool joined = false;
    for (const Point& pt : points) {
        if (!pt.time) {
            joined = false;
            continue;
        }
        const QPointF at(f.toX(pt.x) + dodge, f.timeY(pt.time->middle));
        joined ? timeLine.lineTo(at) : timeLine.moveTo(at);
        joined = true;
    }
    for (const Point& pt : points)
        if (pt.time)
            drawBar(p, f.toX(pt.x) + dodge, f.timeY(pt.time->low), f.timeY(pt.time->high), color);
    p.setPen(seriesLine(index, color));
    p.setBrush(Qt::NoBrush);
    p.drawPath(timeLine);
    for (const Point& pt : points)
        if (pt.time)
            drawMarker(p, QPointF(f.toX(pt.x) + dodge, f.timeY(pt.time->middle)), index, color);
    p.setClipping(false);
}

// The legend, in the rows layout() made room for.
void SweepPlot::drawLegend(QPainter& p, const QRectF& legend) const
{
    const QFont labelFont = plotFont(labelPoints);
    const QFontMetricsF labelMetrics(labelFont);
    p.setFont(labelFont);
    const double rowHeight = labelMetrics.height() + 1.0;
    double x = legend.left();
    double y = legend.top();
    for (std::size_t i = 0; i < series_.size(); ++i) {
        const int index = static_cast<int>(i);
        const QString name = fromUtf8(series_[i].name);
        const double entry = legendSample + 3.0 + labelMetrics.horizontalAdvance(name);
        if (x > legend.left() && x + entry > legend.right() + 0.5) {
            x = legend.left();
            y += rowHeight;
        }
        const double middle = y + rowHeight / 2.0;
        p.setPen(seriesLine(index, seriesColor(index)));
        p.drawLine(QPointF(x, middle), QPointF(x + legendSample, middle));
        drawMarker(p, QPointF(x + legendSample / 2.0, middle), index, seriesColor(index));
        p.setPen(Qt::black);
        p.drawText(QRectF(x + legendSample + 3.0, y, entry, rowHeight), Qt::AlignLeft | Qt::AlignVCenter, name);
        x += entry + 8.0;
    }
}

QImage SweepPlot::render(const PlotSize& size) const
{
    return renderPlot(size, [this](QPainter& p, double w, double h) { draw(p, w, h); });
}

std::string SweepPlot::encode(PlotFormat format, const PlotSize& size) const
{
    return encodePlot(format, size, title_, [this](QPainter& p, double w, double h) { draw(p, w, h); });
}

void SweepPlot::save(const std::string& path, const PlotSize& size) const
{
    const auto format = plotFormatOf(path);
    if (!format)
        throw std::runtime_error("cannot save a plot as \"" + path + "\": the name must end in .png, .svg or .pdf");
    ReplacingFile file(path);
    file.write(encode(*format, size));
    file.commit();
}

}  // namespace velmora
