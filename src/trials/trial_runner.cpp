#include "trials/trial_runner.h"

#include "scenario/scenario_run.h"

namespace velmora {

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
    scan_.start(f, setup_.sighting);
    TrialResult r;
    r.trial = trial;
    r.seedState = trialSeedState(setup_.seed, trial);
    for (std::int64_t k = 0; k < setup_.steps; ++k) {
        scan_.step(f, stepSeconds);
        r.missedSightings += static_cast<int>(scan_.missed().size());
        // Only a step that links some pair can join the groups.
        if (!scan_.linked() || !f.allInOneGroup())
            continue;
        r.initialized = true;
        r.stepsToInitialize = k + 1;
        r.timeToInitialize = f.time();
        r.exactTimeToInitialize = scan_.joinTime(f);
        break;
    }
    r.links = f.linkCount();
    r.groups = f.groupCount();
    return r;
}

}  // namespace velmora
