#pragma once

#include <CLI/CLI.hpp>

namespace velmora {

// `velmora-sim run SCENARIO.json [--steps N | --duration S]`
void addRunCommand(CLI::App& app);

}  // namespace velmora
