#include "trials/step_clock.h"

#include "sim/default_scene.h"

namespace velmora {

double StepClock::timeAfter(std::int64_t steps)
{
    constexpr std::int64_t every = 4096;
    if (const auto it = known_.find(steps); it != known_.end())
        return it->second;
    const auto checkpoint = static_cast<std::size_t>(steps / every);
    while (checkpoints_.size() <= checkpoint) {
        double t = checkpoints_.back();
        for (std::int64_t k = 0; k < every; ++k)
            t = t + stepSeconds;
        checkpoints_.push_back(t);
    }
    double t = checkpoints_[checkpoint];
    for (std::int64_t k = static_cast<std::int64_t>(checkpoint) * every; k < steps; ++k)
        t = t + stepSeconds;
    known_.emplace(steps, t);
    return t;
}

}  // namespace velmora
