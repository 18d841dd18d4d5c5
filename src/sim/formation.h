#pragma once

#include "geometry/rand15.h"
#include "sim/formation_params.h"
#include "sim/maneuver_plan.h"
#include "sim/spacecraft.h"

#include <array>
#include <cstdint>

namespace velmora {

// The simulated world: up to twenty craft with their plans, the clock, and who has seen whom. Groups of
// craft that have seen each other live in a union-find forest over craft indices. Stepping never allocates.
class Formation {
public:
    static constexpr int capacity = 20;

    void setParams(const FormationParams& p) { params = p; }

    // Places n craft (clamped to 0..capacity) at random and builds their plans; resets time and groups.
    void setup(int n);
    void setup(int n, Rand15& rng);

    // Advances every craft by dt, then merges every pair that sees each other. True when some craft's
    // step ended in another plan segment than it began.
    bool step(double dt);

    // The two-craft configuration that defeats a plan: craft 0 passes close by craft 1 at rest.
    void setupCounterexample();

    int findGroup(int i) const;

    // Points every craft's parent entry straight at its group's root. The groups stay as they are; only the
    // paths to their roots get shorter. The views do this each time they draw the formation.
    void flattenGroups();

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

    std::array<Spacecraft, capacity> spacecraft{};
    FormationParams params;
    int craftCount = 0;
    std::array<int, capacity> parent{};
    std::array<std::uint32_t, capacity> seen{};
    std::array<ManeuverPlan, capacity> plans{};
    int algorithm = 0;
    double time = 0.0;

private:
    // Room for the cones of one step, kept here so a step neither builds nor destroys twenty of them.
    std::array<SensorCone, capacity> cones_{};
};

}  // namespace velmora
