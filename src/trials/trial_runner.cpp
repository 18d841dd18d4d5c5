#include "trials/trial_runner.h"

#include "scenario/scenario_run.h"

namespace velmora {
namespace {

// Grows exactly when some pair is seen for the first time: the bitmasks only ever gain bits.
std::uint64_t seenSum(const Formation& f)
{
    std::uint64_t sum = 0;
    for (int i = 0; i < f.craftCount(); ++i)
        sum += f.seen(i);
    return sum;
}

}  // namespace

std::uint32_t trialSeedState(std::uint64_t seed, std::uint64_t trial)
{
    std::uint64_t z = seed + (trial + 1) * 0x9E3779B97F4A7C15ull;
    z ^= z >> 30;
    z *= 0xBF58476D1CE4E5B9ull;
    z ^= z >> 27;
    z *= 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<std::uint32_t>(z);
}

std::int64_t trialSteps(const Scenario& scenario, std::optional<std::int64_t> steps)
{
    Formation f;
    Rand15 rng;
    setUpFormation(scenario, f, rng);
    requireFiniteState(f, "after set-up");
    return steps ? *steps : stepsToPlanEnd(f);
}

void setUpTrial(const TrialSetup& setup, std::uint64_t trial, Formation& f, const std::vector<ManeuverPlan>* tables)
{
    Rand15 rng(trialSeedState(setup.seed, trial));
    setUpFormation(setup.scenario, f, rng, tables);
}

Scenario replayScenario(const TrialSetup& setup, std::uint64_t trial)
{
    Formation f;
    setUpTrial(setup, trial, f);
    requireFiniteState(f, "after set-up");
    Scenario s = setup.scenario;
    s.craft.clear();
    for (int i = 0; i < f.craftCount(); ++i)
        s.craft.push_back(CraftState{f.spacecraft(i).position, f.spacecraft(i).velocity, std::nullopt});
    return s;
}

TrialResult TrialRunner::run(std::uint64_t trial)
{
    Formation& f = formation_;
    setUpTrial(setup_, trial, f, &tables_);
    TrialResult r;
    r.trial = trial;
    r.seedState = trialSeedState(setup_.seed, trial);
    std::uint64_t seen = seenSum(f);
    for (std::int64_t k = 0; k < setup_.steps; ++k) {
        f.step(stepSeconds);
        const std::uint64_t now = seenSum(f);
        if (now == seen)
            continue;
        seen = now;
        if (f.allInOneGroup()) {
            r.initialized = true;
            r.stepsToInitialize = k + 1;
            r.timeToInitialize = f.time();
            break;
        }
    }
    r.links = f.linkCount();
    r.groups = f.groupCount();
    return r;
}

}  // namespace velmora
