// `velmora-sim run --history`: the rows a user plots, read back from both formats and held against the run's
// own result.
#include "sim_process.h"
#include "support/tight_disk.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using nlohmann::json;
using velmora::test::runSim;

using Vec = std::array<double, 3>;
using Link = std::tuple<int, int, long, double, double>;

struct Row {
    long step = 0;
    double time = 0.0;
    std::vector<Vec> position;
    std::vector<Vec> axis;
    std::vector<std::tuple<int, int, double>> links;
};

std::string example(const char* name) { return std::string(VELMORA_EXAMPLES_DIR) + "/" + name; }

std::vector<std::string> split(const std::string& text, char by)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, by))
        parts.push_back(part);
    if (!text.empty() && text.back() == by)
        parts.emplace_back();
    return parts;
}

double exactNumber(const std::string& text)
{
    double v = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
    EXPECT_TRUE(error == std::errc() && end == text.data() + text.size()) << text;
    return v;
}

std::vector<Row> readCsv(const std::string& text, int craft)
{
    const std::vector<std::string> lines = split(text, '\n');
    std::vector<Row> rows;
    EXPECT_FALSE(lines.empty());
    if (lines.empty())
        return rows;
    std::string header = "step,time";
    for (int i = 0; i < craft; ++i) {
        const std::string n = std::to_string(i);
        header += ",x" + n + ",y" + n + ",z" + n + ",axisX" + n + ",axisY" + n + ",axisZ" + n;
    }
    EXPECT_EQ(lines[0], header + ",links,exactTimes");
    EXPECT_EQ(lines.back(), "") << "the file ends in a newline";
    for (std::size_t k = 1; k + 1 < lines.size(); ++k) {
        const std::vector<std::string> cells = split(lines[k], ',');
        EXPECT_EQ(cells.size(), 4u + 6u * static_cast<std::size_t>(craft)) << lines[k];
        if (cells.size() != 4u + 6u * static_cast<std::size_t>(craft))
            continue;
        Row row;
        row.step = std::stol(cells[0]);
        // CSV times are printed to the step; the exact time is the sum of that many 0.01 s steps.
        for (long n = 0; n < row.step; ++n)
            row.time = row.time + 0.01;
        char rounded[32];
        std::snprintf(rounded, sizeof rounded, "%.2f", row.time);
        EXPECT_EQ(cells[1], rounded) << lines[k];
        for (int i = 0; i < craft; ++i) {
            const auto at = [&](int c) { return exactNumber(cells[2 + 6 * i + c]); };
            row.position.push_back({at(0), at(1), at(2)});
            row.axis.push_back({at(3), at(4), at(5)});
        }
        const std::vector<std::string> pairs = split(cells[cells.size() - 2], ' ');
        const std::vector<std::string> moments = split(cells.back(), ' ');
        EXPECT_EQ(pairs.size(), moments.size()) << lines[k];
        for (std::size_t p = 0; p < pairs.size() && p < moments.size(); ++p) {
            const auto dash = pairs[p].find('-');
            row.links.emplace_back(std::stoi(pairs[p].substr(0, dash)), std::stoi(pairs[p].substr(dash + 1)),
                                   exactNumber(moments[p]));
        }
        rows.push_back(row);
    }
    return rows;
}

std::vector<Row> readJsonLines(const std::string& text)
{
    std::vector<Row> rows;
    const std::vector<std::string> lines = split(text, '\n');
    EXPECT_EQ(lines.back(), "") << "the file ends in a newline";
    for (std::size_t k = 0; k + 1 < lines.size(); ++k) {
        const json doc = json::parse(lines[k]);
        EXPECT_EQ(doc.size(), 5u) << lines[k];
        Row row;
        row.step = doc.at("step").get<long>();
        row.time = doc.at("time").get<double>();
        row.position = doc.at("position").get<std::vector<Vec>>();
        row.axis = doc.at("axis").get<std::vector<Vec>>();
        for (const json& link : doc.at("links"))
            row.links.emplace_back(link.at("i").get<int>(), link.at("j").get<int>(), link.at("exactTime").get<double>());
        rows.push_back(row);
    }
    return rows;
}

