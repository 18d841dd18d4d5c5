#include "sim_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace velmora {
namespace {

namespace fs = std::filesystem;

// Where two outputs first part, with a little of each around that place.
std::string firstDifference(const std::string& expected, const std::string& actual)
{
    const auto [e, a] = std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
    const std::size_t at = static_cast<std::size_t>(e - expected.begin());
    const std::size_t from = at < 60 ? 0 : at - 60;
    return "first difference at byte " + std::to_string(at) + "\n  expected ..." +
           expected.substr(from, 120) + "\n  actual   ..." + actual.substr(from, 120);
}

// Every scenario under tests/golden is run as a user would and must print exactly its checked-in result:
// any change of any number in the simulation shows here. The result files leave out what made them (the
// version and the command line, which differ between builds); that the output starts with both is checked
// here too.
TEST(GoldenResults, EveryScenarioPrintsItsResultByteForByte)
{
    std::vector<fs::path> scenarios;
    for (const auto& entry : fs::directory_iterator(VELMORA_GOLDEN_DIR))
        if (entry.path().string().ends_with(".scenario.json"))
            scenarios.push_back(entry.path());
    std::sort(scenarios.begin(), scenarios.end());
    ASSERT_GE(scenarios.size(), 7u);

    for (const fs::path& scenario : scenarios) {
        const std::string name = scenario.filename().string();
        const fs::path result = scenario.parent_path() / (name.substr(0, name.size() - 14) + ".result.json");
        ASSERT_TRUE(fs::exists(result)) << result << " is missing: run scripts/update-golden";
        const test::SimResult r = test::runSim("run " + scenario.string());
        ASSERT_EQ(r.exitCode, 0) << name << ": " << r.err;
        const std::string expected = test::readFile(result);
        std::string provenance = "{\"velmora\":\"" VELMORA_VERSION "\",\"command\":[\"" VELMORA_SIM_EXE "\",\"run\",\"";
        provenance.append(scenario.string()).append("\"],");
        ASSERT_TRUE(r.out.starts_with(provenance)) << name << ": " << r.out.substr(0, 200);
        const std::string actual = std::string(1, '{').append(r.out, provenance.size());
        EXPECT_TRUE(actual == expected) << name << ": " << firstDifference(expected, actual);
    }
}

}  // namespace
}  // namespace velmora
