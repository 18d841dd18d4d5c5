#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace velmora {

// The version of this build, as --version prints it.
const char* velmoraVersion();

// {"velmora": version, "command": [...]}: a result file found months later says what made it.
nlohmann::ordered_json provenanceJson(const std::vector<std::string>& command);

}  // namespace velmora
