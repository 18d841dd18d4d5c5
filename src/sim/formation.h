#pragma once

#include "geometry/rand15.h"
#include "sim/formation_params.h"
#include "sim/maneuver_plan.h"
#include "sim/spacecraft.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace velmora {

// The simulated world: up to twenty craft with their plans, the clock, and who has seen whom. Groups of
// craft that have seen each other live in a union-find forest over craft indices. Stepping never allocates.
class Formation {
public:
    static constexpr int capacity = 20;

    // Set-up. The parameters and the algorithm (an index into the list of plans; any other value builds
    // empty plans) take effect at the next setup().
    void setParams(const FormationParams& p) { params_ = p; }
    void setAlgorithm(int algorithm) { algorithm_ = algorithm; }

    // Places n craft (clamped to 0..capacity) at random and builds their plans; resets time and groups.
    void setup(int n);
    void setup(int n, Rand15& rng);

    // Gives craft i (one in use) a start of its own after setup(): a scenario's explicit craft. Without an
    // attitude it keeps the one set-up gave it.
    void placeCraft(int i, const Vec3& position, const Vec3& velocity, const std::optional<Mat3>& attitude);

    // Gives craft i the plan of role i mod roles.size() (at least one role) after setup(): a plan file's roles
    // in place of the built-in plans.
    void assignPlans(std::span<const ManeuverPlan> roles);

    // The two-craft configuration that defeats a plan: craft 0 passes close by craft 1 at rest.
    void setupCounterexample();

    // Advances every craft by dt, then merges every pair that sees each other. True when some craft's
    // step ended in another plan segment than it began.
    bool step(double dt);

    // Merges the groups of craft i and j (both in use, i < j) and marks that they have seen each other: what a
    // step does for every pair in mutual view at its end, and what continuous sighting adds for a pair that saw
    // each other only within a step. The group of j absorbs the group of i.
    void link(int i, int j)
    {
        const int ri = findGroup(i);
        parent_[i] = ri;
        const int rj = findGroup(j);
        parent_[j] = rj;
        parent_[ri] = rj;
        seen_[i] |= std::uint32_t{1} << j;
        seen_[j] |= std::uint32_t{1} << i;
    }

    // A craft dragged by the user: only its position changes.
    void moveCraft(int i, const Vec3& position) { spacecraft_[i].position = position; }

    // Points every craft's parent entry straight at its group's root. The groups stay as they are; only the
    // paths to their roots get shorter. The views do this each time they draw the formation.
    void flattenGroups();

    const FormationParams& params() const { return params_; }
    int algorithm() const { return algorithm_; }
    int craftCount() const { return craftCount_; }
    const Spacecraft& spacecraft(int i) const { return spacecraft_[i]; }
    const ManeuverPlan& plan(int i) const { return plans_[i]; }
    // Union-find forest over craft indices: a craft whose parent is itself is the root of its group.
    int parent(int i) const { return parent_[i]; }
    // Bit j of seen(i) is set once craft i and craft j have seen each other.
    std::uint32_t seen(int i) const { return seen_[i]; }
    // Simulated seconds since the last setup().
    double time() const { return time_; }

    int findGroup(int i) const;

    // Every craft in use is in one group.
    bool allInOneGroup() const;

    // Pairs of craft in use that have seen each other.
    int linkCount() const;

    // Groups among the craft in use: the roots of the forest.
    int groupCount() const;

    // The formation's bookkeeping holds together: every parent chain reaches a root within craftCount hops,
    // seen is symmetric with no craft marking itself, a linked pair shares a root, and while the parameters
    // are finite so are every craft's position and attitude. On failure, *failure (when given) names the first
    // broken rule. Allocates nothing, so it may run after every step.
    bool checkInvariants(const char** failure = nullptr) const;

private:
    // Builds states no set-up and step reach, such as a broken forest, for the tests of the checks above and
    // of the drawing; defined by the tests alone.
    friend class FormationEditor;

    std::array<Spacecraft, capacity> spacecraft_{};
    FormationParams params_;
    int craftCount_ = 0;
    std::array<int, capacity> parent_{};
    std::array<std::uint32_t, capacity> seen_{};
    std::array<ManeuverPlan, capacity> plans_{};
    int algorithm_ = 0;
    double time_ = 0.0;
    // Room for the cones of one step, kept here so a step neither builds nor destroys twenty of them.
    std::array<SensorCone, capacity> cones_{};
};

}  // namespace velmora
