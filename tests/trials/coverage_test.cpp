// Sighting-time maps against the runs they summarize, the grid against HEALPix's own numbers, and a plan whose
// answer is known in closed form.
#include "scenario/scenario_run.h"
#include "trials/coverage_map.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace velmora {
namespace {

// The step a run reports for the first sighting of craft i and j, 0 when it reports none.
std::int64_t runLinkStep(const Scenario& s, std::int64_t steps, int i, int j)
{
    const ScenarioResult r = runScenario(s, steps);
    for (const ScenarioLink& link : r.links)
        if (link.i == i && link.j == j)
            return link.step;
    return 0;
}

// Every role pair of every built-in plan, at pixels drawn at random: the map holds the step and time a run of
// the same scenario reports. A second distance off the grid's radius and a narrow cone change which steps hit.
TEST(CoverageMap, EveryPixelIsTheStepARunOfItsScenarioReports)
{
    std::mt19937 random(24);
    for (int algorithm = 0; algorithm < 5; ++algorithm) {
        for (const double fov : {70.0, 35.0}) {
            CoverageRequest request;
            request.scenario.algorithm = algorithm;
            request.scenario.fovDeg = fov;
            request.scenario.tiltDeg = 25.0;
            request.nside = 4;
            request.distance = fov == 70.0 ? 500.0 : 123.25;
            // Wait and Check at narrow cones waits for hours; a minute shows its first turns.
            if (algorithm == 4)
                request.steps = 6000;
            request.threads = 2;
            const CoverageMap map = computeCoverage(request);
            ASSERT_EQ(map.maps.size(), 3u);
            for (const RoleMap& m : map.maps) {
                const RolePairSighting pair(request.scenario, m.roles, request.steps);
                std::uniform_int_distribution<std::int64_t> pixel(0, map.grid.pixelCount() - 1);
                for (int n = 0; n < 6; ++n) {
                    const std::int64_t p = pixel(random);
                    const Scenario s = pair.scenario(Vec3{}, Vec3{}, map.placement(p), Vec3{});
                    const std::int64_t k = m.sightingStep[static_cast<std::size_t>(p)];
                    EXPECT_EQ(k, runLinkStep(s, m.steps, pair.indexA(), pair.indexB()))
                        << "algorithm " << algorithm << " fov " << fov << " roles " << m.name << " pixel " << p;
                    if (k > 0) {
                        EXPECT_EQ(m.sightingTime[static_cast<std::size_t>(p)], runScenario(s, k).formation.time());
                    }
                }
            }
        }
    }
}

// Moving craft, as the search flies them: the pair's own stepping agrees with a run wherever the pair goes.
TEST(RolePairSighting, MovingPairsSightAtTheStepOfTheirRun)
{
    Scenario s;
    s.algorithm = 0;
    s.fovDeg = 30.0;
    s.tiltDeg = 25.0;
    const RolePairSighting pair(s, {0, 1}, std::nullopt);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> box(-500.0, 500.0);
    std::uniform_real_distribution<double> speed(-20.0, 20.0);
    int sighted = 0;
    for (int n = 0; n < 40; ++n) {
        const Vec3 pa{box(random), box(random), box(random)};
        const Vec3 pb{box(random), box(random), box(random)};
        const Vec3 va{speed(random), speed(random), speed(random)};
        const Vec3 vb{speed(random), speed(random), speed(random)};
        const std::int64_t k = pair.firstSighting(pa, va, pb, vb);
        sighted += k > 0 ? 1 : 0;
        EXPECT_EQ(k, runLinkStep(pair.scenario(pa, va, pb, vb), pair.steps(), 0, 1)) << n;
    }
    // Both outcomes occur, or the comparison above proved little.
    EXPECT_GT(sighted, 5);
    EXPECT_LT(sighted, 40);
}

// Role 1 turns half a revolution about x in the first step and holds: from then on the two sensors face each
// other along z. With no craft radius, both cones then hold the other craft exactly when the direction lies
// within the FOV half-angle of +z, so the covered pixels are the cap theta <= FOV, every one at step 1.
TEST(CoverageMap, FacingSensorsCoverExactlyTheCapAtTheFirstStep)
{
    const PlanFile plan = PlanFile::fromText(
        R"({"velmoraPlan": 1, "name": "Facing", "roles": [
              {"segments": [{"duration": 1, "axis": "x", "rate": 0}]},
              {"segments": [{"duration": 0.01, "axis": "x", "rate": "100*pi"},
                            {"duration": 1, "axis": "x", "rate": 0}]}]})",
        "facing");
    CoverageRequest request;
    request.scenario.plan = std::make_shared<PlanFile>(plan);
    request.scenario.algorithm = -1;
    request.scenario.craftRadius = 0.0;
    request.scenario.fovDeg = 40.0;
    request.nside = 16;
    request.roles = {{0, 1}};
    const CoverageMap map = computeCoverage(request);
    const double fov = 40.0 * std::acos(-1.0) / 180.0;
    std::int64_t inCap = 0;
    for (std::int64_t p = 0; p < map.grid.pixelCount(); ++p) {
        double theta = 0.0;
        double phi = 0.0;
        map.grid.angles(p, theta, phi);
        // No pixel centre of this grid lies within 0.02 rad of the cap's edge, far beyond rounding.
        ASSERT_GT(std::fabs(theta - fov), 0.02) << p;
        const bool expected = theta < fov;
        inCap += expected ? 1 : 0;
        EXPECT_EQ(map.maps[0].sightingStep[static_cast<std::size_t>(p)], expected ? 1 : 0) << p;
    }
    // healpy counts 364 pixel centres in the cap (its area is 359.4 pixels).
    EXPECT_EQ(inCap, 364);
}

// HEALPix RING order at nside 1, worked out from the scheme's definition: three rings of four pixels at
// z = 2/3, 0, -2/3; the polar rings start at longitude pi/4, the equator at 0.
TEST(SkyGrid, RingOrderMatchesTheSchemeAndCountsTwelveNSquared)
{
    const SkyGrid one(1);
    ASSERT_EQ(one.pixelCount(), 12);
    const double pi = std::acos(-1.0);
    for (int p = 0; p < 12; ++p) {
        const double z = p < 4 ? 2.0 / 3.0 : p < 8 ? 0.0 : -2.0 / 3.0;
        const double phi = (p < 4 || p >= 8 ? pi / 4 : 0.0) + (p % 4) * pi / 2;
        const double s = std::sqrt(1 - z * z);
        const Vec3 u = one.direction(p);
        EXPECT_NEAR(u.x, s * std::cos(phi), 1e-15) << p;
        EXPECT_NEAR(u.y, s * std::sin(phi), 1e-15) << p;
        EXPECT_NEAR(u.z, z, 1e-15) << p;
    }
    EXPECT_EQ(SkyGrid(32).pixelCount(), 12288);
    // The first ring of nside 2 holds four pixels at z = 1 - 1/3 (1 - i^2 / (3 nside^2), i = 1).
    EXPECT_NEAR(SkyGrid(2).direction(3).z, 1.0 - 1.0 / 12.0, 1e-15);
    EXPECT_NEAR(SkyGrid(2).direction(4).z, 1.0 - 4.0 / 12.0, 1e-15);
    for (const int bad : {0, 3, 1024, -2})
        EXPECT_THROW(SkyGrid{bad}, InputError) << bad;
}

}  // namespace
}  // namespace velmora
