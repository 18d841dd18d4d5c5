// The sky map: Mollweide's projection against values worked out with SciPy, and a drawn map whose halves
// come out in the colours and places the data give them.
#include "plot/offscreen_gui.h"
#include "plot/sky_map_plot.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velmora {
namespace {

TEST(SkyMapPlot, ProjectsLikeMollweideWithPlusXInTheMiddleAndLongitudeToTheLeft)
{
    struct Case {
        Vec3 d;
        double x;
        double y;
    };
    const double s = std::sqrt(0.5);
    // Latitude 45 degrees: 2 theta + sin 2 theta = pi sin 45 degrees gives theta = 0.6335899700218035
    // (scipy.optimize.brentq); at longitude 60 degrees x = -(2/3) cos theta.
    const Case cases[] = {{{1, 0, 0}, 0.0, 0.0},
                          {{0, 1, 0}, -1.0, 0.0},
                          {{0, -1, 0}, 1.0, 0.0},
                          {{0, 0, 1}, 0.0, 1.0},
                          {{0, 0, -1}, 0.0, -1.0},
                          {{s * 0.5, s * std::sqrt(0.75), s}, -0.5372715293056846, 0.5920417498322602}};
    for (const Case& c : cases) {
        const QPointF m = SkyMapPlot::project(c.d);
        EXPECT_NEAR(m.x(), c.x, 1e-12) << c.d.x << " " << c.d.y << " " << c.d.z;
        EXPECT_NEAR(m.y(), c.y, 1e-12) << c.d.x << " " << c.d.y << " " << c.d.z;
        if (std::fabs(c.d.z) < 1.0) {
            const auto back = SkyMapPlot::unproject(m);
            ASSERT_TRUE(back.has_value());
            EXPECT_NEAR(back->x, c.d.x, 1e-9);
            EXPECT_NEAR(back->y, c.d.y, 1e-9);
            EXPECT_NEAR(back->z, c.d.z, 1e-9);
        }
    }
    EXPECT_FALSE(SkyMapPlot::unproject(QPointF(1.9, 0.5)).has_value());
}

// Never above the equator, at once below it: the red half lies above the dark blue one, equal in area.
TEST(SkyMapPlot, DrawsNeverAndTimesWhereTheyLie)
{
    SkyMapPlot plot("title", 10.0);
    plot.addPanel({"upper never", [](const Vec3& d) -> std::optional<double> {
                       if (d.z > 0.0)
                           return std::nullopt;
                       return 0.0;
                   }, {}});
    const std::string png = plot.encode(PlotFormat::Png, {4.0, 3.0, 100});
    const OffscreenGui gui;
    const QImage image = QImage::fromData(QByteArray(png.data(), static_cast<qsizetype>(png.size())), "PNG");
    ASSERT_FALSE(image.isNull());
    const QColor zero = plot.timeColor(0.0);
    double neverCount = 0, neverY = 0, zeroCount = 0, zeroY = 0;
    // The colour scale's strip at the bottom shows both colours too; the map lies above it.
    for (int y = 0; y < image.height() - 60; ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c == SkyMapPlot::neverColor()) {
                ++neverCount;
                neverY += y;
            } else if (c == zero) {
                ++zeroCount;
                zeroY += y;
            }
        }
    ASSERT_GT(neverCount, 1000);
    EXPECT_NEAR(zeroCount / neverCount, 1.0, 0.05);
    EXPECT_LT(neverY / neverCount, zeroY / zeroCount);
}

}  // namespace
}  // namespace velmora
