#pragma once

#include "trials/sample_statistics.h"
#include "trials/trial_runner.h"

#include <cstdint>
#include <optional>
#include <map>

namespace velmora {

struct TimeToInitialize {
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
    std::optional<TimeToInitialize> timeToInitialize;
    double meanLinks = 0.0;
    double meanGroups = 0.0;
};

// Accumulates trial results as they arrive, keeping only what the summary needs: counts, sums and how many
// trials initialized at each time. A time to initialize is the time after a whole number of steps, so the
// histogram has at most one entry per step of the plan, however many trials there are, and its
// percentiles are exact.
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
};

}  // namespace velmora
