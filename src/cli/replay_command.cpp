#include "cli/replay_command.h"

#include "cli/trial_options.h"
#include "text/json_writer.h"
#include "trials/trial_runner.h"

#include <iostream>
#include <memory>

namespace velmora {

void addReplayCommand(CLI::App& app)
{
    auto request = std::make_shared<TrialRequest>(commandLineNames);
    CLI::App* replay = app.add_subcommand(
        "replay", "Print the scenario of one batch trial, with every craft explicit, for velmora-sim run.");
    replay->footer(
        "Give the same parameter options as the batch. The scenario carries no duration: pass the batch's\n"
        "--duration, if it had one, to velmora-sim run.\n"
        "Example: velmora-sim replay --seed 7 --trial 412 --count 8 > t412.json && velmora-sim run t412.json");
    addNumberOption(*replay, commandLineNames.trial, wholeNumberRule, "Trial number within the batch",
                    [&r = *request](const std::string& text) { r.setTrial({text}); })
        ->required();
    addAlgorithmAndFovOptions(*replay, *request);
    addTrialOptions(*replay, *request, false);
    replay->callback([request] {
        std::cout << toJsonText(scenarioToJson(replayScenario(request->setup(), request->trial()))) << '\n';
    });
}

}  // namespace velmora
