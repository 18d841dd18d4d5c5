#include "cli/plot_options.h"

#include "cli/trial_options.h"
#include "files/file_names.h"
#include "text/json_writer.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace velmora {
namespace {

// Below this the text no longer fits beside and between the panels; above it no page holds the plot.
constexpr double minPlotInches = 1.5;
constexpr double maxPlotInches = 20.0;
constexpr NumberRule dpiRule = NumberRule::wholeIn(50, 2400);

std::string sizeText(double width, double height) { return numberText(width) + "x" + numberText(height); }

// The parameters --x takes, by the option that sets them, with the key a sweep's cells name them by.
struct AxisName {
    std::string_view option;
    std::string_view key;
    std::string_view label;
    std::string_view panel;  // a panel's heading: the name before the value, and the unit after it
    std::string_view unit;
};
constexpr AxisName axisNames[] = {
    {"fov", "fovDeg", "sensor field-of-view half-angle (°)", "FOV ", "°"},
    {"tilt", "tiltDeg", "tilt angle (°)", "tilt ", "°"},
    {"count", "count", "craft", "", " craft"},
    {"max-speed", "maxSpeed", "max speed", "max speed ", ""},
    {"radius", "craftRadius", "craft radius", "radius ", ""},
    {"box", "boxHalfSize", "placement box half-size", "box ±", ""},
    {"duration", "duration", "duration (s)", "duration ", " s"},
};

const AxisName* axisNamed(std::string_view name)
{
    for (const AxisName& a : axisNames)
        if (name == a.option || name == a.key)
            return &a;
    return nullptr;
}

std::string keyList(const std::vector<std::string>& keys)
{
    std::string out;
    for (std::size_t i = 0; i < keys.size(); ++i)
        out += (i == 0 ? "" : i + 1 == keys.size() ? " and " : ", ") + keys[i];
    return out;
}

}  // namespace

std::string parameterAxisLabel(std::string_view key)
{
    const AxisName* a = axisNamed(key);
    return a ? std::string(a->label) : std::string(key);
}

std::string parameterPanelLabel(std::string_view key, const std::string& valueText)
{
    const AxisName* a = axisNamed(key);
    if (!a)
        return std::string(key) + " " + valueText;
    if (key == "duration" && valueText.empty())
        return "duration of the plan";
    return std::string(a->panel) + valueText + std::string(a->unit);
}

FigureAxes PlotOptions::axes(std::span<const std::string_view> varying, bool curves) const
{
    FigureAxes out;
    if (!curves) {
        if (!x.empty()) {
            const AxisName* a = axisNamed(x);
            if (!a)
                throw OptionError("--x \"" + x + "\": give the parameter to plot against: fov, tilt, count, "
                                  "max-speed, radius, box or duration");
            out.x = a->key;
        } else {
            // Against the field of view, unless only another parameter varies.
            out.x = "fovDeg";
            if (std::find(varying.begin(), varying.end(), "fovDeg") == varying.end())
                for (const std::string_view v : varying)
                    if (v != "algorithm") {
                        out.x = v;
                        break;
                    }
        }
    }
    for (const std::string_view v : varying)
        if (v != "algorithm" && v != out.x)
            out.panels.emplace_back(v);
    if (out.panels.size() > 2) {
        const std::string option = curves ? "--plot-curve" : "--plot";
        throw OptionError(option + ": the cells vary in " + keyList(out.panels) +
                          (curves ? "" : " besides --x " + out.x) +
                          "; a figure spreads at most two parameters over a grid of panels (" +
                          (curves ? "sweep fewer parameters at once)" : "plot against another with --x, or sweep "
                                                                        "fewer)"));
    }
    return out;
}

void PlotOptions::checkSizeOptions() const
{
    const auto given = [](const CLI::Option* o) { return o && o->count() > 0; };
    if (path.empty() && curvePath.empty() && (given(sizeOption) || given(dpiOption)))
        throw OptionError(std::string(given(sizeOption) ? "--plot-size" : "--plot-dpi") +
                          " sizes a figure: give --plot or --plot-curve too");
    const auto png = [](const std::string& f) { return !f.empty() && lowerExtension(f) == ".png"; };
    if (given(dpiOption) && !png(path) && !png(curvePath))
        throw OptionError("--plot-dpi sets the resolution of a PNG; an SVG or PDF plot is drawn in lines and "
                          "text, without one");
}

std::pair<double, double> PlotOptions::sizeFor(int columns, int rows, bool curves) const
{
    if ((sizeOption && sizeOption->count() > 0) || (columns == 1 && rows == 1))
        return {widthInches, heightInches};
    // Each further panel adds room enough for its own axes and headings, up to the largest page.
    const double width = columns == 1 ? widthInches : 1.3 + 2.2 * columns;
    const double height = rows == 1 ? heightInches : 0.9 + (curves ? 1.8 : 2.6) * rows;
    return {std::min(width, maxPlotInches), std::min(height, maxPlotInches)};
}

void PlotOptions::check(const std::string& option, const std::string& file, int columns, int rows, bool curves) const
{
    const std::string ext = lowerExtension(file);
    if (ext != ".png" && ext != ".svg" && ext != ".pdf")
        throw OptionError(option + " \"" + file + "\": the name must end in .png, .svg or .pdf");
    const std::filesystem::path parent = std::filesystem::path(file).parent_path();
    if (!parent.empty() && !std::filesystem::is_directory(parent))
        throw OptionError(option + " \"" + file + "\": no folder \"" + parent.string() + "\"");
    const auto [width, height] = sizeFor(columns, rows, curves);
    const double pixels = std::round(width * dpi) * std::round(height * dpi);
    if (ext == ".png" && pixels > maxPlotPixels)
        throw OptionError(option + " at " + sizeText(width, height) + " inches and --plot-dpi " +
                          std::to_string(dpi) + " is " + numberText(pixels / 1e6) +
                          " million pixels; a PNG plot holds at most " + numberText(maxPlotPixels / 1e6) +
                          " million (choose a smaller size or resolution, or an SVG or PDF)");
}

void addPlotOptions(CLI::App& command, PlotOptions& o, const std::string& plotHelp, bool sweepFigures)
{
    CLI::Option* plot =
        command
        .add_option("--plot", o.path, plotHelp + " (FILE.png, FILE.svg or FILE.pdf)")
        ->type_name("FILE");
    if (sweepFigures) {
        command
            .add_option("--plot-curve", o.curvePath,
                        "Also draw the fraction of formations initialized by each time, one curve per algorithm "
                        "(FILE.png, FILE.svg or FILE.pdf)")
            ->type_name("FILE");
        command
            .add_option("--x", o.x,
                        "The parameter --plot draws along its x axis: fov (the default when it varies), tilt, count, "
                        "max-speed, radius, box or duration; every other one that varies gets a row or column of "
                        "panels (at most two)")
            ->type_name("PARAM")
            ->needs(plot);
    }
    o.sizeOption =
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
        ->type_name("WxH");
    o.dpiOption = addNumberOption(
                      command, "--plot-dpi", dpiRule, "Pixels per inch of a PNG plot",
                      [&o](const std::string& text) { o.dpi = static_cast<int>(dpiRule.whole("--plot-dpi", {text})); },
                      "N")
                      ->default_str(std::to_string(o.dpi));
}

}  // namespace velmora
