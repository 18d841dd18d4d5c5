#pragma once

#include "trials/role_pair_sighting.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// What a search for the worst two-craft configuration asks for (the default budget takes about a minute on
// two cores when nothing prevents every sighting): the plan, cone, speed limit and box (a
// scenario's), the evaluations it may spend, its seed, how long a run looks (by default until the plans end)
// and the threads.
struct SearchRequest {
    Scenario scenario;
    std::uint64_t budget = 5'000'000;
    std::uint64_t seed = 1;
    std::optional<std::int64_t> steps;
    int threads = 1;
};

// The search is split into this many independent starts whatever the thread count, so its result depends on
// the seed and budget alone.
inline constexpr int searchStarts = 16;

struct SearchStartResult {
    std::uint64_t evaluations = 0;
    // Steps to the first sighting of the start's worst configuration, steps + 1 for never.
    std::int64_t objective = 0;
};

struct SearchResult {
    SearchRequest request;
    // The worst configuration found, as a scenario velmora-sim run replays: craft 0 starting at the origin,
    // craft 1 somewhere in the box, moving in opposite directions, each at most at the speed limit.
    Scenario worst;
    // The run's length, and the step of the pair's first sighting (0: never within it).
    std::int64_t steps = 0;
    std::int64_t sightingStep = 0;
    std::optional<double> sightingTime;
    // The start that found the worst configuration (the lowest of equals).
    int bestStart = 0;
    std::vector<SearchStartResult> starts;
    std::uint64_t evaluations = 0;
    double seconds = 0.0;

    bool neverSighted() const { return sightingStep == 0; }
};

// Called on the caller's thread about ten times a second: evaluations so far, the largest objective found yet
// (0 before the first, steps + 1 for never) and the run's steps. A throw stops the search (every thread
// joined) and goes on.
using SearchProgress = std::function<void(std::uint64_t evaluations, std::int64_t best, std::int64_t steps)>;

// Searches the configuration that delays the pair's first mutual sighting the longest, or prevents it: NLopt's
// multi-level single linkage from a Sobol sequence (GN_MLSL_LDS) with a subplex polish (LN_SBPLX) in each
// start, over a start's own fold of the unit cube that the seed shifts. Throws InputError for a request
// that cannot be searched (no budget, a plan too long to follow).
SearchResult searchWorstCase(const SearchRequest& request, const SearchProgress& progress = {});

// The summary: what made it, the objective, the worst configuration and the statistics of the starts.
nlohmann::ordered_json searchJson(const SearchResult& result, const std::vector<std::string>& command);

// The worst configuration as a scenario file, with what made it under "origin".
nlohmann::ordered_json worstScenarioJson(const SearchResult& result, const std::vector<std::string>& command);

}  // namespace velmora
