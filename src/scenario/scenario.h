#pragma once

#include "geometry/mat3.h"
#include "geometry/rand15.h"
#include "scenario/plan_file.h"
#include "sim/default_scene.h"
#include "sim/formation.h"
#include "text/input_error.h"

#include <nlohmann/json.hpp>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// A scenario that cannot be used: its file cannot be read, is not JSON, or holds a value no set-up takes.
class ScenarioError : public InputError {
public:
    using InputError::InputError;
};

struct CraftState {
    Vec3 position;
    Vec3 velocity;
    std::optional<Mat3> attitude;
};

// A formation set-up as a file describes it: parameters in user units (degrees), an algorithm (one of the
// five built-in plans by index, or a plan file), a count, explicit craft that overwrite the first random ones,
// and the counterexample switch.
struct Scenario {
    // The built-in plan's index; -1 (or any other value outside 0..4) for empty plans, and with a plan file.
    int algorithm = 0;
    // A plan file the craft fly instead of a built-in plan.
    std::shared_ptr<const PlanFile> plan;
    double maxSpeed = defaultScene::maxSpeed;
    double fovDeg = defaultScene::fovDeg;
    double tiltDeg = defaultScene::tiltDeg;
    double craftRadius = defaultScene::craftRadius;
    double boxHalfSize = defaultScene::boxHalfSize;
    int count = defaultScene::craftCount;
    std::vector<CraftState> craft;
    bool counterexample = false;
    // The first state of the sequence the random craft are drawn from.
    std::uint32_t seed = Rand15::firstState;
    // What made the scenario (a search's parameters and result), kept as the file states it; set-up ignores it.
    nlohmann::ordered_json origin;
};

// The keys a scenario object may have, and those of each of its craft; any other is refused.
inline constexpr std::string_view scenarioKeys[] = {"algorithm",   "maxSpeed", "fovDeg", "tiltDeg",
                                                    "craftRadius", "boxHalfSize", "count", "craft",
                                                    "counterexample", "seed", "origin"};
inline constexpr std::string_view craftKeys[] = {"position", "velocity", "attitude"};

// A plan file named by "algorithm" is read from planFolder (the scenario file's folder; the working folder
// when empty) unless its path is absolute.
Scenario parseScenario(const nlohmann::json& doc, const std::string& planFolder = {});

// The name results give the scenario's plan: a built-in's name, a plan file's own name, or "none".
std::string algorithmName(const Scenario& s);

// The plan file's identity (its canonical text's SHA-256), or empty for a built-in plan.
std::string planIdentity(const Scenario& s);

// Each role's table of the scenario's plan file at its tilt and FOV: what a formation set up from it flies.
// Empty without a plan file. Throws PlanError for a value that is not finite at those parameters.
std::vector<ManeuverPlan> planTables(const Scenario& s);

// Throws ScenarioError when a craft in use has a position, velocity or attitude that is not finite, as a
// set-up from huge sizes or speeds gives; when says at what point ("after set-up").
void requireFiniteState(const Formation& f, const char* when);

// Whether every craft in use has a finite position, velocity and attitude: the check requireFiniteState
// makes, cheap enough for every step.
bool hasFiniteState(const Formation& f);

FormationParams formationParams(const Scenario& s);

// Sets up f from s, drawing the random placement from rng. tables, when given, are planTables(s), worked out
// once for many set-ups of one scenario.
void setUpFormation(const Scenario& s, Formation& f, Rand15& rng, const std::vector<ManeuverPlan>* tables = nullptr);

// The parameters every set-up from s shares, in a scenario file's order (algorithm, maxSpeed, fovDeg,
// tiltDeg, craftRadius, boxHalfSize, count): every output that states a scenario's parameters writes them so.
nlohmann::ordered_json scenarioParametersJson(const Scenario& s);

// The scenario as a file holds it; the seed only when it is not the default, unless withSeed.
nlohmann::ordered_json scenarioToJson(const Scenario& s, bool withSeed = false);

}  // namespace velmora
