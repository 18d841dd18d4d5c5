#pragma once

#include "geometry/vec3.h"
#include "plot/sweep_plot.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QPainter;

namespace velmora {

// Maps over the sphere of directions, one panel per map, each in Mollweide's equal-area projection as
// astronomy draws the sky (+x in the middle, longitude growing to the left, +z up): the colour says how many
// seconds it took to sight in that direction, from dark blue (at once) to yellow (the end of the scale),
// and red marks never. Each panel can carry tracks: directions over time drawn as lines, such as where a
// sensor pointed.
class SkyMapPlot {
public:
    struct Track {
        std::string name;
        std::vector<Vec3> directions;
    };
    struct Panel {
        std::string title;
        // The time to sight in a unit direction, or nothing for never.
        std::function<std::optional<double>(const Vec3& direction)> timeAt;
        std::vector<Track> tracks;
    };

    // maxSeconds: the colour scale's end (the plan's end).
    SkyMapPlot(std::string title, double maxSeconds);
    void addPanel(Panel panel);
    // Kept in the file, not drawn: the JSON that says how to make the map again.
    void setMetadata(std::string json) { metadata_ = std::move(json); }

    // The bytes of the plot's file; brings its own QGuiApplication when the program has none. Throws
    // std::runtime_error.
    std::string encode(PlotFormat format, const PlotSize& size) const;

    // The colour of a time from 0 to the scale's end, and of never.
    QColor timeColor(double seconds) const;
    static QColor neverColor();

    // Mollweide's projection of a unit direction onto the ellipse of half-axes 2 and 1, x to the left of the
    // centre for positive longitudes; and back, nothing outside the ellipse.
    static QPointF project(const Vec3& direction);
    static std::optional<Vec3> unproject(QPointF point);

private:
    void draw(QPainter& p, double widthPoints, double heightPoints) const;
    void drawPanel(QPainter& p, const Panel& panel, const QRectF& area) const;
    void drawScale(QPainter& p, const QRectF& area) const;

    std::string title_;
    double maxSeconds_;
    std::vector<Panel> panels_;
    std::string metadata_;
};

}  // namespace velmora
