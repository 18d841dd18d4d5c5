#pragma once

#include "trials/trial_runner.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// What made a row of a trial file: the set-up every trial of its run shared, and the trials the run was asked
// for (the whole range, before --shard took its part). Every row carries it, so a file alone says which
// parameters made each of its rows.
struct TrialOrigin {
    TrialSetup setup;
    TrialSpan range;
};

// The parameter columns of a trial row, in the order trial files and summaries write them: the plan (its
// name, and a plan file's identity), a scenario's parameters in its own order, then the batch's: its seed,
// the trials it was asked for, the duration asked for (none: until the longest plan has ended), the step
// limit that gave, and the sighting rule.
inline constexpr std::array<std::string_view, 14> trialParameterKeys{
    "algorithm", "plan", "maxSpeed",   "fovDeg", "tiltDeg",  "craftRadius", "boxHalfSize",
    "count",     "seed", "firstTrial", "trials", "duration", "steps",       "sighting"};
inline constexpr std::size_t trialParameterCount = trialParameterKeys.size();

// Positions in trialParameterKeys.
enum TrialParameter : std::size_t {
    algorithmKey, planKey, maxSpeedKey, fovDegKey, tiltDegKey, craftRadiusKey, boxHalfSizeKey,
    countKey, seedKey, firstTrialKey, trialsKey, durationKey, stepsKey, sightingKey
};

using TrialParameterTexts = std::array<std::string, trialParameterCount>;

// Each parameter as a CSV file writes it (numbers shortest round trip, the algorithm by name, a plan file's
// SHA-256 as its identity and nothing for a built-in plan), in the order of trialParameterKeys. Two origins
// are the same exactly when their texts are.
TrialParameterTexts trialParameterTexts(const TrialOrigin& origin);

// The parameters as members of a JSON object, in the same order.
nlohmann::ordered_json trialParameterJson(const TrialOrigin& origin);

// An origin from the texts of its columns. Throws InputError naming the first whose text is no value a run
// can have (an unknown algorithm, an angle that is no cone's, a count outside 2..20, ...). A plan file is
// known by its name and identity only: enough to name and compare it, not to fly it.
TrialOrigin trialOriginFrom(const TrialParameterTexts& texts);

// The first parameter in which a and b differ, as "fovDeg: 40 and 25"; empty when they are the same.
std::string firstDifference(const TrialParameterTexts& a, const TrialParameterTexts& b);

}  // namespace velmora
