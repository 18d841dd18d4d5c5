#include "cli/merge_command.h"

#include "cli/trial_options.h"
#include "text/json_writer.h"
#include "trials/batch_report.h"
#include "trials/trial_merge.h"

#include <memory>
#include <optional>

namespace velmora {
namespace {

struct MergeOptions {
    TrialRequest request{commandLineNames};
    std::vector<std::string> files;
    std::string output;
    bool json = false;
};

void runMergeCommand(const MergeOptions& o)
{
    const TrialSpan whole = o.request.trials();
    SummaryOutput output(o.output);
    const MergedTrials merged = mergeTrialFiles(o.files, o.request.setup(), o.request.steps(), whole);
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
    TrialRequest& r = o->request;
    addAlgorithmAndFovOptions(*merge, r);
    addTrialOptions(*merge, r, true);
    addNumberOption(*merge, commandLineNames.trials, trialCountRule,
                    "Number of trials of the whole run (per cell for a sweep)",
                    [&r](const std::string& text) { r.setTrials({text}); })
        ->required();
    addNumberOption(*merge, commandLineNames.firstTrial, wholeNumberRule, "Number of the whole run's first trial",
                    [&r](const std::string& text) { r.setFirstTrial({text}); })
        ->default_str(std::to_string(r.trials().first));
    merge->add_flag("--json", o->json, "Print the summary as one JSON document instead of a table");
    addOutputOption(*merge, o->output);
    merge->callback([o] { runMergeCommand(*o); });
}

}  // namespace velmora
