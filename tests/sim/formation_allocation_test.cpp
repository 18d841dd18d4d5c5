#include "sim/formation.h"

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

}  // namespace
}  // namespace velmora
