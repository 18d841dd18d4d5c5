#pragma once

// The pieces batch and sweep reports are made of: numbers as the tables print them, parameters as columns,
// results as JSON, and Markdown tables. For the report writers only.
#include "trials/batch_run.h"
#include "trials/trial_parameters.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velmora::report {

using nlohmann::ordered_json;

// The sweep axes as parameter columns, and how a table heads each.
struct Axis {
    TrialParameter key;
    const char* heading;
};

inline constexpr Axis tableAxes[] = {{algorithmKey, "algorithm"}, {fovDegKey, "FOV (°)"},      {tiltDegKey, "tilt (°)"},
                              {countKey, "craft"},         {maxSpeedKey, "max speed"},  {craftRadiusKey, "radius"},
                              {boxHalfSizeKey, "box ±"},   {durationKey, "duration (s)"}};

std::string fixed(double v, int decimals);
std::string percent(double fraction);
// A p-value to four decimals, or a bound below the smallest of them.
std::string pValue(double p);

TrialParameterTexts parameterTexts(const BatchRun& run);
// Whether the cells hold more than one value of a parameter (a plan by its name and identity).
bool varies(std::span<const BatchRun> cells, TrialParameter key);
// A parameter's value as a table cell: the plan by its name, a duration not given as "plan".
std::string axisValue(const BatchRun& run, TrialParameter key);
// The scenario's parameters in words, leaving out those that vary among cells.
std::string sharedParameters(const Scenario& s, std::span<const BatchRun> cells = {});
std::string sightingNote(const BatchRun& run);
std::string trialRange(const BatchRun& run);

ordered_json resultJson(const BatchRun& run);
ordered_json timingJson(const BatchRun& run);
// The median over every trial with its interval, or why there is none.
std::string allTrialsMedian(const AllTrialTimes& a);

// Column widths count characters, not bytes: "°" and "±" take two bytes each.
std::string padded(const std::string& text, std::size_t width, bool right);
// A Markdown table, readable on a terminal and ready to paste into a document.
std::string markdownTable(const std::vector<std::string>& header, const std::vector<bool>& right,
                          const std::vector<std::vector<std::string>>& rows);

}  // namespace velmora::report
