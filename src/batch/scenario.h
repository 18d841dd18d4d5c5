#pragma once

#include "geometry/mat3.h"
#include "geometry/rand15.h"
#include "sim/default_scene.h"
#include "sim/formation.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmora {

// Bad scenario input: the message is one line a user can act on.
class ScenarioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct CraftState {
    Vec3 position;
    Vec3 velocity;
    std::optional<Mat3> attitude;
};

// A formation set-up as a file describes it: parameters in user units (degrees), an algorithm, a count,
// explicit craft that overwrite the first random ones, and the counterexample switch.
struct Scenario {
    int algorithm = 0;
    double maxSpeed = defaultScene::maxSpeed;
    double fovDeg = defaultScene::fovDeg;
    double tiltDeg = defaultScene::tiltDeg;
    double craftRadius = defaultScene::craftRadius;
    double boxHalfSize = defaultScene::boxHalfSize;
    int count = defaultScene::craftCount;
    std::vector<CraftState> craft;
    bool counterexample = false;
};

Scenario parseScenario(const nlohmann::json& doc);
Scenario loadScenarioFile(const std::string& path);

FormationParams formationParams(const Scenario& s);

// Sets up f from s, drawing the random placement from rng.
void setUpFormation(const Scenario& s, Formation& f, Rand15& rng);

nlohmann::ordered_json scenarioToJson(const Scenario& s);

}  // namespace velmora
