#include "trials/batch_statistics.h"

#include "trials/step_clock.h"

#include <cmath>

namespace velmora {
namespace {

// The value at a rank (from 0) of the sorted values the histogram counts.
template <typename Value>
Value valueAtRank(const std::map<Value, std::uint64_t>& counts, std::uint64_t rank)
{
    for (const auto& [value, count] : counts) {
        if (rank < count)
            return value;
        rank -= count;
    }
    return counts.rbegin()->first;
}

// percentile() of the sorted values, to the last bit, read from the histogram.
template <typename Value>
double percentileOf(const std::map<Value, std::uint64_t>& counts, std::uint64_t n, double p)
{
    const double h = (static_cast<double>(n) - 1.0) * p;
    const auto below = static_cast<std::uint64_t>(std::floor(h));
    if (below + 1 >= n)
        return static_cast<double>(counts.rbegin()->first);
    const double fraction = h - static_cast<double>(below);
    const auto low = static_cast<double>(valueAtRank(counts, below));
    return low + fraction * (static_cast<double>(valueAtRank(counts, below + 1)) - low);
}

template <typename Value>
TimeSpread spreadOf(const std::map<Value, std::uint64_t>& counts, std::uint64_t n, double mean, double unit)
{
    const auto at = [&](double p) { return unit * percentileOf(counts, n, p); };
    return {unit * static_cast<double>(counts.begin()->first),  at(0.25), at(0.5), at(0.75), at(0.9),
            unit * static_cast<double>(counts.rbegin()->first), mean};
}

}  // namespace

void BatchStatistics::add(const TrialResult& r)
{
    ++trials_;
    linkSum_ += static_cast<std::uint64_t>(r.links);
    groupSum_ += static_cast<std::uint64_t>(r.groups);
    exactKnown_ = exactKnown_ && r.exactKnown;
    withMissed_ += r.missedSightings > 0 ? 1 : 0;
    if (r.initialized) {
        ++initialized_;
        ++timeCounts_[r.timeToInitialize];
        if (r.exactKnown)
            ++delayCounts_[std::llround((r.timeToInitialize - r.exactTimeToInitialize) * 1e6)];
    }
}

BatchSummary BatchStatistics::summary(std::int64_t steps) const
{
    BatchSummary s;
    const double n = static_cast<double>(trials_);
    s.trials = trials_;
    s.initialized = initialized_;
    s.initializedFraction = static_cast<double>(s.initialized) / n;
    s.initializedInterval = wilsonInterval(s.initialized, trials_);
    s.meanLinks = static_cast<double>(linkSum_) / n;
    s.meanGroups = static_cast<double>(groupSum_) / n;
    if (exactKnown_)
        s.trialsWithMissedSightings = withMissed_;
    s.allTrials = allTrialTimes(StepClock().timeAfter(steps));
    if (initialized_ == 0)
        return s;
    // Summed one time at a time in ascending order, as the mean of the sorted times always was.
    double sum = 0.0;
    for (const auto& [time, count] : timeCounts_)
        for (std::uint64_t k = 0; k < count; ++k)
            sum += time;
    s.timeToInitialize = spreadOf(timeCounts_, initialized_, sum / static_cast<double>(initialized_), 1.0);
    if (exactKnown_) {
        // Whole microseconds sum exactly, in any order.
        std::int64_t micros = 0;
        for (const auto& [delay, count] : delayCounts_)
            micros += delay * static_cast<std::int64_t>(count);
        s.gridDelay = spreadOf(delayCounts_, initialized_,
                               1e-6 * (static_cast<double>(micros) / static_cast<double>(initialized_)), 1e-6);
    }
    return s;
}

AllTrialTimes BatchStatistics::allTrialTimes(double runEnd) const
{
    AllTrialTimes a;
    a.runEnd = runEnd;
    std::uint64_t cumulative = 0;
    double sum = 0.0;
    for (const auto& [time, count] : timeCounts_) {
        cumulative += count;
        a.curve.emplace_back(time, cumulative);
        for (std::uint64_t k = 0; k < count; ++k)
            sum += time;
    }
    sum += static_cast<double>(trials_ - initialized_) * runEnd;
    a.restrictedMean = sum / static_cast<double>(trials_);
    const auto initializedBy = [&](double t) {
        std::uint64_t by = 0;
        for (const auto& [time, count] : a.curve)
            if (time <= t)
                by = count;
        return static_cast<double>(by) / static_cast<double>(trials_);
    };
    for (const double t : {5.0, 10.0, 20.0, 30.0, 60.0, 120.0, 300.0, 600.0, 1200.0, 3600.0})
        if (t < runEnd)
            a.initializedBy.emplace_back(t, initializedBy(t));
    a.initializedBy.emplace_back(runEnd, initializedBy(runEnd));
    // The k-th smallest time over all trials (from 1), or nothing beyond the initialized ones.
    const auto orderStatistic = [&](std::uint64_t k) -> std::optional<double> {
        if (k > initialized_)
            return std::nullopt;
        return valueAtRank(timeCounts_, k - 1);
    };
    // Half initialized by the time of the ceil(n/2)-th: the smallest t with a fraction of at least one half.
    a.median = orderStatistic((trials_ + 1) / 2);
    if (const auto rank = medianIntervalRank(trials_)) {
        a.medianIntervalExists = true;
        a.medianLow = orderStatistic(*rank);
        a.medianHigh = orderStatistic(trials_ - *rank + 1);
    }
    return a;
}

}  // namespace velmora
