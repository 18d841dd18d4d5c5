#pragma once

#include <CLI/CLI.hpp>

namespace velmora {

// velmora-sim merge: the summary of a batch or sweep run in shards, from the shards' trial files.
void addMergeCommand(CLI::App& app);

}  // namespace velmora
