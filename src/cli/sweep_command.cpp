#include "cli/sweep_command.h"

#include "cli/plot_options.h"
#include "cli/progress_bar.h"
#include "cli/trial_options.h"
#include "files/replacing_file.h"
#include "sim/plan_algorithm.h"
#include "text/json_writer.h"
#include "trials/batch_report.h"
#include "trials/trial_file_writer.h"
#if VELMORA_PLOT
#include "plot/sweep_plot.h"
#endif

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <vector>

namespace velmora {
namespace {

struct SweepOptions {
    TrialRequest request{commandLineNames};
    bool json = false;
    PlotOptions plot;
    std::string trialsOut;
    std::string output;
};

void checkPlot(const PlotOptions& plot)
{
    if (!VELMORA_PLOT)
        throw OptionError("--plot: this build of velmora-sim has no plotting (it was built with VELMORA_PLOT=OFF)");
    plot.check();
}

#if VELMORA_PLOT
void savePlot(const std::vector<BatchRun>& cells, const PlotOptions& options, ReplacingFile& file)
{
    const BatchRun& first = cells.front();
    const Scenario& s = first.setup.scenario;
    SweepPlot plot(std::to_string(s.count) + " craft, tilt " + numberText(s.tiltDeg) + "°, " +
                       std::to_string(first.trials) + " trials per point",
                   "sensor field-of-view half-angle (°)", "initialized", "median time (s)");
    std::vector<SweepPlot::Series> series;
    for (const BatchRun& cell : cells) {
        const std::string name(planAlgorithmNames[cell.setup.scenario.algorithm]);
        auto it = std::find_if(series.begin(), series.end(), [&](const auto& x) { return x.name == name; });
        if (it == series.end())
            it = series.insert(series.end(), SweepPlot::Series{name, {}});
        const BatchSummary& sum = cell.summary;
        SweepPlot::Point point{cell.setup.scenario.fovDeg,
                               {sum.initializedInterval.low, sum.initializedFraction, sum.initializedInterval.high},
                               std::nullopt};
        if (const auto& t = sum.timeToInitialize)
            point.time = SweepPlot::Spread{t->p25, t->median, t->p75};
        it->points.push_back(point);
    }
    for (auto& x : series)
        plot.addSeries(std::move(x));
    file.write(plot.encode(*plotFormatOf(options.path), {options.widthInches, options.heightInches, options.dpi}));
    file.commit();
}
#endif

void runSweepCommand(const SweepOptions& o)
{
    const TrialSpan trials = o.request.trials();
    const NamedFile outputs[] = {{"--trials-out", o.trialsOut}, {"--output", o.output}, {"--plot", o.plot.path}};
    refuseSharedFiles(outputs);
    // The plot's file is created before the first trial, so a target that cannot be written is said at once.
    std::optional<ReplacingFile> plotFile;
    if (!o.plot.path.empty()) {
        checkPlot(o.plot);
        try {
            plotFile.emplace(o.plot.path);
        } catch (const FileError& e) {
            throw OptionError("--plot: " + std::string(e.what()));
        }
    }
    const std::vector<TrialSetup> setups = o.request.sweepCells();
    SummaryOutput output(o.output);
    std::optional<TrialFileWriter> file;
    if (!o.trialsOut.empty())
        file.emplace(o.trialsOut);
    ProgressBar progress(trials.count * setups.size(), stderr);
    std::vector<BatchRun> cells;
    for (const TrialSetup& setup : setups) {
        const std::uint64_t before = trials.count * cells.size();
        const TrialOrigin origin{setup, o.request.askedTrials()};
        cells.push_back(runBatch(
            setup, trials.first, trials.count, o.request.threads(),
            [&](std::span<const TrialResult> block) {
                if (file)
                    file->write(block, origin);
            },
            [&](std::uint64_t done) { progress.update(before + done); }));
    }
    progress.finish();
    if (file)
        file->commit();
    output.write(o.json ? toJsonText(sweepJson(cells, commandLine())) + '\n' : sweepTable(cells));
    std::cout.flush();
#if VELMORA_PLOT
    if (plotFile)
        savePlot(cells, o.plot, *plotFile);
#endif
}

}  // namespace

void addSweepCommand(CLI::App& app)
{
    auto o = std::make_shared<SweepOptions>();
    CLI::App* sweep = app.add_subcommand(
        "sweep", "Run one batch per algorithm and field of view and tabulate how often and how fast each "
                 "initializes.");
    sweep->footer(
        "Every cell runs the same trials (same --seed and trial numbers), so the cells compare the algorithms\n"
        "on the same random formations.\n"
        "The plot has two panels against the field of view: the initialized fraction with its 95 % interval,\n"
        "and the median time to initialize with its interquartile range (a gap where no trial initialized).\n"
        "Example: velmora-sim sweep --algorithm all --fov 50,60,70,80 --trials 2000 --plot sweep.pdf");
    addSweepGridOptions(*sweep, o->request);
    addTrialOptions(*sweep, o->request, true, true);
    addTrialRangeOptions(*sweep, o->request, "Trials per cell", "Number of the first trial of every cell");
    sweep->add_flag("--json", o->json, "Print the cells as one JSON document instead of a table");
    addOutputOption(*sweep, o->output);
    sweep->add_option("--trials-out", o->trialsOut,
                      "Write one row per trial of every cell to FILE.jsonl or FILE.csv, with the columns of "
                      "batch --trials-out: every row names its cell's parameters")
        ->type_name("FILE");
    addPlotOptions(*sweep, o->plot,
                   "Also draw the initialized fraction and the median time to initialize against the field of view");
    sweep->callback([o] { runSweepCommand(*o); });
}

}  // namespace velmora
