#include "sim/formation.h"
#include "sim/sighting_scan.h"

#include "support/counted_new.h"

#include <gtest/gtest.h>

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
