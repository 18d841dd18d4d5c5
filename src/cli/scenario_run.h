#pragma once

#include "cli/scenario.h"

#include <cstdint>
#include <optional>

namespace velmora {

inline constexpr double stepSeconds = 0.01;

// Longest run a command accepts: ten days of simulated time.
inline constexpr std::int64_t maxRunSteps = 100'000'000;

// Steps until the longest plan in use has ended (ceil(end / 0.01) + 1, at least 1).
std::int64_t stepsToPlanEnd(const Formation& f);

// N = S / 0.01 rounded half away from zero.
std::int64_t stepsForDuration(double seconds);

// Sets the scenario up from the process-wide sequence, runs it and returns the result document.
// Throws ScenarioError for a step count out of range.
nlohmann::ordered_json runScenario(const Scenario& s, std::optional<std::int64_t> steps);

}  // namespace velmora
