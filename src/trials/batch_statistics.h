#pragma once

#include "trials/sample_statistics.h"
#include "trials/trial_runner.h"

#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

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

// Times to initialize over every trial, a formation that never initialized counting as not initialized by
// the run's end, so the figures of a plan that leaves many formations apart are not flattered.
struct AllTrialTimes {
    // The time after the run's last step: every trial's time is capped at it.
    double runEnd = 0.0;
    // The fraction initialized by each of a few fixed times within the run, and by its end.
    std::vector<std::pair<double, double>> initializedBy;
    // The smallest time by which half the trials had initialized; nothing ("not reached") when fewer than
    // half ever did.
    std::optional<double> median;
    // Its 95 % interval from order statistics, free of any assumption about the times' distribution; an
    // end lies beyond the run (nothing: not reached) when it falls on a trial that never initialized, and
    // with five trials or fewer there is no such interval at all.
    bool medianIntervalExists = false;
    std::optional<double> medianLow;
    std::optional<double> medianHigh;
    // The mean of min(time, runEnd): a trial that never initialized counts with the run's end.
    double restrictedMean = 0.0;
    // The empirical curve: (time, trials initialized by then) at each time some trial initialized.
    std::vector<std::pair<double, std::uint64_t>> curve;
};

struct BatchSummary {
    std::uint64_t trials = 0;
    std::uint64_t initialized = 0;
    double initializedFraction = 0.0;
    ProportionInterval initializedInterval;
    // Over initialized trials only; nothing when none initialized.
    std::optional<TimeSpread> timeToInitialize;
    AllTrialTimes allTrials;
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

    // Needs at least one trial; steps is the run's step limit.
    BatchSummary summary(std::int64_t steps) const;

private:
    AllTrialTimes allTrialTimes(double runEnd) const;

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
