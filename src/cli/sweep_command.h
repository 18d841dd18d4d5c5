#pragma once

#include <CLI/CLI.hpp>

namespace velmora {

// `velmora-sim sweep`: batches over lists of algorithms and fields of view, as one table and a plot.
void addSweepCommand(CLI::App& app);

}  // namespace velmora
