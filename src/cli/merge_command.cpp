#include "cli/merge_command.h"

#include "cli/trial_options.h"
#include "files/file_names.h"
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

void runMergeCommand(const MergeOptions& o, const CLI::App& command)
{
    MergeRequest request;
    request.paths = o.files;
    request.optionNames = {"--algorithm", "--algorithm", "--max-speed", "--fov",    "--tilt",     "--radius", "--box",
                           "--count",     "--seed",      "--first-trial", "--trials", "--duration", "--duration",
                           "--sighting"};
    for (std::size_t k = 0; k < trialParameterCount; ++k)
        request.given[k] = k != stepsKey && command.get_option(request.optionNames[k])->count() > 0;
    // --first-trial alone says where a range starts, not how long it is.
    if (request.given[firstTrialKey] && !request.given[trialsKey])
        throw OptionError("--first-trial needs --trials: give the whole run's range, or neither");
    request.options.setup = o.request.setup();
    request.options.setup.duration = o.request.batchSetup().duration;
    if (const auto steps = o.request.steps())
        request.options.setup.steps = *steps;
    request.options.range = o.request.askedTrials();
    if (request.given[trialsKey])
        o.request.trials();  // refuses a range that runs past the last trial number
    std::vector<NamedFile> inputs;
    for (const std::string& path : o.files)
        inputs.push_back({"a trial file", path});
    const NamedFile outputs[] = {{"--output", o.output}};
    refuseSharedFiles(outputs, inputs);
    const bool csv = !o.output.empty() && lowerExtension(o.output) == ".csv";
    if (csv && o.json)
        throw OptionError("--json: --output " + o.output + " holds the summary as CSV; leave out one of them");
    SummaryOutput output(o.output);
    const MergedTrials merged = mergeTrialFiles(request);
    std::string text;
    if (csv)
        text = sweepCsv(merged.cells);
    else if (merged.sweep)
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
        "Every row of a trial file names the parameters that made it and the trials its run covered, so merge\n"
        "needs no options: it refuses files from different runs, naming the parameter in which they differ,\n"
        "and checks that the files, JSON Lines or CSV in any order, hold each of the run's trials once, in\n"
        "every cell; a missing or doubled range is named. Options given must agree with the files. Files\n"
        "written before rows named their parameters need the run's parameter options and its --trials (and\n"
        "--first-trial, if it had one). The summary is the unsplit run's, without its timing.\n"
        "Example: velmora-sim merge shards/*.jsonl");
    merge->add_option("files", o->files, "Trial files of the shards (FILE.jsonl or FILE.csv)")->required();
    TrialRequest& r = o->request;
    addAlgorithmAndFovOptions(*merge, r);
    addTrialOptions(*merge, r, true);
    addNumberOption(*merge, commandLineNames.trials, trialCountRule,
                    "Number of trials of the whole run (per cell for a sweep), for files that do not name it",
                    [&r](const std::string& text) { r.setTrials({text}); });
    addNumberOption(*merge, commandLineNames.firstTrial, wholeNumberRule, "Number of the whole run's first trial",
                    [&r](const std::string& text) { r.setFirstTrial({text}); })
        ->default_str(std::to_string(r.trials().first));
    merge->add_flag("--json", o->json, "Print the summary as one JSON document instead of a table");
    addOutputOption(*merge, o->output);
    merge->callback([o, merge] { runMergeCommand(*o, *merge); });
}

}  // namespace velmora
