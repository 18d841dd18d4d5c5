#include "batch/provenance.h"

namespace velmora {

const char* velmoraVersion() { return VELMORA_VERSION; }

nlohmann::ordered_json provenanceJson(const std::vector<std::string>& command)
{
    nlohmann::ordered_json out;
    out["velmora"] = velmoraVersion();
    out["command"] = command;
    return out;
}

nlohmann::ordered_json runResultJson(const Scenario& scenario, const ScenarioResult& result,
                                     const std::vector<std::string>& command)
{
    nlohmann::ordered_json out = provenanceJson(command);
    out["parameters"] = scenarioToJson(scenario, true);
    out.update(result.toJson());
    return out;
}

}  // namespace velmora
