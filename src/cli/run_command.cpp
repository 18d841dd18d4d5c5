#include "cli/run_command.h"

#include "cli/json_writer.h"
#include "cli/scenario_run.h"

#include <iostream>
#include <memory>

namespace velmora {
namespace {

struct RunOptions {
    std::string scenarioPath;
    std::int64_t steps = -1;
    double duration = 0.0;
};

}  // namespace

void addRunCommand(CLI::App& app)
{
    auto options = std::make_shared<RunOptions>();
    CLI::App* run = app.add_subcommand(
        "run", "Set a scenario up, step it in 0.01 s steps and print the result as one JSON document.");
    run->footer(
        "Scenario keys (all optional): algorithm (Orlo, Simple, SimpleLowFov, HalfTwist, WaitAndCheck or an\n"
        "index; outside 0..4 the plans are empty), maxSpeed (5), fovDeg (70), tiltDeg (45), craftRadius (10),\n"
        "boxHalfSize (500), count (6, or the length of craft; 0..20), craft (list of {position, velocity,\n"
        "attitude?} overwriting the first random craft), counterexample (false).\n"
        "Without --steps or --duration the run lasts until the longest plan in use has ended.\n"
        "Example: velmora-sim run examples/counterexample.json --duration 60");
    run->add_option("scenario", options->scenarioPath, "Scenario file (JSON)")->required();
    auto* steps = run->add_option("--steps", options->steps, "Number of 0.01 s steps to run")
                      ->check(CLI::Range(std::int64_t{0}, maxRunSteps));
    auto* duration = run->add_option("--duration", options->duration,
                                     "Simulated seconds to run (rounded to whole 0.01 s steps)");
    steps->excludes(duration);
    run->callback([options, duration] {
        const Scenario scenario = loadScenarioFile(options->scenarioPath);
        std::optional<std::int64_t> steps;
        if (options->steps >= 0)
            steps = options->steps;
        else if (duration->count() > 0)
            steps = stepsForDuration(options->duration);
        std::cout << toJsonText(runScenario(scenario, steps)) << '\n';
    });
}

}  // namespace velmora
