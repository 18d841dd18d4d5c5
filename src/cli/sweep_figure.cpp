#include "cli/sweep_figure.h"

#include "plot/sweep_plot.h"
#include "sim/plan_algorithm.h"
#include "text/json_writer.h"
#include "text/provenance.h"
#include "trials/batch_report.h"
#include "trials/trial_parameters.h"

#include <algorithm>

namespace velmora {
namespace {

// A parameter's value in a cell, as the trial files write it (a duration not given: empty).
std::string valueText(const BatchRun& cell, const std::string& key)
{
    const TrialParameterTexts texts = trialParameterTexts({cell.setup, {cell.firstTrial, cell.trials}});
    const auto k = std::find(trialParameterKeys.begin(), trialParameterKeys.end(), key);
    return k == trialParameterKeys.end() ? std::string() : texts[static_cast<std::size_t>(k - trialParameterKeys.begin())];
}

double valueOf(const BatchRun& cell, const std::string& key)
{
    const Scenario& s = cell.setup.scenario;
    if (key == "fovDeg")
        return s.fovDeg;
    if (key == "tiltDeg")
        return s.tiltDeg;
    if (key == "count")
        return s.count;
    if (key == "maxSpeed")
        return s.maxSpeed;
    if (key == "craftRadius")
        return s.craftRadius;
    if (key == "boxHalfSize")
        return s.boxHalfSize;
    // A run to the plan's end stands at the time it ran.
    return cell.setup.duration ? *cell.setup.duration : cell.summary.allTrials.runEnd;
}

// The legend's name of a cell's plan: the dialog's text trimmed of its blanks, or a plan file's name.
std::string seriesName(const BatchRun& cell)
{
    const Scenario& s = cell.setup.scenario;
    if (s.plan)
        return algorithmName(s);
    std::string_view text = planAlgorithmDisplayTexts[static_cast<std::size_t>(s.algorithm)];
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return std::string(text);
}

// Where a figure puts each cell: its panel, and which series it belongs to.
struct Placement {
    std::vector<std::string> columns;
    std::vector<std::string> rows;
    std::vector<std::string> series;
    std::vector<int> panelOf;
    std::vector<int> seriesOf;
};

Placement place(std::span<const BatchRun> cells, const FigureAxes& axes)
{
    Placement p;
    const std::vector<std::string> columnValues =
        axes.panels.empty() ? std::vector<std::string>{""} : parameterValues(cells, axes.panels[0]);
    const std::vector<std::string> rowValues =
        axes.panels.size() < 2 ? std::vector<std::string>{""} : parameterValues(cells, axes.panels[1]);
    for (const std::string& v : columnValues)
        p.columns.push_back(axes.panels.empty() ? "" : parameterPanelLabel(axes.panels[0], v));
    for (const std::string& v : rowValues)
        p.rows.push_back(axes.panels.size() < 2 ? "" : parameterPanelLabel(axes.panels[1], v));
    for (const BatchRun& cell : cells) {
        const auto index = [&](const std::vector<std::string>& values, std::size_t axis) {
            if (axes.panels.size() <= axis)
                return 0;
            const auto it = std::find(values.begin(), values.end(), valueText(cell, axes.panels[axis]));
            return static_cast<int>(it - values.begin());
        };
        p.panelOf.push_back(index(rowValues, 1) * static_cast<int>(columnValues.size()) + index(columnValues, 0));
        const std::string name = seriesName(cell);
        auto it = std::find(p.series.begin(), p.series.end(), name);
        if (it == p.series.end())
            it = p.series.insert(p.series.end(), name);
        p.seriesOf.push_back(static_cast<int>(it - p.series.begin()));
    }
    return p;
}

std::string caption(std::span<const BatchRun> cells, bool curves)
{
    return sweepHeading(cells) + (curves ? "" : "; bars: 95 % intervals; times: the median over all trials") +
           "; Velmora " + velmoraVersion();
}

// The provenance, the figure's axes and every cell's parameters: enough to make the figure again.
std::string metadata(std::span<const BatchRun> cells, const FigureAxes& axes, const char* figure,
                     const nlohmann::ordered_json& provenance)
{
    nlohmann::ordered_json out = provenance;
    out["figure"] = figure;
    if (!axes.x.empty())
        out["x"] = axes.x;
    out["panels"] = axes.panels;
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const BatchRun& cell : cells)
        list.push_back(trialParameterJson({cell.setup, {cell.firstTrial, cell.trials}}));
    out["cells"] = list;
    return toJsonText(out);
}

std::string encoded(SweepPlot& plot, const Placement& p, std::span<const BatchRun> cells, const FigureAxes& axes,
                    const PlotOptions& options, const char* figure, const nlohmann::ordered_json& provenance)
{
    const bool curves = std::string_view(figure) == "curves";
    plot.setPanels(p.columns, p.rows);
    plot.setCaption(caption(cells, curves));
    plot.setMetadata(metadata(cells, axes, figure, provenance));
    const auto [width, height] =
        options.sizeFor(static_cast<int>(p.columns.size()), static_cast<int>(p.rows.size()), curves);
    const std::string& path = curves ? options.curvePath : options.path;
    return plot.encode(*plotFormatOf(path), {width, height, options.dpi});
}

}  // namespace

