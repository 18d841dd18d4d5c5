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

// A sweep: one cell per combination of its parameters' values, all with the same trials. Each cell names
// every parameter; the table gives a column to the algorithm, the FOV and each other parameter that varies,
// then the paired comparisons of plans that ran the same formations (kept in the cells' outcomes). The
// table is Markdown, readable on a terminal and ready to paste into a document; the CSV has one row per cell
// with every parameter, for pandas' read_csv.
nlohmann::ordered_json sweepJson(std::span<const BatchRun> cells, const std::vector<std::string>& command,
                                 bool timed = true);
std::string sweepTable(std::span<const BatchRun> cells);
// The parameters every cell shares and the trials each ran, as the table's first line says them.
std::string sweepHeading(std::span<const BatchRun> cells);
std::string sweepCsv(std::span<const BatchRun> cells);

}  // namespace velmora
