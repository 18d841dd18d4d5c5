#include "scenario/scenario_file.h"

#include "text/json_reader.h"

namespace velmora {
namespace {

const JsonBounds& scenarioBounds()
{
    static const JsonBounds bounds{maxScenarioBytes,
                                   maxScenarioDepth,
                                   maxScenarioItems,
                                   "scenario file",
                                   "a scenario is a few kilobytes",
                                   "a scenario needs three",
                                   "a scenario's longest holds " + std::to_string(Formation::capacity) + " craft"};
    return bounds;
}

}  // namespace

Scenario parseScenarioText(std::string_view text, const std::string& name, const std::string& planFolder)
{
    nlohmann::json doc;
    try {
        doc = readJsonText(text, name, scenarioBounds());
    } catch (const InputError& e) {
        throw ScenarioError(e.what());
    }
    return parseScenario(doc, planFolder);
}

Scenario loadScenarioFile(const std::string& path)
{
    std::string text;
    try {
        text = readBoundedFile(path, scenarioBounds());
    } catch (const InputError& e) {
        throw ScenarioError(e.what());
    }
    // A plan file the scenario names by a relative path lies beside it.
    std::string folder = ".";
    if (const std::size_t slash = path.rfind('/'); slash != std::string::npos)
        folder = slash == 0 ? "/" : path.substr(0, slash);
    return parseScenarioText(text, "\"" + path + "\"", folder);
}

}  // namespace velmora
