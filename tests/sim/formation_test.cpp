#include "sim/formation.h"
#include "sim/default_scene.h"
#include "support/formation_editor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace velmora {
namespace {

constexpr double pi = 3.141592653589793;

Formation defaultFormation(int n, double maxSpeed = 5.0, int algorithm = 0, std::uint32_t seed = 1)
{
    FormationParams p(maxSpeed, 500.0);
    p.craftRadius = 10;
    p.ThetaFOV = defaultScene::fovHalfAngle;
    Formation f;
    f.setParams(p);
    f.setAlgorithm(algorithm);
    Rand15 rng(seed);
    f.setup(n, rng);
    return f;
}

// Two craft 200 apart on the z axis, looking at each other.
Formation facingPair(double fovRad = 0.5)
{
    FormationParams p(0.0, 500.0);
    p.craftRadius = 10;
    p.ThetaFOV = fovRad;
    Formation f;
    f.setParams(p);
    f.setAlgorithm(-1);
    Rand15 rng;
    f.setup(2, rng);
    FormationEditor(f).craft(0).position = {0, 0, 0};
    FormationEditor(f).craft(1).position = {0, 0, 200};
    FormationEditor(f).craft(1).attitude = axisAngle({1, 0, 0}, pi);
    return f;
}

TEST(DefaultScene, FieldOfViewHasTheBitsBothProgramsHaveAlwaysUsed)
{
    // pi * 70 / 180 as the dialog and the scenario reader each computed it before they shared one constant.
    EXPECT_EQ(defaultScene::fovHalfAngle, pi * 0.3888888888888889);
    EXPECT_EQ(defaultScene::fovHalfAngle, 1.2217304763960306);
}

TEST(FormationSetup, PlacesCraftInTheBoxWithinTheSpeedLimit)
{
    const Formation f = defaultFormation(2);
    EXPECT_EQ(f.craftCount(), 2);
    EXPECT_EQ(f.time(), 0.0);
    for (int i = 0; i < 2; ++i) {
        const Spacecraft& c = f.spacecraft(i);
        for (int a = 0; a < 3; ++a) {
            EXPECT_GE(c.position[a], -500.0);
            EXPECT_LE(c.position[a], 500.0);
        }
        EXPECT_LE(length(c.velocity), 5.0);
        EXPECT_EQ(c.attitude, Mat3{});
        EXPECT_EQ(f.parent(i), i);
        EXPECT_EQ(f.seen(i), 0u);
        EXPECT_EQ(c.craftRadius, 10.0);
        EXPECT_EQ(c.tanFov, std::tan(defaultScene::fovHalfAngle));
    }
    EXPECT_EQ(f.plan(0).segment(0).rate, 0.0);
    EXPECT_EQ(f.plan(1).segment(0).rate, 1.0);
}

TEST(FormationSetup, DrawsPositionAndVelocityInterleavedByAxis)
{
    const Formation f = defaultFormation(1);
    Rand15 r;
    const double px = uniformRandom(r, -500, 500);
    const double vx = uniformRandom(r, -5, 5);
    const double py = uniformRandom(r, -500, 500);
    EXPECT_EQ(f.spacecraft(0).position.x, px);
    EXPECT_EQ(f.spacecraft(0).position.y, py);
    const double vy = uniformRandom(r, -5, 5);
    const double pz = uniformRandom(r, -500, 500);
    const double vz = uniformRandom(r, -5, 5);
    EXPECT_EQ(f.spacecraft(0).position.z, pz);
    // Only the velocity is redrawn, all three components, until it is within the limit.
    Vec3 v{vx, vy, vz};
    while (length(v) > 5.0)
        v = Vec3{uniformRandom(r, -5, 5), uniformRandom(r, -5, 5), uniformRandom(r, -5, 5)};
    EXPECT_EQ(f.spacecraft(0).velocity, v);
}

TEST(FormationSetup, SameSequenceGivesSamePlacement)
{
    const Formation a = defaultFormation(10, 5.0, 0, 77);
    const Formation b = defaultFormation(10, 5.0, 0, 77);
    const Formation c = defaultFormation(10, 5.0, 0, 78);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(a.spacecraft(i).position, b.spacecraft(i).position);
        EXPECT_EQ(a.spacecraft(i).velocity, b.spacecraft(i).velocity);
    }
    EXPECT_NE(a.spacecraft(0).position, c.spacecraft(0).position);
}

