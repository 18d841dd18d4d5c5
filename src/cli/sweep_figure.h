#pragma once

#include "cli/plot_options.h"
#include "trials/batch_run.h"

#include <nlohmann/json.hpp>

#include <span>
#include <string>

namespace velmora {

// A sweep's figures, drawn from its cells: one series per algorithm (by the name the dialog's list shows),
// panels for the parameters axes spreads, a caption with what every cell shares, and metadata holding
// provenance (the command, the version, every cell's parameters) as JSON. The bytes of the file asked for.
// Throws std::runtime_error.
std::string sweepFigure(std::span<const BatchRun> cells, const FigureAxes& axes, const PlotOptions& options,
                        const nlohmann::ordered_json& provenance);
// The fraction of formations initialized by each time, one curve per algorithm.
std::string curveFigure(std::span<const BatchRun> cells, const FigureAxes& axes, const PlotOptions& options,
                        const nlohmann::ordered_json& provenance);

// The values the cells hold of a parameter, each once, in the cells' order: a grid's columns or rows.
std::vector<std::string> parameterValues(std::span<const BatchRun> cells, const std::string& key);

}  // namespace velmora
