#include "app/setup_record.h"

#include "geometry/angles.h"

#include <algorithm>
#include <cmath>

namespace velmora {

double degreesFor(double radians)
{
    const double estimate = radians * (180.0 / pi);
    double up = estimate;
    double down = estimate;
    for (int step = 0; step < 8; ++step) {
        if (degreesToRadians(up) == radians)
            return up;
        if (degreesToRadians(down) == radians)
            return down;
        up = std::nextafter(up, INFINITY);
        down = std::nextafter(down, -INFINITY);
    }
    return estimate;
}

void SetupRecord::recordSetup(const Formation& f)
{
    const FormationParams& p = f.params;
    scenario_ = Scenario{};
    scenario_.algorithm = f.algorithm;
    scenario_.maxSpeed = p.MaxSpeed;
    scenario_.fovDeg = degreesFor(p.ThetaFOV);
    scenario_.tiltDeg = degreesFor(p.ThetaTilt);
    scenario_.craftRadius = p.craftRadius;
    // The dialog always places craft in a cube about the origin.
    scenario_.boxHalfSize = p.boxMax.x;
    scenario_.count = f.craftCount;
    for (int i = 0; i < f.craftCount; ++i) {
        const Spacecraft& c = f.spacecraft[i];
        scenario_.craft.push_back(CraftState{c.position, c.velocity, c.attitude});
        lastPositions_[i] = c.position;
    }
}

void SetupRecord::noteMovedCraft(const Formation& f)
{
    const int n = std::min(f.craftCount, static_cast<int>(scenario_.craft.size()));
    for (int i = 0; i < n; ++i) {
        const Vec3& now = f.spacecraft[i].position;
        if (now == lastPositions_[i])
            continue;
        Vec3& start = scenario_.craft[i].position;
        start = f.time == 0.0 ? now : add(start, subtract(now, lastPositions_[i]));
        lastPositions_[i] = now;
    }
}

void SetupRecord::noteStepped(const Formation& f)
{
    for (int i = 0; i < f.craftCount; ++i)
        lastPositions_[i] = f.spacecraft[i].position;
}

}  // namespace velmora
