// The sweep plot drawn offscreen: both panels where the data put them, a legend, the DejaVu font, and PNG,
// SVG and PDF files of the size asked for.
#include "plot/offscreen_gui.h"
#include "plot/sweep_plot.h"
#include "support/tight_disk.h"

#include <QBuffer>
#include <QFontInfo>
#include <QGuiApplication>
#include <QSvgRenderer>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <optional>

namespace velmora {
namespace {

struct Extent {
    int xMin = 1 << 30, xMax = -1, yMin = 1 << 30, yMax = -1;
    int count = 0;
};

// Where pixels of exactly this colour lie within a rectangle given in points, at dpi pixels per inch.
Extent extentOf(const QImage& image, QColor color, const QRectF& points, int dpi)
{
    const QRect r = QRectF(points.topLeft() * dpi / 72.0, points.size() * dpi / 72.0).toAlignedRect() &
                    image.rect();
    Extent e;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (image.pixelColor(x, y) == color) {
                e.xMin = std::min(e.xMin, x);
                e.xMax = std::max(e.xMax, x);
                e.yMin = std::min(e.yMin, y);
                e.yMax = std::max(e.yMax, y);
                ++e.count;
            }
    return e;
}

// Rising climbs in both panels, Falling drops in both; Gapped has no time at x = 20, where no trial of its
// cell initialized.
SweepPlot threeSeries()
{
    SweepPlot plot("Title text", "x label", "fraction", "time (s)");
    using S = SweepPlot::Spread;
    plot.addSeries({"Rising", {{10, {0.0, 0.05, 0.1}, S{1, 2, 3}}, {20, {0.4, 0.5, 0.6}, S{4, 5, 6}},
                               {30, {0.9, 0.95, 1.0}, S{7, 8, 9}}}});
    plot.addSeries({"Falling", {{30, {0.0, 0.05, 0.1}, S{1, 2, 3}}, {10, {0.9, 0.95, 1.0}, S{7, 8, 9}},
                                {20, {0.4, 0.5, 0.6}, S{4, 5, 6}}}});
    plot.addSeries({"Gapped", {{10, {0.2, 0.3, 0.4}, S{4, 5, 6}}, {20, {0.2, 0.3, 0.4}, std::nullopt},
                               {30, {0.2, 0.3, 0.4}, S{4, 5, 6}}}});
    return plot;
}

TEST(SweepPlot, DrawsBothPanelsWhereTheDataLieAndLeavesAGapWithoutATime)
{
    const OffscreenGui gui;
    const SweepPlot plot = threeSeries();
    const PlotSize size{3.5, 2.6, 300};
    const QImage image = plot.render(size);
    ASSERT_EQ(image.size(), QSize(1050, 780));
    const SweepPlot::Layout l = plot.layout(252, 187.2);
    ASSERT_LT(l.legend.bottom(), l.fractionPanel.top());
    ASSERT_LT(l.fractionPanel.bottom(), l.timePanel.top());

    const QColor rising = SweepPlot::seriesColor(0);
    const QColor falling = SweepPlot::seriesColor(1);
    const QColor gapped = SweepPlot::seriesColor(2);
    // Thirds of each panel's width: x = 10 in the left one, 20 in the middle, 30 in the right one.
    const auto third = [](const QRectF& panel, int k) {
        return QRectF(panel.left() + k * panel.width() / 3.0, panel.top(), panel.width() / 3.0, panel.height());
    };
    for (const QRectF& panel : {l.fractionPanel, l.timePanel}) {
        const Extent risingLeft = extentOf(image, rising, third(panel, 0), size.dpi);
        const Extent fallingLeft = extentOf(image, falling, third(panel, 0), size.dpi);
        ASSERT_GT(risingLeft.count, 20);
        ASSERT_GT(fallingLeft.count, 20);
        // On the left Rising is low and Falling high (image y grows downwards).
        const double middle = panel.center().y() * size.dpi / 72.0;
        EXPECT_GT(risingLeft.yMin, middle);
        EXPECT_LT(fallingLeft.yMax, middle);
        const Extent risingRight = extentOf(image, rising, third(panel, 2), size.dpi);
        EXPECT_LT(risingRight.yMax, middle);
    }
    // Gapped is drawn across the fraction panel, but not at x = 20 in the time panel: no marker there, and
    // no line joins its neighbours across the gap.
    const double at20 = l.fractionPanel.left() + l.fractionPanel.width() / 2.0;
    const auto column = [&](const QRectF& panel) { return QRectF(at20 - 8, panel.top(), 16, panel.height()); };
    EXPECT_GT(extentOf(image, gapped, column(l.fractionPanel), size.dpi).count, 20);
    EXPECT_EQ(extentOf(image, gapped, column(l.timePanel), size.dpi).count, 0);
    EXPECT_GT(extentOf(image, gapped, third(l.timePanel, 0), size.dpi).count, 20);

    // The legend names every series, in series order along its rows.
    const Extent risingLegend = extentOf(image, rising, l.legend, size.dpi);
    const Extent gappedLegend = extentOf(image, gapped, l.legend, size.dpi);
    ASSERT_GT(risingLegend.count, 10);
    ASSERT_GT(gappedLegend.count, 10);
    EXPECT_LT(risingLegend.xMax, gappedLegend.xMin);
}

// Text is set in points: at twice the resolution the title's letters are twice as many pixels tall.
TEST(SweepPlot, TextKeepsItsSizeOnPaperAtAnyResolution)
{
    const OffscreenGui gui;
    const SweepPlot plot = threeSeries();
    // The title is all that lies above the legend.
    const double titleRow = plot.layout(252, 187.2).legend.top();
    const auto titleHeight = [&](const QImage& image) {
        int top = -1;
        int bottom = -1;
        for (int y = 0; y < titleRow * image.width() / 252.0; ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y).lightness() < 80) {
                    top = top < 0 ? y : top;
                    bottom = y;
                }
        return bottom - top + 1;
    };
    const int at150 = titleHeight(plot.render({3.5, 2.6, 150}));
    const int at300 = titleHeight(plot.render({3.5, 2.6, 300}));
    // "Title text" in 8 pt: about 6 pt from the top of the T to the foot of the x, 12 px at 150 dpi.
    EXPECT_NEAR(at150, 12.5, 2.5);
    EXPECT_NEAR(at300, 2 * at150, 2);
}

TEST(SweepPlot, FormatsByExtensionAnyCase)
{
    const struct {
        const char* path;
        std::optional<PlotFormat> format;
    } cases[] = {
        {"a.png", PlotFormat::Png}, {"dir/a.PNG", PlotFormat::Png}, {"a.Svg", PlotFormat::Svg},
        {"a.pdf", PlotFormat::Pdf}, {"a.jpg", std::nullopt},       {"pdf", std::nullopt},
        {"a.png.txt", std::nullopt}, {".png", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(plotFormatOf(c.path), c.format) << c.path;
}

// A grid of panels: each point is drawn in its own cell and nowhere else, and every cell shares the axes.
TEST(SweepPlot, AGridDrawsEachPointInItsOwnPanel)
{
    const OffscreenGui gui;
    SweepPlot plot("", "x", "fraction", "time (s)");
    using S = SweepPlot::Spread;
    plot.addSeries({"Left", {{10, {0.1, 0.2, 0.3}, S{1, 2, 3}, 0}, {20, {0.1, 0.2, 0.3}, S{1, 2, 3}, 0}}});
    plot.addSeries({"Lower right", {{10, {0.7, 0.8, 0.9}, S{7, 8, 9}, 3}, {20, {0.7, 0.8, 0.9}, S{7, 8, 9}, 3}}});
    plot.setPanels({"a 1", "a 2"}, {"b 1", "b 2"});
    plot.setCaption("what every panel shares");
    const PlotSize size{5.0, 5.0, 150};
    const QImage image = plot.render(size);
    const SweepPlot::Layout l = plot.layout(360, 360);
    ASSERT_EQ(l.cells.size(), 4u);
    EXPECT_LT(l.cells[0].fraction.right(), l.cells[1].fraction.left());
    EXPECT_LT(l.cells[1].time.bottom(), l.cells[2].fraction.top());
    EXPECT_GT(l.caption.top(), l.cells[3].time.bottom());
    for (int series = 0; series < 2; ++series)
        for (int cell = 0; cell < 4; ++cell) {
            const QRectF& panel = l.cells[static_cast<std::size_t>(cell)].fraction;
            const int count = extentOf(image, SweepPlot::seriesColor(series), panel, size.dpi).count;
            const bool home = cell == (series == 0 ? 0 : 3);
            EXPECT_EQ(count > 20, home) << "series " << series << " in cell " << cell;
        }
    // Shared axes: the same fraction lies at the same height in both cells of a row.
    const Extent left = extentOf(image, SweepPlot::seriesColor(0), l.cells[0].fraction, size.dpi);
    EXPECT_NEAR((left.yMin + left.yMax) / 2.0 * 72.0 / size.dpi,
                l.cells[0].fraction.bottom() - 0.2 * l.cells[0].fraction.height(), 6.0);
}

TEST(SweepPlot, PngSvgAndPdfParseAtTheSizeAskedFor)
{
    SweepPlot plot = threeSeries();
    // The metadata travels in each format's own place, readable by its usual tools.
    const std::string metadata = R"({"command":["velmora-sim","sweep","--fov","<25 & 60>"]})";
    plot.setMetadata(metadata);

    std::optional<OffscreenGui> gui;
    for (const auto& [size, pixels] : {std::pair{PlotSize{3.5, 2.6, 300}, QSize(1050, 780)},
                                       std::pair{PlotSize{7.0, 4.0, 100}, QSize(700, 400)}}) {
        const std::string png = plot.encode(PlotFormat::Png, size);
        gui.emplace();
        const QImage image = QImage::fromData(QByteArray::fromStdString(png), "PNG");
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), pixels);
        EXPECT_NEAR(image.dotsPerMeterX() * 0.0254, size.dpi, 0.01);
        EXPECT_NEAR(image.dotsPerMeterY() * 0.0254, size.dpi, 0.01);
        EXPECT_EQ(image.text("velmora").toStdString(), metadata);
        gui.reset();
    }

    const std::string svg = plot.encode(PlotFormat::Svg, {3.5, 2.6, 300});
    {
        QXmlStreamReader reader(QByteArray::fromStdString(svg));
        ASSERT_TRUE(reader.readNextStartElement());
        EXPECT_EQ(reader.name(), QStringLiteral("svg"));
        EXPECT_EQ(reader.attributes().value("width"), QStringLiteral("88.9mm"));
        EXPECT_EQ(reader.attributes().value("height"), QStringLiteral("66.04mm"));
        ASSERT_TRUE(reader.readNextStartElement());
        EXPECT_EQ(reader.name(), QStringLiteral("metadata"));
        EXPECT_EQ(reader.readElementText().toStdString(), metadata);
        while (!reader.atEnd())
            reader.readNext();
        EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
        gui.emplace();
        const QSvgRenderer renderer(QByteArray::fromStdString(svg));
        EXPECT_TRUE(renderer.isValid());
        EXPECT_EQ(renderer.viewBoxF(), QRectF(0, 0, 252, 187.2));
        gui.reset();
    }

    // poppler reads the PDF as any viewer would: one page of 3.5 by 2.6 inches.
    const auto pdfPath = std::filesystem::temp_directory_path() / ("velmora-plot-" + std::to_string(::getpid()) + ".pdf");
    std::ofstream(pdfPath, std::ios::binary) << plot.encode(PlotFormat::Pdf, {3.5, 2.6, 300});
    FILE* pipe = ::popen(("pdfinfo " + pdfPath.string() + " 2>&1 && pdfinfo -meta " + pdfPath.string()).c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string info;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        info.append(buffer, n);
    EXPECT_EQ(::pclose(pipe), 0) << info;
    std::filesystem::remove(pdfPath);
    EXPECT_NE(info.find("Pages:           1\n"), std::string::npos) << info;
    // A PDF page from Qt measures whole points: 187.2 becomes 187, 0.07 mm short.
    EXPECT_NE(info.find("Page size:       252 x 187 pts"), std::string::npos) << info;
    EXPECT_NE(info.find("Title:           Title text\n"), std::string::npos) << info;
    EXPECT_NE(info.find(R"("--fov","&lt;25 &amp; 60&gt;"]})"), std::string::npos) << info;
}

TEST(SweepPlot, DrawsTextInDejaVuSansAsTheSystemFindsIt)
{
    const OffscreenGui gui;
    const QString family = plotFontFamily();
    EXPECT_EQ(family, "DejaVu Sans");
    EXPECT_EQ(QFontInfo(QFont(family)).family(), "DejaVu Sans");
}

TEST(SweepPlot, SavesAPngThatReadsBackAndReportsAMissingFolder)
{
    const auto dir = std::filesystem::temp_directory_path() / ("velmora-plot-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const SweepPlot plot = threeSeries();
    const std::string path = (dir / "plot.png").string();
    plot.save(path, {3.0, 2.0, 120});
    std::optional<OffscreenGui> gui;
    gui.emplace();
    const QImage saved(QString::fromStdString(path));
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), QSize(360, 240));
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), plot.render({3.0, 2.0, 120}));
    gui.reset();

    EXPECT_THROW(plot.save((dir / "missing" / "plot.png").string(), {3.0, 2.0, 120}), std::runtime_error);
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
    EXPECT_THROW(plot.save((dir / "plot.gif").string(), {3.0, 2.0, 120}), std::runtime_error);
    EXPECT_FALSE(std::filesystem::exists(dir / "plot.gif"));
    std::filesystem::remove_all(dir);
}

// The file's last bytes reach the disk only when it is closed; failing there must fail the save too.
TEST(SweepPlot, ASaveThatFailsAtItsLastBytesThrowsAndKeepsTheOldFile)
{
    const auto dir = std::filesystem::temp_directory_path() / ("velmora-plot-full-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const SweepPlot plot = threeSeries();
    const PlotSize size{3.5, 2.6, 300};
    plot.save((dir / "probe.png").string(), size);
    const auto bytes = std::filesystem::file_size(dir / "probe.png");
    ASSERT_GT(bytes, 32768u) << "more than fits on the nearly full disk";

    const auto saveOver = [&](const std::string& target) -> std::string {
        std::ofstream(target, std::ios::binary) << "old plot";
        try {
            plot.save(target, size);
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return "saved";
    };
    {
        const test::FileSizeCap cap(bytes - 1);
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
