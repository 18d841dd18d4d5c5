#include "plot/sweep_plot.h"

#include "files/replacing_file.h"
#include "plot/offscreen_gui.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QPolygonF>
#include <QSvgGenerator>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <stdexcept>

namespace velmora {
namespace {

constexpr double pointsPerInch = 72.0;
// Vector files keep coordinates to 1/1200 inch, as fine as any printer places them.
constexpr int vectorResolution = 1200;

// Text sizes in points: the usual sizes of a figure's text at a one-column width.
constexpr int tickPoints = 7;
constexpr int labelPoints = 8;
constexpr double pad = 4.0;
constexpr double tickLength = 2.5;
constexpr double panelGap = 9.0;
constexpr double markerRadius = 2.3;
constexpr double lineWidth = 0.9;
constexpr double barWidth = 0.6;
constexpr double legendSample = 16.0;

QString fromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A font measured in the painter's units, which are points here; unhinted, so a PNG at any resolution and
// a PDF set the same line breaks and widths.
QFont plotFont(int points, bool bold = false)
{
    QFont font(plotFontFamily());
    font.setPixelSize(points);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
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

// The x values of the sweep when there are few (each ticked), round steps otherwise.
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

// How a time maps onto the lower panel's height (0 at the bottom, 1 at the top), and where its ticks go.
struct TimeAxis {
    bool logarithmic = false;
    double low = 0.0;
    double high = 1.0;
    std::vector<double> ticks;

    double position(double t) const
    {
        if (logarithmic)
            return (std::log10(t) - std::log10(low)) / (std::log10(high) - std::log10(low));
        return (t - low) / (high - low);
    }
};

TimeAxis timeAxis(double tMin, double tMax)
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
    return timeAxis(tMin, tMax);
}

// Marker and dash of series i: a series stays recognisable without its colour.
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

// A vertical bar from low to high with short caps.
void drawBar(QPainter& p, double x, double yLow, double yHigh, QColor color)
{
    p.setPen(QPen(color, barWidth));
    p.drawLine(QPointF(x, yLow), QPointF(x, yHigh));
    p.drawLine(QPointF(x - 1.5, yLow), QPointF(x + 1.5, yLow));
    p.drawLine(QPointF(x - 1.5, yHigh), QPointF(x + 1.5, yHigh));
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

void SweepPlot::draw(QPainter& p, double width, double height) const
{
    const Layout l = layout(width, height);
    const QFont labelFont = plotFont(labelPoints);
    const QFont tickFont = plotFont(tickPoints);
    const QFontMetricsF labelMetrics(labelFont);
    const QFontMetricsF tickMetrics(tickFont);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRectF(0, 0, width, height), Qt::white);

    if (!title_.empty()) {
        p.setFont(plotFont(labelPoints, true));
        p.setPen(Qt::black);
        const QString title =
            QFontMetricsF(p.font()).elidedText(fromUtf8(title_), Qt::ElideRight, width - 2.0 * pad);
        p.drawText(QRectF(pad, pad, width - 2.0 * pad, l.legend.top() - pad), Qt::AlignHCenter | Qt::AlignTop, title);
    }

    // The x range, shared by both panels, a little wider than the data so end markers are not cut.
    std::vector<double> xs;
    bool anyTime = false;
    for (const Series& s : series_)
        for (const Point& pt : s.points) {
            xs.push_back(pt.x);
            anyTime = anyTime || pt.time.has_value();
        }
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    double xMin = xs.empty() ? 0.0 : xs.front();
    double xMax = xs.empty() ? 0.0 : xs.back();
    if (xMax - xMin <= 0.0) {
        xMin -= 5.0;
        xMax += 5.0;
    }
    const double xPad = (xMax - xMin) * 0.05;
    const std::vector<double> ticks = xTicks(xs, xMin, xMax);
    xMin -= xPad;
    xMax += xPad;
    const QRectF& top = l.fractionPanel;
    const QRectF& low = l.timePanel;
    const auto toX = [&](double x) { return top.left() + (x - xMin) / (xMax - xMin) * top.width(); };
    const TimeAxis axis = timeAxisOf(series_);
    const auto fractionY = [&](double f) { return top.bottom() - f * top.height(); };
    const auto timeY = [&](double t) { return low.bottom() - axis.position(t) * low.height(); };

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
        yTick(top, fractionY(k / 4.0), QString::number(k * 25) + " %");
    for (const double t : axis.ticks)
        yTick(low, timeY(t), tickText(t));
    for (const double x : ticks) {
        const double px = toX(x);
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
    if (!anyTime) {
        p.setFont(tickFont);
        p.setPen(QColor(110, 110, 110));
        p.drawText(low, Qt::AlignCenter, "no trial initialized");
    }

    for (std::size_t i = 0; i < series_.size(); ++i) {
        const int index = static_cast<int>(i);
        const QColor color = seriesColor(index);
        // Series side by side at each x, a little apart, so equal values do not hide each other.
        const double dodge = (static_cast<double>(i) - (static_cast<double>(series_.size()) - 1.0) / 2.0) * 1.6;
        std::vector<Point> points = series_[i].points;
        std::sort(points.begin(), points.end(), [](const Point& a, const Point& b) { return a.x < b.x; });

        p.setClipRect(top.adjusted(-4, -4, 4, 4));
        QPainterPath fractionLine;
        for (std::size_t k = 0; k < points.size(); ++k) {
            const QPointF at(toX(points[k].x) + dodge, fractionY(points[k].fraction.middle));
            k == 0 ? fractionLine.moveTo(at) : fractionLine.lineTo(at);
        }
        for (const Point& pt : points)
            drawBar(p, toX(pt.x) + dodge, fractionY(pt.fraction.low), fractionY(pt.fraction.high), color);
        p.setPen(seriesLine(index, color));
        p.setBrush(Qt::NoBrush);
        p.drawPath(fractionLine);
        for (const Point& pt : points)
            drawMarker(p, QPointF(toX(pt.x) + dodge, fractionY(pt.fraction.middle)), index, color);

        // A cell where no trial initialized has no time: the line breaks there.
        p.setClipRect(low.adjusted(-4, -4, 4, 4));
        QPainterPath timeLine;
        bool joined = false;
        for (const Point& pt : points) {
            if (!pt.time) {
                joined = false;
                continue;
            }
            const QPointF at(toX(pt.x) + dodge, timeY(pt.time->middle));
            joined ? timeLine.lineTo(at) : timeLine.moveTo(at);
            joined = true;
        }
        for (const Point& pt : points)
            if (pt.time)
                drawBar(p, toX(pt.x) + dodge, timeY(pt.time->low), timeY(pt.time->high), color);
        p.setPen(seriesLine(index, color));
        p.setBrush(Qt::NoBrush);
        p.drawPath(timeLine);
        for (const Point& pt : points)
            if (pt.time)
                drawMarker(p, QPointF(toX(pt.x) + dodge, timeY(pt.time->middle)), index, color);
        p.setClipping(false);
    }

    // The legend, in the rows layout() made room for.
    p.setFont(labelFont);
    const double rowHeight = labelMetrics.height() + 1.0;
    double x = l.legend.left();
    double y = l.legend.top();
    for (std::size_t i = 0; i < series_.size(); ++i) {
        const int index = static_cast<int>(i);
        const QString name = fromUtf8(series_[i].name);
        const double entry = legendSample + 3.0 + labelMetrics.horizontalAdvance(name);
        if (x > l.legend.left() && x + entry > l.legend.right() + 0.5) {
            x = l.legend.left();
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
    const int width = static_cast<int>(std::lround(size.widthInches * size.dpi));
    const int height = static_cast<int>(std::lround(size.heightInches * size.dpi));
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        throw std::runtime_error("not enough memory for a plot of " + std::to_string(width) + " by " +
                                 std::to_string(height) + " pixels");
    // Viewers and page layout programs read the resolution from the file and show it at its size on paper.
    const int dotsPerMeter = static_cast<int>(std::lround(size.dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    QPainter p(&image);
    const double scale = size.dpi / pointsPerInch;
    p.scale(scale, scale);
    draw(p, width / scale, height / scale);
    p.end();
    return image;
}

std::string SweepPlot::encode(PlotFormat format, const PlotSize& size) const
{
    const OffscreenGui gui;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const double width = size.widthInches * pointsPerInch;
    const double height = size.heightInches * pointsPerInch;
    switch (format) {
    case PlotFormat::Png:
        if (!render(size).save(&buffer, "PNG"))
            throw std::runtime_error("cannot encode the plot as PNG");
        break;
    case PlotFormat::Svg: {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setResolution(vectorResolution);
        svg.setSize(QSize(static_cast<int>(std::lround(size.widthInches * vectorResolution)),
                          static_cast<int>(std::lround(size.heightInches * vectorResolution))));
        // Drawn in points: the view box maps them onto the size on paper.
        svg.setViewBox(QRectF(0, 0, width, height));
        svg.setTitle(fromUtf8(title_));
        QPainter p;
        if (!p.begin(&svg))
            throw std::runtime_error("cannot draw the plot as SVG");
        draw(p, width, height);
        p.end();
        break;
    }
    case PlotFormat::Pdf: {
        QPdfWriter pdf(&buffer);
        pdf.setCreator("velmora-sim");
        pdf.setTitle(fromUtf8(title_));
        pdf.setResolution(vectorResolution);
        pdf.setPageSize(QPageSize(QSizeF(size.widthInches, size.heightInches), QPageSize::Inch, QString(),
                                  QPageSize::ExactMatch));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter p;
        if (!p.begin(&pdf))
            throw std::runtime_error("cannot draw the plot as PDF");
        const double scale = vectorResolution / pointsPerInch;
        p.scale(scale, scale);
        // Qt sets a page in whole points; the plot fills the page it got.
        const QRect page = pdf.pageLayout().fullRectPoints();
        draw(p, page.width(), page.height());
        p.end();
        break;
    }
    }
    return bytes.toStdString();
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
