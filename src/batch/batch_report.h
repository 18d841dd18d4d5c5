#pragma once

#include "batch/batch_run.h"

#include <nlohmann/json.hpp>

#include <span>
#include <string>

namespace velmora {

// The summary of one batch as JSON (parameters, counts, interval, times, rate) and as a readable table.
nlohmann::ordered_json batchRunJson(const BatchRun& run);
std::string batchRunTable(const BatchRun& run);

// A sweep: one cell per algorithm and field of view, all with the same other parameters and trials.
// The table is a Markdown table, readable on a terminal and ready to paste into a document.
nlohmann::ordered_json sweepJson(std::span<const BatchRun> cells);
std::string sweepTable(std::span<const BatchRun> cells);

}  // namespace velmora