// Where each craft of a run result is, and where its sensor looks: the third column of its attitude.
void expectStateOf(const Row& row, const json& result, const std::string& what)
{
    ASSERT_EQ(row.position.size(), result["craft"].size()) << what;
    for (std::size_t i = 0; i < row.position.size(); ++i) {
        const json& craft = result["craft"][i];
        EXPECT_EQ(row.position[i], craft["position"].get<Vec>()) << what << ", craft " << i;
        const auto m = craft["attitude"].get<std::array<double, 9>>();
        EXPECT_EQ(row.axis[i], (Vec{m[6], m[7], m[8]})) << what << ", craft " << i;
    }
}

struct TempDir {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("velmora-history-" + std::to_string(::getpid()));
    TempDir() { std::filesystem::create_directories(path); }
    ~TempDir() { std::filesystem::remove_all(path); }
};

// Empty plans (an index outside 0..4) keep every sensor looking along +z, where no two craft can see each
// other both ways: no link, so the rows are exactly the grid of --every plus the last step.
constexpr const char* drifting = R"({"algorithm": 7, "count": 3})";

TEST(RunHistory, RowsHoldTheSetUpTheGridEveryLinkAndTheFinalState)
{
    const TempDir dir;
    std::ofstream(dir.path / "drifting.json") << drifting;
    const std::string drift = (dir.path / "drifting.json").string();
    const struct {
        std::string scenario;
        std::string options;
        std::size_t rows;
    } cases[] = {
        // Steps 0, 7, ..., 994 (143 rows) and the last, 1000.
        {drift, "--steps 1000 --every 7", 144},
        {drift, "--steps 1000 --every 1000", 2},
        {drift, "--steps 1000 --every 5000", 2},
        {drift, "--steps 1000", 1001},
        {drift, "--steps 0 --every 3", 1},
        // 0, 4, 8 and the last, 10, and step 1, where the pair first saw each other.
        {example("facing-pair.json"), "--steps 10 --every 4", 5},
        // The 144 rows of the grid, and the nine steps in which pairs first saw each other (395, 408, 450,
        // 488, 492, 505, 529, 614 and 706, golden numbers of the default scene), none a multiple of 7.
        {example("default-scene.json"), "--steps 1000 --every 7", 153},
    };
    for (const auto& c : cases) {
        const auto plain = runSim("run " + c.scenario + " " + c.options.substr(0, c.options.find(" --every")));
        ASSERT_EQ(plain.exitCode, 0) << plain.err;
        const json result = json::parse(plain.out);
        const auto setUp = runSim("run " + c.scenario + " --steps 0");
        ASSERT_EQ(setUp.exitCode, 0) << setUp.err;

        for (const char* ext : {".csv", ".JSONL"}) {
            const std::string what = c.scenario + " " + c.options + " " + ext;
            const auto file = dir.path / (std::string("history") + ext);
            const auto recorded = runSim("run " + c.scenario + " " + c.options + " --history " + file.string());
            ASSERT_EQ(recorded.exitCode, 0) << what << ": " << recorded.err;
            // The same result to the last bit of every number; only the command line it names differs.
            json withHistory = json::parse(recorded.out);
            json without = result;
            withHistory.erase("command");
            without.erase("command");
            EXPECT_EQ(withHistory, without) << what << ": the result does not depend on --history";

            const std::string text = velmora::test::readFile(file);
            const std::vector<Row> rows = std::string(ext) == ".csv"
                                              ? readCsv(text, static_cast<int>(result["craft"].size()))
                                              : readJsonLines(text);
            ASSERT_EQ(rows.size(), c.rows) << what;
            EXPECT_EQ(rows.front().step, 0) << what;
            EXPECT_EQ(rows.front().time, 0.0) << what;
            expectStateOf(rows.front(), json::parse(setUp.out), what + ", step 0");
            EXPECT_EQ(rows.back().step, result["steps"].get<long>()) << what;
            EXPECT_EQ(rows.back().time, result["time"].get<double>()) << what;
            expectStateOf(rows.back(), result, what + ", last step");

            std::vector<Link> links;
            for (std::size_t k = 0; k < rows.size(); ++k) {
                if (k > 0) {
                    EXPECT_LT(rows[k - 1].step, rows[k].step) << what;
                }
                for (const auto& [i, j, exactTime] : rows[k].links)
                    links.emplace_back(i, j, rows[k].step, rows[k].time, exactTime);
            }
            std::vector<Link> expected;
            for (const json& link : result["links"])
                expected.emplace_back(link["i"].get<int>(), link["j"].get<int>(), link["step"].get<long>(),
                                      link["time"].get<double>(), link["exactTime"].get<double>());
            EXPECT_EQ(links, expected) << what;
        }
    }
}

