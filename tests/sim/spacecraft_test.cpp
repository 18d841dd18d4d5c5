#include "sim/spacecraft.h"
#include "sim/turn_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace velmora {
namespace {

constexpr double pi = 3.141592653589793;

TEST(SensorCone, MembershipOnTheSurfaceBehindAndBesideTheApex)
{
    const SensorCone cone(0, 0, 0, 0, 0, 1, 1.0);
    EXPECT_TRUE(cone.contains({1, 0, 1}));  // on the surface
    EXPECT_FALSE(cone.contains({1.0001, 0, 1}));
    EXPECT_TRUE(cone.contains({0, 0, 5}));
    EXPECT_FALSE(cone.contains({0, 0, 0}));  // the apex itself
    EXPECT_FALSE(cone.contains({3, 0, 0}));  // in the apex plane
    EXPECT_FALSE(cone.contains({0, 0, -1}));
}

TEST(SensorCone, HalfAnglesAboveNinetyDegreesActAsTheirSupplement)
{
    const SensorCone wide(0, 0, 0, 0, 0, 1, std::tan(120 * pi / 180));
    const SensorCone narrow(0, 0, 0, 0, 0, 1, std::tan(60 * pi / 180));
    for (double x : {0.5, 1.5, 1.7, 1.8, 3.0})
        EXPECT_EQ(wide.contains({x, 0, 1}), narrow.contains({x, 0, 1})) << x;
}

TEST(Spacecraft, ConeApexSitsOnTheSurfaceAlongBodyZ)
{
    Spacecraft c;
    c.craftRadius = 10;
    c.tanFov = 1;
    const SensorCone cone = c.sensorCone();
    EXPECT_EQ(cone.apex, Vec3(0, 0, 10));
    EXPECT_EQ(cone.axis, Vec3(0, 0, 1));
    EXPECT_FALSE(cone.contains({0, 0, 5}));
    EXPECT_TRUE(cone.contains({0, 0, 11}));
}

ManeuverPlan orloPlan(int parity)
{
    ManeuverPlan p;
    p.build(0, parity, 0.5, 1.2);
    return p;
}

// Each request must give the very bits axisAngle gives for it, whatever the cache held before: a key that
// missed one component, or compared values instead of bits, would serve a stale turn.
TEST(TurnCache, GivesAxisAngleBitForBitWhateverItHeldBefore)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        Vec3 axis;
        double angle;
    } requests[] = {
        {{1, 0, 0}, 0.01}, {{1, 0, 0}, 0.01}, {{0, 1, 0}, 0.01}, {{0, 1, 0}, -0.01}, {{0, 1, 1}, -0.01},
        {{0, 1, 1e-3}, -0.01}, {{0, 1, 0}, 0.0}, {{0, 1, 0}, -0.0}, {{-0.0, 1, 0}, -0.0}, {{0, 0, 0}, 0.3},
        {{1, 0, 0}, nan}, {{1, 0, 0}, nan}, {{1, 0, 0}, 0.01},
    };
    TurnCache cache;
    for (const auto& r : requests) {
        const Mat3 expected = axisAngle(r.axis, r.angle);
        const Mat3& got = cache.rotation(r.axis, r.angle);
        EXPECT_EQ(std::memcmp(got.m.data(), expected.m.data(), sizeof expected.m), 0)
            << "axis (" << r.axis.x << ", " << r.axis.y << ", " << r.axis.z << "), angle " << r.angle;
    }
}

TEST(Propagate, TurnsAboutTheWorldAxisInsideASegment)
{
    const ManeuverPlan plan = orloPlan(1);  // segment 0: 0..pi about x at rate 1
    Spacecraft c;
    c.velocity = {1, 2, 3};
    EXPECT_FALSE(c.propagate(plan, 0.5, 0.51));
    const double phi = (0.51 - 0.5) * 1.0;
    EXPECT_EQ(c.attitude, product(axisAngle({1, 0, 0}, phi), Mat3{}));
    EXPECT_NEAR(c.position.x, 0.01, 1e-15);
    EXPECT_NEAR(c.position.z, 0.03, 1e-15);
    EXPECT_NEAR(column(c.attitude, 2).y, -std::sin(phi), 1e-15);
}

