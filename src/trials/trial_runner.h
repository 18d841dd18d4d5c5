#pragma once

#include "scenario/scenario.h"
#include "sim/sighting_scan.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace velmora {

// The first Rand15 state of trial k in a batch with the given seed: the low 32 bits of splitmix64 at
// seed + (k + 1) * golden gamma. Each trial owns its sequence, so no result depends on threads or shards.
std::uint32_t trialSeedState(std::uint64_t seed, std::uint64_t trial);

// What every trial of a batch shares: the scenario each draws a fresh random formation from (no explicit
// craft), the batch seed, how many 0.01 s steps a trial runs at most, and when two craft count as having seen
// each other.
struct TrialSetup {
    Scenario scenario;
    std::uint64_t seed = 1;
    std::int64_t steps = 0;
    // The simulated seconds asked for, which give the steps; nothing when a trial runs until the longest plan
    // in use has ended.
    std::optional<double> duration;
    Sighting sighting = Sighting::Grid;
};

// Resolves the step count of a batch: the given count, or by default until the longest plan in use has
// ended. Plans depend only on the parameters, so every trial of a batch ends at the same step.
std::int64_t trialSteps(const Scenario& scenario, std::optional<std::int64_t> steps);

// Trials first to first + count - 1: what a batch runs, or what a summary of merged trial files covers.
struct TrialSpan {
    std::uint64_t first = 0;
    std::uint64_t count = 0;
};

struct TrialResult {
    std::uint64_t trial = 0;
    std::uint32_t seedState = 0;
    bool initialized = false;
    // The 1-based step that put every craft in one group, and the formation time after it (the sum of that
    // many 0.01 s steps, so not always a round number); both meaningful only when initialized.
    std::int64_t stepsToInitialize = 0;
    double timeToInitialize = 0.0;
    // Pairs that have seen each other, and groups, when the trial stopped.
    int links = 0;
    int groups = 0;
    // The moment within the step that joined the formation at which the last link it needed formed
    // (SightingScan::joinTime); meaningful only when initialized.
    double exactTimeToInitialize = 0.0;
    // On the grid, the mutual sightings it missed on the way (SightingScan::missed); 0 in continuous mode.
    int missedSightings = 0;
    // False for a row of a file written before rows recorded the exact time and the missed sightings.
    bool exactKnown = true;
};

// Sets up the formation of one trial: the batch's scenario placed from the trial's own sequence. tables, when
// given, are the plan file's tables at the batch's parameters (planTables), worked out once for all trials.
void setUpTrial(const TrialSetup& setup, std::uint64_t trial, Formation& f,
                const std::vector<ManeuverPlan>* tables = nullptr);

// The trial's formation as a scenario with every craft explicit: `velmora-sim run` sets it up exactly as the
// batch did, whatever sequence it draws from.
Scenario replayScenario(const TrialSetup& setup, std::uint64_t trial);

// Runs trials one at a time on a formation it owns, so a worker thread reuses one formation for all of its
// trials. A trial stops at the step that puts every craft in one group.
class TrialRunner {
public:
    explicit TrialRunner(TrialSetup setup) : setup_(std::move(setup)), tables_(planTables(setup_.scenario)) {}

    TrialResult run(std::uint64_t trial);

private:
    TrialSetup setup_;
    std::vector<ManeuverPlan> tables_;
    Formation formation_;
    SightingScan scan_;
};

}  // namespace velmora
