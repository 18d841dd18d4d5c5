#include "plot/sweep_plot.h"

#include "plot/plot_style.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace velmora {
namespace {

constexpr double pad = 4.0;
constexpr double tickLength = 2.5;
constexpr double panelGap = 9.0;
constexpr double legendSample = 16.0;
constexpr double columnGap = 7.0;
constexpr double rowGap = 5.0;

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


SweepPlot::SweepPlot(std::string title, std::string xLabel, std::string fractionLabel, std::string timeLabel,
                     Kind kind)
    : title_(std::move(title)), xLabel_(std::move(xLabel)), fractionLabel_(std::move(fractionLabel)),
      timeLabel_(std::move(timeLabel)), kind_(kind)
{
}

void SweepPlot::addSeries(Series series) { series_.push_back(std::move(series)); }

void SweepPlot::setPanels(std::vector<std::string> columns, std::vector<std::string> rows)
{
    columns_ = columns.empty() ? std::vector<std::string>{""} : std::move(columns);
    rows_ = rows.empty() ? std::vector<std::string>{""} : std::move(rows);
}

void SweepPlot::setCaption(std::string caption) { caption_ = std::move(caption); }

void SweepPlot::setMetadata(std::string json) { metadata_ = std::move(json); }

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
    int legendRows = series_.empty() ? 0 : 1;
    for (const Series& s : series_) {
        const double entry = legendSample + 3.0 + label.horizontalAdvance(fromUtf8(s.name));
        if (rowWidth > 0.0 && rowWidth + 8.0 + entry > width - 2.0 * pad) {
            ++legendRows;
            widest = std::max(widest, rowWidth);
            rowWidth = 0.0;
        }
        rowWidth += (rowWidth > 0.0 ? 8.0 : 0.0) + entry;
    }
    widest = std::max(widest, rowWidth);
    Layout l;
    l.legend = QRectF((width - widest) / 2.0, top, widest, legendRows * rowHeight);
    top += legendRows * rowHeight + 3.0;

    double bottom = height - pad;
    if (!caption_.empty()) {
        const QRectF text = tick.boundingRect(QRectF(0, 0, width - 2.0 * pad, height), Qt::TextWordWrap,
                                              fromUtf8(caption_));
        l.caption = QRectF(pad, bottom - text.height(), width - 2.0 * pad, text.height());
        bottom = l.caption.top() - 2.0;
    }
    bottom -= label.height();  // the x axis's label

    double tickWidth = tick.horizontalAdvance("100 %");
    if (kind_ == Kind::Sweep)
        for (const double t : timeAxisOf(series_).ticks)
            tickWidth = std::max(tickWidth, tick.horizontalAdvance(tickText(t)));
    const double left = pad + label.height() + 2.0 + tickWidth + tickLength + 1.5;
    const double right = width - pad - tick.horizontalAdvance("00") / 2.0;
    const bool labelled = std::any_of(columns_.begin(), columns_.end(), [](auto& c) { return !c.empty(); }) ||
                          std::any_of(rows_.begin(), rows_.end(), [](auto& r) { return !r.empty(); });
    const double header = labelled ? tick.height() + 3.0 : 0.0;
    const double xTickRow = tickLength + tick.height() + 1.0;
    const double cellWidth = std::max(1.0, (right - left - (columns() - 1) * columnGap) / columns());
    const double cellHeight = std::max(1.0, (bottom - top - (rows() - 1) * rowGap) / rows());
    for (int r = 0; r < rows(); ++r)
        for (int c = 0; c < columns(); ++c) {
            const double x = left + c * (cellWidth + columnGap);
            const double y = top + r * (cellHeight + rowGap) + header;
            const double area = std::max(2.0, cellHeight - header - xTickRow);
            Cell cell;
            if (kind_ == Kind::Curves) {
                cell.fraction = QRectF(x, y, cellWidth, area);
            } else {
                const double panelHeight = std::max(1.0, (area - panelGap) / 2.0);
                cell.fraction = QRectF(x, y, cellWidth, panelHeight);
                cell.time = QRectF(x, y + panelHeight + panelGap, cellWidth, panelHeight);
            }
            l.cells.push_back(cell);
        }
    l.fractionPanel = l.cells.front().fraction;
    l.timePanel = l.cells.front().time;
    return l;
}

