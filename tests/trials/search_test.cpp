// The adversary's search: the same seed and budget give the same worst configuration on any thread count, and
// that configuration replays in a run to the objective the search reported.
#include "scenario/scenario_run.h"
#include "trials/adversary_search.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

SearchRequest smallSearch(int algorithm, std::uint64_t seed, int threads)
{
    SearchRequest r;
    r.scenario.algorithm = algorithm;
    r.scenario.fovDeg = 70.0;
    r.scenario.tiltDeg = 25.0;
    r.scenario.maxSpeed = 35.0;
    r.budget = 800;
    r.seed = seed;
    r.threads = threads;
    return r;
}

TEST(AdversarySearch, TinyBudgetIsReproducibleFromItsSeedAndReplaysToItsObjective)
{
    for (const int algorithm : {1, 0}) {
        const SearchResult one = searchWorstCase(smallSearch(algorithm, 5, 1));
        const SearchResult two = searchWorstCase(smallSearch(algorithm, 5, 2));
        EXPECT_EQ(scenarioToJson(one.worst), scenarioToJson(two.worst)) << algorithm;
        EXPECT_EQ(one.sightingStep, two.sightingStep);
        // A search that finds no never-sighted configuration spends its whole budget.
        if (!one.neverSighted()) {
            EXPECT_EQ(one.evaluations, 800u);
        }
        const SearchResult other = searchWorstCase(smallSearch(algorithm, 6, 2));
        EXPECT_NE(scenarioToJson(one.worst), scenarioToJson(other.worst)) << "the seed changes nothing";

        const ScenarioResult run = runScenario(one.worst, std::nullopt);
        EXPECT_EQ(run.steps, one.steps);
        ASSERT_EQ(run.links.empty(), one.neverSighted()) << algorithm;
        if (!run.links.empty()) {
            EXPECT_EQ(run.links[0].step, one.sightingStep);
            EXPECT_EQ(run.links[0].time, *one.sightingTime);
        }
        // Each craft keeps to the speed limit and the box.
        for (const CraftState& c : one.worst.craft) {
            EXPECT_LE(length(c.velocity), 35.0 * (1 + 1e-15));
            for (int axis = 0; axis < 3; ++axis)
                EXPECT_LE(std::fabs(c.position[axis]), 500.0);
        }
    }
    EXPECT_THROW(searchWorstCase([] {
                     SearchRequest r = smallSearch(0, 1, 1);
                     r.budget = searchStarts - 1;
                     return r;
                 }()),
                 InputError);
}

}  // namespace
}  // namespace velmora
