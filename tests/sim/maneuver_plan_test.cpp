#include "sim/maneuver_plan.h"
#include "sim/plan_algorithm.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velmora {
namespace {

constexpr double pi = 3.141592653589793;
constexpr double fov70 = 1.2217304763960306;

TEST(ManeuverPlan, EmptyForUnknownAlgorithmsAndNoSelection)
{
    ManeuverPlan fresh;
    EXPECT_EQ(fresh.count(), 0);
    EXPECT_EQ(fresh.segmentIndexAt(0.0), -1);

    for (std::uint32_t algorithm : {5u, static_cast<std::uint32_t>(-1)}) {
        ManeuverPlan p;
        p.build(0, 1, 0.5, 0.5);
        p.build(algorithm, 1, 0.5, 0.5);
        EXPECT_EQ(p.count(), 0);
        for (double t : {-1.0, 0.0, 1.0, 1e9})
            EXPECT_EQ(p.segmentIndexAt(t), -1);
    }
}

TEST(ManeuverPlan, OrloEndTimesAndLookup)
{
    ManeuverPlan p;
    p.build(0, 0, 0.5, fov70);
    ASSERT_EQ(p.count(), 6);
    const double expected[] = {pi, 4 * pi, 4 * pi + 0.5, 4 * pi + 1.5, 5 * pi + 1.5, 5 * pi + 2.5};
    for (int i = 0; i < 6; ++i)
        EXPECT_NEAR(p.endTime(i), expected[i], 1e-12) << i;
    EXPECT_EQ(p.segmentIndexAt(0), 0);
    EXPECT_EQ(p.segmentIndexAt(-1), 0);
    EXPECT_EQ(p.segmentIndexAt(pi), 1);  // a boundary belongs to the segment that starts there
    EXPECT_EQ(p.segmentIndexAt(std::nextafter(pi, 0.0)), 0);
    EXPECT_EQ(p.segmentIndexAt(p.endTime(5)), -1);
    EXPECT_EQ(p.segmentIndexAt(std::nan("")), -1);
    EXPECT_EQ(p.segment(3).axis, Vec3(0, 1, 0));
    EXPECT_EQ(p.segment(3).rate, -1.0);
}

TEST(ManeuverPlan, SegmentCountsAndTotalsOfEveryAlgorithm)
{
    const double x = 0.4;
    const double g = waitFactor(fov70);
    const struct {
        int count;
        double total;
    } expected[] = {{6, 5 * pi + 5 * x},
                    {7, 10 * pi + 5 * x},
                    {12, 19 * pi + 7 * x},
                    {11, 9 * pi + 9 * x},
                    {9, 9.25 * pi + 6 * pi * g}};
    for (std::uint32_t a = 0; a < 5; ++a) {
        ManeuverPlan p;
        p.build(a, 0, x, fov70);
        EXPECT_EQ(p.count(), expected[a].count) << planAlgorithmNames[a];
        EXPECT_NEAR(p.totalDuration(), expected[a].total, 1e-9) << planAlgorithmNames[a];
    }
}

TEST(ManeuverPlan, ParityOnlyChangesTheFirstSegmentRate)
{
    for (std::uint32_t a = 0; a < 5; ++a) {
        ManeuverPlan even;
        ManeuverPlan odd;
        ManeuverPlan other;
        even.build(a, 0, 0.7, 1.0);
        odd.build(a, 1, 0.7, 1.0);
        other.build(a, -3, 0.7, 1.0);
        EXPECT_EQ(even.segment(0).rate, 0.0);
        EXPECT_EQ(odd.segment(0).rate, 1.0);
        EXPECT_EQ(other.segment(0).rate, 1.0);
        EXPECT_EQ(even.segment(0).duration, pi);
        for (int i = 1; i < even.count(); ++i) {
            EXPECT_EQ(even.segment(i).rate, odd.segment(i).rate);
            EXPECT_EQ(even.segment(i).duration, odd.segment(i).duration);
        }
    }
}

TEST(ManeuverPlan, WaitAndCheckFactors)
{
    ManeuverPlan p;
    p.build(4, 0, 123.0, fov70);
    EXPECT_NEAR(waitFactor(fov70), 4.914848, 1e-6);
    EXPECT_NEAR(p.segment(3).duration, 30.8809, 1e-4);
    EXPECT_NEAR(p.segment(6).duration, 61.7618, 1e-4);
    EXPECT_EQ(p.segment(3).rate, 0.0);

    const double fov45 = pi / 4;
    p.build(4, 0, 0.0, fov45);
    EXPECT_NEAR(waitFactor(fov45), 399.6666, 1e-4);
    EXPECT_NEAR(p.segment(3).duration, 2511.179, 1e-3);
    EXPECT_NEAR(p.segment(6).duration, 5022.359, 1e-3);
    EXPECT_EQ(waitFactor(0.1), waitFactor(fov45));  // margin floored at 0.05
}

TEST(ManeuverPlan, IgnoredAngleLeavesThePlanIdentical)
{
    for (std::uint32_t a = 0; a < 5; ++a) {
        ManeuverPlan p;
        ManeuverPlan q;
        if (a == 4) {
            p.build(a, 1, 0.1, fov70);
            q.build(a, 1, 2.9, fov70);
        } else {
            p.build(a, 1, 0.6, 0.2);
            q.build(a, 1, 0.6, 1.4);
        }
        for (int i = 0; i < p.count(); ++i) {
            EXPECT_EQ(p.endTime(i), q.endTime(i));
            EXPECT_EQ(p.segment(i).axis, q.segment(i).axis);
        }
    }
}

TEST(ManeuverPlan, ZeroLengthSegmentsAreNeverReported)
{
    ManeuverPlan p;
    p.build(0, 0, 0.0, fov70);
    EXPECT_EQ(p.segmentIndexAt(4 * pi), 4);
    EXPECT_EQ(p.segmentIndexAt(5 * pi), -1);
}

TEST(ManeuverPlan, NegativeTiltStillLooksUpWithoutFault)
{
    ManeuverPlan p;
    p.build(0, 0, -10.0, fov70);
    for (double t = -50; t < 50; t += 0.5) {
        const int i = p.segmentIndexAt(t);
        EXPECT_GE(i, -1);
        EXPECT_LT(i, p.count());
    }
}

TEST(PlanAlgorithm, NamesAndDisplayTexts)
{
    EXPECT_EQ(planAlgorithmDisplayTexts[2], " Simple (low FOV)");
    EXPECT_EQ(planAlgorithmDisplayTexts[3], " Half-Twist");
    EXPECT_EQ(planAlgorithmFromName("WaitAndCheck"), 4);
    EXPECT_FALSE(planAlgorithmFromName("orlo").has_value());
}

}  // namespace
}  // namespace velmora
