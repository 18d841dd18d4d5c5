#include "text/provenance.h"

namespace velmora {

const char* velmoraVersion() { return VELMORA_VERSION; }

nlohmann::ordered_json provenanceJson(const std::vector<std::string>& command)
{
    nlohmann::ordered_json out;
    out["velmora"] = velmoraVersion();
    out["command"] = command;
    return out;
}

}  // namespace velmora
