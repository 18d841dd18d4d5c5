#pragma once

#include "batch/scenario.h"
#include "batch/scenario_run.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace velmora {

// The version of this build, as --version prints it.
const char* velmoraVersion();

// {"velmora": version, "command": [...]}: a result file found months later says what made it.
nlohmann::ordered_json provenanceJson(const std::vector<std::string>& command);

// The document velmora-sim run prints: where it came from, the scenario it ran (seed included), and the
// result.
nlohmann::ordered_json runResultJson(const Scenario& scenario, const ScenarioResult& result,
                                     const std::vector<std::string>& command);

}  // namespace velmora
