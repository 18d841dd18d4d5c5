#include "plot/sweep_plot.h"

#include "files/replacing_file.h"
#include "plot/plot_encoding.h"

#include <QPainter>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <stdexcept>

// The plot as files: a PNG at a resolution, SVG and PDF in lines and text, each with its metadata.
namespace velmora {

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

QImage SweepPlot::render(const PlotSize& size) const
{
    return renderPlot(size, [this](QPainter& p, double w, double h) { draw(p, w, h); });
}

std::string SweepPlot::encode(PlotFormat format, const PlotSize& size) const
{
    return encodePlot(format, size, title_, metadata_, [this](QPainter& p, double w, double h) { draw(p, w, h); });
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