TEST(Propagate, AppliesTheEarlierSegmentAcrossABoundary)
{
    const ManeuverPlan plan = orloPlan(0);  // segment 0 holds still, segment 1 turns
    Spacecraft c;
    EXPECT_TRUE(c.propagate(plan, pi - 0.005, pi + 0.005));
    EXPECT_EQ(c.attitude, Mat3{});
    // Ending exactly on the boundary also counts as a change.
    Spacecraft d;
    EXPECT_TRUE(d.propagate(plan, pi - 0.01, pi));
    // The next interval starts in the turning segment.
    EXPECT_FALSE(c.propagate(plan, pi + 0.005, pi + 0.015));
    EXPECT_NE(c.attitude, Mat3{});
}

// Right-hand rotations about the world axes, written out element by element.
Mat3 rotationX(double a)
{
    Mat3 r;
    r(1, 1) = std::cos(a);
    r(1, 2) = -std::sin(a);
    r(2, 1) = std::sin(a);
    r(2, 2) = std::cos(a);
    return r;
}

Mat3 rotationY(double a)
{
    Mat3 r;
    r(0, 0) = std::cos(a);
    r(0, 2) = std::sin(a);
    r(2, 0) = -std::sin(a);
    r(2, 2) = std::cos(a);
    return r;
}

void expectNear(const Mat3& actual, const Mat3& expected)
{
    for (int i = 0; i < 9; ++i)
        EXPECT_NEAR(actual.m[i], expected.m[i], 1e-14) << "element " << i;
}

// From a tilted attitude, a turn about a world axis and a turn about the same body axis differ; the craft
// must take the world one. Orlo's segment 1 turns about x until 4 pi, segment 2 about y after it.
TEST(Propagate, TurnsAboutTheWorldAxisFromATiltedAttitude)
{
    const ManeuverPlan plan = orloPlan(0);
    const Mat3 tilted = product(rotationX(0.9), rotationY(0.7));
    const double dt = 0.01;
    const struct {
        double t0;
        bool crosses;
        Mat3 turn;
    } cases[] = {
        {2 * pi, false, rotationX(dt)},           // inside segment 1
        {4 * pi - dt / 2, true, rotationX(dt)},   // across the boundary: still segment 1's axis
        {4 * pi + 0.1, false, rotationY(dt)},     // inside segment 2
        {4 * pi + 0.5 - dt / 2, true, rotationY(dt)},  // into segment 3, which turns the other way
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.t0);
        Spacecraft craft;
        craft.attitude = tilted;
        EXPECT_EQ(craft.propagate(plan, c.t0, c.t0 + dt), c.crosses);
        expectNear(craft.attitude, product(c.turn, tilted));
        const Mat3 bodyTurn = product(tilted, c.turn);
        double difference = 0;
        for (int i = 0; i < 9; ++i)
            difference = std::max(difference, std::fabs(bodyTurn.m[i] - craft.attitude.m[i]));
        EXPECT_GT(difference, 1e-3);
    }
}

TEST(Propagate, PastThePlanEndOnlyMoves)
{
    const ManeuverPlan plan = orloPlan(1);
    const double end = plan.totalDuration();
    Spacecraft c;
    c.velocity = {0, -1, 0};
    EXPECT_TRUE(c.propagate(plan, end - 0.001, end + 0.009));  // runs out
    const Mat3 before = c.attitude;
    EXPECT_FALSE(c.propagate(plan, end + 1, end + 1.01));
    EXPECT_EQ(c.attitude, before);
    EXPECT_NEAR(c.position.y, -0.02, 1e-12);

    ManeuverPlan empty;
    Spacecraft e;
    EXPECT_FALSE(e.propagate(empty, 0, 0.01));
    EXPECT_EQ(e.attitude, Mat3{});
}

TEST(Spacecraft, PoseMatrixIsColumnMajorWithPositionLast)
{
    Spacecraft c;
    c.position = {1, 2, 3};
    const auto m = c.poseMatrix();
    const double expected[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(m[i], expected[i]) << i;

    c.attitude = axisAngle({0, 1, 0}, 0.3);
    const auto r = c.poseMatrix();
    for (int col = 0; col < 3; ++col)
        for (int row = 0; row < 3; ++row)
            EXPECT_EQ(r[4 * col + row], c.attitude(row, col));
}

}  // namespace
}  // namespace velmora
