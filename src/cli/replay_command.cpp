#include "cli/replay_command.h"

#include "cli/trial_options.h"
#include "text/json_writer.h"
#include "trials/trial_runner.h"

#include <iostream>
#include <memory>

namespace velmora {
namespace {

struct ReplayOptions {
    TrialOptions trial;
    std::uint64_t trialNumber = 0;
};

}  // namespace

void addReplayCommand(CLI::App& app)
{
    auto o = std::make_shared<ReplayOptions>();
    CLI::App* replay = app.add_subcommand(
        "replay", "Print the scenario of one batch trial, with every craft explicit, for velmora-sim run.");
    replay->footer(
        "Give the same parameter options as the batch. The scenario carries no duration: pass the batch's\n"
        "--duration, if it had one, to velmora-sim run.\n"
        "Example: velmora-sim replay --seed 7 --trial 412 --count 8 > t412.json && velmora-sim run t412.json");
    replay->add_option("--trial", o->trialNumber, "Trial number within the batch")
        ->transform(wholeNumber())
        ->required();
    addAlgorithmAndFovOptions(*replay, o->trial);
    addTrialOptions(*replay, o->trial, false);
    replay->callback([o] {
        const TrialSetup setup = o->trial.setup(algorithmIndex(o->trial.algorithm), o->trial.scenario.fovDeg);
        std::cout << toJsonText(scenarioToJson(replayScenario(setup, o->trialNumber))) << '\n';
    });
}

}  // namespace velmora