std::vector<std::string> parameterValues(std::span<const BatchRun> cells, const std::string& key)
{
    std::vector<std::string> values;
    for (const BatchRun& cell : cells) {
        const std::string v = valueText(cell, key);
        if (std::find(values.begin(), values.end(), v) == values.end())
            values.push_back(v);
    }
    return values;
}

std::string sweepFigure(std::span<const BatchRun> cells, const FigureAxes& axes, const PlotOptions& options,
                        const nlohmann::ordered_json& provenance)
{
    const Placement p = place(cells, axes);
    SweepPlot plot("", parameterAxisLabel(axes.x), "initialized", "median time (s)");
    std::vector<SweepPlot::Series> series;
    for (const std::string& name : p.series)
        series.push_back({name, {}});
    for (std::size_t k = 0; k < cells.size(); ++k) {
        const BatchSummary& sum = cells[k].summary;
        const AllTrialTimes& a = sum.allTrials;
        SweepPlot::Point point{valueOf(cells[k], axes.x),
                               {sum.initializedInterval.low, sum.initializedFraction, sum.initializedInterval.high},
                               std::nullopt, p.panelOf[k]};
        // The median over every trial, with its interval; an end beyond the run is drawn at the run's end.
        if (a.median)
            point.time = SweepPlot::Spread{a.medianIntervalExists ? a.medianLow.value_or(*a.median) : *a.median,
                                           *a.median,
                                           a.medianIntervalExists ? a.medianHigh.value_or(a.runEnd) : *a.median};
        series[static_cast<std::size_t>(p.seriesOf[k])].points.push_back(point);
    }
    for (auto& s : series)
        plot.addSeries(std::move(s));
    return encoded(plot, p, cells, axes, options, "sweep", provenance);
}

std::string curveFigure(std::span<const BatchRun> cells, const FigureAxes& axes, const PlotOptions& options,
                        const nlohmann::ordered_json& provenance)
{
    const Placement p = place(cells, axes);
    SweepPlot plot("", "time (s)", "initialized by then", "", SweepPlot::Kind::Curves);
    std::vector<SweepPlot::Series> series;
    for (const std::string& name : p.series)
        series.push_back({name, {}});
    for (std::size_t k = 0; k < cells.size(); ++k) {
        const AllTrialTimes& a = cells[k].summary.allTrials;
        const double n = static_cast<double>(cells[k].summary.trials);
        auto& points = series[static_cast<std::size_t>(p.seriesOf[k])].points;
        for (const auto& [time, count] : a.curve) {
            const double f = static_cast<double>(count) / n;
            points.push_back({time, {f, f, f}, std::nullopt, p.panelOf[k]});
        }
        // The curve runs on, flat, to the run's end.
        const double last = a.curve.empty() ? 0.0 : static_cast<double>(a.curve.back().second) / n;
        points.push_back({a.runEnd, {last, last, last}, std::nullopt, p.panelOf[k]});
    }
    for (auto& s : series)
        plot.addSeries(std::move(s));
    return encoded(plot, p, cells, axes, options, "curves", provenance);
}

}  // namespace velmora
