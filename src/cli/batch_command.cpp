#include "cli/batch_command.h"

#include "cli/progress_bar.h"
#include "cli/trial_options.h"
#include "text/json_writer.h"
#include "trials/batch_report.h"
#include "trials/trial_file_writer.h"

#include <iostream>
#include <memory>
#include <optional>

namespace velmora {
namespace {

constexpr const char* batchFooter =
    "Trial k draws its formation from its own sequence derived from --seed and k, so results are the same\n"
    "for any --threads and any split into shards by --shard or --first-trial/--trials; velmora-sim merge\n"
    "summarizes the shards' trial files as one batch. A trial stops at the step that puts every craft in one\n"
    "group; its time to initialize is the formation time after that step, its exact time the moment within\n"
    "that step at which the last link it needed formed. The summary gives how much the grid delays the time\n"
    "(grid delay) and in how many trials the grid missed a sighting that began and ended within one step;\n"
    "--sighting continuous links pairs at their first moment in view instead.\n"
    "Example: velmora-sim batch --algorithm HalfTwist --count 8 --fov 60 --trials 5000 --trials-out t.csv";

struct BatchOptions {
    TrialRequest request{commandLineNames};
    std::string trialsOut;
    std::string output;
    bool json = false;
};

void runBatchCommand(const BatchOptions& o)
{
    const TrialSpan trials = o.request.trials();
    const TrialSetup setup = o.request.batchSetup();
    // The rows name the whole run, before --shard took its part: every shard's file says the same.
    const TrialOrigin origin{setup, o.request.askedTrials()};

    const NamedFile outputs[] = {{"--trials-out", o.trialsOut}, {"--output", o.output}};
    refuseSharedFiles(outputs);
    SummaryOutput output(o.output);
    std::optional<TrialFileWriter> file;
    if (!o.trialsOut.empty())
        file.emplace(o.trialsOut);
    ProgressBar progress(trials.count, stderr);
    const BatchRun run = runBatch(
        setup, trials.first, trials.count, o.request.threads(),
        [&](std::span<const TrialResult> block) {
            if (file)
                file->write(block, origin);
        },
        [&](std::uint64_t done) { progress.update(done); });
    progress.finish();
    if (file)
        file->commit();
    output.write(o.json ? toJsonText(batchRunJson(run, commandLine())) + '\n' : batchRunTable(run));
}

}  // namespace

void addBatchCommand(CLI::App& app)
{
    auto o = std::make_shared<BatchOptions>();
    CLI::App* batch = app.add_subcommand(
        "batch", "Run Monte Carlo trials of random formations and summarize how often, and how fast, they end "
                 "in one group.");
    batch->footer(batchFooter);
    addAlgorithmAndFovOptions(*batch, o->request);
    addTrialOptions(*batch, o->request, true);
    addTrialRangeOptions(*batch, o->request, "Number of trials", "Number of the first trial (to run one shard of a batch)");
    batch->add_option("--trials-out", o->trialsOut,
                      "Write one row per trial to FILE.jsonl (JSON Lines) or FILE.csv: the batch's parameters, "
                      "then trial, seedState, initialized, stepsToInitialize, timeToInitialize, "
                      "exactTimeToInitialize, links, groups, missedSightings")
        ->type_name("FILE");
    batch->add_flag("--json", o->json, "Print the summary as one JSON document instead of a table");
    addOutputOption(*batch, o->output);
    batch->callback([o] { runBatchCommand(*o); });
}

}  // namespace velmora
