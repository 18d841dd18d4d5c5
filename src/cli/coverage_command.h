#pragma once

#include <CLI/CLI.hpp>

namespace velmora {

// `velmora-sim coverage`: for every direction on the sphere, when a pair at rest first sees each other.
void addCoverageCommand(CLI::App& app);

}  // namespace velmora
