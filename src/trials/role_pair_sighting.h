#pragma once

#include "scenario/scenario.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// Two roles of a plan meeting as a pair: the role of the craft with the lower index (a) and of the other (b).
// Craft i flies role i mod (number of roles): parity for the built-in plans, a plan file's own roles.
struct RolePair {
    int a = 0;
    int b = 0;
    friend bool operator==(const RolePair&, const RolePair&) = default;
};

// The first mutual sighting of two craft of a role pair under the rules of a run: the same plans, 0.01 s
// steps, cone test and clock as Formation::step. Each role's turning does not depend on where a craft is or how
// it moves, so it is stepped once, when the object is made, and every pair afterwards only moves and tests:
// the attitudes, step lengths and times are those a formation computes, bit for bit.
class RolePairSighting {
public:
    // The tables cost 112 bytes a step: this caps them near 110 MB, above the longest built-in plan (Wait and
    // Check below 48 degrees, about 760,000 steps).
    static constexpr std::int64_t maxSteps = 1'000'000;

    // steps: how long to look, by default until the longer of the two plans has ended. Throws InputError for a
    // horizon above maxSteps or a plan that does not run at the scenario's parameters.
    RolePairSighting(const Scenario& s, RolePair roles, std::optional<std::int64_t> steps);

    std::int64_t steps() const { return static_cast<std::int64_t>(elapsed_.size()); }
    // Formation time after 1-based step k, as a run's links state it.
    double timeAfter(std::int64_t k) const { return times_[static_cast<std::size_t>(k - 1)]; }
    // Where craft a's (which 0) or craft b's (which 1) sensor points after 1-based step k.
    Vec3 axisAfter(int which, std::int64_t k) const
    {
        return (which == 0 ? poseA_ : poseB_)[static_cast<std::size_t>(k - 1)].axis;
    }
    // Where the longer of the two plans ends, in seconds.
    double planEnd() const { return planEnd_; }

    // The 1-based step after which craft a (at pa, moving at va) and craft b (pb, vb) have first seen each
    // other, or 0 when they never do within steps(). Allocates nothing.
    std::int64_t firstSighting(const Vec3& pa, const Vec3& va, const Vec3& pb, const Vec3& vb) const;

    // A scenario velmora-sim run replays as this pair: craft a and b at the indexes of their roles, any craft
    // between them at rest beside craft a (they only fill the indexes), and the pair's own horizon.
    Scenario scenario(const Vec3& pa, const Vec3& va, const Vec3& pb, const Vec3& vb) const;
    int indexA() const { return indexA_; }
    int indexB() const { return indexB_; }

private:
    struct StepPose {
        Vec3 axis;
        // The cone's apex relative to the craft's centre: axis scaled by the craft radius.
        Vec3 apexOffset;
    };

    Scenario base_;
    int indexA_ = 0;
    int indexB_ = 1;
    double tanFov_ = 0.0;
    double planEnd_ = 0.0;
    std::vector<double> elapsed_;
    std::vector<double> times_;
    std::vector<StepPose> poseA_;
    std::vector<StepPose> poseB_;
};

// How many roles a scenario's plan has: a plan file's roles, two parities for a built-in plan, one for none.
int roleCount(const Scenario& s);

// Every role pair that occurs in a formation of the scenario's plan, each once: for the built-ins even-odd,
// even-even, odd-odd (pairs of two roles first, then pairs within one role).
std::vector<RolePair> rolePairs(const Scenario& s);

// "even-odd" for a built-in plan's parities, "0-2" for a plan file's roles.
std::string rolePairName(const Scenario& s, RolePair roles);

// The role pair a name of rolePairName gives, in either order; nothing for a pair the plan does not have.
std::optional<RolePair> rolePairFromName(const Scenario& s, const std::string& name);

}  // namespace velmora
