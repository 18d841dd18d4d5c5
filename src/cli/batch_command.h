#pragma once

#include <CLI/CLI.hpp>

namespace velmora {

// `velmora-sim batch`: Monte Carlo trials of random formations, summarized.
void addBatchCommand(CLI::App& app);

}  // namespace velmora
