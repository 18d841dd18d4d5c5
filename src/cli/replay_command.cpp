#include "cli/replay_command.h"

#include "cli/json_writer.h"
#include "cli/trial_options.h"
#include "cli/trial_runner.h"

#include <iostream>
#include <memory>

namespace velmora {
namespace {

struct ReplayOptions {
    TrialOptions trial;
    std::string algorithm = "Orlo";
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
    replay->add_option("--algorithm", o->algorithm, "Orlo, Simple, SimpleLowFov, HalfTwist, WaitAndCheck or 0..4")
        ->type_name("NAME")
        ->check(algorithmText())
        ->capture_default_str();
    replay->add_option("--fov", o->trial.scenario.fovDeg, "Sensor field-of-view half-angle, degrees")
        ->check(finiteNumber())
        ->capture_default_str();
    addTrialOptions(*replay, o->trial, false);
    replay->callback([o] {
        TrialSetup setup;
        setup.scenario = o->trial.scenario;
        setup.scenario.algorithm = algorithmIndex(o->algorithm);
        setup.seed = o->trial.seed;
        std::cout << toJsonText(scenarioToJson(replayScenario(setup, o->trialNumber))) << '\n';
    });
}

}  // namespace velmora