SweepPlot::Frame SweepPlot::frame(double width, double height) const
{
    Frame f;
    f.layout = layout(width, height);
    // The x range, shared by every panel, a little wider than the data so end markers are not cut.
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
    if (kind_ == Kind::Curves) {
        // Times from a fraction of a second to hours: from the first time any formation initialized (or the
        // run's end) to the last point.
        f.xTime = TimeAxis::spanning(xs.empty() ? 1.0 : std::max(xs.front(), 1e-2), xs.empty() ? 10.0 : f.xMax);
        f.xTicks = f.xTime->ticks;
        return f;
    }
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

double SweepPlot::Frame::toX(const Cell& cell, double x) const
{
    const double at = xTime ? xTime->position(x) : (x - xMin) / (xMax - xMin);
    return cell.fraction.left() + at * cell.fraction.width();
}

double SweepPlot::Frame::fractionY(const Cell& cell, double fraction) const
{
    return cell.fraction.bottom() - fraction * cell.fraction.height();
}

double SweepPlot::Frame::timeY(const Cell& cell, double t) const
{
    return cell.time.bottom() - time.position(t) * cell.time.height();
}

void SweepPlot::draw(QPainter& p, double width, double height) const
{
    const Frame f = frame(width, height);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRectF(0, 0, width, height), Qt::white);
    p.setPen(Qt::black);
    if (!title_.empty()) {
        p.setFont(plotFont(labelPoints, true));
        const QString title =
            QFontMetricsF(p.font()).elidedText(fromUtf8(title_), Qt::ElideRight, width - 2.0 * pad);
        p.drawText(QRectF(pad, pad, width - 2.0 * pad, f.layout.legend.top() - pad), Qt::AlignHCenter | Qt::AlignTop,
                   title);
    }
    for (int cell = 0; cell < static_cast<int>(f.layout.cells.size()); ++cell) {
        drawAxes(p, f, cell);
        for (std::size_t i = 0; i < series_.size(); ++i)
            kind_ == Kind::Curves ? drawCurve(p, f, static_cast<int>(i), cell)
                                  : drawSeries(p, f, static_cast<int>(i), cell);
    }
    drawLegend(p, f.layout.legend);
    // The x axis's label, centred under the grid.
    const Cell& first = f.layout.cells.front();
    const Cell& last = f.layout.cells.back();
    const QRectF& lowest = kind_ == Kind::Curves ? last.fraction : last.time;
    const QFontMetricsF labelMetrics(plotFont(labelPoints));
    const QFontMetricsF tickMetrics(plotFont(tickPoints));
    p.setPen(Qt::black);
    p.setFont(plotFont(labelPoints));
    p.drawText(QRectF(first.fraction.left(), lowest.bottom() + tickLength + tickMetrics.height() + 0.5,
                      lowest.right() - first.fraction.left(), labelMetrics.height()),
               Qt::AlignHCenter | Qt::AlignTop, fromUtf8(xLabel_));
    if (!caption_.empty()) {
        p.setFont(plotFont(tickPoints));
        p.setPen(QColor(60, 60, 60));
        p.drawText(f.layout.caption, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, fromUtf8(caption_));
    }
}

void SweepPlot::drawAxes(QPainter& p, const Frame& f, int index) const
{
    const Cell& cell = f.layout.cells[static_cast<std::size_t>(index)];
    const bool firstColumn = index % columns() == 0;
    const QFont labelFont = plotFont(labelPoints);
    const QFont tickFont = plotFont(tickPoints);
    const QFontMetricsF labelMetrics(labelFont);
    const QFontMetricsF tickMetrics(tickFont);
    const QRectF& top = cell.fraction;
    const QRectF& low = cell.time;
    const bool curves = kind_ == Kind::Curves;
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
    // Tick labels only left of the first column: the panels of a row share their y axes.
    const auto yTick = [&](const QRectF& panel, double y, const QString& text) {
        p.setPen(QPen(grid, 0.4));
        p.drawLine(QPointF(panel.left(), y), QPointF(panel.right(), y));
        p.setPen(QPen(Qt::black, 0.5));
        p.drawLine(QPointF(panel.left() - tickLength, y), QPointF(panel.left(), y));
        if (!firstColumn)
            return;
        p.setFont(tickFont);
        p.drawText(QRectF(0, y - tickMetrics.height() / 2.0, panel.left() - tickLength - 1.5, tickMetrics.height()),
                   Qt::AlignRight | Qt::AlignVCenter, text);
    };

    for (int k = 0; k <= 4; ++k)
        yTick(top, f.fractionY(cell, k / 4.0), QString::number(k * 25) + " %");
    if (!curves)
        for (const double t : f.time.ticks)
            yTick(low, f.timeY(cell, t), tickText(t));
    const QRectF& lowest = curves ? top : low;
    for (const double x : f.xTicks) {
        const double px = f.toX(cell, x);
        for (const QRectF* panel : {&top, &low}) {
            if (panel->isEmpty())
                continue;
            p.setPen(QPen(grid, 0.4));
            p.drawLine(QPointF(px, panel->top()), QPointF(px, panel->bottom()));
            p.setPen(QPen(Qt::black, 0.5));
            p.drawLine(QPointF(px, panel->bottom()), QPointF(px, panel->bottom() + tickLength));
        }
        // A label on a panel's right edge would run into the next panel's first one: only the last column's.
        const bool lastColumn = index % columns() == columns() - 1;
        if (!lastColumn && px > lowest.right() - 0.5)
            continue;
        p.setFont(tickFont);
        p.drawText(QRectF(px - 20.0, lowest.bottom() + tickLength + 0.5, 40.0, tickMetrics.height()),
                   Qt::AlignHCenter | Qt::AlignTop, tickText(x));
    }
    p.setPen(QPen(Qt::black, 0.6));
    p.setBrush(Qt::NoBrush);
    p.drawRect(top);
    if (!curves)
        p.drawRect(low);
    // The cell's values of the parameters the grid spreads: "max speed 5 · craft 8".
    const std::string& column = columns_[static_cast<std::size_t>(index % columns())];
    const std::string& row = rows_[static_cast<std::size_t>(index / columns())];
    const std::string heading = column + (!column.empty() && !row.empty() ? " · " : "") + row;
    if (!heading.empty()) {
        p.setFont(tickFont);
        p.setPen(Qt::black);
        p.drawText(QRectF(top.left(), top.top() - tickMetrics.height() - 1.0, top.width(), tickMetrics.height()),
                   Qt::AlignHCenter | Qt::AlignBottom,
                   tickMetrics.elidedText(fromUtf8(heading), Qt::ElideRight, top.width()));
    }
    if (firstColumn) {
        yLabel(top, fractionLabel_);
        if (!curves)
            yLabel(low, timeLabel_);
    }
    if (!curves && !f.anyTime) {
        p.setFont(tickFont);
        p.setPen(QColor(110, 110, 110));
        p.drawText(low, Qt::AlignCenter, "not reached");
    }
}

