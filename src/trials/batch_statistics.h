#pragma once

#include "trials/sample_statistics.h"
#include "trials/trial_runner.h"

#include <cstdint>
#include <map>
#include <optional>

namespace velmora {

// How a time is spread over trials, in seconds.
struct TimeSpread {
    double min = 0.0;
    double p25 = 0.0;
    double median = 0.0;
    double p75 = 0.0;
    double p90 = 0.0;
    double max = 0.0;
    double mean = 0.0;
};

struct BatchSummary {
    std::uint64_t trials = 0;
    std::uint64_t initialized = 0;
    double initializedFraction = 0.0;
    ProportionInterval initializedInterval;
    // Over initialized trials only; nothing when none initialized.
    std::optional<TimeSpread> timeToInitialize;
    // Over initialized trials, how long after the moment the formation joined the step that joined it ended: how
    // much the grid delays the time to initialize. To the microsecond; nothing when none initialized, or when
    // some trial's row did not record the moment.
    std::optional<TimeSpread> gridDelay;
    double meanLinks = 0.0;
    double meanGroups = 0.0;
    // Trials with at least one sighting the grid missed; nothing when some trial's row did not record them.
    std::optional<std::uint64_t> trialsWithMissedSightings;
};

// Accumulates trial results as they arrive, keeping only what the summary needs: counts, sums and how many
// trials initialized at each time. A time to initialize is the time after a whole number of steps, so the
// histogram has at most one entry per step of the plan, however many trials there are, and its
// percentiles are exact. The grid's delay is counted in whole microseconds, at most 10001 of them a step.
class BatchStatistics {
public:
    void add(const TrialResult& r);

    // Needs at least one trial.
    BatchSummary summary() const;

private:
    std::uint64_t trials_ = 0;
    std::uint64_t linkSum_ = 0;
    std::uint64_t groupSum_ = 0;
    std::uint64_t initialized_ = 0;
    std::map<double, std::uint64_t> timeCounts_;
    std::map<std::int64_t, std::uint64_t> delayCounts_;
    std::uint64_t withMissed_ = 0;
    bool exactKnown_ = true;
};

}  // namespace velmora
