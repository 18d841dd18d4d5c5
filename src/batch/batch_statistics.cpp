#include "batch/batch_statistics.h"

#include <algorithm>

namespace velmora {

void BatchStatistics::add(const TrialResult& r)
{
    ++trials_;
    linkSum_ += static_cast<std::uint64_t>(r.links);
    groupSum_ += static_cast<std::uint64_t>(r.groups);
    if (r.initialized)
        times_.push_back(r.timeToInitialize);
}

BatchSummary BatchStatistics::summary() const
{
    BatchSummary s;
    const double n = static_cast<double>(trials_);
    s.trials = trials_;
    s.initialized = times_.size();
    s.initializedFraction = static_cast<double>(s.initialized) / n;
    s.initializedInterval = wilsonInterval(s.initialized, trials_);
    s.meanLinks = static_cast<double>(linkSum_) / n;
    s.meanGroups = static_cast<double>(groupSum_) / n;
    if (!times_.empty()) {
        std::vector<double> sorted = times_;
        std::sort(sorted.begin(), sorted.end());
        double sum = 0.0;
        for (const double t : sorted)
            sum += t;
        s.timeToInitialize = TimeToInitialize{sorted.front(), percentile(sorted, 0.5), percentile(sorted, 0.9),
                                              sorted.back(), sum / static_cast<double>(sorted.size())};
    }
    return s;
}

}  // namespace velmora