TEST(FormationSetup, ZeroNegativeAndUnreachableSpeedLimitsTerminate)
{
    const Formation still = defaultFormation(6, 0.0);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(still.spacecraft(i).velocity, Vec3(0, 0, 0));

    // A negative limit draws each component from uniformRandom(-MaxSpeed, MaxSpeed) as written, so every
    // draw mirrors the positive limit's; only the acceptance test uses the limit's size.
    const Formation negative = defaultFormation(6, -5.0, 0, 9);
    const Formation positive = defaultFormation(6, 5.0, 0, 9);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(negative.spacecraft(i).position, positive.spacecraft(i).position);
        EXPECT_EQ(negative.spacecraft(i).velocity, scale(positive.spacecraft(i).velocity, -1.0));
    }

    for (double limit : {1e308, std::numeric_limits<double>::infinity(), std::nan("")}) {
        const Formation f = defaultFormation(3, limit);
        EXPECT_EQ(f.craftCount(), 3);
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(!(length(f.spacecraft(i).velocity) > std::fabs(limit)));
    }
}

// Every algorithm, 2..20 craft, a crowded box so groups merge often: the bookkeeping holds after the set-up
// and after every step.
TEST(FormationInvariants, HoldThroughLongRandomRuns)
{
    Rand15 rng(4242);
    for (int algorithm = 0; algorithm < 5; ++algorithm) {
        for (int n = 2; n <= Formation::capacity; ++n) {
            FormationParams p(8.0, 120.0);
            p.craftRadius = 10;
            p.ThetaFOV = 0.6 + 0.05 * n;
            p.ThetaTilt = 0.3 + 0.02 * n;
            Formation f;
            f.setParams(p);
            f.setAlgorithm(algorithm);
            f.setup(n, rng);
            const char* failure = nullptr;
            ASSERT_TRUE(f.checkInvariants(&failure)) << failure;
            for (int k = 0; k < 2000; ++k) {
                f.step(0.01);
                ASSERT_TRUE(f.checkInvariants(&failure))
                    << failure << " (algorithm " << algorithm << ", " << n << " craft, step " << k + 1 << ")";
            }
        }
    }
}

TEST(FormationInvariants, EachBrokenRuleIsNamed)
{
    const struct {
        const char* name;
        void (*breakIt)(Formation&);
        const char* says;
    } cases[] = {
        {"cycle", [](Formation& f) { FormationEditor(f).parent(0) = 1; FormationEditor(f).parent(1) = 0; }, "root"},
        {"outside", [](Formation& f) { FormationEditor(f).parent(2) = 7; }, "leaves"},
        {"one-sided", [](Formation& f) { FormationEditor(f).seen(0) = 0b10; }, "symmetric"},
        {"self", [](Formation& f) { FormationEditor(f).seen(1) = 0b10; }, "itself"},
        {"unused", [](Formation& f) { FormationEditor(f).seen(1) = 1u << 5; }, "not in use"},
        {"two groups", [](Formation& f) { FormationEditor(f).seen(0) = 0b100; FormationEditor(f).seen(2) = 0b1; }, "two groups"},
        {"nan position", [](Formation& f) { FormationEditor(f).craft(1).position.y = std::nan(""); }, "finite"},
        {"inf attitude", [](Formation& f) { FormationEditor(f).craft(2).attitude(1, 1) = INFINITY; }, "finite"},
    };
    for (const auto& c : cases) {
        Formation f = defaultFormation(3);
        ASSERT_TRUE(f.checkInvariants()) << c.name;
        c.breakIt(f);
        const char* failure = nullptr;
        EXPECT_FALSE(f.checkInvariants(&failure)) << c.name;
        EXPECT_NE(std::string(failure ? failure : "").find(c.says), std::string::npos) << c.name << ": " << failure;
    }

    // Under non-finite parameters a non-finite craft is what the parameters asked for.
    Formation f = defaultFormation(3, std::numeric_limits<double>::infinity());
    FormationEditor(f).craft(0).position.x = std::nan("");
    EXPECT_TRUE(f.checkInvariants());
}

TEST(FormationSetup, CountIsClampedToCapacity)
{
    Formation f = defaultFormation(25);
    EXPECT_EQ(f.craftCount(), Formation::capacity);
    f.setup(-3);
    EXPECT_EQ(f.craftCount(), 0);
}

TEST(FormationStep, FacingPairMergesIntoTheHigherIndex)
{
    Formation f = facingPair();
    f.step(0.01);
    EXPECT_EQ(f.parent(0), 1);
    EXPECT_EQ(f.parent(1), 1);
    EXPECT_EQ(f.seen(0), 2u);
    EXPECT_EQ(f.seen(1), 1u);
    // Staying in view changes nothing more.
    f.step(0.01);
    EXPECT_EQ(f.parent(0), 1);
    EXPECT_EQ(f.seen(0), 2u);
}

