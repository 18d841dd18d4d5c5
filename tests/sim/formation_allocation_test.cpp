#include "sim/formation.h"
#include "sim/sighting_scan.h"

#include "support/counted_new.h"

#include <gtest/gtest.h>

#include <vector>

namespace velmora {
namespace {

TEST(FormationAllocation, SetupAndSteppingNeverAllocate)
{
    auto* f = new Formation;  // counted: proves the counter sees allocations
    EXPECT_GE(test::allocations.load(), 1);
    FormationParams p(5.0, 500.0);
    p.craftRadius = 10;
    p.ThetaFOV = 1.2;
    f->setParams(p);

    const long before = test::allocations.load();
    f->setup(Formation::capacity);
    for (int k = 0; k < 3000; ++k) {
        f->step(0.01);
        EXPECT_TRUE(f->checkInvariants());
    }
    f->setupCounterexample();
    f->step(0.01);
    EXPECT_EQ(test::allocations.load(), before);
    delete f;
}

// A plan file's roles fill the plan's whole capacity: stepping through all 64 segments of each still allocates
// nothing, and the last segment is reached.
TEST(FormationAllocation, PlansOfTheFullCapacityStepWithoutAllocating)
{
    std::vector<ManeuverPlan> roles(2);
    for (int r = 0; r < 2; ++r) {
        std::vector<ManeuverSegment> segments(ManeuverPlan::capacity);
        for (int k = 0; k < ManeuverPlan::capacity; ++k)
            segments[static_cast<std::size_t>(k)] = {0.05, k % 3 == 0 ? Vec3{1, 0, 0} : Vec3{0, 1, 1}, 1.0 + r};
        roles[static_cast<std::size_t>(r)].assign(segments);
    }
    auto* f = new Formation;
    FormationParams p(5.0, 500.0);
    p.ThetaFOV = 1.2;
    f->setParams(p);
    const long before = test::allocations.load();
    f->setup(Formation::capacity);
    f->assignPlans(roles);
    bool reachedLast = false;
    for (int k = 0; k < 330; ++k) {
        f->step(0.01);
        reachedLast = reachedLast || f->plan(1).segmentIndexAt(f->time()) == ManeuverPlan::capacity - 1;
    }
    EXPECT_EQ(test::allocations.load(), before);
    EXPECT_TRUE(reachedLast);
    EXPECT_EQ(f->plan(1).count(), ManeuverPlan::capacity);
    delete f;
}

// Sightings in continuous time add nothing to allocate: the scan's lists are sized once, for every pair.
TEST(FormationAllocation, SteppingThroughTheSightingScanNeverAllocates)
{
    for (const Sighting mode : {Sighting::Grid, Sighting::Continuous}) {
        auto* f = new Formation;
        auto* scan = new SightingScan;
        FormationParams p(5.0, 60.0);
        p.craftRadius = 10;
        p.ThetaFOV = 1.2;
        f->setParams(p);
        const long before = test::allocations.load();
        f->setup(Formation::capacity);
        scan->start(*f, mode);
        int links = 0;
        for (int k = 0; k < 3000; ++k) {
            scan->step(*f, 0.01);
            if (scan->linked()) {
                links += static_cast<int>(scan->links(*f).size());
                if (f->allInOneGroup()) {
                    EXPECT_GE(scan->joinTime(*f), 0.0);
                }
            }
        }
        EXPECT_EQ(test::allocations.load(), before);
        EXPECT_GT(links, 20);
        delete scan;
        delete f;
    }
}

}  // namespace
}  // namespace velmora
