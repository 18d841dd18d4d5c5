#include "scenario/plan_file.h"
#include "scenario/scenario_run.h"
#include "trials/batch_runner.h"
#include "trials/trial_runner.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>
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
void runTrials(benchmark::State& state, const TrialSetup& setup)
{
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

TrialSetup sightingTrials(Sighting sighting)
{
    TrialSetup setup = defaultSceneTrials();
    setup.sighting = sighting;
    return setup;
}

void BatchTrials(benchmark::State& state) { runTrials(state, sightingTrials(Sighting::Grid)); }
BENCHMARK(BatchTrials)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// The same trials with pairs linked at their first moment in view within a step.
void ContinuousBatchTrials(benchmark::State& state) { runTrials(state, sightingTrials(Sighting::Continuous)); }
BENCHMARK(ContinuousBatchTrials)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// A plan file whose two roles each fill the 64 segments a role may hold: eighth turns about x, y and a diagonal
// in turn, 8 pi seconds in all (Orlo's built-in plan lasts about 20 s at the default tilt).
std::shared_ptr<const PlanFile> fullPlan()
{
    nlohmann::json roles = nlohmann::json::array();
    for (int r = 0; r < 2; ++r) {
        nlohmann::json segments = nlohmann::json::array();
        for (int k = 0; k < ManeuverPlan::capacity; ++k)
            segments.push_back({{"duration", "pi/8"},
                                {"axis", k % 3 == 0 ? nlohmann::json("x") : k % 3 == 1 ? nlohmann::json("y")
                                                                                       : nlohmann::json({0, 1, 1})},
                                {"rate", r == 0 ? 1.0 : -1.0}});
        roles.push_back({{"segments", segments}});
    }
    const nlohmann::json doc = {{"velmoraPlan", 1}, {"name", "Full"}, {"roles", roles}};
    return std::make_shared<const PlanFile>(PlanFile::fromJson(doc, "the benchmark's plan"));
}

// Trials per second of a batch flying a plan file that fills every role's capacity: what a plan's size costs.
void FullPlanFileTrials(benchmark::State& state)
{
    TrialSetup setup = defaultSceneTrials();
    setup.scenario.algorithm = -1;
    setup.scenario.plan = fullPlan();
    setup.steps = trialSteps(setup.scenario, std::nullopt);
    runTrials(state, setup);
}
BENCHMARK(FullPlanFileTrials)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

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
