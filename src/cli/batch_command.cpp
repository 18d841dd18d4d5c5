#include "cli/batch_command.h"

#include "cli/batch_report.h"
#include "cli/json_writer.h"
#include "cli/progress_bar.h"
#include "cli/trial_file_writer.h"
#include "cli/trial_options.h"

#include <iostream>
#include <limits>
#include <memory>
#include <optional>

namespace velmora {
namespace {

struct BatchOptions {
    TrialOptions trial;
    std::string algorithm = "Orlo";
    std::uint64_t trials = 1000;
    std::uint64_t firstTrial = 0;
    int threads = defaultThreadCount();
    std::string trialsOut;
    bool json = false;
};

void runBatchCommand(const BatchOptions& o)
{
    if (o.firstTrial > std::numeric_limits<std::uint64_t>::max() - o.trials)
        throw ScenarioError("--first-trial " + std::to_string(o.firstTrial) + " plus --trials " +
                            std::to_string(o.trials) + " runs past the last trial number");
    TrialSetup setup;
    setup.scenario = o.trial.scenario;
    setup.scenario.algorithm = algorithmIndex(o.algorithm);
    setup.seed = o.trial.seed;
    setup.steps = trialSteps(setup.scenario, o.trial.steps());

    std::optional<TrialFileWriter> file;
    if (!o.trialsOut.empty())
        file.emplace(o.trialsOut);
    ProgressBar progress(o.trials, stderr);
    const BatchRun run = runBatch(
        setup, o.firstTrial, o.trials, o.threads,
        [&](std::span<const TrialResult> block) {
            if (file)
                file->write(block);
        },
        [&](std::uint64_t done) { progress.update(done); });
    progress.finish();
    if (file)
        file->commit();
    if (o.json)
        std::cout << toJsonText(batchRunJson(run)) << '\n';
    else
        std::cout << batchRunTable(run);
}

}  // namespace

void addBatchCommand(CLI::App& app)
{
    auto o = std::make_shared<BatchOptions>();
    CLI::App* batch = app.add_subcommand(
        "batch", "Run Monte Carlo trials of random formations and summarize how often, and how fast, they end "
                 "in one group.");
    batch->footer(
        "Trial k draws its formation from its own sequence derived from --seed and k, so results are the same\n"
        "for any --threads and any split into shards by --first-trial/--trials. A trial stops at the step that\n"
        "puts every craft in one group; its time to initialize is the formation time after that step.\n"
        "Example: velmora-sim batch --algorithm HalfTwist --count 8 --fov 60 --trials 5000 --trials-out t.csv");
    batch->add_option("--algorithm", o->algorithm, "Orlo, Simple, SimpleLowFov, HalfTwist, WaitAndCheck or 0..4")
        ->type_name("NAME")
        ->check(algorithmText())
        ->capture_default_str();
    batch->add_option("--fov", o->trial.scenario.fovDeg, "Sensor field-of-view half-angle, degrees")
        ->check(finiteNumber())
        ->capture_default_str();
    addTrialOptions(*batch, o->trial, true);
    batch->add_option("--trials", o->trials, "Number of trials")
        ->transform(wholeNumber(1))
        ->capture_default_str();
    batch->add_option("--first-trial", o->firstTrial, "Number of the first trial (to run one shard of a batch)")
        ->transform(wholeNumber())
        ->capture_default_str();
    batch->add_option("--threads", o->threads, "Worker threads (default: all cores)")
        ->transform(wholeNumber())
        ->check(CLI::Range(1, 1024));
    batch->add_option("--trials-out", o->trialsOut,
                      "Write one row per trial to FILE.jsonl (JSON Lines) or FILE.csv: trial, seedState, "
                      "initialized, timeToInitialize, links, groups")
        ->type_name("FILE");
    batch->add_flag("--json", o->json, "Print the summary as one JSON document instead of a table");
    batch->callback([o] { runBatchCommand(*o); });
}

}  // namespace velmora
