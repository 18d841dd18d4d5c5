#pragma once

#include "scenario/scenario.h"
#include "sim/default_scene.h"
#include "sim/sighting_mode.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class HistoryWriter;

// Longest run a command accepts: ten days of simulated time.
inline constexpr std::int64_t maxRunSteps = 100'000'000;

// Steps until the longest plan in use has ended (ceil(end / 0.01) + 1, at least 1).
std::int64_t stepsToPlanEnd(const Formation& f);

// N = S / 0.01 rounded half away from zero. Throws InputError, under name, for a count that is not a number,
// negative or above maxRunSteps.
std::int64_t stepsForDuration(double seconds, std::string_view name);

// A pair's first mutual sighting: after 1-based step `step`, at formation time `time`; exactTime is the moment
// within that step at which the two first saw each other.
struct ScenarioLink {
    int i = 0;
    int j = 0;
    std::int64_t step = 0;
    double time = 0.0;
    double exactTime = 0.0;
};

// A mutual sighting the grid missed (SightingScan): within 1-based step `step`, from start to end.
struct ScenarioMissedSighting {
    int i = 0;
    int j = 0;
    std::int64_t step = 0;
    double start = 0.0;
    double end = 0.0;
};

// How a single run ended: the formation after its last step, and what happened on the way.
struct ScenarioResult {
    Sighting sighting = Sighting::Grid;
    std::int64_t steps = 0;
    Formation formation;
    std::vector<ScenarioLink> links;
    std::vector<ScenarioMissedSighting> missedSightings;
    std::vector<std::int64_t> segmentChangeSteps;
    // The formation time after the first step that left every craft in one group (the set-up's, 0, for a
    // single craft); none while they are in more than one. What the desktop program's readout shows.
    std::optional<double> initializedAt;

    // The result document velmora-sim run prints.
    nlohmann::ordered_json toJson() const;
};

// The document velmora-sim run prints: where it came from, the scenario it ran (seed included), when craft
// counted as having seen each other, and the result.
nlohmann::ordered_json runResultJson(const Scenario& scenario, const ScenarioResult& result,
                                     const std::vector<std::string>& command);

// Called once the run's length is known, before its first step (step 0), and then every stepsPerCheck steps:
// a caller may say something about the run ahead, or stop it by throwing (Ctrl+C from Python).
using RunCheck = std::function<void(std::int64_t step, std::int64_t lastStep)>;
inline constexpr std::int64_t stepsPerCheck = 65536;

// Sets the scenario up from a sequence that starts at its seed, and runs it, recording its rows in history when
// given (the caller commits it), pairs linking by the sighting rule. Throws InputError for a step count out of
// range, and whatever check throws.
ScenarioResult runScenario(const Scenario& s, std::optional<std::int64_t> steps, HistoryWriter* history = nullptr,
                           const RunCheck& check = {}, Sighting sighting = Sighting::Grid);

}  // namespace velmora
