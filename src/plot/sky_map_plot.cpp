#include "plot/sky_map_plot.h"

#include "plot/plot_encoding.h"
#include "plot/plot_style.h"

#include <QFontMetricsF>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>

namespace velmora {
namespace {

constexpr double pi = 3.141592653589793;
constexpr double pad = 4.0;
constexpr double scaleHeight = 30.0;
// Vector files get the map as an image of at most this many pixels across a panel.
constexpr double maxRasterWidth = 1200.0;

// Viridis at five stops: dark to light, readable in grey print and by colour-blind readers.
constexpr std::array<std::array<int, 3>, 5> viridis{{{68, 1, 84}, {59, 82, 139}, {33, 145, 140}, {94, 201, 98}, {253, 231, 37}}};

QPen trackPen(int index)
{
    QPen pen(index == 0 ? QColor(Qt::white) : QColor(Qt::black), 1.1);
    if (index != 0)
        pen.setDashPattern({3.0, 2.0});
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

}  // namespace

SkyMapPlot::SkyMapPlot(std::string title, double maxSeconds) : title_(std::move(title)), maxSeconds_(maxSeconds) {}

void SkyMapPlot::addPanel(Panel panel) { panels_.push_back(std::move(panel)); }

QColor SkyMapPlot::timeColor(double seconds) const
{
    const double f = maxSeconds_ > 0.0 ? std::clamp(seconds / maxSeconds_, 0.0, 1.0) : 0.0;
    const double at = f * static_cast<double>(viridis.size() - 1);
    const auto i = std::min<std::size_t>(static_cast<std::size_t>(at), viridis.size() - 2);
    const double t = at - static_cast<double>(i);
    const auto mix = [&](int k) {
        return static_cast<int>(std::lround((1.0 - t) * viridis[i][static_cast<std::size_t>(k)] +
                                            t * viridis[i + 1][static_cast<std::size_t>(k)]));
    };
    return QColor(mix(0), mix(1), mix(2));
}

QColor SkyMapPlot::neverColor() { return QColor(214, 39, 40); }

QPointF SkyMapPlot::project(const Vec3& d)
{
    const double longitude = std::atan2(d.y, d.x);
    const double latitude = std::asin(std::clamp(d.z, -1.0, 1.0));
    // 2 theta + sin 2 theta = pi sin(latitude), by Newton's method; at the poles theta is the latitude.
    double theta = latitude;
    if (std::fabs(latitude) < pi / 2 - 1e-9) {
        const double target = pi * std::sin(latitude);
        for (int k = 0; k < 50; ++k) {
            const double step = (2.0 * theta + std::sin(2.0 * theta) - target) / (2.0 + 2.0 * std::cos(2.0 * theta));
            theta -= step;
            if (std::fabs(step) < 1e-12)
                break;
        }
    }
    return {-2.0 * longitude / pi * std::cos(theta), std::sin(theta)};
}

std::optional<Vec3> SkyMapPlot::unproject(QPointF point)
{
    const double x = point.x();
    const double y = point.y();
    if (x * x / 4.0 + y * y > 1.0)
        return std::nullopt;
    const double theta = std::asin(std::clamp(y, -1.0, 1.0));
    const double latitude = std::asin(std::clamp((2.0 * theta + std::sin(2.0 * theta)) / pi, -1.0, 1.0));
    const double c = std::cos(theta);
    const double longitude = c > 0.0 ? std::clamp(-pi * x / (2.0 * c), -pi, pi) : 0.0;
    return Vec3{std::cos(latitude) * std::cos(longitude), std::cos(latitude) * std::sin(longitude), std::sin(latitude)};
}

std::string SkyMapPlot::encode(PlotFormat format, const PlotSize& size) const
{
    return encodePlot(format, size, title_, metadata_, [this](QPainter& p, double w, double h) { draw(p, w, h); });
}

void SkyMapPlot::draw(QPainter& p, double width, double height) const
{
    p.fillRect(QRectF(0, 0, width, height), Qt::white);
    p.setRenderHint(QPainter::Antialiasing);
    const QFont titleFont = plotFont(labelPoints, true);
    // A long title (a plan file's name, many parameters) breaks into lines rather than off the page.
    const int titleFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
    const QRectF titleRoom(pad, pad, width - 2 * pad, height / 4);
    const double titleHeight =
        QFontMetricsF(titleFont).boundingRect(titleRoom, titleFlags, fromUtf8(title_)).height() + pad;
    p.setFont(titleFont);
    p.setPen(Qt::black);
    p.drawText(titleRoom, titleFlags, fromUtf8(title_));
    const double top = pad + titleHeight;
    const double panelsHeight = height - top - scaleHeight - pad;
    const auto count = static_cast<double>(std::max<std::size_t>(1, panels_.size()));
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        const double y = top + panelsHeight * static_cast<double>(i) / count;
        drawPanel(p, panels_[i], QRectF(pad, y, width - 2 * pad, panelsHeight / count));
    }
    drawScale(p, QRectF(pad, height - scaleHeight - pad, width - 2 * pad, scaleHeight));
}

void SkyMapPlot::drawPanel(QPainter& p, const Panel& panel, const QRectF& area) const
{
    const QFont label = plotFont(labelPoints);
    const double labelHeight = QFontMetricsF(label).height();
    p.setFont(label);
    p.setPen(Qt::black);
    p.drawText(QRectF(area.left(), area.top(), area.width(), labelHeight), Qt::AlignHCenter | Qt::AlignTop,
               fromUtf8(panel.title));
    // The ellipse, twice as wide as tall, as large as the panel allows.
    const double roomHeight = area.height() - labelHeight - pad;
    const double h = std::min(roomHeight, area.width() / 2.0);
    const QRectF ellipse(area.center().x() - h, area.top() + labelHeight + pad / 2 + (roomHeight - h) / 2, 2 * h, h);
    const auto toPoint = [&ellipse](QPointF m) {
        return QPointF(ellipse.center().x() + m.x() * ellipse.width() / 4.0,
                       ellipse.center().y() - m.y() * ellipse.height() / 2.0);
    };

    const double deviceScale = std::max(1.0, p.deviceTransform().m11());
    const int columns = static_cast<int>(std::clamp(ellipse.width() * deviceScale, 8.0, maxRasterWidth));
    const int rows = std::max(4, columns / 2);
    QImage raster(columns, rows, QImage::Format_ARGB32);
    raster.fill(Qt::transparent);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const QPointF m(4.0 * (c + 0.5) / columns - 2.0, 1.0 - 2.0 * (r + 0.5) / rows);
            if (const std::optional<Vec3> d = unproject(m)) {
                const std::optional<double> t = panel.timeAt(*d);
                raster.setPixelColor(c, r, t ? timeColor(*t) : neverColor());
            }
        }
    }
    p.drawImage(ellipse, raster);

    p.setBrush(Qt::NoBrush);
    for (std::size_t k = 0; k < panel.tracks.size(); ++k) {
        p.setPen(trackPen(static_cast<int>(k)));
        QPainterPath path;
        bool open = false;
        QPointF last;
        for (const Vec3& d : panel.tracks[k].directions) {
            const QPointF m = project(d);
            // A track crossing longitude 180 degrees leaves one edge of the map and enters at the other.
            if (!open || std::fabs(m.x() - last.x()) > 1.0)
                path.moveTo(toPoint(m));
            else
                path.lineTo(toPoint(m));
            open = true;
            last = m;
        }
        p.drawPath(path);
    }
    p.setPen(QPen(Qt::black, 0.5));
    p.drawEllipse(ellipse);
}

