#include "sim/default_scene.h"
#include "sim/formation.h"

#include <benchmark/benchmark.h>

namespace velmora {
namespace {

Formation defaultScene(int n)
{
    FormationParams p(5.0, 500.0);
    p.craftRadius = 10;
    p.ThetaFOV = defaultScene::fovHalfAngle;
    Formation f;
    f.setParams(p);
    Rand15 rng;
    f.setup(n, rng);
    return f;
}

void FormationStep(benchmark::State& state)
{
    Formation f = defaultScene(static_cast<int>(state.range(0)));
    const double planEnd = f.plan(0).totalDuration();
    for (auto _ : state) {
        benchmark::DoNotOptimize(f.step(0.01));
        // Stay inside the plans so every step turns craft, as during a real run.
        if (f.time() > planEnd) {
            state.PauseTiming();
            f = defaultScene(static_cast<int>(state.range(0)));
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(FormationStep)->Arg(2)->Arg(6)->Arg(10)->Arg(20);

void PlanLookup(benchmark::State& state)
{
    ManeuverPlan plan;
    plan.build(2, 1, 0.7, 1.2);  // twelve segments, the longest plan
    const double end = plan.totalDuration();
    double t = 0.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(plan.segmentIndexAt(t));
        t += 0.37;
        if (t > end)
            t -= end;
    }
}
BENCHMARK(PlanLookup);

}  // namespace
}  // namespace velmora
