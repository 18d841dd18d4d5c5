#pragma once

#include "trials/batch_run.h"

#include <nlohmann/json.hpp>

#include <span>
#include <string>
#include <vector>

namespace velmora {

// The summary of one batch as JSON (what made it, parameters, counts, interval, times, and the run's timing
// apart in "timing", so that the rest of two runs of the same trials compares equal) and as a readable table.
// Without timed (a summary of trial files merged afterwards) there is no timing to give.
nlohmann::ordered_json batchRunJson(const BatchRun& run, const std::vector<std::string>& command, bool timed = true);
std::string batchRunTable(const BatchRun& run, bool timed = true);

// A sweep: one cell per algorithm and field of view, all with the same other parameters and trials.
// The table is a Markdown table, readable on a terminal and ready to paste into a document.
nlohmann::ordered_json sweepJson(std::span<const BatchRun> cells, const std::vector<std::string>& command,
                                 bool timed = true);
std::string sweepTable(std::span<const BatchRun> cells);

}  // namespace velmora