void SkyMapPlot::drawScale(QPainter& p, const QRectF& area) const
{
    const QFont tick = plotFont(tickPoints);
    const QFontMetricsF metrics(tick);
    p.setFont(tick);
    const double barHeight = 6.0;
    const QRectF bar(area.left() + area.width() * 0.1, area.top() + 2.0, area.width() * 0.5, barHeight);
    QLinearGradient gradient(bar.topLeft(), bar.topRight());
    for (std::size_t i = 0; i < viridis.size(); ++i)
        gradient.setColorAt(static_cast<double>(i) / static_cast<double>(viridis.size() - 1),
                            QColor(viridis[i][0], viridis[i][1], viridis[i][2]));
    p.fillRect(bar, gradient);
    p.setPen(QPen(Qt::black, 0.5));
    p.drawRect(bar);
    const double step = tickStep(maxSeconds_ > 0.0 ? maxSeconds_ : 1.0, 4);
    for (double t = 0.0; t <= maxSeconds_ + 1e-9; t += step) {
        const double x = bar.left() + bar.width() * (maxSeconds_ > 0.0 ? t / maxSeconds_ : 0.0);
        p.drawLine(QPointF(x, bar.bottom()), QPointF(x, bar.bottom() + 2.0));
        p.drawText(QRectF(x - 20.0, bar.bottom() + 2.0, 40.0, metrics.height()), Qt::AlignHCenter | Qt::AlignTop,
                   tickText(t));
    }
    p.drawText(QRectF(bar.left(), bar.bottom() + 2.0 + metrics.height(), bar.width(), metrics.height()),
               Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("seconds to first mutual sighting"));
    const QRectF never(bar.right() + 10.0, bar.top(), 10.0, barHeight);
    p.fillRect(never, neverColor());
    p.drawRect(never);
    p.drawText(QRectF(never.right() + 3.0, never.top() - 2.0, 60.0, metrics.height()), Qt::AlignLeft | Qt::AlignTop,
               QStringLiteral("never"));
    // The tracks' legend: the first panel names them.
    if (panels_.empty())
        return;
    double y = bar.top() + metrics.height() + 2.0;
    for (std::size_t k = 0; k < panels_.front().tracks.size(); ++k) {
        const double x = never.left();
        p.setPen(QPen(Qt::gray, 3.0));
        p.drawLine(QPointF(x, y + metrics.height() / 2), QPointF(x + 14.0, y + metrics.height() / 2));
        p.setPen(trackPen(static_cast<int>(k)));
        p.drawLine(QPointF(x, y + metrics.height() / 2), QPointF(x + 14.0, y + metrics.height() / 2));
        p.setPen(Qt::black);
        p.drawText(QRectF(x + 17.0, y, area.right() - x - 17.0, metrics.height()), Qt::AlignLeft | Qt::AlignTop,
                   fromUtf8(panels_.front().tracks[k].name));
        y += metrics.height();
    }
}

}  // namespace velmora
