#include "cli/sweep_command.h"

#include "cli/plot_options.h"
#include "cli/progress_bar.h"
#include "cli/trial_options.h"
#include "files/file_names.h"
#include "files/replacing_file.h"
#include "sim/plan_algorithm.h"
#include "text/json_writer.h"
#include "trials/batch_report.h"
#include "trials/trial_file_writer.h"
#include "text/provenance.h"
#if VELMORA_PLOT
#include "cli/sweep_figure.h"
#endif

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <span>
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

// A figure's file, created before the first trial so that a target that cannot be written is said at once.
struct FigureFile {
    FigureAxes axes;
    std::optional<ReplacingFile> file;
};

void openFigure(const SweepOptions& o, std::span<const TrialSetup> cells, bool curves, std::optional<FigureFile>& figure)
{
    const std::string& path = curves ? o.plot.curvePath : o.plot.path;
    const std::string option = curves ? "--plot-curve" : "--plot";
    if (path.empty())
        return;
    if (!VELMORA_PLOT)
        throw OptionError(option + ": this build of velmora-sim has no plotting (it was built with VELMORA_PLOT=OFF)");
    const std::vector<std::string_view> varying = o.request.varyingAxes();
    const FigureAxes axes = o.plot.axes(varying, curves);
    // The grid's size before any trial runs: the values each panel parameter takes.
    std::vector<BatchRun> runs(cells.size());
    for (std::size_t k = 0; k < cells.size(); ++k)
        runs[k].setup = cells[k];
    int columns = 1;
    int rows = 1;
#if VELMORA_PLOT
    if (!axes.panels.empty())
        columns = static_cast<int>(parameterValues(runs, axes.panels[0]).size());
    if (axes.panels.size() > 1)
        rows = static_cast<int>(parameterValues(runs, axes.panels[1]).size());
#endif
    o.plot.check(option, path, columns, rows, curves);
    figure.emplace();
    figure->axes = axes;
    try {
        figure->file.emplace(path);
    } catch (const FileError& e) {
        throw OptionError(option + ": " + std::string(e.what()));
    }
}

// A summary written to FILE.csv is the cells as CSV rows.
bool csvOutput(const SweepOptions& o)
{
    if (o.output.empty() || lowerExtension(o.output) != ".csv")
        return false;
    if (o.json)
        throw OptionError("--json: --output " + o.output + " holds the summary as CSV; leave out one of them");
    return true;
}

void runSweepCommand(const SweepOptions& o)
{
    csvOutput(o);
    const TrialSpan trials = o.request.trials();
    const NamedFile outputs[] = {{"--trials-out", o.trialsOut},
                                 {"--output", o.output},
                                 {"--plot", o.plot.path},
                                 {"--plot-curve", o.plot.curvePath}};
    refuseSharedFiles(outputs);
    o.plot.checkSizeOptions();
    std::optional<FigureFile> plot;
    std::optional<FigureFile> curves;
    const std::vector<TrialSetup> setups = o.request.sweepCells();
    openFigure(o, setups, false, plot);
    openFigure(o, setups, true, curves);
    SummaryOutput output(o.output);
    std::optional<TrialFileWriter> file;
    if (!o.trialsOut.empty())
        file.emplace(o.trialsOut);
    ProgressBar progress(trials.count * setups.size(), stderr);
    const std::vector<BatchRun> cells = runSweep(
        setups, trials.first, trials.count, o.request.threads(),
        [&](std::size_t cell, std::span<const TrialResult> block) {
            if (file)
                file->write(block, {setups[cell], o.request.askedTrials()});
        },
        [&](std::uint64_t done) { progress.update(done); });
    progress.finish();
    if (file)
        file->commit();
    if (csvOutput(o))
        output.write(sweepCsv(cells));
    else
        output.write(o.json ? toJsonText(sweepJson(cells, commandLine())) + '\n' : sweepTable(cells));
    std::cout.flush();
#if VELMORA_PLOT
    const nlohmann::ordered_json provenance = provenanceJson(commandLine());
    for (std::optional<FigureFile>* figure : {&plot, &curves})
        if (*figure) {
            const FigureAxes& axes = (*figure)->axes;
            (*figure)->file->write(figure == &plot ? sweepFigure(cells, axes, o.plot, provenance)
                                                   : curveFigure(cells, axes, o.plot, provenance));
            (*figure)->file->commit();
        }
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
        "Every parameter takes a list; the cells are every combination, the algorithm outermost.\n"
        "The table gives the fraction initialized with its 95 % interval, the median time over all trials (not\n"
        "reached when fewer than half initialize), the restricted mean time (a trial that never initialized\n"
        "counts the run's end) and the median over initialized trials only; then every two algorithms compared\n"
        "on the same formations: McNemar's exact test on initialized or not, the sign test on the times.\n"
        "The plot has two panels against --x: the initialized fraction with its 95 % interval, and the median\n"
        "time over all trials with its 95 % interval (a gap where it is not reached), a logarithmic time axis\n"
        "when the times span a factor of ten; other varying parameters get a grid of panels. Its caption says\n"
        "what every cell shares; its file keeps the command and every cell's parameters as JSON metadata.\n"
        "Example: velmora-sim sweep --algorithm all --fov 30,45,60 --count 8 --max-speed 2,5,10,20 --plot s.pdf");
    addSweepGridOptions(*sweep, o->request);
    addTrialOptions(*sweep, o->request, true, true);
    addTrialRangeOptions(*sweep, o->request, "Trials per cell", "Number of the first trial of every cell");
    sweep->add_flag("--json", o->json, "Print the cells as one JSON document instead of a table");
    addOutputOption(*sweep, o->output);
    sweep->get_option("--output")->description(
        "Write the summary to FILE instead of standard output; FILE.csv holds one row per cell with every "
        "parameter. FILE appears only when complete");
    sweep->add_option("--trials-out", o->trialsOut,
                      "Write one row per trial of every cell to FILE.jsonl or FILE.csv, with the columns of "
                      "batch --trials-out: every row names its cell's parameters")
        ->type_name("FILE");
    addPlotOptions(*sweep, o->plot,
                   "Also draw the initialized fraction and the median time over all trials against --x, one line per "
                   "algorithm",
                   true);
    sweep->callback([o] { runSweepCommand(*o); });
}

}  // namespace velmora
