#include "sim/maneuver_plan.h"
#include "sim/default_scene.h"
#include "sim/plan_algorithm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace velmora {
namespace {

constexpr double pi = 3.141592653589793;
constexpr double fov70 = defaultScene::fovHalfAngle;

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

// One row of a plan's segment table: duration = pis * pi + xs * x + pigs * pi * g, where x is the plan's angle
// argument and g the Wait-and-Check factor.
struct SegmentRow {
    double pis;
    double xs;
    double pigs;
    char axis;
    double rate;
};

// Segments 1.. of each algorithm (segment 0 is the common half-turn), in list order.
const std::vector<SegmentRow> segmentTables[5] = {
    {{3, 0, 0, 'x', 1}, {0, 1, 0, 'y', 1}, {0, 2, 0, 'y', -1}, {1, 0, 0, 'x', 1}, {0, 2, 0, 'y', -1}},
    {{0, 1, 0, 'y', 1}, {3, 0, 0, 'x', 1}, {0, 2, 0, 'y', 1}, {3, 0, 0, 'x', 1}, {0, 2, 0, 'y', 1},
     {3, 0, 0, 'x', 1}},
    {{3, 0, 0, 'x', 1}, {0, 1, 0, 'y', 1}, {3, 0, 0, 'x', 1}, {0, 2, 0, 'y', 1}, {3, 0, 0, 'x', 1},
     {0, 1, 0, 'y', 1}, {3, 0, 0, 'x', 1}, {0, 1, 0, 'y', -1}, {3, 0, 0, 'x', 1}, {0, 2, 0, 'y', -1},
     {3, 0, 0, 'x', 1}},
    {{0, 1, 0, 'y', -1}, {2, 0, 0, 'x', 1}, {0, 2, 0, 'y', 1}, {2, 0, 0, 'x', 1}, {0, 2, 0, 'y', -1},
     {2, 0, 0, 'x', 1}, {0, 2, 0, 'y', 1}, {1, 0, 0, 'x', 1}, {0, 2, 0, 'y', 1}, {1, 0, 0, 'x', -1}},
    {{0.25, 0, 0, 'y', 1}, {2, 0, 0, 'x', 1}, {0, 0, 2, 'x', 0}, {0.5, 0, 0, 'y', 1}, {3, 0, 0, 'x', 1},
     {0, 0, 4, 'x', 0}, {0.5, 0, 0, 'y', 1}, {2, 0, 0, 'x', 1}},
};

TEST(ManeuverPlan, EverySegmentOfEveryAlgorithmMatchesItsTable)
{
    // The second pair puts the field of view below the wait margin's floor (b = 0.05).
    const struct {
        double tilt;
        double fov;
        double g;
    } angles[] = {{25 * (pi / 180), fov70, 4.914848}, {45 * (pi / 180), 45 * (pi / 180), 399.6666}};
    for (const auto& a : angles) {
        const double b = std::max(a.fov - 0.7853981633974483, 0.05);
        const double g = std::tan(1.5707963267948966 - b) / b;
        ASSERT_NEAR(g, a.g, 1e-4);
        for (int parity : {0, 1}) {
            for (std::uint32_t algorithm = 0; algorithm < 5; ++algorithm) {
                SCOPED_TRACE(testing::Message() << planAlgorithmNames[algorithm] << " parity " << parity
                                                << " tilt " << a.tilt << " fov " << a.fov);
                const double x = algorithm == 4 ? a.fov : a.tilt;
                ManeuverPlan p;
                p.build(algorithm, parity, a.tilt, a.fov);
                const auto& table = segmentTables[algorithm];
                ASSERT_EQ(p.count(), static_cast<int>(table.size()) + 1);
                EXPECT_EQ(p.segment(0).duration, pi);
                EXPECT_EQ(p.segment(0).axis, Vec3(1, 0, 0));
                EXPECT_EQ(p.segment(0).rate, parity);
                double end = pi;
                EXPECT_EQ(p.endTime(0), end);
                for (std::size_t k = 0; k < table.size(); ++k) {
                    const SegmentRow& row = table[k];
                    const int i = static_cast<int>(k) + 1;
                    const double duration = row.pis * pi + row.xs * x + row.pigs * pi * g;
                    EXPECT_DOUBLE_EQ(p.segment(i).duration, duration) << "segment " << i;
                    EXPECT_EQ(p.segment(i).axis, row.axis == 'x' ? Vec3(1, 0, 0) : Vec3(0, 1, 0))
                        << "segment " << i;
                    EXPECT_EQ(p.segment(i).rate, row.rate) << "segment " << i;
                    end += duration;
                    EXPECT_NEAR(p.endTime(i), end, 1e-12 * end) << "segment " << i;
                }
            }
        }
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
    EXPECT_EQ(planAlgorithmNameList(), "Orlo, Simple, SimpleLowFov, HalfTwist, WaitAndCheck");
}

}  // namespace
}  // namespace velmora
