// The sighting-time map's speed goal: a default map (nside 32, the three role pairs) of Orlo at FOV 70 degrees,
// on one and two threads, against its floor: the pair steps the map examines, each at the cost a two-craft
// Formation::step takes for them.
#include "trials/coverage_map.h"

#include <benchmark/benchmark.h>

namespace velmora {
namespace {

CoverageRequest orloMap(int threads)
{
    CoverageRequest r;
    r.scenario.algorithm = 0;
    r.scenario.fovDeg = 70.0;
    r.threads = threads;
    return r;
}

// Pair steps the map looks at: up to each pixel's sighting, or the whole plan for a pixel never sighted.
double pairSteps(const CoverageMap& map)
{
    double steps = 0.0;
    for (const RoleMap& m : map.maps)
        for (const std::int64_t k : m.sightingStep)
            steps += static_cast<double>(k > 0 ? k : m.steps);
    return steps;
}

void CoverageDefaultMap(benchmark::State& state)
{
    const CoverageRequest request = orloMap(static_cast<int>(state.range(0)));
    double steps = 0.0;
    for (auto _ : state) {
        const CoverageMap map = computeCoverage(request);
        steps = pairSteps(map);
        benchmark::DoNotOptimize(map.maps.data());
    }
    state.counters["pairSteps"] = steps;
    state.counters["pairStepsPerSecond"] = benchmark::Counter(steps, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(CoverageDefaultMap)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor's unit: one step of the two-craft formation a map pixel stands for (two propagations, two cones,
// two containment tests), over the whole plan.
void CoverageFloorPairStep(benchmark::State& state)
{
    Scenario s = orloMap(1).scenario;
    s.count = 2;
    s.craft = {CraftState{Vec3{}, Vec3{}, std::nullopt}, CraftState{Vec3{0.0, 300.0, 400.0}, Vec3{}, std::nullopt}};
    Formation f;
    Rand15 rng(1);
    setUpFormation(s, f, rng);
    const Formation start = f;
    const double planEnd = f.plan(0).totalDuration();
    for (auto _ : state) {
        benchmark::DoNotOptimize(f.step(0.01));
        if (f.time() > planEnd)
            f = start;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(CoverageFloorPairStep);

}  // namespace
}  // namespace velmora
