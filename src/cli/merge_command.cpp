#include "cli/merge_command.h"

#include "cli/trial_options.h"
#include "text/json_writer.h"
#include "trials/batch_report.h"
#include "trials/trial_merge.h"

#include <limits>
#include <memory>
#include <optional>

namespace velmora {
namespace {

struct MergeOptions {
    TrialOptions trial;
    std::vector<std::string> files;
    std::uint64_t firstTrial = 0;
    std::uint64_t trials = 0;
    std::string output;
    bool json = false;
};

void runMergeCommand(const MergeOptions& o)
{
    if (o.firstTrial > std::numeric_limits<std::uint64_t>::max() - o.trials)
        throw OptionError("--first-trial " + std::to_string(o.firstTrial) + " plus --trials " +
                          std::to_string(o.trials) + " runs past the last trial number");
    const TrialSpan whole{o.firstTrial, o.trials};
    const TrialSetup setup = o.trial.setup(algorithmIndex(o.trial.algorithm), o.trial.scenario.fovDeg);
    SummaryOutput output(o.output);
    const MergedTrials merged = mergeTrialFiles(o.files, setup, o.trial.steps(), whole);
    std::string text;
    if (merged.sweep)
        text = o.json ? toJsonText(sweepJson(merged.cells, commandLine(), false)) + '\n' : sweepTable(merged.cells);
    else
        text = o.json ? toJsonText(batchRunJson(merged.cells.front(), commandLine(), false)) + '\n'
                      : batchRunTable(merged.cells.front(), false);
    output.write(text);
}

}  // namespace

void addMergeCommand(CLI::App& app)
{
    auto o = std::make_shared<MergeOptions>();
    CLI::App* merge = app.add_subcommand(
        "merge", "Summarize the trial files of a batch or sweep run in shards as the unsplit run would.");
    merge->footer(
        "Give the parameter options the shards ran with (a sweep's files name each row's algorithm and field\n"
        "of view; its other options still count) and the whole run's --trials (and --first-trial, if it had\n"
        "one). The files, JSON Lines or CSV in any order, must hold each of those trials once, in every cell;\n"
        "a missing or doubled range is named. The summary is the unsplit run's, without its timing.\n"
        "Example: velmora-sim merge --algorithm HalfTwist --count 8 --fov 25 --seed 7 --trials 4000 "
        "shards/*.jsonl");
    merge->add_option("files", o->files, "Trial files of the shards (FILE.jsonl or FILE.csv)")->required();
    addAlgorithmAndFovOptions(*merge, o->trial);
    addTrialOptions(*merge, o->trial, true);
    merge->add_option("--trials", o->trials, "Number of trials of the whole run (per cell for a sweep)")
        ->transform(wholeNumber(1))
        ->required();
    merge->add_option("--first-trial", o->firstTrial, "Number of the whole run's first trial")
        ->transform(wholeNumber())
        ->capture_default_str();
    merge->add_flag("--json", o->json, "Print the summary as one JSON document instead of a table");
    addOutputOption(*merge, o->output);
    merge->callback([o] { runMergeCommand(*o); });
}

}  // namespace velmora
