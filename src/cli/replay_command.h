#pragma once

#include <CLI/CLI.hpp>

namespace velmora {

// `velmora-sim replay --seed S --trial K`: one batch trial as a scenario for `velmora-sim run`.
void addReplayCommand(CLI::App& app);

}  // namespace velmora
