// Runs the velmora-sim executable as a user would and checks what it prints and returns.
#include "sim_process.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using Result = velmora::test::SimResult;
using velmora::test::runSim;

std::string example(const char* name) { return std::string(VELMORA_EXAMPLES_DIR) + "/" + name; }

std::filesystem::path writeTemp(const std::string& name, const std::string& text)
{
    const auto p = std::filesystem::temp_directory_path() / name;
    std::ofstream(p) << text;
    return p;
}

TEST(VelmoraSimRun, CounterexampleRunsTheWholePlanWithoutALink)
{
    const Result r = runSim("run " + example("counterexample.json"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    // Orlo with tilt 25 degrees: 5 pi + 5 * 25 degrees, run to its end plus one step.
    const double end = 5 * 3.141592653589793 + 5 * (3.141592653589793 * 25 * (1.0 / 180));
    EXPECT_EQ(doc["steps"].get<long>(), static_cast<long>(std::ceil(end / 0.01)) + 1);
    EXPECT_TRUE(doc["links"].empty());
    EXPECT_FALSE(doc["initialized"].get<bool>());
    EXPECT_EQ(doc["groups"], nlohmann::json::array({0, 1}));
    EXPECT_EQ(doc["craft"].size(), 2u);
    EXPECT_EQ(doc["craft"][1]["position"], nlohmann::json::array({0.0, 0.0, 0.0}));
    // Both plans end their first segment at pi and the run goes past the end of each.
    const auto changes = doc["segmentChangeSteps"];
    ASSERT_FALSE(changes.empty());
    EXPECT_EQ(changes.front().get<int>(), 315);
}

TEST(VelmoraSimRun, SameScenarioGivesByteIdenticalOutput)
{
    const Result a = runSim("run " + example("default-scene.json") + " --duration 30");
    const Result b = runSim("run " + example("default-scene.json") + " --duration 30");
    ASSERT_EQ(a.exitCode, 0) << a.err;
    EXPECT_EQ(a.out, b.out);
    EXPECT_EQ(nlohmann::json::parse(a.out)["steps"].get<int>(), 3000);
}

TEST(VelmoraSimRun, FacingPairLinksAtTheFirstStep)
{
    const Result r = runSim("run " + example("facing-pair.json") + " --steps 2");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    ASSERT_EQ(doc["links"].size(), 1u);
    // In view from the set-up, which the grid first looks at after step 1.
    EXPECT_EQ(doc["links"][0], nlohmann::json::parse(R"({"i":0,"j":1,"step":1,"time":0.01,"exactTime":0.0})"));
    EXPECT_EQ(doc["parent"], nlohmann::json::array({1, 1}));
    EXPECT_EQ(doc["seen"], nlohmann::json::array({2, 1}));
    EXPECT_TRUE(doc["initialized"].get<bool>());
}

// The golden scenario whose second craft sweeps its 0.86 degree cone past the first within the second step:
// the grid misses the 3 ms in view, and continuous sighting links the pair at the moment the grid missed.
TEST(VelmoraSimRun, ContinuousSightingLinksWhatTheGridMisses)
{
    const std::string scenario = std::string(VELMORA_GOLDEN_DIR) + "/missed-sighting.scenario.json";
    const Result grid = runSim("run " + scenario + " --steps 3");
    const Result continuous = runSim("run " + scenario + " --steps 3 --sighting continuous");
    ASSERT_EQ(grid.exitCode, 0) << grid.err;
    ASSERT_EQ(continuous.exitCode, 0) << continuous.err;
    const auto g = nlohmann::json::parse(grid.out);
    const auto c = nlohmann::json::parse(continuous.out);
    EXPECT_EQ(g["sighting"], "grid");
    EXPECT_TRUE(g["links"].empty());
    ASSERT_EQ(g["missedSightings"].size(), 1u);
    const double start = g["missedSightings"][0]["start"].get<double>();
    EXPECT_NEAR(start, 0.0135, 1e-12);
    EXPECT_NEAR(g["missedSightings"][0]["end"].get<double>(), 0.0165, 1e-12);
    EXPECT_EQ(c["sighting"], "continuous");
    EXPECT_TRUE(c["missedSightings"].empty());
    ASSERT_EQ(c["links"].size(), 1u);
    EXPECT_EQ(c["links"][0]["step"], 2);
    EXPECT_EQ(c["links"][0]["exactTime"].get<double>(), start);
    EXPECT_TRUE(c["initialized"].get<bool>());
    velmora::test::expectRejected("run " + scenario + " --sighting exact", "unknown sighting rule \"exact\"");
}

TEST(VelmoraSimRun, BadInputExitsTwoWithOneLineAndNoOutput)
{
    const auto malformed = writeTemp("velmora-malformed.json", "{\"count\": 3,");
    const auto wrongType = writeTemp("velmora-wrong-type.json", "{\"fovDeg\": [70]}");
    const auto tooMany = writeTemp("velmora-too-many.json", "{\"count\": 40}");
    const std::string cases[] = {
        "run /nonexistent/scenario.json",
        "run " + malformed.string(),
        "run " + wrongType.string(),
        "run " + tooMany.string(),
        "run " + example("default-scene.json") + " --steps -4",
        "run " + example("default-scene.json") + " --steps 10 --duration 3",
        "run " + example("default-scene.json") + " --duration nan",
        "run",
        "fly",
    };
    for (const std::string& args : cases)
        velmora::test::expectRejected(args);
    for (const auto& p : {malformed, wrongType, tooMany})
        std::filesystem::remove(p);
}

TEST(VelmoraSimRun, HostileScenariosAreRefusedInOneShortPrintableLine)
{
    std::string longList = "[0";
    for (int i = 0; i < 100000; ++i)
        longList += ",0";
    const struct {
        std::string content;
        std::string says;
        std::string options = {};
    } cases[] = {
        {"{\"count\": " + std::string(80000, '[') + std::string(80000, ']') + "}", "deeper than 64 levels"},
        {"{\"count\": " + longList.substr(0, 1800) + "]}", "not [0,0,0"},
        {"{\"count\": " + longList + "]}", "a list or object of more than 1000 items"},
        {"{\n  \"count\": 2,\n  \"tiltDeg\": 1e400\n}", "line 3, column 14 (\"tiltDeg\"): the number 1e400 is too large"},
        {"{\"boxHalfSize\": 1e308}", "after set-up craft 0 has a position that is not a finite number"},
        {"{\"craft\": [{\"position\": [1.7e308, 0, 0], \"velocity\": [1e308, 0, 0]}]}", "after step 100 craft 0",
         " --steps 100"},
        {"{\"tiltDeg\": 1e300}", "too long: more than ten days"},
        {"{\"algorithm\": \"\\u001b[2J\\nx\\u009b\"}", "unknown name \"\\x1B[2J\\nx\\u009B\""},
        {"{\"count\": 3,\n\u001b", "not valid JSON at line 2, column 1"},
    };
    const auto file = writeTemp("velmora-hostile.json", "");
    for (const auto& c : cases) {
        std::ofstream(file, std::ios::binary) << c.content;
        velmora::test::expectRejected("run " + file.string() + c.options, c.says);
    }
    std::filesystem::remove(file);
    velmora::test::expectRejected("run /tmp", "\"/tmp\" is a directory");
    velmora::test::expectRejected("run /dev/zero", "more than 16 MiB");
    velmora::test::expectRejected("run \"$(printf '/no/such\\033[2J\\nx')\"", "/no/such\\x1B[2J\\nx\"");
    // A pipe is read like a file.
    const Result piped = velmora::test::runShell(std::string(VELMORA_SIM_EXE) + " replay --trial 3 | " + VELMORA_SIM_EXE +
                                     " run /dev/stdin --steps 2");
    EXPECT_EQ(piped.exitCode, 0);
    EXPECT_EQ(nlohmann::json::parse(piped.out)["steps"], 2);
}

TEST(VelmoraSimRun, ZeroPaddedStepCountsAreDecimal)
{
    const Result r = runSim("run " + example("facing-pair.json") + " --steps 010");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["steps"].get<int>(), 10);
}

TEST(VelmoraSimRun, SummaryNamesTheLinksAndTheOutcome)
{
    const Result r = runSim("run " + example("facing-pair.json") + " --steps 5 --summary");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("2 craft, algorithm WaitAndCheck"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("craft 0 and 1 at t = 0.01 s (step 1)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ran 5 steps to t = 0.05 s"), std::string::npos) << r.out;
    // The moment it happened, as the readout shows it, not the end of the run.
    EXPECT_NE(r.out.find("initialized at t = 0.01 s: every craft is in one group"), std::string::npos) << r.out;
    const Result apart = runSim("run " + example("facing-pair.json") + " --steps 0 --summary");
    EXPECT_NE(apart.out.find("not initialized"), std::string::npos) << apart.out;
    // A plan from a file is named by its own name.
    const std::string file = writeTemp("velmora-replayed-" + std::to_string(::getpid()) + ".json", "").string();
    const Result replayed = runSim("replay --algorithm " + std::string(VELMORA_PLANS_DIR) +
                                   "/half-twist.plan.json --trial 3 > " + file + " && " + VELMORA_SIM_EXE + " run " +
                                   file + " --steps 0 --summary");
    std::filesystem::remove(file);
    EXPECT_NE(replayed.out.find("6 craft, algorithm HalfTwist,"), std::string::npos) << replayed.out;
}

// A result says what made it: the version, the command line and the whole scenario, seed included, so it
// can be run again from the result alone.
TEST(VelmoraSimRun, ResultsCarryTheirVersionCommandAndParameters)
{
    const std::string scenario = example("facing-pair.json");
    const Result r = runSim("run " + scenario + " --steps 2");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto doc = nlohmann::ordered_json::parse(r.out);
    EXPECT_EQ(doc.begin().key(), "velmora");
    EXPECT_EQ(doc["velmora"], VELMORA_VERSION);
    EXPECT_EQ(doc["command"], nlohmann::json::array({VELMORA_SIM_EXE, "run", scenario, "--steps", "2"}));
    const auto parameters = doc["parameters"];
    EXPECT_EQ(parameters["algorithm"], "WaitAndCheck");
    EXPECT_EQ(parameters["seed"], 1);
    EXPECT_EQ(parameters["craft"].size(), 2u);

    const Result version = runSim("--version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "velmora-sim " VELMORA_VERSION "\n");
    const Result help = runSim("--help");
    EXPECT_NE(help.out.find("Exit status: 0 when"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("merge"), std::string::npos) << help.out;
}

TEST(VelmoraSimRun, HelpExplainsTheScenarioKeys)
{
    const Result r = runSim("run --help");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("--duration"), std::string::npos);
    EXPECT_NE(r.out.find("WaitAndCheck"), std::string::npos);
}

}  // namespace