void SweepPlot::drawSeries(QPainter& p, const Frame& f, int index, int cellIndex) const
{
    const Cell& cell = f.layout.cells[static_cast<std::size_t>(cellIndex)];
    const QColor color = seriesColor(index);
    const QRectF& top = cell.fraction;
    const QRectF& low = cell.time;
    // Series side by side at each x, a little apart, so equal values do not hide each other.
    const double dodge = (static_cast<double>(index) - (static_cast<double>(series_.size()) - 1.0) / 2.0) * 1.6;
    std::vector<Point> points;
    for (const Point& pt : series_[static_cast<std::size_t>(index)].points)
        if (pt.panel == cellIndex)
            points.push_back(pt);
    std::sort(points.begin(), points.end(), [](const Point& a, const Point& b) { return a.x < b.x; });
    const auto x = [&](const Point& pt) { return f.toX(cell, pt.x) + dodge; };

    p.setClipRect(top.adjusted(-4, -4, 4, 4));
    QPainterPath fractionLine;
    for (std::size_t k = 0; k < points.size(); ++k) {
        const QPointF at(x(points[k]), f.fractionY(cell, points[k].fraction.middle));
        k == 0 ? fractionLine.moveTo(at) : fractionLine.lineTo(at);
    }
    for (const Point& pt : points)
        drawBar(p, x(pt), f.fractionY(cell, pt.fraction.low), f.fractionY(cell, pt.fraction.high), color);
    p.setPen(seriesLine(index, color));
    p.setBrush(Qt::NoBrush);
    p.drawPath(fractionLine);
    for (const Point& pt : points)
        drawMarker(p, QPointF(x(pt), f.fractionY(cell, pt.fraction.middle)), index, color);

    // A cell without a time breaks the line there.
    p.setClipRect(low.adjusted(-4, -4, 4, 4));
    QPainterPath timeLine;
    bool joined = false;
    for (const Point& pt : points) {
        if (!pt.time) {
            joined = false;
            continue;
        }
        const QPointF at(x(pt), f.timeY(cell, pt.time->middle));
        joined ? timeLine.lineTo(at) : timeLine.moveTo(at);
        joined = true;
    }
    for (const Point& pt : points)
        if (pt.time)
            drawBar(p, x(pt), f.timeY(cell, pt.time->low), f.timeY(cell, pt.time->high), color);
    p.setPen(seriesLine(index, color));
    p.setBrush(Qt::NoBrush);
    p.drawPath(timeLine);
    for (const Point& pt : points)
        if (pt.time)
            drawMarker(p, QPointF(x(pt), f.timeY(cell, pt.time->middle)), index, color);
    p.setClipping(false);
}

void SweepPlot::drawCurve(QPainter& p, const Frame& f, int index, int cellIndex) const
{
    const Cell& cell = f.layout.cells[static_cast<std::size_t>(cellIndex)];
    const QColor color = seriesColor(index);
    std::vector<Point> points;
    for (const Point& pt : series_[static_cast<std::size_t>(index)].points)
        if (pt.panel == cellIndex)
            points.push_back(pt);
    std::sort(points.begin(), points.end(), [](const Point& a, const Point& b) { return a.x < b.x; });
    if (points.empty())
        return;
    // The fraction holds from each time to the next: none before the first.
    p.setClipRect(cell.fraction.adjusted(-1, -1, 1, 1));
    QPainterPath steps;
    double fraction = 0.0;
    steps.moveTo(cell.fraction.left(), f.fractionY(cell, 0.0));
    for (const Point& pt : points) {
        const double x = f.toX(cell, std::max(pt.x, f.xTime->low));
        steps.lineTo(x, f.fractionY(cell, fraction));
        fraction = pt.fraction.middle;
        steps.lineTo(x, f.fractionY(cell, fraction));
    }
    p.setPen(seriesLine(index, color));
    p.setBrush(Qt::NoBrush);
    p.drawPath(steps);
    // The run's end: a marker where the curve stops.
    drawMarker(p, QPointF(f.toX(cell, points.back().x), f.fractionY(cell, fraction)), index, color);
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

}  // namespace velmora
