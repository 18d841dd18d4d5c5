#include "cli/plot_options.h"

#include "cli/trial_options.h"
#include "files/file_names.h"
#include "text/json_writer.h"

#include <cmath>
#include <filesystem>

namespace velmora {
namespace {

// Below this the text no longer fits beside and between the panels; above it no page holds the plot.
constexpr double minPlotInches = 1.5;
constexpr double maxPlotInches = 20.0;
constexpr NumberRule dpiRule = NumberRule::wholeIn(50, 2400);

std::string sizeText(double width, double height) { return numberText(width) + "x" + numberText(height); }

}  // namespace

void PlotOptions::check() const
{
    const std::string ext = lowerExtension(path);
    if (ext != ".png" && ext != ".svg" && ext != ".pdf")
        throw OptionError("--plot \"" + path + "\": the name must end in .png, .svg or .pdf");
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty() && !std::filesystem::is_directory(parent))
        throw OptionError("--plot \"" + path + "\": no folder \"" + parent.string() + "\"");
    if (ext != ".png" && dpiOption && dpiOption->count() > 0)
        throw OptionError("--plot-dpi sets the resolution of a PNG; an SVG or PDF plot is drawn in lines and "
                          "text, without one");
    const double pixels = std::round(widthInches * dpi) * std::round(heightInches * dpi);
    if (ext == ".png" && pixels > maxPlotPixels)
        throw OptionError("--plot-size " + sizeText(widthInches, heightInches) + " at --plot-dpi " +
                          std::to_string(dpi) + " is " + numberText(pixels / 1e6) +
                          " million pixels; a PNG plot holds at most " + numberText(maxPlotPixels / 1e6) +
                          " million (choose a smaller size or resolution, or an SVG or PDF)");
}

void addPlotOptions(CLI::App& command, PlotOptions& o, const std::string& plotHelp)
{
    CLI::Option* plot =
        command
        .add_option("--plot", o.path, plotHelp + " (FILE.png, FILE.svg or FILE.pdf)")
        ->type_name("FILE");
    command
        .add_option_function<std::string>(
            "--plot-size",
            [&o](const std::string& text) {
                const auto x = text.find_first_of("xX");
                double width = 0.0;
                double height = 0.0;
                if (x == std::string::npos || !CLI::detail::lexical_cast(text.substr(0, x), width) ||
                    !CLI::detail::lexical_cast(text.substr(x + 1), height))
                    throw CLI::ValidationError("--plot-size", "\"" + text + "\" is not WIDTHxHEIGHT in inches, "
                                                                            "such as 3.5x2.6");
                if (!(width >= minPlotInches && width <= maxPlotInches && height >= minPlotInches &&
                      height <= maxPlotInches))
                    throw CLI::ValidationError("--plot-size", "\"" + text + "\": each side must be from " +
                                                                  numberText(minPlotInches) + " to " +
                                                                  numberText(maxPlotInches) + " inches");
                o.widthInches = width;
                o.heightInches = height;
            },
            "Plot size in inches, WIDTHxHEIGHT (default " + sizeText(o.widthInches, o.heightInches) +
                ": one column of a paper)")
        ->type_name("WxH")
        ->needs(plot);
    o.dpiOption = addNumberOption(
                      command, "--plot-dpi", dpiRule, "Pixels per inch of a PNG plot",
                      [&o](const std::string& text) { o.dpi = static_cast<int>(dpiRule.whole("--plot-dpi", {text})); },
                      "N")
                      ->default_str(std::to_string(o.dpi))
                      ->needs(plot);
}

}  // namespace velmora
