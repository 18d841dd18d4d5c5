// The sweep plot drawn offscreen: lines where the data put them, a legend, the DejaVu font, PNG files.
#include "plot/fraction_plot.h"
#include "plot/offscreen_gui.h"
#include "support/tight_disk.h"

#include <QFontInfo>
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace velmora {
namespace {

struct Extent {
    int xMin = 1 << 30, xMax = -1, yMin = 1 << 30, yMax = -1;
    int count = 0;
};

// Where pixels of exactly this colour lie within the columns [x0, x1).
Extent extentOf(const QImage& image, QColor color, int x0, int x1)
{
    Extent e;
    for (int y = 0; y < image.height(); ++y)
        for (int x = x0; x < x1; ++x)
            if (image.pixelColor(x, y) == color) {
                e.xMin = std::min(e.xMin, x);
                e.xMax = std::max(e.xMax, x);
                e.yMin = std::min(e.yMin, y);
                e.yMax = std::max(e.yMax, y);
                ++e.count;
            }
    return e;
}

FractionPlot risingAndFalling()
{
    FractionPlot plot("Title text", "x label", "y label");
    plot.addSeries({"Rising", {{10, 0.0, 0.0, 0.1}, {20, 0.5, 0.4, 0.6}, {30, 1.0, 0.9, 1.0}}});
    plot.addSeries({"Falling", {{30, 0.0, 0.0, 0.1}, {10, 1.0, 0.9, 1.0}, {20, 0.5, 0.4, 0.6}}});
    return plot;
}

TEST(FractionPlot, DrawsEachSeriesWhereItsDataLieWithALegendBeside)
{
    const OffscreenGui gui;
    const QImage image = risingAndFalling().render(800, 500);
    ASSERT_EQ(image.size(), QSize(800, 500));
    const QColor rising = FractionPlot::seriesColor(0);
    const QColor falling = FractionPlot::seriesColor(1);
    ASSERT_NE(rising, falling);

    // The plot area is the left part; the legend sits to its right.
    const Extent risingLeft = extentOf(image, rising, 0, 250);
    const Extent fallingLeft = extentOf(image, falling, 0, 250);
    ASSERT_GT(risingLeft.count, 20);
    ASSERT_GT(fallingLeft.count, 20);
    // Low on the left for the rising series, high for the falling one (image y grows downwards).
    EXPECT_GT(risingLeft.yMax, 380);
    EXPECT_LT(fallingLeft.yMin, 80);
    const Extent risingMiddle = extentOf(image, rising, 300, 400);
    const Extent fallingMiddle = extentOf(image, falling, 300, 400);
    EXPECT_NEAR((risingMiddle.yMin + risingMiddle.yMax) / 2.0, (fallingMiddle.yMin + fallingMiddle.yMax) / 2.0, 60);

    const Extent risingLegend = extentOf(image, rising, 640, 800);
    const Extent fallingLegend = extentOf(image, falling, 640, 800);
    ASSERT_GT(risingLegend.count, 10);
    ASSERT_GT(fallingLegend.count, 10);
    EXPECT_LT(risingLegend.yMax, fallingLegend.yMin) << "legend rows in series order";

    // Text: the title row holds dark pixels in the middle of the image.
    int dark = 0;
    for (int y = 5; y < 40; ++y)
        for (int x = 300; x < 500; ++x)
            dark += image.pixelColor(x, y).lightness() < 80 ? 1 : 0;
    EXPECT_GT(dark, 50);
}

TEST(FractionPlot, DrawsTextInDejaVuSansAsTheSystemFindsIt)
{
    const OffscreenGui gui;
    const QString family = plotFontFamily();
    EXPECT_EQ(family, "DejaVu Sans");
    EXPECT_EQ(QFontInfo(QFont(family)).family(), "DejaVu Sans");
}

TEST(FractionPlot, SavesAPngThatReadsBackAndReportsAMissingFolder)
{
    const auto dir = std::filesystem::temp_directory_path() / ("velmora-plot-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const FractionPlot plot = risingAndFalling();
    const std::string path = (dir / "plot.png").string();
    plot.savePng(path, 640, 400);
    std::optional<OffscreenGui> gui;
    gui.emplace();
    const QImage saved(QString::fromStdString(path));
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), QSize(640, 400));
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), plot.render(640, 400));
    gui.reset();

    EXPECT_THROW(plot.savePng((dir / "missing" / "plot.png").string(), 640, 400), std::runtime_error);
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
    std::filesystem::remove_all(dir);
}

// The PNG's last bytes reach the disk only when the file is closed; failing there must fail the save too.
TEST(FractionPlot, ASaveThatFailsAtItsLastBytesThrowsAndKeepsTheOldFile)
{
    const auto dir = std::filesystem::temp_directory_path() / ("velmora-plot-full-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const FractionPlot plot = risingAndFalling();
    plot.savePng((dir / "probe.png").string(), 960, 560);
    const auto size = std::filesystem::file_size(dir / "probe.png");
    ASSERT_GT(size, 16384u) << "more than fits on the nearly full disk";

    const auto saveOver = [&](const std::string& target) -> std::string {
        std::ofstream(target, std::ios::binary) << "old plot";
        try {
            plot.savePng(target, 960, 560);
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return "saved";
    };
    {
        const test::FileSizeCap cap(size - 1);
        EXPECT_NE(saveOver((dir / "sweep.png").string()).find("File too large"), std::string::npos);
    }
    EXPECT_EQ(test::readAll(dir / "sweep.png"), "old plot");
    std::filesystem::remove_all(dir);

    const test::NearlyFullDisk disk;
    VELMORA_NEEDS_NEARLY_FULL_DISK(disk);
    EXPECT_NE(saveOver(disk.path("sweep.png")).find("No space left on device"), std::string::npos);
    EXPECT_EQ(test::readAll(disk.path("sweep.png")), "old plot");
    EXPECT_EQ(disk.entries(), std::vector<std::string>{"sweep.png"});
}

}  // namespace
}  // namespace velmora
