#pragma once

#include <CLI/CLI.hpp>

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Which parameters a sweep's figure spreads where: x along its axis (a Curves figure's x is time), the
// others that vary (at most two) over a grid of panels, columns first; the algorithm is always the series.
struct FigureAxes {
    std::string x;
    std::vector<std::string> panels;
};

// What sweep's --plot, --plot-curve, --x, --plot-size and --plot-dpi ask for. Kept apart from the plot
// itself, so a build without plotting still reads (and refuses) them.
struct PlotOptions {
    std::string path;
    std::string curvePath;
    std::string x;
    double widthInches = 3.5;
    double heightInches = 3.2;
    int dpi = 300;
    CLI::Option* dpiOption = nullptr;
    CLI::Option* sizeOption = nullptr;

    // The axes of the plot (curves false) or of the curves for a sweep whose cells vary in varying (keys as
    // sweepAxes names them). Throws OptionError for an --x that names no parameter, or more than two
    // parameters left for panels.
    FigureAxes axes(std::span<const std::string_view> varying, bool curves) const;
    // The size a figure of columns by rows panels is drawn at: --plot-size, or by default one column of a
    // paper grown by the panels.
    std::pair<double, double> sizeFor(int columns, int rows, bool curves) const;
    // Throws OptionError for --plot-size or --plot-dpi without a figure, or a resolution for vector files only.
    void checkSizeOptions() const;
    // Throws OptionError for a name that is not .png, .svg or .pdf, a folder that does not exist, or a PNG
    // larger than maxPlotPixels at its size.
    void check(const std::string& option, const std::string& file, int columns, int rows, bool curves) const;
    // The same for a one-panel --plot.
    void check() const
    {
        checkSizeOptions();
        check("--plot", path, 1, 1, false);
    }
};

// How a figure names a parameter (a sweepAxes key): the x axis's label, and a panel's heading for a value.
std::string parameterAxisLabel(std::string_view key);
std::string parameterPanelLabel(std::string_view key, const std::string& valueText);

// A PNG plot holds at most this many pixels (160 MB while it is drawn): no option can make the program
// exhaust its memory.
inline constexpr double maxPlotPixels = 40'000'000.0;

// --plot (what it draws said by plotHelp), --plot-size WxH and --plot-dpi N; for a sweep (sweepFigures) also
// --plot-curve and --x.
void addPlotOptions(CLI::App& command, PlotOptions& options, const std::string& plotHelp, bool sweepFigures = false);

}  // namespace velmora
