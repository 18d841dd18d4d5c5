#pragma once

#include <CLI/CLI.hpp>

namespace velmora {

// `velmora-sim plan FILE`: checks a plan file and prints each role's segment table at a tilt and FOV.
void addPlanCommand(CLI::App& app);

}  // namespace velmora
