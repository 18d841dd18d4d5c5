#include "geometry/rand15.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(Rand15, ProducesTheCStandardSampleSequence)
{
    // rand() of the C standard's sample implementation, from its first state 1.
    Rand15 r;
    EXPECT_EQ(r.next(), 16838);
    EXPECT_EQ(r.next(), 5758);
    EXPECT_EQ(r.next(), 10113);
    EXPECT_EQ(r.next(), 17515);
}

TEST(Rand15, StaysWithinFifteenBitsAndIsRepeatable)
{
    Rand15 a;
    Rand15 b;
    int lo = 32768;
    int hi = -1;
    for (int i = 0; i < 100000; ++i) {
        const int v = a.next();
        ASSERT_EQ(v, b.next());
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 32767);
}

TEST(UniformRandom, CoversTheClosedIntervalInOrderOfOperations)
{
    Rand15 r;
    EXPECT_EQ(uniformRandom(r, 2.5, 2.5), 2.5);
    Rand15 r2;
    const int first = Rand15{}.next();
    EXPECT_EQ(uniformRandom(r2, -5, 5), -5 + (first * 3.051850947599719e-05) * 10.0);

    Rand15 r3;
    for (int i = 0; i < 70000; ++i) {
        const double v = uniformRandom(r3, -7, 7);
        ASSERT_GE(v, -7 - 1e-12);
        ASSERT_LE(v, 7 + 1e-12);
    }
}

}  // namespace
}  // namespace velmora
