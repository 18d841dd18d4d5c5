// Sightings in continuous time, held against brute force: each step re-flown in sub-steps through the matrix
// functions (not the scan's own formula), every sub-step judged by the cone test itself.
#include "sim/sighting_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace velmora {
namespace {

constexpr double pi = 3.141592653589793;

// Both cones hold each other s seconds into the step that starts from before: positions along their velocities,
// attitudes turned by rate * s about the world axis of the segment in force at the step's start.
bool mutualAt(const Formation& before, int i, int j, double s)
{
    Spacecraft c[2] = {before.spacecraft(i), before.spacecraft(j)};
    for (int k = 0; k < 2; ++k) {
        const ManeuverPlan& plan = before.plan(k == 0 ? i : j);
        c[k].position = add(c[k].position, scale(c[k].velocity, s));
        const int segment = plan.segmentIndexAt(before.time());
        if (segment >= 0)
            c[k].attitude = product(axisAngle(plan.segment(segment).axis, plan.segment(segment).rate * s), c[k].attitude);
    }
    return c[0].sensorCone().contains(c[1].position) && c[1].sensorCone().contains(c[0].position);
}

// The runs of sub-steps of length dt in (0, h) at which the pair is in mutual view, as [first, last] moments.
std::vector<std::pair<double, double>> mutualRuns(const Formation& before, int i, int j, double h, double dt)
{
    std::vector<std::pair<double, double>> runs;
    bool inside = false;
    for (long m = 1; m * dt < h; ++m) {
        const double s = m * dt;
        const bool now = mutualAt(before, i, j, s);
        if (now && !inside)
            runs.push_back({s, s});
        if (now)
            runs.back().second = s;
        inside = now;
    }
    return runs;
}

// The first 1e-7 s sub-step at which the pair is in mutual view, or h (the grid's own moment).
double firstMutualSubStep(const Formation& before, int i, int j, double h)
{
    const auto runs = mutualRuns(before, i, j, h, 1e-7);
    return runs.empty() ? h : runs.front().first;
}

Formation emptyFormation(int count, double fovRad, double radius)
{
    FormationParams p(0.0, 100.0);
    p.craftRadius = radius;
    p.ThetaFOV = fovRad;
    Formation f;
    f.setParams(p);
    f.setAlgorithm(-1);
    Rand15 rng;
    f.setup(count, rng);
    return f;
}

ManeuverPlan planOf(std::vector<ManeuverSegment> segments)
{
    ManeuverPlan plan;
    plan.assign(segments);
    return plan;
}

// An attitude whose sensor axis (column 2) is the unit vector u.
Mat3 lookingAlong(const Vec3& u)
{
    const Vec3 z{0, 0, 1};
    return u.z < -0.999999 ? axisAngle({1, 0, 0}, pi) : axisAngle(cross(z, u), std::acos(std::clamp(u.z, -1.0, 1.0)));
}

// Pairs 20 to 70 apart, each sensor axis sweeping a great circle through the other craft's direction at 5 to 60
// rad/s in segments of 0.05 to 0.5 s, about slightly tilted axes, with cones of 3 to 35 degrees (or their
// supplements) and apexes up to 10 from the centre: sightings begin and end within steps all the time. Every link's exact moment agrees with the
// first 1e-7 s sub-step in view, every missed sighting with its run of sub-steps in view, and no run of 1e-5 s
// sub-steps in view is left unreported.
TEST(SightingScan, AgreesWithSubSteppingOnRandomPairs)
{
    Rand15 rng(2024);
    const auto draw = [&](double lo, double hi) { return uniformRandom(rng, lo, hi); };
    const auto drawVector = [&](double m) { return Vec3{draw(-m, m), draw(-m, m), draw(-m, m)}; };
    int links = 0;
    int missed = 0;
    for (int trial = 0; trial < 60; ++trial) {
        // A third of the cones open wider than 90 degrees, which the cone test takes as their supplement.
        const double halfAngle = draw(0.05, 0.6);
        Formation f = emptyFormation(2, trial % 3 == 2 ? pi - halfAngle : halfAngle, draw(0.0, 10.0));
        const Vec3 p0 = drawVector(20.0);
        Vec3 towards = drawVector(1.0);
        normalize(towards);
        const Vec3 p1 = add(p0, scale(towards, draw(12.0, 70.0)));
        std::vector<ManeuverPlan> roles;
        for (int k = 0; k < 2; ++k) {
            const Vec3 sight = k == 0 ? towards : scale(towards, -1.0);
            Vec3 turnAxis = cross(sight, drawVector(1.0));
            normalize(turnAxis);
            const Vec3 axis = timesVector(axisAngle(turnAxis, draw(-pi, pi)), sight);
            f.placeCraft(k, k == 0 ? p0 : p1, drawVector(3.0), lookingAlong(axis));
            std::vector<ManeuverSegment> segments;
            for (int s = 0; s < 4; ++s) {
                const double rate = draw(5.0, 60.0) * (draw(-1.0, 1.0) < 0.0 ? -1.0 : 1.0);
                segments.push_back({draw(0.05, 0.5), add(turnAxis, drawVector(0.05)), rate});
            }
            roles.push_back(planOf(segments));
        }
        f.assignPlans(roles);
        SightingScan scan;
        scan.start(f, Sighting::Grid);
        for (int step = 0; step < 120 && f.linkCount() == 0; ++step) {
            const Formation before = f;
            scan.step(f, 0.01);
            const double h = f.time() - before.time();
            std::vector<std::pair<double, double>> reported;
            for (const MissedSighting& m : scan.missed())
                reported.push_back({m.start - before.time(), m.end - before.time()});
            for (const ExactLink& link : scan.links(f)) {
                ++links;
                const double exact = link.time - before.time();
                const double brute = firstMutualSubStep(before, 0, 1, h);
                EXPECT_GT(exact, brute - 1e-7 - 1e-12) << "trial " << trial << ", step " << step;
                EXPECT_LE(exact, brute + 1e-12) << "trial " << trial << ", step " << step;
                reported.push_back({exact, h});
            }
            const auto fine = reported.empty() ? std::vector<std::pair<double, double>>{}
                                               : mutualRuns(before, 0, 1, h, 1e-7);
            for (const MissedSighting& m : scan.missed()) {
                ++missed;
                const double start = m.start - before.time();
                const double end = m.end - before.time();
                const bool matched = std::any_of(fine.begin(), fine.end(), [&](const auto& run) {
                    return start > run.first - 1e-7 - 1e-12 && start <= run.first + 1e-12 &&
                           end > run.second - 1e-12 && end <= run.second + 1e-7 + 1e-12;
                });
                EXPECT_TRUE(matched) << "trial " << trial << ", step " << step << ": [" << start << ", " << end << "]";
            }
            for (const auto& run : mutualRuns(before, 0, 1, h, 1e-5)) {
                const bool covered = std::any_of(reported.begin(), reported.end(), [&](const auto& r) {
                    return r.first <= run.first + 1e-12 && run.second <= r.second + 1e-12;
                });
                EXPECT_TRUE(covered) << "trial " << trial << ", step " << step << ": in view from " << run.first
                                     << " to " << run.second << " s into the step, unreported";
            }
        }
    }
    // The draw must reach both kinds of event many times, or the test proves little.
    EXPECT_GE(links, 20);
    EXPECT_GE(missed, 10);
}

// The five built-in plans as a batch flies them: every link's exact moment against the first 1e-7 s sub-step.
TEST(SightingScan, ExactLinkTimesOfEveryPlanAgreeWithSubStepping)
{
    for (int algorithm = 0; algorithm < 5; ++algorithm) {
        FormationParams p(5.0, 150.0);
        p.craftRadius = 10;
        p.ThetaFOV = 0.9;
        Formation f;
        f.setParams(p);
        f.setAlgorithm(algorithm);
        Rand15 rng(7 + algorithm);
        f.setup(6, rng);
        SightingScan scan;
        scan.start(f, Sighting::Grid);
        int links = 0;
        for (int step = 0; step < 4000 && !f.allInOneGroup(); ++step) {
            const Formation before = f;
            scan.step(f, 0.01);
            for (const ExactLink& link : scan.links(f)) {
                ++links;
                const double h = f.time() - before.time();
                const double brute = firstMutualSubStep(before, link.i, link.j, h);
                const double exact = link.time - before.time();
                EXPECT_GT(exact, brute - 1e-7 - 1e-12) << "algorithm " << algorithm << ", step " << step;
                EXPECT_LE(exact, brute + 1e-12) << "algorithm " << algorithm << ", step " << step;
            }
        }
        EXPECT_GE(links, 3) << "algorithm " << algorithm;
    }
}

// Craft 0 at the origin looks along +z at craft 1, 100 away, whose sensor axis sweeps past craft 0 at 10 rad/s:
// with a half-angle of 0.015 rad craft 1 sees craft 0 for 2 * 0.015 / 10 = 3 ms, centred 15 ms after set-up,
// strictly inside the second step. Whether craft 1's segment runs through the step or ends within it (after 12.5
// ms, followed by a hold), the step turns it at the rate in force at its start throughout.
TEST(SightingScan, FindsTheThreeMillisecondSightingTheGridMisses)
{
    const ManeuverPlan hold = planOf({{10.0, {1, 0, 0}, 0.0}});
    const struct {
        const char* name;
        ManeuverPlan sweep;
    } cases[] = {
        {"constant turn", planOf({{1.0, {1, 0, 0}, 10.0}})},
        {"segment ending within the step", planOf({{0.0125, {1, 0, 0}, 10.0}, {10.0, {1, 0, 0}, 0.0}})},
    };
    for (const auto& c : cases) {
        for (const Sighting mode : {Sighting::Grid, Sighting::Continuous}) {
            Formation f = emptyFormation(2, 0.015, 0.0);
            f.placeCraft(0, {0, 0, 0}, {}, Mat3{});
            f.placeCraft(1, {0, 0, 100}, {}, axisAngle({1, 0, 0}, pi - 10.0 * 0.015));
            const std::vector<ManeuverPlan> roles{hold, c.sweep};
            f.assignPlans(roles);
            SightingScan scan;
            scan.start(f, mode);
            std::vector<MissedSighting> missed;
            std::vector<ExactLink> links;
            for (int step = 0; step < 10; ++step) {
                scan.step(f, 0.01);
                missed.insert(missed.end(), scan.missed().begin(), scan.missed().end());
                links.insert(links.end(), scan.links(f).begin(), scan.links(f).end());
                if (step == 1) {
                    EXPECT_EQ(scan.links(f).size(), mode == Sighting::Continuous ? 1u : 0u) << c.name;
                }
            }
            if (mode == Sighting::Grid) {
                EXPECT_EQ(f.linkCount(), 0) << c.name;
                ASSERT_EQ(missed.size(), 1u) << c.name;
                EXPECT_NEAR(missed[0].start, 0.0135, 1e-12) << c.name;
                EXPECT_NEAR(missed[0].end, 0.0165, 1e-12) << c.name;
            } else {
                EXPECT_TRUE(missed.empty()) << c.name;
                ASSERT_EQ(links.size(), 1u) << c.name;
                EXPECT_NEAR(links[0].time, 0.0135, 1e-12) << c.name;
                EXPECT_EQ(f.findGroup(0), 1) << c.name;
            }
        }
    }
}

// The grid never looks at the set-up: a pair in view there links at the first step with exact moment 0, also
// when one of them turns a whole revolution within the step and is back in view at its end; a pair that turns
// away within the first step has a missed sighting from 0 (continuous: a link at 0).
TEST(SightingScan, APairInViewAtSetUp)
{
    for (const double rate : {0.0, 2.0 * pi / 0.01, 100.0}) {
        for (const Sighting mode : {Sighting::Grid, Sighting::Continuous}) {
            Formation f = emptyFormation(2, 0.1, 10.0);
            f.placeCraft(0, {0, 0, 0}, {}, Mat3{});
            f.placeCraft(1, {0, 0, 200}, {}, axisAngle({1, 0, 0}, pi));
            const std::vector<ManeuverPlan> roles{planOf({{1.0, {1, 0, 0}, 0.0}}), planOf({{1.0, {1, 0, 0}, rate}})};
            f.assignPlans(roles);
            SightingScan scan;
            scan.start(f, mode);
            scan.step(f, 0.01);
            if (rate != 100.0 || mode == Sighting::Continuous) {
                ASSERT_EQ(scan.links(f).size(), 1u) << rate;
                EXPECT_EQ(scan.links(f)[0].time, 0.0);
                EXPECT_TRUE(scan.missed().empty());
                EXPECT_EQ(scan.joinTime(f), 0.0);
            } else {
                // Craft 1's apex sits 10 from its centre, so its half-angle of 0.1 rad about craft 0 lasts a little
                // less than 0.1 / 100 s: the angle seen from the apex grows faster than the axis turns.
                EXPECT_TRUE(scan.links(f).empty());
                ASSERT_EQ(scan.missed().size(), 1u);
                EXPECT_EQ(scan.missed()[0].start, 0.0);
                const double end = scan.missed()[0].end;
                EXPECT_GT(end, 0.0009);
                EXPECT_LT(end, 0.001);
                EXPECT_FALSE(mutualAt(f, 0, 1, 0.0));
            }
        }
    }
}

// Parallel cones. Looking the same way, at rest or moving together, the leading craft never sees the one behind.
// Looking at each other along z, 100 apart, one sliding past the other at 1000 per second with no turn at all:
// within a half-angle of 0.015 rad each sees the other while the offset is at most 100 tan(0.015), 3 ms centred
// 15 ms after set-up; only the relative speed over the distance bounds how fast their margins change.
TEST(SightingScan, ParallelCones)
{
    for (const Vec3 velocity : {Vec3{}, Vec3{0, 0, 3}, Vec3{2, -1, 0}}) {
        Formation f = emptyFormation(2, 1.2, 10.0);
        f.placeCraft(0, {0, 0, 0}, velocity, Mat3{});
        f.placeCraft(1, {0, 0, 100}, velocity, Mat3{});
        SightingScan scan;
        scan.start(f, Sighting::Grid);
        for (int step = 0; step < 500; ++step) {
            scan.step(f, 0.01);
            EXPECT_FALSE(scan.linked());
            EXPECT_TRUE(scan.missed().empty());
        }
    }
    Formation f = emptyFormation(2, 0.015, 0.0);
    f.placeCraft(0, {0, 0, 0}, {}, Mat3{});
    f.placeCraft(1, {15, 0, 100}, {-1000, 0, 0}, axisAngle({1, 0, 0}, pi));
    SightingScan scan;
    scan.start(f, Sighting::Grid);
    std::vector<MissedSighting> missed;
    for (int step = 0; step < 5; ++step) {
        scan.step(f, 0.01);
        EXPECT_FALSE(scan.linked());
        missed.insert(missed.end(), scan.missed().begin(), scan.missed().end());
    }
    const double half = 100.0 * std::tan(0.015) / 1000.0;
    ASSERT_EQ(missed.size(), 1u);
    EXPECT_NEAR(missed[0].start, 0.015 - half, 1e-12);
    EXPECT_NEAR(missed[0].end, 0.015 + half, 1e-12);
}

// A craft of radius 50 turning towards another 60 away: its apex swings so close by the target that the line of
// sight turns several times as fast as the axis. A narrow cone turning at 3 rad/s sees the target for some 3.3 ms
// of the second step, a wide one turning at 150 rad/s for under 3 ms of it. The bounds must count the apex's
// swing, or they rule the sightings out.
TEST(SightingScan, AnApexSwingingCloseByTurnsTheLineOfSightFaster)
{
    const struct {
        double halfAngle, rate;
    } cases[] = {{0.03, 3.0}, {1.0, 150.0}};
    for (const auto& c : cases) {
        Formation f = emptyFormation(2, c.halfAngle, 50.0);
        f.placeCraft(0, {0, 0, 0}, {}, axisAngle({1, 0, 0}, -0.015 * c.rate));
        f.placeCraft(1, {0, 0, 60}, {}, axisAngle({1, 0, 0}, pi));
        const std::vector<ManeuverPlan> roles{planOf({{1.0, {1, 0, 0}, c.rate}}), planOf({{10.0, {1, 0, 0}, 0.0}})};
        f.assignPlans(roles);
        SightingScan scan;
        scan.start(f, Sighting::Grid);
        scan.step(f, 0.01);
        EXPECT_TRUE(scan.missed().empty()) << c.rate;
        const Formation before = f;
        scan.step(f, 0.01);
        const auto runs = mutualRuns(before, 0, 1, 0.01, 1e-7);
        ASSERT_EQ(runs.size(), 1u) << c.rate;
        EXPECT_GT(runs[0].second - runs[0].first, 0.001) << c.rate;
        ASSERT_EQ(scan.missed().size(), 1u) << c.rate;
        EXPECT_GT(scan.missed()[0].start - 0.01, runs[0].first - 1e-7 - 1e-12) << c.rate;
        EXPECT_LE(scan.missed()[0].start - 0.01, runs[0].first + 1e-12) << c.rate;
        EXPECT_GT(scan.missed()[0].end - 0.01, runs[0].second - 1e-12) << c.rate;
        EXPECT_LE(scan.missed()[0].end - 0.01, runs[0].second + 1e-7 + 1e-12) << c.rate;
    }
}

// The formation is joined by the last of the links it needs, in the order of their moments, not of their pairs:
// pair (0, 1) links at 14 ms and pair (0, 2) at 13.5 ms of the same step.
TEST(SightingScan, JoinTimeIsTheMomentTheLastNeededLinkFormed)
{
    Formation f = emptyFormation(3, 0.015, 0.0);
    f.placeCraft(0, {0, 0, 0}, {}, Mat3{});
    f.placeCraft(1, {0, 0, 100}, {}, axisAngle({1, 0, 0}, pi - 10.0 * 0.0155));
    f.placeCraft(2, {0, 0, 200}, {}, axisAngle({1, 0, 0}, pi - 10.0 * 0.015));
    const std::vector<ManeuverPlan> roles{planOf({{10.0, {1, 0, 0}, 0.0}}), planOf({{1.0, {1, 0, 0}, 10.0}}),
                                          planOf({{1.0, {1, 0, 0}, 10.0}})};
    f.assignPlans(roles);
    SightingScan scan;
    scan.start(f, Sighting::Continuous);
    scan.step(f, 0.01);
    scan.step(f, 0.01);
    ASSERT_EQ(scan.links(f).size(), 2u);
    EXPECT_TRUE(f.allInOneGroup());
    EXPECT_NEAR(scan.links(f)[0].time, 0.014, 1e-12);
    EXPECT_NEAR(scan.links(f)[1].time, 0.0135, 1e-12);
    EXPECT_NEAR(scan.joinTime(f), 0.014, 1e-12);
}

}  // namespace
}  // namespace velmora
