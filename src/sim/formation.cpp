#include "sim/formation.h"

#include <algorithm>
#include <cmath>

namespace velmora {
namespace {

// Far beyond any real rejection streak (each draw is accepted with probability about 0.52), yet it ends
// the loop when no draw can ever pass, as with a limit too large to draw within.
constexpr int maxVelocityRedraws = 1000;

}  // namespace

void Formation::setup(int n) { setup(n, processRand15()); }

void Formation::setup(int n, Rand15& rng)
{
    craftCount = std::clamp(n, 0, capacity);
    time = 0.0;
    const double maxSpeed = std::fabs(params.MaxSpeed);
    for (int i = 0; i < craftCount; ++i) {
        parent[i] = i;
        seen[i] = 0;
        Spacecraft& craft = spacecraft[i];
        craft.fovHalfAngle = params.ThetaFOV;
        craft.tanFov = std::tan(params.ThetaFOV);
        craft.craftRadius = params.craftRadius;

        Vec3 p;
        Vec3 v;
        for (int axis = 0; axis < 3; ++axis) {
            p[axis] = uniformRandom(rng, params.boxMin[axis], params.boxMax[axis]);
            v[axis] = uniformRandom(rng, -maxSpeed, maxSpeed);
        }
        int redraws = 0;
        while (length(v) > maxSpeed) {
            if (++redraws > maxVelocityRedraws) {
                v = Vec3{};
                break;
            }
            for (int axis = 0; axis < 3; ++axis)
                v[axis] = uniformRandom(rng, -maxSpeed, maxSpeed);
        }
        craft.position = p;
        craft.velocity = v;
        craft.resetAttitude();
        plans[i].build(static_cast<std::uint32_t>(algorithm), i % 2, params.ThetaTilt, params.ThetaFOV);
    }
}

bool Formation::step(double dt)
{
    bool result = false;
    for (int i = 0; i < craftCount; ++i)
        result = spacecraft[i].propagate(plans[i], time, time + dt) || result;

    // A craft's cone is the same for every pair it is in, so build each once.
    std::array<SensorCone, capacity> cones;
    for (int i = 0; i < craftCount; ++i)
        cones[i] = spacecraft[i].sensorCone();

    for (int i = 0; i < craftCount; ++i) {
        for (int j = i + 1; j < craftCount; ++j) {
            if (!cones[i].contains(spacecraft[j].position) || !cones[j].contains(spacecraft[i].position))
                continue;
            const int ri = findGroup(i);
            parent[i] = ri;
            const int rj = findGroup(j);
            parent[j] = rj;
            parent[ri] = rj;
            seen[i] |= std::uint32_t{1} << j;
            seen[j] |= std::uint32_t{1} << i;
        }
    }
    time = time + dt;
    return result;
}

void Formation::setupCounterexample()
{
    const double m = params.MaxSpeed;
    const double c = 0.984807753012208;
    const double s = 0.17364817766693033;
    spacecraft[1].position = Vec3{};
    spacecraft[1].velocity = Vec3{};
    spacecraft[0].velocity = Vec3{-m * c, 0 * m, m * s};
    spacecraft[0].position.x = (-m * c) * -17.453292519943297;
    spacecraft[0].position.z = -17.016960206944713 * (m * s);
    spacecraft[0].position.y = spacecraft[0].position.z * -0.5;
}

int Formation::findGroup(int i) const
{
    while (parent[i] != i)
        i = parent[i];
    return i;
}

bool Formation::allInOneGroup() const
{
    if (craftCount <= 0)
        return false;
    const int root = findGroup(0);
    for (int i = 1; i < craftCount; ++i)
        if (findGroup(i) != root)
            return false;
    return true;
}

}  // namespace velmora
