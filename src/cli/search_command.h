#pragma once

#include <CLI/CLI.hpp>

namespace velmora {

// `velmora-sim search`: the two-craft configuration that delays a plan's first mutual sighting the longest.
void addSearchCommand(CLI::App& app);

}  // namespace velmora
