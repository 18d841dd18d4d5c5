#include "scenario/scenario_run.h"
#include "trials/batch_runner.h"
#include "trials/trial_runner.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>
#include <vector>

namespace velmora {
namespace {

// Six Orlo craft with the default scene's parameters (the Scenario defaults), each trial allowed the full
// plan: the default of `velmora-sim batch`.
TrialSetup defaultSceneTrials()
{
    TrialSetup setup;
    setup.seed = 1;
    setup.steps = trialSteps(setup.scenario, std::nullopt);
    return setup;
}

// Trials per second of `velmora-sim batch` itself: trials stop once every craft is in one group. Each trial
// also finds the exact moment its formation joined and the sightings the grid missed on the way.
void runTrials(benchmark::State& state, Sighting sighting)
{
    TrialSetup setup = defaultSceneTrials();
    setup.sighting = sighting;
    const int threads = static_cast<int>(state.range(0));
    constexpr std::uint64_t trialsPerRun = 4000;
    std::uint64_t first = 0;
    for (auto _ : state) {
        BatchRunner(setup, threads).run(first, trialsPerRun, [](std::span<const TrialResult> block) {
            benchmark::DoNotOptimize(block.data());
        });
        first += trialsPerRun;
    }
    state.counters["trials/s"] =
        benchmark::Counter(static_cast<double>(first), benchmark::Counter::kIsRate);
}

void BatchTrials(benchmark::State& state) { runTrials(state, Sighting::Grid); }
BENCHMARK(BatchTrials)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// The same trials with pairs linked at their first moment in view within a step.
void ContinuousBatchTrials(benchmark::State& state) { runTrials(state, Sighting::Continuous); }
BENCHMARK(ContinuousBatchTrials)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// The worst case: every trial stepped through the whole plan, as when no formation initializes early.
void FullPlanTrials(benchmark::State& state)
{
    const TrialSetup setup = defaultSceneTrials();
    const int threads = static_cast<int>(state.range(0));
    constexpr std::uint64_t trialsPerRun = 400;
    std::uint64_t first = 0;
    for (auto _ : state) {
        std::atomic<std::uint64_t> next{first};
        std::vector<std::jthread> workers;
        for (int w = 0; w < threads; ++w)
            workers.emplace_back([&] {
                Formation f;
                for (std::uint64_t k = next++; k < first + trialsPerRun; k = next++) {
                    setUpTrial(setup, k, f);
                    for (std::int64_t s = 0; s < setup.steps; ++s)
                        f.step(stepSeconds);
                    benchmark::DoNotOptimize(f.parent(0));
                }
            });
        workers.clear();
        first += trialsPerRun;
    }
    state.counters["trials/s"] =
        benchmark::Counter(static_cast<double>(first), benchmark::Counter::kIsRate);
}
BENCHMARK(FullPlanTrials)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora
