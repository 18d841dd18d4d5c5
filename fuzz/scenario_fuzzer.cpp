// Any bytes as a scenario file: refused with an InputError (a ScenarioError, or a step count out of range), or
// set up and run for a few steps to a result without a null in it. Anything else (another exception, a crash, a sanitizer report) is a fault.
#include "scenario/scenario_file.h"
#include "scenario/scenario_run.h"
#include "text/json_writer.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace velmora;
    try {
        const Scenario s = parseScenarioText(std::string_view(reinterpret_cast<const char*>(data), size), "\"fuzz\"");
        const std::string result = toJsonText(runScenario(s, 20).toJson());
        if (result.find("null") != std::string::npos)
            std::abort();
    } catch (const InputError&) {
    }
    return 0;
}
