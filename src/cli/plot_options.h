#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace velmora {

// What sweep's --plot, --plot-size and --plot-dpi ask for. Kept apart from the plot itself, so a build
// without plotting still reads (and refuses) them.
struct PlotOptions {
    std::string path;
    double widthInches = 3.5;
    double heightInches = 3.2;
    int dpi = 300;
    CLI::Option* dpiOption = nullptr;

    // Throws OptionError for a name that is not .png, .svg or .pdf, a folder that does not exist, a
    // resolution given for a vector format, or a PNG larger than maxPlotPixels.
    void check() const;
};

// A PNG plot holds at most this many pixels (160 MB while it is drawn): no option can make the program
// exhaust its memory.
inline constexpr double maxPlotPixels = 40'000'000.0;

// --plot (what it draws said by plotHelp), --plot-size WxH and --plot-dpi N.
void addPlotOptions(CLI::App& command, PlotOptions& options, const std::string& plotHelp);

}  // namespace velmora
