#include "app/setup_record.h"

#include <algorithm>

namespace velmora {

void SetupRecord::recordSetup(const Scenario& s, const Formation& f)
{
    scenario_ = Scenario{};
    scenario_.algorithm = s.algorithm;
    scenario_.plan = s.plan;
    scenario_.maxSpeed = s.maxSpeed;
    scenario_.fovDeg = s.fovDeg;
    scenario_.tiltDeg = s.tiltDeg;
    scenario_.craftRadius = s.craftRadius;
    scenario_.boxHalfSize = s.boxHalfSize;
    // Every craft as it starts, the counterexample's geometry included: the saved file needs no seed.
    scenario_.count = f.craftCount();
    for (int i = 0; i < f.craftCount(); ++i) {
        const Spacecraft& c = f.spacecraft(i);
        scenario_.craft.push_back(CraftState{c.position, c.velocity, c.attitude});
        lastPositions_[i] = c.position;
    }
}

void SetupRecord::noteMovedCraft(const Formation& f)
{
    const int n = std::min(f.craftCount(), static_cast<int>(scenario_.craft.size()));
    for (int i = 0; i < n; ++i) {
        const Vec3& now = f.spacecraft(i).position;
        if (now == lastPositions_[i])
            continue;
        Vec3& start = scenario_.craft[i].position;
        start = f.time() == 0.0 ? now : add(start, subtract(now, lastPositions_[i]));
        lastPositions_[i] = now;
    }
}

void SetupRecord::noteStepped(const Formation& f)
{
    for (int i = 0; i < f.craftCount(); ++i)
        lastPositions_[i] = f.spacecraft(i).position;
}

}  // namespace velmora
