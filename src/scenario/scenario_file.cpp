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

Scenario parseScenarioText(std::string_view text, const std::string& name)
{
    nlohmann::json doc;
    try {
        doc = readJsonText(text, name, scenarioBounds());
    } catch (const InputError& e) {
        throw ScenarioError(e.what());
    }
    return parseScenario(doc);
}

Scenario loadScenarioFile(const std::string& path)
{
    std::string text;
    try {
        text = readBoundedFile(path, scenarioBounds());
    } catch (const InputError& e) {
        throw ScenarioError(e.what());
    }
    return parseScenarioText(text, "\"" + path + "\"");
}

}  // namespace velmora