TEST(RunHistory, RefusesBadOptionsBeforeRunning)
{
    const TempDir dir;
    const std::string scenario = example("facing-pair.json");
    const struct {
        std::string options;
        std::string says;
    } cases[] = {
        {"--history " + (dir.path / "h.txt").string(), "must end in .csv or .jsonl"},
        {"--history " + (dir.path / "h").string(), "must end in .csv or .jsonl"},
        {"--history " + (dir.path / "missing" / "h.csv").string(), "no folder \"" + (dir.path / "missing").string()},
        {"--history " + dir.path.string() + "/h.csv --every 0", "--every"},
        {"--history " + dir.path.string() + "/h.csv --every -3", "--every"},
        {"--history " + dir.path.string() + "/h.csv --every x", "--every"},
        {"--every 5", "--every requires --history"},
        {"--history", "--history"},
    };
    for (const auto& c : cases)
        velmora::test::expectRejected("run " + scenario + " --steps 10 " + c.options, c.says);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path)) << "a refused run writes nothing";
}

// A run that fails, in the simulation or at the history's last byte, leaves the old file as it was and no
// partial one beside it.
TEST(RunHistory, AFailedRunLeavesNoHistoryAndKeepsTheOldFile)
{
    const TempDir dir;
    const auto file = dir.path / "h.jsonl";
    const auto overflowing = dir.path / "overflowing.json";
    std::ofstream(overflowing) << R"({"craft": [{"position": [1.7e308, 0, 0], "velocity": [1e308, 0, 0]}]})";
    std::ofstream(file) << "old history";
    velmora::test::expectRejected("run " + overflowing.string() + " --steps 100 --history " + file.string(),
                                  "after step 100 craft 0");
    {
        const velmora::test::FileSizeCap cap(100000);
        const auto r = runSim("run " + example("default-scene.json") + " --history " + file.string());
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
    }
    // Ctrl-C in the middle of a long run (a background job ignores SIGINT unless told otherwise).
    const auto interrupted = velmora::test::runShell(
        "env --default-signal=INT " + std::string(VELMORA_SIM_EXE) + " run " + example("default-scene.json") +
        " --steps 100000000 --every 1000 --history " + file.string() + " 2>&1 & pid=$!; while ! ls " +
        dir.path.string() + " | grep -q partial; do sleep 0.05; done; sleep 0.2; kill -INT $pid; wait $pid");
    EXPECT_EQ(interrupted.exitCode, 130) << interrupted.out;
    EXPECT_NE(interrupted.out.find("interrupted; the unfinished output file was removed"), std::string::npos)
        << interrupted.out;
    EXPECT_EQ(velmora::test::readFile(file), "old history");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 2) << "no temporary file left";
}

// On a terminal, a history of more than a gigabyte is announced before the run with its size: here ten
// million rows, whose size is worked out from the rows of a short run of the same scenario.
TEST(RunHistory, AHistoryOverAGigabyteIsAnnouncedOnATerminal)
{
    const TempDir dir;
    const auto sample = dir.path / "sample.csv";
    ASSERT_EQ(runSim("run " + example("default-scene.json") + " --steps 99990 --every 10 --history " + sample.string()).exitCode, 0);
    const std::string text = velmora::test::readFile(sample);
    const auto rows = static_cast<double>(std::count(text.begin(), text.end(), '\n') - 1);
    const double bytesPerRow = static_cast<double>(text.size() - text.find('\n') - 1) / rows;

    const auto r = velmora::test::runShell(
        "script -qec 'timeout --preserve-status -s INT 1 " + std::string(VELMORA_SIM_EXE) + " run " +
        example("default-scene.json") + " --steps 100000000 --every 10 --history " + (dir.path / "h.csv").string() +
        "' /dev/null");
    const std::string said = "velmora-sim: --history will take about ";
    const std::size_t at = r.out.find(said);
    ASSERT_NE(at, std::string::npos) << r.out;
    const double gigabytes = std::stod(r.out.substr(at + said.size()));
    EXPECT_NEAR(gigabytes, bytesPerRow * 1e7 / 1e9, 0.05 * gigabytes) << r.out;
    EXPECT_NE(r.out.find("interrupted"), std::string::npos) << r.out;
    EXPECT_FALSE(std::filesystem::exists(dir.path / "h.csv"));
}

}  // namespace
