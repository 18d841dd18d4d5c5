#include "sim/formation.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>

namespace velmora {
namespace {

// Far beyond any real rejection streak (each draw is accepted with probability about 0.52), yet it ends
// the loop when no draw can ever pass, as with a limit too large to draw within.
constexpr int maxVelocityRedraws = 1000;

bool isFinite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

bool isFinite(const Mat3& m)
{
    return std::all_of(m.m.begin(), m.m.end(), [](double e) { return std::isfinite(e); });
}

// Finite parameters whose drawing ranges are finite too: a box or speed limit near the largest double
// overflows its range and cannot place craft at finite positions.
bool drawableParams(const FormationParams& p)
{
    const double values[] = {p.MaxSpeed, 2.0 * p.MaxSpeed, p.craftRadius, p.ThetaFOV, p.ThetaTilt};
    if (!std::all_of(std::begin(values), std::end(values), [](double v) { return std::isfinite(v); }))
        return false;
    for (int axis = 0; axis < 3; ++axis)
        if (!std::isfinite(p.boxMax[axis] - p.boxMin[axis]))
            return false;
    return isFinite(p.boxMin) && isFinite(p.boxMax);
}

}  // namespace

void Formation::setup(int n) { setup(n, processRand15()); }

void Formation::setup(int n, Rand15& rng)
{
    craftCount_ = std::clamp(n, 0, capacity);
    time_ = 0.0;
    // The draws use the limit as given; only the acceptance test needs its size, since no velocity is ever
    // shorter than a negative length.
    const double maxSpeed = params_.MaxSpeed;
    const double speedLimit = std::fabs(params_.MaxSpeed);
    for (int i = 0; i < craftCount_; ++i) {
        parent_[i] = i;
        seen_[i] = 0;
        Spacecraft& craft = spacecraft_[i];
        craft.fovHalfAngle = params_.ThetaFOV;
        craft.tanFov = std::tan(params_.ThetaFOV);
        craft.craftRadius = params_.craftRadius;

        Vec3 p;
        Vec3 v;
        for (int axis = 0; axis < 3; ++axis) {
            p[axis] = uniformRandom(rng, params_.boxMin[axis], params_.boxMax[axis]);
            v[axis] = uniformRandom(rng, -maxSpeed, maxSpeed);
        }
        int redraws = 0;
        while (length(v) > speedLimit) {
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
        plans_[i].build(static_cast<std::uint32_t>(algorithm_), i % 2, params_.ThetaTilt, params_.ThetaFOV);
    }
    assert(checkInvariants());
}

bool Formation::step(double dt)
{
    bool result = false;
    for (int i = 0; i < craftCount_; ++i)
        result = spacecraft_[i].propagate(plans_[i], time_, time_ + dt) || result;

    // A craft's cone is the same for every pair it is in, so build each once.
    std::array<SensorCone, capacity>& cones = cones_;
    for (int i = 0; i < craftCount_; ++i)
        cones[i] = spacecraft_[i].sensorCone();

    for (int i = 0; i < craftCount_; ++i) {
        for (int j = i + 1; j < craftCount_; ++j) {
            if (cones[i].contains(spacecraft_[j].position) && cones[j].contains(spacecraft_[i].position))
                link(i, j);
        }
    }
    time_ = time_ + dt;
    assert(checkInvariants());
    return result;
}

void Formation::placeCraft(int i, const Vec3& position, const Vec3& velocity, const std::optional<Mat3>& attitude)
{
    Spacecraft& craft = spacecraft_[i];
    craft.position = position;
    craft.velocity = velocity;
    if (attitude)
        craft.attitude = *attitude;
}

void Formation::assignPlans(std::span<const ManeuverPlan> roles)
{
    for (int i = 0; i < craftCount_; ++i)
        plans_[i] = roles[static_cast<std::size_t>(i) % roles.size()];
}

void Formation::setupCounterexample()
{
    const double m = params_.MaxSpeed;
    const double c = 0.984807753012208;
    const double s = 0.17364817766693033;
    spacecraft_[1].position = Vec3{};
    spacecraft_[1].velocity = Vec3{};
    spacecraft_[0].velocity = Vec3{-m * c, 0 * m, m * s};
    spacecraft_[0].position.x = (-m * c) * -17.453292519943297;
    spacecraft_[0].position.z = -17.016960206944713 * (m * s);
    spacecraft_[0].position.y = spacecraft_[0].position.z * -0.5;
}

int Formation::findGroup(int i) const
{
    while (parent_[i] != i)
        i = parent_[i];
    return i;
}

void Formation::flattenGroups()
{
    for (int i = 0; i < craftCount_; ++i)
        parent_[i] = findGroup(i);
}

bool Formation::allInOneGroup() const
{
    if (craftCount_ <= 0)
        return false;
    const int root = findGroup(0);
    for (int i = 1; i < craftCount_; ++i)
        if (findGroup(i) != root)
            return false;
    return true;
}


int Formation::linkCount() const
{
    int marks = 0;
    for (int i = 0; i < craftCount_; ++i)
        marks += std::popcount(seen_[i]);
    return marks / 2;
}

int Formation::groupCount() const
{
    int roots = 0;
    for (int i = 0; i < craftCount_; ++i)
        roots += parent_[i] == i ? 1 : 0;
    return roots;
}

bool Formation::checkInvariants(const char** failure) const
{
    const auto fail = [failure](const char* what) {
        if (failure != nullptr)
            *failure = what;
        return false;
    };
    if (craftCount_ < 0 || craftCount_ > capacity)
        return fail("craftCount is outside 0..capacity");
    for (int i = 0; i < craftCount_; ++i) {
        int k = i;
        int hops = 0;
        while (k >= 0 && k < craftCount_ && parent_[k] != k && hops <= craftCount_) {
            k = parent_[k];
            ++hops;
        }
        if (k < 0 || k >= craftCount_)
            return fail("a parent chain leaves the craft in use");
        if (parent_[k] != k)
            return fail("a parent chain does not reach a root within craftCount hops");
    }
    const std::uint32_t inUse = (std::uint32_t{1} << craftCount_) - 1;
    const auto linked = [this](int i, int j) { return ((seen_[i] >> j) & 1u) != 0; };
    for (int i = 0; i < craftCount_; ++i) {
        if ((seen_[i] & ~inUse) != 0)
            return fail("seen marks a craft that is not in use");
        if (linked(i, i))
            return fail("a craft has seen itself");
        for (int j = i + 1; j < craftCount_; ++j)
            if (linked(i, j) != linked(j, i))
                return fail("seen is not symmetric");
    }
    for (int i = 0; i < craftCount_; ++i)
        for (int j = i + 1; j < craftCount_; ++j)
            if (linked(i, j) && findGroup(i) != findGroup(j))
                return fail("a linked pair is in two groups");
    if (drawableParams(params_))
        for (int i = 0; i < craftCount_; ++i)
            if (!isFinite(spacecraft_[i].position) || !isFinite(spacecraft_[i].attitude))
                return fail("a craft's position or attitude is not finite under finite parameters");
    return true;
}

}  // namespace velmora
