#include "trials/role_pair_sighting.h"

#include "scenario/scenario_run.h"
#include "sim/plan_algorithm.h"

#include <algorithm>
#include <cmath>

namespace velmora {

int roleCount(const Scenario& s)
{
    if (s.plan)
        return s.plan->roleCount();
    return s.algorithm >= 0 && s.algorithm < planAlgorithmCount ? 2 : 1;
}

std::vector<RolePair> rolePairs(const Scenario& s)
{
    const int roles = roleCount(s);
    std::vector<RolePair> pairs;
    for (int a = 0; a < roles; ++a)
        for (int b = a + 1; b < roles; ++b)
            pairs.push_back({a, b});
    for (int a = 0; a < roles; ++a)
        pairs.push_back({a, a});
    return pairs;
}

namespace {

std::string roleName(const Scenario& s, int role)
{
    if (!s.plan && roleCount(s) == 2)
        return role == 0 ? "even" : "odd";
    return std::to_string(role);
}

}  // namespace

std::string rolePairName(const Scenario& s, RolePair roles)
{
    return roleName(s, roles.a) + "-" + roleName(s, roles.b);
}

std::optional<RolePair> rolePairFromName(const Scenario& s, const std::string& name)
{
    for (const RolePair& pair : rolePairs(s))
        if (name == rolePairName(s, pair) || name == rolePairName(s, {pair.b, pair.a}))
            return pair;
    return std::nullopt;
}

RolePairSighting::RolePairSighting(const Scenario& s, RolePair roles, std::optional<std::int64_t> steps) : base_(s)
{
    const int count = roleCount(s);
    indexA_ = std::min(roles.a, roles.b);
    const int other = std::max(roles.a, roles.b);
    indexB_ = other > indexA_ ? other : other + count;
    base_.count = indexB_ + 1;
    base_.counterexample = false;
    base_.craft.assign(static_cast<std::size_t>(base_.count), CraftState{});

    Formation f;
    Rand15 rng(base_.seed);
    setUpFormation(base_, f, rng);
    requireFiniteState(f, "after set-up");
    planEnd_ = std::max(f.plan(indexA_).totalDuration(), f.plan(indexB_).totalDuration());
    std::int64_t n = 0;
    if (steps) {
        n = *steps;
    } else {
        const double toEnd = std::ceil(planEnd_ / stepSeconds) + 1.0;
        if (!(toEnd <= static_cast<double>(maxSteps)))
            throw InputError("the plan runs longer than " + std::to_string(maxSteps) +
                             " steps, more than a pair is followed; give a shorter duration");
        n = std::max<std::int64_t>(1, static_cast<std::int64_t>(toEnd));
    }
    if (n < 0 || n > maxSteps)
        throw InputError("a pair is followed for at most " + std::to_string(maxSteps) + " steps");

    tanFov_ = f.spacecraft(indexA_).tanFov;
    elapsed_.reserve(static_cast<std::size_t>(n));
    times_.reserve(static_cast<std::size_t>(n));
    poseA_.reserve(static_cast<std::size_t>(n));
    poseB_.reserve(static_cast<std::size_t>(n));
    const auto pose = [&f](int i) {
        const Spacecraft& c = f.spacecraft(i);
        const Vec3 axis = column(c.attitude, 2);
        return StepPose{axis, scale(axis, c.craftRadius)};
    };
    for (std::int64_t k = 0; k < n; ++k) {
        const double t0 = f.time();
        elapsed_.push_back((t0 + stepSeconds) - t0);
        f.step(stepSeconds);
        times_.push_back(f.time());
        poseA_.push_back(pose(indexA_));
        poseB_.push_back(pose(indexB_));
    }
}

std::int64_t RolePairSighting::firstSighting(const Vec3& pa, const Vec3& va, const Vec3& pb, const Vec3& vb) const
{
    Vec3 a = pa;
    Vec3 b = pb;
    const std::size_t n = elapsed_.size();
    for (std::size_t k = 0; k < n; ++k) {
        addInPlace(a, scale(va, elapsed_[k]));
        addInPlace(b, scale(vb, elapsed_[k]));
        const StepPose& A = poseA_[k];
        const StepPose& B = poseB_[k];
        const Vec3 apexA = add(a, A.apexOffset);
        const SensorCone coneA(apexA.x, apexA.y, apexA.z, A.axis.x, A.axis.y, A.axis.z, tanFov_);
        if (!coneA.contains(b))
            continue;
        const Vec3 apexB = add(b, B.apexOffset);
        const SensorCone coneB(apexB.x, apexB.y, apexB.z, B.axis.x, B.axis.y, B.axis.z, tanFov_);
        if (coneB.contains(a))
            return static_cast<std::int64_t>(k) + 1;
    }
    return 0;
}

Scenario RolePairSighting::scenario(const Vec3& pa, const Vec3& va, const Vec3& pb, const Vec3& vb) const
{
    Scenario s = base_;
    for (CraftState& c : s.craft)
        c = CraftState{pa, Vec3{}, std::nullopt};
    s.craft[static_cast<std::size_t>(indexA_)].velocity = va;
    s.craft[static_cast<std::size_t>(indexB_)] = CraftState{pb, vb, std::nullopt};
    return s;
}

}  // namespace velmora
