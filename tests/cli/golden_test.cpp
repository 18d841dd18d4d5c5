#include "sim_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
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

// The five shipped plan files fly as the built-in plans they state, to the last bit: every golden scenario
// of a built-in plan run with its plan file instead gives the golden result after the parameters (which
// then hold the plan itself), and batches over a grid of tilts and fields of view give the built-in's
// summary but for the plan's identity.
TEST(GoldenResults, ThePlanFilesFlyAsTheBuiltInPlansTheyState)
{
    const std::pair<std::string, std::string> plans[] = {{"Orlo", "orlo"},
                                                         {"Simple", "simple"},
                                                         {"SimpleLowFov", "simple-low-fov"},
                                                         {"HalfTwist", "half-twist"},
                                                         {"WaitAndCheck", "wait-and-check"}};
    const fs::path dir = fs::temp_directory_path() / ("velmora-plans-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    int compared = 0;
    for (const auto& entry : fs::directory_iterator(VELMORA_GOLDEN_DIR)) {
        const std::string name = entry.path().filename().string();
        if (!name.ends_with(".scenario.json"))
            continue;
        std::string scenario = test::readFile(entry.path());
        for (const auto& [algorithm, file] : plans) {
            const std::string quoted = "\"" + algorithm + "\"";
            const std::size_t at = scenario.find(quoted);
            if (at == std::string::npos)
                continue;
            scenario.replace(at, quoted.size(), "\"" + std::string(VELMORA_PLANS_DIR) + "/" + file + ".plan.json\"");
            std::ofstream(dir / name) << scenario;
            const std::string golden = test::readFile(entry.path().parent_path() /
                                                      (name.substr(0, name.size() - 14) + ".result.json"));
            const test::SimResult r = test::runSim("run " + (dir / name).string());
            ASSERT_EQ(r.exitCode, 0) << name << ": " << r.err;
            const std::string steps = "\"steps\":";
            ASSERT_NE(r.out.find("\"algorithm\":{\"velmoraPlan\":1"), std::string::npos) << name;
            const std::string actual = r.out.substr(r.out.find(steps));
            const std::string expected = golden.substr(golden.find(steps));
            EXPECT_TRUE(actual == expected) << name << ": " << firstDifference(expected, actual);
            ++compared;
            break;
        }
    }
    EXPECT_GE(compared, 7);
    for (const auto& [algorithm, file] : plans)
        for (const char* tilt : {"5", "45", "85"})
            for (const char* fov : {"20", "47.9", "70"}) {
                const std::string options = std::string(" --trials 40 --count 5 --duration 40 --json --tilt ") + tilt + " --fov " + fov;
                std::string builtIn = test::runSim("batch --algorithm " + algorithm + options).out;
                std::string fromFile =
                    test::runSim("batch --algorithm " + std::string(VELMORA_PLANS_DIR) + "/" + file + ".plan.json" + options)
                        .out;
                // Past the command, the algorithm's name and the plan's identity, the summaries agree.
                const auto tail = [](const std::string& s) { return s.substr(s.find("\"maxSpeed\""), s.find("\"timing\"") - s.find("\"maxSpeed\"")); };
                ASSERT_NE(fromFile.find("\"plan\":\""), std::string::npos) << file;
                EXPECT_EQ(tail(fromFile), tail(builtIn)) << file << " tilt " << tilt << " fov " << fov;
            }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace velmora