TEST(FormationStep, OneWaySightingRecordsNothing)
{
    Formation f = facingPair();
    FormationEditor(f).craft(1).attitude = Mat3{};  // craft 1 now looks away
    f.step(0.01);
    EXPECT_EQ(f.parent(0), 0);
    EXPECT_EQ(f.parent(1), 1);
    EXPECT_EQ(f.seen(0), 0u);
    EXPECT_EQ(f.seen(1), 0u);
}

TEST(FormationStep, ChainOfSightingsInOneStepEndsInTheLastRoot)
{
    FormationParams p(0.0, 500.0);
    p.craftRadius = 10;
    p.ThetaFOV = 0.5;
    Formation f;
    f.setParams(p);
    f.setAlgorithm(-1);
    f.setup(3);
    // 0 and 2 look up at 1, which looks down; 0 and 2 stand side by side out of each other's cones.
    FormationEditor(f).craft(0).position = {0, 0, 0};
    FormationEditor(f).craft(2).position = {0, 1, 0};
    FormationEditor(f).craft(1).position = {0, 0, 300};
    FormationEditor(f).craft(1).attitude = axisAngle({1, 0, 0}, pi);
    f.step(0.01);
    EXPECT_EQ(f.findGroup(0), 2);
    EXPECT_EQ(f.findGroup(1), 2);
    EXPECT_EQ(f.findGroup(2), 2);
    EXPECT_EQ(f.seen(1), 0b101u);
    EXPECT_EQ(f.seen(0) & 0b100u, 0u);
    EXPECT_TRUE(f.allInOneGroup());
}

TEST(FormationStep, WithoutAlgorithmCraftOnlyTranslate)
{
    Formation f = defaultFormation(4, 5.0, -1);
    const Vec3 start = f.spacecraft(2).position;
    for (int k = 0; k < 500; ++k)
        EXPECT_FALSE(f.step(0.01));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(f.spacecraft(i).attitude, Mat3{});
    EXPECT_NEAR(f.spacecraft(2).position.x, start.x + 5.0 * f.spacecraft(2).velocity.x, 1e-9);
}

TEST(FormationStep, ReportsTheStepWhereTheFirstSegmentsEnd)
{
    Formation f = defaultFormation(6);
    int firstChange = 0;
    for (int k = 1; k <= 400 && firstChange == 0; ++k)
        if (f.step(0.01))
            firstChange = k;
    EXPECT_EQ(firstChange, 315);  // the step from 3.14 s to 3.15 s crosses pi
}

TEST(FormationStep, ClockAdvancesEvenWithoutCraft)
{
    Formation f;
    f.setup(0);
    for (int k = 0; k < 3; ++k)
        EXPECT_FALSE(f.step(0.01));
    EXPECT_EQ(f.time(), (0.01 + 0.01) + 0.01);
}

TEST(Formation, CounterexampleForSpeed35)
{
    Formation f = defaultFormation(2, 35.0);
    const Mat3 attitude0 = f.spacecraft(0).attitude;
    f.setupCounterexample();
    EXPECT_EQ(f.spacecraft(0).position, Vec3(601.5848226230548, 51.711872263915836, -103.42374452783167));
    EXPECT_EQ(f.spacecraft(0).velocity, Vec3(-34.468271355427284, 0, 6.077686218342562));
    EXPECT_EQ(f.spacecraft(1).position, Vec3(0, 0, 0));
    EXPECT_EQ(f.spacecraft(1).velocity, Vec3(0, 0, 0));
    EXPECT_EQ(f.spacecraft(0).attitude, attitude0);
    EXPECT_EQ(f.time(), 0.0);
}

TEST(Formation, CounterexampleDefeatsOrloAtSpeed35)
{
    FormationParams p(35.0, 500.0);
    p.craftRadius = 10;
    p.ThetaFOV = 70 * (pi / 180);
    p.ThetaTilt = 25 * (pi / 180);
    Formation f;
    f.setParams(p);
    f.setAlgorithm(0);
    f.setup(2);
    f.setupCounterexample();
    const double end = f.plan(0).totalDuration();
    while (f.time() < end + 0.02)
        f.step(0.01);
    EXPECT_EQ(f.seen(0), 0u);
    EXPECT_FALSE(f.allInOneGroup());
}

}  // namespace
}  // namespace velmora
