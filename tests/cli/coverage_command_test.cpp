// velmora-sim coverage as a user runs it: the map file agrees with the summary, and bad options are refused.
#include "sim_process.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <sstream>

namespace {

using velmora::test::expectRejected;
using velmora::test::runSim;

TEST(VelmoraSimCoverage, MapFileAndSummaryTellTheSameMap)
{
    const auto dir = std::filesystem::temp_directory_path() / ("velmora-coverage-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto map = dir / "orlo.jsonl";
    const auto plot = dir / "orlo.png";
    const auto r = runSim("coverage --algorithm Orlo --fov 30 --tilt 25 --nside 2 --roles odd-even,even-even --json --map " +
                          map.string() + (VELMORA_PLOT ? " --plot " + plot.string() + " --plot-dpi 50" : ""));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto summary = nlohmann::json::parse(r.out);
    EXPECT_EQ(summary["parameters"]["pixels"], 48);
    ASSERT_EQ(summary["maps"].size(), 2u);
    EXPECT_EQ(summary["maps"][0]["roles"], "even-odd");
    std::istringstream lines(velmora::test::readFile(map));
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(nlohmann::json::parse(line)["parameters"], summary["parameters"]);
    int rows = 0;
    int sighted = 0;
    while (std::getline(lines, line)) {
        const auto row = nlohmann::json::parse(line);
        EXPECT_EQ(row["pixel"], rows % 48);
        if (rows < 48)
            sighted += row["step"].is_null() ? 0 : 1;
        ++rows;
    }
    EXPECT_EQ(rows, 96);
    EXPECT_EQ(sighted, summary["maps"][0]["sighted"]);
    if (VELMORA_PLOT) {
        EXPECT_EQ(velmora::test::readFile(plot).substr(0, 8), "\x89PNG\r\n\x1a\n");
    }
    std::filesystem::remove_all(dir);
}

TEST(VelmoraSimCoverage, BadOptionsAreRefusedInOneLine)
{
    expectRejected("coverage --nside 3", "power of two");
    expectRejected("coverage --nside 1024", "--nside");
    expectRejected("coverage --roles even-third", "even-odd, even-even, odd-odd");
    expectRejected("coverage --distance 0", "--distance");
    expectRejected("coverage --fov 95", "--fov");
    expectRejected("coverage --map out.txt", ".csv, .jsonl or .fits");
    expectRejected("coverage --algorithm Nope", "Nope");
    expectRejected("coverage --algorithm WaitAndCheck --fov 10 --duration 20000", "steps");
}

}  // namespace

namespace {

// The counterexample's parameters: with its default budget and seed, the search finds a configuration Orlo
// never links, and velmora-sim run of the file it writes confirms it.
TEST(VelmoraSimSearch, FindsAConfigurationOrloNeverLinksAndRunConfirmsIt)
{
    const auto worst = std::filesystem::temp_directory_path() / ("velmora-worst-" + std::to_string(::getpid()) + ".json");
    const auto r = runSim("search --algorithm Orlo --fov 70 --tilt 25 --max-speed 35 --json --out " + worst.string());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto summary = nlohmann::json::parse(r.out);
    EXPECT_EQ(summary["worst"]["initializes"], false);
    EXPECT_EQ(summary["parameters"]["budget"], 5000000);
    const auto file = nlohmann::json::parse(velmora::test::readFile(worst));
    EXPECT_EQ(file["origin"]["worst"], summary["worst"]);
    const auto run = runSim("run " + worst.string());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto result = nlohmann::json::parse(run.out);
    EXPECT_EQ(result["links"].size(), 0u);
    EXPECT_EQ(result["steps"], summary["worst"]["steps"]);
    std::filesystem::remove(worst);
}

TEST(VelmoraSimSearch, BadOptionsAreRefusedInOneLine)
{
    expectRejected("search --budget 3", "--budget");
    expectRejected("search --max-speed -1", "--max-speed");
    expectRejected("search --box 0", "--box");
    expectRejected("search --out /nonexistent-dir/w.json", "--out");
}

}  // namespace
