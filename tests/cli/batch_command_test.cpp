// velmora-sim batch, replay and sweep, run as a user would.
#include "sim_process.h"
#include "support/tight_disk.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <numeric>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using nlohmann::json;
using velmora::test::readFile;
using velmora::test::runSim;
using velmora::test::SimResult;

class BatchCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = std::filesystem::temp_directory_path() /
               ("velmora-batch-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // Runs and expects success with nothing on stderr: no progress bar when stderr is not a terminal.
    std::string ok(const std::string& args) const
    {
        const SimResult r = runSim(args);
        EXPECT_EQ(r.exitCode, 0) << args << ": " << r.err;
        EXPECT_EQ(r.err, "") << args;
        return r.out;
    }

    std::filesystem::path dir_;
};

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// What two runs of the same trials share: all but the command line and the timing.
json withoutTiming(json summary)
{
    for (const char* key : {"command", "timing"})
        summary.erase(key);
    if (summary.contains("cells"))
        for (json& cell : summary["cells"])
            cell.erase("timing");
    return summary;
}

// Orlo with a 20 degree cone initializes about a third of its formations: both outcomes occur.
const std::string mixed = "--algorithm Orlo --count 6 --fov 20 --seed 11";

TEST_F(BatchCommand, ThreadsAndShardsChangeNeitherTrialsNorSummary)
{
    const std::string base = "batch " + mixed + " --json ";
    const json one = json::parse(ok(base + "--trials 90 --threads 1 --trials-out " + path("all.jsonl")));
    const json five = json::parse(ok(base + "--trials 90 --threads 5 --trials-out " + path("all.csv")));
    EXPECT_EQ(withoutTiming(five), withoutTiming(one));
    EXPECT_EQ(five["timing"]["threads"], 5);
    EXPECT_EQ(lines(readFile(path("all.jsonl"))).size(), 90u);
    // The shards run with other thread counts again; the CSV they add up to is the five-thread one.
    const std::pair<int, int> shards[] = {{0, 25}, {25, 40}, {65, 25}};
    std::string jsonl;
    std::string csv;
    for (const auto& [first, count] : shards) {
        // Zero-padded, as shard file names are: still decimal, never octal.
        char padded[16];
        std::snprintf(padded, sizeof padded, "%06d", first);
        const std::string name = std::string("shard-") + padded;
        const std::string range = std::string(" --first-trial ") + padded + " --trials " + std::to_string(count);
        ok(base + range + " --threads " + std::to_string(1 + first % 3) + " --trials-out " + path(name + ".jsonl"));
        ok(base + range + " --trials-out " + path(name + ".csv"));
        jsonl += readFile(path(name + ".jsonl"));
        // Every CSV shard starts with the header; the merge keeps the first one.
        const std::string part = readFile(path(name + ".csv"));
        csv += first == 0 ? part : part.substr(part.find('\n') + 1);
    }
    // The rows are the same but for the range of the run each names.
    const auto withoutRange = [](std::string text) {
        for (const auto& [from, to] : {std::pair{",0,25,", ",0,90,"}, {",25,40,", ",0,90,"}, {",65,25,", ",0,90,"},
                                       {"\"firstTrial\":25,\"trials\":40", "\"firstTrial\":0,\"trials\":90"},
                                       {"\"firstTrial\":65,\"trials\":25", "\"firstTrial\":0,\"trials\":90"},
                                       {"\"firstTrial\":0,\"trials\":25", "\"firstTrial\":0,\"trials\":90"}})
            for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + 1))
                text.replace(at, std::strlen(from), to);
        return text;
    };
    EXPECT_TRUE(withoutRange(jsonl) == readFile(path("all.jsonl")));
    EXPECT_TRUE(withoutRange(csv) == readFile(path("all.csv")));
}

// Shards by --shard, in either file format and any order, merge into exactly the unsplit run's summary;
// a shard that is missing, doubled or from another batch is named.
TEST_F(BatchCommand, MergedShardsSummarizeAsTheUnsplitRun)
{
    const std::string batch = "batch " + mixed + " --trials 100";
    const json whole = json::parse(ok(batch + " --json --trials-out " + path("whole.jsonl")));
    EXPECT_EQ(whole["velmora"], VELMORA_VERSION);
    EXPECT_EQ(whole["command"].front(), VELMORA_SIM_EXE);
    EXPECT_EQ(whole["command"][1], "batch");
    EXPECT_EQ(whole["command"].size(), 15u);
    std::string concatenated;
    for (int i = 0; i < 3; ++i) {
        const std::string shard = " --shard " + std::to_string(i) + "/3 --trials-out " + path("s" + std::to_string(i));
        ok(batch + shard + ".jsonl");
        ok(batch + shard + ".csv");
        concatenated += readFile(path("s" + std::to_string(i) + ".jsonl"));
    }
    EXPECT_EQ(concatenated, readFile(path("whole.jsonl")));
    // floor(k * 100 / 3): shards of 33, 33 and 34 trials.
    EXPECT_EQ(json::parse(lines(readFile(path("s1.jsonl"))).front())["trial"], 33);
    EXPECT_EQ(json::parse(lines(readFile(path("s2.jsonl"))).front())["trial"], 66);
    EXPECT_EQ(lines(readFile(path("s2.jsonl"))).size(), 34u);

    const std::string merge = "merge " + mixed + " --trials 100 ";
    const std::string jsonl = path("s2.jsonl") + " " + path("s0.jsonl") + " " + path("s1.jsonl");
    const json merged = json::parse(ok(merge + "--json " + jsonl));
    EXPECT_FALSE(merged.contains("timing"));
    EXPECT_EQ(merged["command"][1], "merge");
    EXPECT_EQ(withoutTiming(merged), withoutTiming(whole));
    const std::string csv = path("s0.csv") + " " + path("s1.csv") + " " + path("s2.csv");
    EXPECT_EQ(withoutTiming(json::parse(ok(merge + "--json " + csv))), withoutTiming(whole));
    // The table is the batch's but for its wall time; --output puts it into a file.
    std::string table = ok(batch);
    table.erase(table.find("wall time"));
    ok(merge + csv + " --output " + path("summary.txt"));
    EXPECT_EQ(readFile(path("summary.txt")), table);

    velmora::test::expectRejected(merge + path("s0.jsonl") + " " + path("s2.jsonl"),
                                  "trials 33 to 65 are missing: no file holds them");
    velmora::test::expectRejected(merge + path("s0.csv") + " " + path("s1.csv"), "trials 66 to 99 are missing");
    velmora::test::expectRejected(merge + jsonl + " " + path("s1.csv"),
                                  "\"" + path("s1.csv") + "\", line 2: trial 33 appears twice, here and in \"" +
                                      path("s1.jsonl") + "\", line 1");
    // The files say what made them: merge needs no options, and the ones it is given must agree.
    EXPECT_EQ(withoutTiming(json::parse(ok("merge --json " + jsonl))), withoutTiming(whole));
    velmora::test::expectRejected("merge --seed 12 " + jsonl, "line 1: --seed gives seed 12, but the row was made "
                                                               "with 11");
    velmora::test::expectRejected("merge --count 3 " + jsonl, "--count gives count 3, but the row was made with 6");
    velmora::test::expectRejected("merge --duration 1 " + jsonl, "--duration gives duration 1, but the row was "
                                                                  "made with none");
}

// A sweep run in two shards merges into the unsplit sweep, cell by cell; its rows name their cell.
TEST_F(BatchCommand, MergedSweepShardsSummarizeAsTheUnsplitSweep)
{
    const std::string sweep = "sweep --algorithm HalfTwist,Orlo --fov 25,60 --count 5 --seed 3 --trials 30";
    const json whole = json::parse(ok(sweep + " --json --trials-out " + path("whole.csv")));
    ok(sweep + " --shard 0/2 --trials-out " + path("a.csv"));
    ok(sweep + " --shard 1/2 --trials-out " + path("b.jsonl"));
    const auto rows = lines(readFile(path("whole.csv")));
    ASSERT_EQ(rows.size(), 1u + 4 * 30);
    EXPECT_EQ(rows[31].substr(0, 35), "HalfTwist,,5,60,45,10,500,5,3,0,30,");
    const json merged = json::parse(ok("merge --json " + path("b.jsonl") + " " + path("a.csv")));
    EXPECT_EQ(withoutTiming(merged), withoutTiming(whole));
    velmora::test::expectRejected("merge " + path("a.csv"), "HalfTwist at FOV 25°: trials 15 to 29 are missing");

    // A sweep's file written before rows named their parameters merges under the sweep's options; its rows
    // that no run writes are refused at their line.
    const std::string header =
        "algorithm,fovDeg,trial,seedState,initialized,stepsToInitialize,timeToInitialize,links,groups\n";
    const std::pair<std::string, std::string> bad[] = {
        {header + "Orlo,95,0,1,false,,,0,5\n", "line 2: fovDeg \"95\" is not a cone's half-angle"},
        {header + "Orlo,60,0,1,false,,,0\n", "line 2: a row has 8 fields where the header names 9"},
        {header + "Orlo,60,0,1,true,,,0,5\n", "line 2: an initialized trial needs its stepsToInitialize"},
        {header + std::string(5000, '7') + "\n", "line 2: a row of more than 4096 bytes"},
        {"trial,seedState\n", "line 1: the header row is not a trial file's"},
    };
    for (const auto& [text, says] : bad) {
        std::ofstream(path("bad.csv"), std::ios::trunc) << text;
        velmora::test::expectRejected("merge --count 5 --seed 3 --trials 1 " + path("bad.csv"), says);
    }
}

// A CSV time is the JSON Lines time to the step, and both files name the step itself.
TEST_F(BatchCommand, TrialFilesGiveTheStepAndCsvTimesToTheStep)
{
    ok("batch " + mixed + " --trials 60 --trials-out " + path("t.jsonl"));
    ok("batch " + mixed + " --trials 60 --trials-out " + path("t.csv"));
    const auto exact = lines(readFile(path("t.jsonl")));
    const auto rounded = lines(readFile(path("t.csv")));
    ASSERT_EQ(rounded.size(), exact.size() + 1);
    int initialized = 0;
    for (std::size_t k = 0; k < exact.size(); ++k) {
        const json row = json::parse(exact[k]);
        if (!row["initialized"].get<bool>())
            continue;
        ++initialized;
        const auto steps = row["stepsToInitialize"].get<long>();
        double time = 0.0;
        for (long n = 0; n < steps; ++n)
            time = time + 0.01;
        EXPECT_EQ(row["timeToInitialize"].get<double>(), time) << exact[k];
        char fields[64];
        std::snprintf(fields, sizeof fields, ",%ld,%ld.%02ld,", steps, steps / 100, steps % 100);
        EXPECT_NE(rounded[k + 1].find(fields), std::string::npos) << rounded[k + 1];
    }
    EXPECT_GT(initialized, 5);
}

TEST_F(BatchCommand, SummaryAgreesWithTheTrialFile)
{
    const json summary = json::parse(ok("batch " + mixed + " --trials 150 --json --trials-out " + path("t.jsonl")));
    std::vector<double> times;
    double links = 0;
    for (const std::string& line : lines(readFile(path("t.jsonl")))) {
        const json row = json::parse(line);
        links += row["links"].get<double>();
        if (row["initialized"].get<bool>())
            times.push_back(row["timeToInitialize"].get<double>());
        else
            EXPECT_TRUE(row["timeToInitialize"].is_null());
    }
    ASSERT_GT(times.size(), 10u);
    ASSERT_LT(times.size(), 140u);
    std::sort(times.begin(), times.end());
    EXPECT_EQ(summary["trials"], 150);
    EXPECT_EQ(summary["initialized"], times.size());
    EXPECT_DOUBLE_EQ(summary["initializedFraction"].get<double>(), static_cast<double>(times.size()) / 150);
    EXPECT_EQ(summary["timeToInitialize"]["min"], times.front());
    EXPECT_EQ(summary["timeToInitialize"]["max"], times.back());
    EXPECT_DOUBLE_EQ(summary["meanLinks"].get<double>(), links / 150);
    const auto interval = summary["initializedInterval95"];
    EXPECT_LT(interval[0].get<double>(), summary["initializedFraction"].get<double>());
    EXPECT_GT(interval[1].get<double>(), summary["initializedFraction"].get<double>());
    // Orlo with tilt 45 degrees lasts 5 pi + 5 pi / 4 seconds; the run goes one step past its end.
    EXPECT_EQ(summary["steps"], 1965);

    const std::string table = ok("batch " + mixed + " --trials 150");
    EXPECT_NE(table.find("Orlo, FOV 20°, 6 craft"), std::string::npos) << table;
    EXPECT_NE(table.find("initialized             " + std::to_string(times.size()) + " ("), std::string::npos)
        << table;
    EXPECT_NE(table.find("trials/s"), std::string::npos);
}

// What a batch trial reports, worked out again from the links of a full `velmora-sim run`.
struct Outcome {
    bool initialized = false;
    double time = 0.0;
    // The moment within the joining step at which its links, taken in the order of their exact moments, joined the
    // formation.
    double exactTime = 0.0;
    int links = 0;
    int groups = 0;
};

double joiningMoment(const json& links, int n, long step)
{
    std::vector<int> group(n);
    std::iota(group.begin(), group.end(), 0);
    int groups = n;
    const auto join = [&](const json& link) {
        const int a = group[link["i"].get<int>()];
        const int b = group[link["j"].get<int>()];
        if (a != b) {
            std::replace(group.begin(), group.end(), a, b);
            --groups;
        }
    };
    std::vector<json> last;
    for (const json& link : links) {
        if (link["step"].get<long>() < step)
            join(link);
        else if (link["step"].get<long>() == step)
            last.push_back(link);
    }
    std::stable_sort(last.begin(), last.end(), [](const json& a, const json& b) {
        return a["exactTime"].get<double>() < b["exactTime"].get<double>();
    });
    for (const json& link : last) {
        join(link);
        if (groups == 1)
            return link["exactTime"].get<double>();
    }
    return -1.0;
}

Outcome outcomeFromRun(const json& run)
{
    const int n = static_cast<int>(run["craft"].size());
    std::vector<int> group(n);
    std::iota(group.begin(), group.end(), 0);
    Outcome o;
    o.groups = n;
    const auto& links = run["links"];
    for (std::size_t k = 0; k < links.size(); ++k) {
        const int a = group[links[k]["i"].get<int>()];
        const int b = group[links[k]["j"].get<int>()];
        ++o.links;
        if (a != b) {
            std::replace(group.begin(), group.end(), a, b);
            --o.groups;
        }
        const bool stepEnds = k + 1 == links.size() || links[k + 1]["step"] != links[k]["step"];
        if (o.groups == 1 && stepEnds) {
            o.initialized = true;
            o.time = links[k]["time"].get<double>();
            o.exactTime = joiningMoment(links, n, links[k]["step"].get<long>());
            break;
        }
    }
    return o;
}

TEST_F(BatchCommand, ReplayedTrialsReproduceTheirOutcomesThroughRun)
{
    ok("batch " + mixed + " --trials 12 --trials-out " + path("t.jsonl"));
    int initialized = 0;
    for (const std::string& line : lines(readFile(path("t.jsonl")))) {
        const json row = json::parse(line);
        const std::string trial = std::to_string(row["trial"].get<int>());
        const std::string scenario = path("trial-" + trial + ".json");
        std::ofstream(scenario) << ok("replay " + mixed + " --trial " + trial);
        const json doc = json::parse(readFile(scenario));
        EXPECT_EQ(doc["craft"].size(), 6u);
        EXPECT_EQ(doc["fovDeg"], 20.0);

        const Outcome o = outcomeFromRun(json::parse(ok("run " + scenario)));
        ASSERT_EQ(o.initialized, row["initialized"].get<bool>()) << "trial " << trial;
        EXPECT_EQ(o.links, row["links"]) << "trial " << trial;
        EXPECT_EQ(o.groups, row["groups"]) << "trial " << trial;
        if (o.initialized) {
            EXPECT_EQ(o.time, row["timeToInitialize"].get<double>()) << "trial " << trial;
            EXPECT_EQ(o.exactTime, row["exactTimeToInitialize"].get<double>()) << "trial " << trial;
            ++initialized;
        }
    }
    EXPECT_GT(initialized, 0);
    EXPECT_LT(initialized, 12);
}

TEST_F(BatchCommand, BadOptionsExitTwoWithOneClearLine)
{
    const struct {
        std::string args;
        std::string says;
    } cases[] = {
        {"batch --count 1", "--count"},
        {"batch --count 21", "--count"},
        {"batch --count 2.5", "--count"},
        {"batch --trials 0", "--trials"},
        {"batch --trials -3", "--trials"},
        {"batch --seed 0x10", "--seed"},
        {"batch --seed 18446744073709551616", "too large"},
        {"batch --algorithm Zigzag", "unknown algorithm \"Zigzag\""},
        {"batch --algorithm 5", "unknown algorithm"},
        {"batch --fov nan", "--fov"},
        {"batch --max-speed -1", "--max-speed"},
        {"batch --threads 0", "--threads"},
        {"batch --duration -2", "--duration"},
        {"batch --first-trial 18446744073709551615 --trials 2", "--first-trial"},
        {"batch --trials-out " + path("t.txt"), ".jsonl"},
        {"batch --trials-out " + path("t"), ".csv"},
        {"batch --trials-out " + path("no/such/t.csv"), "cannot create"},
        {"batch --trials 5 --frobnicate", "--frobnicate"},
        {"replay --seed 3", "--trial"},
        {"replay --trial 4 --count 40", "--count"},
        {"sweep --fov 50,wide", "\"wide\""},
        {"sweep --algorithm Orlo,all,Zigzag", "Zigzag"},
#if VELMORA_PLOT
        {"sweep --trials 5 --plot " + path("sweep.gif"), "must end in .png, .svg or .pdf"},
        {"sweep --trials 5 --plot " + path("sweep"), "must end in .png, .svg or .pdf"},
        {"sweep --trials 5 --plot " + path("no/such/sweep.png"), "no folder"},
        {"sweep --trials 5 --plot " + path("sweep.png") + " --plot-size 3.5", "not WIDTHxHEIGHT in inches"},
        {"sweep --trials 5 --plot " + path("sweep.png") + " --plot-size 3.5x", "not WIDTHxHEIGHT in inches"},
        {"sweep --trials 5 --plot " + path("sweep.png") + " --plot-size 3.5x2.6x1", "not WIDTHxHEIGHT"},
        {"sweep --trials 5 --plot " + path("sweep.png") + " --plot-size 0x2", "from 1.5 to 20 inches"},
        {"sweep --trials 5 --plot " + path("sweep.png") + " --plot-size 3.5x-2", "from 1.5 to 20 inches"},
        {"sweep --trials 5 --plot " + path("sweep.png") + " --plot-size 1e9x2", "from 1.5 to 20 inches"},
        {"sweep --trials 5 --plot " + path("sweep.png") + " --plot-size nanx2", "from 1.5 to 20 inches"},
        {"sweep --trials 5 --plot " + path("sweep.png") + " --plot-dpi 0", "--plot-dpi"},
        {"sweep --trials 5 --plot " + path("sweep.png") + " --plot-dpi 72.5", "--plot-dpi"},
        {"sweep --trials 5 --plot " + path("sweep.png") + " --plot-dpi 5000", "--plot-dpi"},
        // 20 by 20 inches at 2400 pixels per inch would be 2.3 billion pixels, 9 GB to draw.
        {"sweep --trials 5 --plot " + path("sweep.png") + " --plot-size 20x20 --plot-dpi 2400",
         "is 2304 million pixels; a PNG plot holds at most 40 million"},
        {"sweep --trials 5 --plot " + path("sweep.pdf") + " --plot-dpi 600", "--plot-dpi sets the resolution of a PNG"},
        {"sweep --trials 5 --plot-size 3x2", "--plot-size sizes a figure: give --plot or --plot-curve too"},
        {"sweep --trials 5 --plot-dpi 300", "--plot-dpi sizes a figure: give --plot or --plot-curve too"},
        // Found before the first trial, not after the whole sweep.
        {"sweep --trials 3000 --plot /proc/velmora-sweep.png", "--plot: cannot create"},
#else
        {"sweep --trials 5 --plot " + path("sweep.png"), "this build of velmora-sim has no plotting"},
#endif
        {"sweep --trials 9223372036854775809 --fov 40,50", "more trials than a sweep can count"},
        {"batch --box 1e308", "not a finite number"},
        {"replay --trial 2 --max-speed 1e308 --box 1e308", "not a finite number"},
        {"batch --tilt 1e300", "--tilt: \"1e300\" is not an angle of a cone"},
        // Options with no physical meaning.
        {"batch --fov -5", "--fov: \"-5\" is not an angle of a cone: it must be more than 0 and less than 90"},
        {"batch --fov 90", "--fov: \"90\" is not an angle of a cone"},
        {"batch --tilt 0", "--tilt: \"0\" is not an angle of a cone"},
        {"sweep --fov 30,95", "--fov: \"95\" is not an angle of a cone"},
        {"replay --trial 1 --fov 0", "--fov: \"0\""},
        {"batch --box 0", "--box: \"0\" is not a finite number more than 0"},
        {"batch --radius -1", "--radius: \"-1\" is not a finite number of 0 or more"},
        // Shards.
        {"batch --trials 10 --shard 3/3", "--shard 3/3: the shard number must be from 0 to N - 1 (0 to 2)"},
        {"batch --trials 10 --shard 0/0", "(N is 0)"},
        {"batch --trials 2 --shard 0/3", "--shard 0/3: 2 trials do not fill 3 shards"},
        {"sweep --shard 1", "give it as I/N"},
        {"batch --shard -1/3", "give it as I/N"},
        {"batch --shard 1/99999999999999999999", "give it as I/N"},
        // Commands.
        {"bogus", "unknown command 'bogus'; the commands are run, batch, replay, sweep, merge"},
        {"bach --trials 3", "unknown command 'bach' (did you mean 'batch'?)"},
        {"batch --trails 3", "unknown option '--trails' of batch (did you mean '--trials'?)"},
        {"sweep --fov 30 --plot-dpu=3", "unknown option '--plot-dpu' of sweep (did you mean '--plot-dpi'?)"},
        {"--bogus batch", "unknown option '--bogus'; give a command first: run, batch"},
        {"merge --trials 10", "files"},
        {"merge --first-trial 5 " + path("none.jsonl"), "--first-trial needs --trials"},
        {"merge --trials 5 " + path("none.jsonl"), "cannot read trial file"},
        {"merge --trials 5 " + path("none.txt"), ".jsonl"},
        {"batch --output " + path("no/such/summary.json"), "--output: cannot create"},
        {"batch --duration 1e300", "--duration is too long"},
        {"batch --algorithm \"$(printf 'x\\033]0;owned\\007')\"", "x\\x1B]0;owned\\x07"},
    };
    for (const auto& c : cases)
        velmora::test::expectRejected(c.args, c.says);
    // Nothing half-written is left behind.
    EXPECT_TRUE(std::filesystem::is_empty(dir_));
}

TEST_F(BatchCommand, TrialFilesNeitherFollowNorDeleteWhatIsBesideThemNorMix)
{
    std::ofstream(path("victim.txt")) << "victim";
    std::filesystem::create_symlink(path("victim.txt"), path("out.csv.partial"));
    std::ofstream(path("keep.csv.partial")) << "mine";
    ok("batch --trials 20 --trials-out " + path("out.csv"));
    ok("batch --trials 20 --trials-out " + path("keep.csv"));
    EXPECT_EQ(readFile(path("victim.txt")), "victim");
    EXPECT_EQ(readFile(path("keep.csv.partial")), "mine");
    EXPECT_EQ(lines(readFile(path("out.csv"))).size(), 21u);

    // Two batches into one file at once: the file is one of them, whole.
    const std::string batch = std::string(VELMORA_SIM_EXE) + " batch --trials 2000 --count 3 --duration 5 --trials-out " +
                              path("both.csv");
    EXPECT_EQ(velmora::test::runShell(batch + " --fov 40 >/dev/null & " + batch + " --fov 50 >/dev/null; wait").exitCode, 0);
    const auto rows = lines(readFile(path("both.csv")));
    ASSERT_EQ(rows.size(), 2001u);
    const auto field = [](const std::string& row, int n) {
        std::size_t start = 0;
        for (int i = 0; i < n; ++i)
            start = row.find(',', start) + 1;
        return row.substr(start, row.find(',', start) - start);
    };
    for (std::size_t k = 1; k < rows.size(); ++k) {
        ASSERT_EQ(field(rows[k], 14), std::to_string(k - 1));
        ASSERT_EQ(field(rows[k], 3), field(rows[1], 3));
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), std::filesystem::directory_iterator()), 6);
}

// Outputs that would replace each other, or what the command reads, are refused before any trial runs: names
// spelled differently, not yet existing or reached through a symlink are still one file.
TEST_F(BatchCommand, OutputsThatAreOneFileOrAnInputAreRefusedAndNothingIsWritten)
{
    ok("batch --trials 4 --trials-out " + path("s0.csv"));
    ok("batch --trials 4 --first-trial 4 --trials-out " + path("s1.csv"));
    std::filesystem::create_symlink(path("s1.csv"), path("link.csv"));
    std::filesystem::create_directories(path("sub"));
    std::ofstream(path("z.png")) << "old";
    std::filesystem::copy_file(VELMORA_EXAMPLES_DIR "/counterexample.json", path("c.json"));
    const std::string s0 = readFile(path("s0.csv"));
    const std::string s1 = readFile(path("s1.csv"));
    const struct {
        std::string args;
        std::string says;
    } cases[] = {
        {"batch --trials 4 --trials-out " + path("x.csv") + " --output " + path("sub/../x.csv"),
         "--trials-out and --output name the same file"},
        {"sweep --trials 4 --output " + path("z.png") + " --plot " + path("z.png"), "--output and --plot name"},
        {"sweep --trials 4 --trials-out " + path("z.csv") + " --output " + path("z.csv"), "--trials-out and --output"},
        {"merge --output " + path("s0.csv") + " " + path("s0.csv") + " " + path("s1.csv"),
         "--output would replace \"" + path("s0.csv") + "\", a trial file this command reads"},
        {"merge --output " + path("link.csv") + " " + path("s0.csv") + " " + path("s1.csv"), "a trial file"},
        {"run " + path("c.json") + " --steps 2 --history " + path("sub/../c.json"),
         "--history would replace \"" + path("sub/../c.json") + "\", the scenario file"},
    };
    for (const auto& c : cases)
        velmora::test::expectRejected(c.args, c.says);
    EXPECT_EQ(readFile(path("s0.csv")), s0);
    EXPECT_EQ(readFile(path("s1.csv")), s1);
    EXPECT_EQ(readFile(path("z.png")), "old");
    EXPECT_FALSE(std::filesystem::exists(path("x.csv")));
    EXPECT_FALSE(std::filesystem::exists(path("z.csv")));
    EXPECT_NE(readFile(path("c.json")).find("counterexample"), std::string::npos);
    // Different files side by side are fine, also when one of them exists already.
    ok("merge --output " + path("merged.txt") + " " + path("s0.csv") + " " + path("s1.csv"));
    ok("merge --output " + path("merged.txt") + " " + path("s0.csv") + " " + path("s1.csv"));
}

// A run stopped by a signal, a file-size limit or a full disk: the old output stays, no temporary file does,
// and the exit code says which.
TEST_F(BatchCommand, AnInterruptedOrFailedRunKeepsTheOldOutput)
{
    const std::string exe = VELMORA_SIM_EXE;
    const auto oldOutputStays = [&](const std::string& dir, const std::string& command, int code,
                                    const std::string& says) {
        for (const char* name : {"t.csv", "sweep.png"})
            std::ofstream(dir + "/" + name) << "old";
        const SimResult r = velmora::test::runShell("(" + command + ") 2>&1");
        EXPECT_EQ(r.exitCode, code) << command << ": " << r.out;
        EXPECT_NE(r.out.find(says), std::string::npos) << command << ": " << r.out;
        EXPECT_EQ(readFile(dir + "/t.csv"), "old") << command;
        EXPECT_EQ(readFile(dir + "/sweep.png"), "old") << command;
        std::vector<std::string> left;
        for (const auto& e : std::filesystem::directory_iterator(dir))
            left.push_back(e.path().filename().string());
        std::sort(left.begin(), left.end());
        EXPECT_EQ(left, (std::vector<std::string>{"filler", "sweep.png", "t.csv"})) << command;
    };
    std::ofstream(path("filler")) << "";
    const std::string endless = exe + " batch --trials 100000000 --threads 1 --trials-out " + path("t.csv");
    const std::string stopWhenWriting = " & pid=$!; while ! ls " + dir_.string() +
                                        " | grep -q partial; do sleep 0.05; done; sleep 0.2; kill -";
    oldOutputStays(dir_.string(), "env --default-signal=INT " + endless + stopWhenWriting + "INT $pid; wait $pid",
                   130, "velmora-sim: interrupted; the unfinished output file was removed");
    oldOutputStays(dir_.string(), endless + stopWhenWriting + "TERM $pid; wait $pid", 143, "terminated; the unfinished");
    oldOutputStays(dir_.string(), "prlimit --fsize=16384 " + exe + " batch --trials 3000 --trials-out " + path("t.csv"),
                   1, "File too large");
    if (VELMORA_PLOT)
        oldOutputStays(dir_.string(), "prlimit --fsize=16384 " + exe + " sweep --trials 10 --plot " + path("sweep.png"),
                       1, "File too large");
    const SimResult full = velmora::test::runShell(exe + " replay --trial 1 2>&1 >/dev/full");
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_NE(full.out.find("No space left on device"), std::string::npos) << full.out;

    const velmora::test::NearlyFullDisk disk;
    VELMORA_NEEDS_NEARLY_FULL_DISK(disk);
    oldOutputStays(disk.dir().string(), exe + " batch --trials 3000 --trials-out " + disk.path("t.csv"), 1,
                   "No space left on device");
    if (VELMORA_PLOT)
        oldOutputStays(disk.dir().string(), exe + " sweep --trials 10 --plot " + disk.path("sweep.png"), 1,
                       "No space left on device");
}

TEST_F(BatchCommand, ThreadsThatCannotStartAreSaidWithHowManyDid)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer needs more address space than the limit leaves";
#endif
    // Stacks of 1 GB in 3 GB of address space: only a few of 64 threads can start.
    const SimResult r = velmora::test::runShell("ulimit -s 1000000 && ulimit -v 3000000 && " +
                                                std::string(VELMORA_SIM_EXE) + " batch --threads 64 --trials 100 2>&1");
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.out.find("could not start 64 worker threads, only "), std::string::npos) << r.out;
}

TEST_F(BatchCommand, SweepCellsMatchTheirBatchesAndThePlotHasTheFormatAndSizeAskedFor)
{
    // Three axes: every cell must be the batch of its parameters run alone, and every two plans that share
    // the other parameters are compared trial by trial, counted here again from the trial file's rows.
    const std::string common = " --count 5 --seed 3 --trials 40 --json";
    const std::string plot = VELMORA_PLOT ? " --plot " + path("sweep.png") : "";
    const json sweep = json::parse(ok("sweep --algorithm HalfTwist,0 --fov 25,60 --max-speed 5,20" + common + plot +
                                      " --trials-out " + path("cells.jsonl")));
    ASSERT_EQ(sweep["cells"].size(), 8u);
    EXPECT_EQ(sweep["count"], 5);
    EXPECT_FALSE(sweep.contains("maxSpeed"));
    EXPECT_EQ(sweep["varying"], json::parse(R"(["algorithm", "fovDeg", "maxSpeed"])"));
    std::map<std::tuple<std::string, double, double>, std::map<int, json>> rowsOf;
    for (const std::string& line : lines(readFile(path("cells.jsonl")))) {
        const json row = json::parse(line);
        rowsOf[{row["algorithm"], row["fovDeg"], row["maxSpeed"]}][row["trial"].get<int>()] = row;
    }
    for (std::size_t k = 0; k < 8; ++k) {
        const json& cell = sweep["cells"][k];
        const std::string algorithm = k < 4 ? "HalfTwist" : "Orlo";
        const double fov = k % 4 < 2 ? 25 : 60;
        const double speed = k % 2 == 0 ? 5 : 20;
        EXPECT_EQ(cell["algorithm"], algorithm);
        EXPECT_EQ(cell["fovDeg"], fov);
        EXPECT_EQ(cell["maxSpeed"], speed);
        const json batch = json::parse(ok("batch --algorithm " + algorithm + " --fov " + std::to_string(int(fov)) +
                                          " --max-speed " + std::to_string(int(speed)) + common));
        for (const char* key : {"initialized", "timeToInitialize", "allTrials", "steps"})
            EXPECT_EQ(cell[key], batch[key]) << k << ' ' << key;
    }
    ASSERT_EQ(sweep["comparisons"].size(), 4u);
    for (const json& c : sweep["comparisons"]) {
        const json& a = sweep["cells"][c["a"].get<std::size_t>()];
        const json& b = sweep["cells"][c["b"].get<std::size_t>()];
        EXPECT_EQ(a["fovDeg"], b["fovDeg"]);
        EXPECT_EQ(a["maxSpeed"], b["maxSpeed"]);
        const auto& rowsA = rowsOf[{a["algorithm"], a["fovDeg"], a["maxSpeed"]}];
        const auto& rowsB = rowsOf[{b["algorithm"], a["fovDeg"], a["maxSpeed"]}];
        ASSERT_EQ(rowsA.size(), 40u);
        int onlyA = 0, onlyB = 0, aFaster = 0, bFaster = 0;
        for (const auto& [trial, ra] : rowsA) {
            const json& rb = rowsB.at(trial);
            const bool ia = ra["initialized"], ib = rb["initialized"];
            onlyA += ia && !ib;
            onlyB += ib && !ia;
            if (ia && ib) {
                aFaster += ra["stepsToInitialize"] < rb["stepsToInitialize"];
                bFaster += rb["stepsToInitialize"] < ra["stepsToInitialize"];
            }
        }
        EXPECT_EQ(c["onlyA"], onlyA);
        EXPECT_EQ(c["onlyB"], onlyB);
        EXPECT_EQ(c["aFaster"], aFaster);
        EXPECT_EQ(c["bFaster"], bFaster);
    }
    if (VELMORA_PLOT) {
        // By default one column of a paper, 3.5 by 3.2 inches at 300 pixels per inch, and 2.2 inches more
        // for each further column of panels (here one per max speed, 5.7 inches); the PNG header holds the
        // width and height big-endian at bytes 16 and 20.
        const auto pngSize = [&](const std::string& png) {
            const auto at = [&](std::size_t k) {
                return (static_cast<unsigned char>(png[k]) << 24) | (static_cast<unsigned char>(png[k + 1]) << 16) |
                       (static_cast<unsigned char>(png[k + 2]) << 8) | static_cast<unsigned char>(png[k + 3]);
            };
            EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
            return png.size() < 24 ? std::pair(0u, 0u) : std::pair(unsigned(at(16)), unsigned(at(20)));
        };
        EXPECT_EQ(pngSize(readFile(path("sweep.png"))), std::pair(1710u, 960u));
        ok("sweep --algorithm 0 --fov 25,60 --count 5 --trials 10 --plot " + path("one.png"));
        EXPECT_EQ(pngSize(readFile(path("one.png"))), std::pair(1050u, 960u));
        ok("sweep --algorithm 0 --fov 25,60 --count 5 --trials 10 --plot " + path("small.PNG") +
           " --plot-size 2x1.5 --plot-dpi 150");
        EXPECT_EQ(pngSize(readFile(path("small.PNG"))), std::pair(300u, 225u));
        ok("sweep --algorithm 0 --fov 25,60 --count 5 --trials 10 --plot " + path("sweep.Pdf"));
        EXPECT_EQ(readFile(path("sweep.Pdf")).substr(0, 5), "%PDF-");
        ok("sweep --algorithm 0 --fov 25,60 --count 5 --trials 10 --plot " + path("sweep.svg"));
        EXPECT_NE(readFile(path("sweep.svg")).find("<svg"), std::string::npos);
    }

    const std::string table = ok("sweep --algorithm all --fov 60 --count 5 --seed 3 --trials 10");
    const auto rows = lines(table);
    // Heading, blank line, header, rule, one row per algorithm; then the comparisons of the ten pairs.
    ASSERT_EQ(rows.size(), 9u + 4u + 2u + 10u) << table;
    EXPECT_EQ(rows[2].rfind("| algorithm", 0), 0u);
    EXPECT_NE(rows[8].find("WaitAndCheck"), std::string::npos);
    EXPECT_EQ(rows[13].rfind("| FOV (°) | A ", 0), 0u) << table;
}

// A plan file races in a sweep beside the built-ins: their cells are the plain sweep's exactly, and the file
// that states Half-Twist's table gives Half-Twist's numbers under its own name and identity.
TEST_F(BatchCommand, APlanFileRacesBesideTheBuiltInsWithoutChangingThem)
{
    const std::string common = " --fov 30,60 --count 5 --seed 4 --trials 30 --json";
    const std::string file = std::string(VELMORA_PLANS_DIR) + "/half-twist.plan.json";
    const json raced = json::parse(ok("sweep --algorithm Orlo," + file + common));
    const json plain = json::parse(ok("sweep --algorithm Orlo,HalfTwist" + common));
    ASSERT_EQ(raced["cells"].size(), 4u);
    const auto results = [](json cell) {
        for (const char* key : {"timing", "algorithm", "plan"})
            cell.erase(key);
        return cell;
    };
    for (std::size_t k = 0; k < 4; ++k)
        EXPECT_EQ(results(raced["cells"][k]), results(plain["cells"][k])) << k;
    EXPECT_EQ(withoutTiming(raced["cells"][0]), withoutTiming(plain["cells"][0]));
    EXPECT_EQ(raced["cells"][2]["algorithm"], "HalfTwist");
    EXPECT_EQ(raced["cells"][2]["plan"].get<std::string>().size(), 64u);
    EXPECT_TRUE(plain["cells"][2]["plan"].is_null());
    EXPECT_EQ(raced["comparisons"], plain["comparisons"]);
}

// A figure's file holds the command that made it and every cell's parameters: run again, that command
// draws the very same file. The caption names what every panel shares.
TEST_F(BatchCommand, AFigureSaysWhatMadeItAndItsCommandMakesItAgain)
{
    if (!VELMORA_PLOT)
        GTEST_SKIP() << "built without plotting";
    ok("sweep --algorithm Orlo,Simple --fov 30,45 --max-speed 2,20 --count 4 --trials 12 --plot " + path("fig.svg") +
       " --plot-curve " + path("curves.svg"));
    const auto metadataOf = [&](const std::string& file) {
        const std::string svg = readFile(path(file));
        const std::string open = "<metadata id=\"velmora\">";
        const std::size_t from = svg.find(open);
        const std::size_t to = svg.find("</metadata>");
        EXPECT_NE(from, std::string::npos) << file;
        std::string text = from == std::string::npos ? "{}" : svg.substr(from + open.size(), to - from - open.size());
        for (const auto& [entity, c] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}})
            for (std::size_t at; (at = text.find(entity)) != std::string::npos;)
                text.replace(at, std::string(entity).size(), c);
        return json::parse(text);
    };
    const json figure = metadataOf("fig.svg");
    EXPECT_EQ(figure["figure"], "sweep");
    EXPECT_EQ(figure["x"], "fovDeg");
    EXPECT_EQ(figure["panels"], json::parse(R"(["maxSpeed"])"));
    ASSERT_EQ(figure["cells"].size(), 8u);
    EXPECT_EQ(figure["cells"][7]["maxSpeed"], 20);
    EXPECT_EQ(figure["cells"][7]["algorithm"], "Simple");
    EXPECT_EQ(metadataOf("curves.svg")["panels"], json::parse(R"(["fovDeg", "maxSpeed"])"));
    EXPECT_NE(readFile(path("fig.svg")).find("4 craft, tilt 45°, craft radius 10, box ±500; trials 0 to 11 of seed 1"),
              std::string::npos);

    std::filesystem::rename(path("fig.svg"), path("first.svg"));
    std::string again;
    for (std::size_t k = 1; k < figure["command"].size(); ++k)
        again += (k > 1 ? " " : "") + figure["command"][k].get<std::string>();
    ok(again);
    EXPECT_EQ(readFile(path("fig.svg")), readFile(path("first.svg")));

    // Refused before any trial runs: an x that is no parameter, more parameters than a grid has sides.
    velmora::test::expectRejected("sweep --fov 30,45 --x speed --plot " + path("x.svg"),
                                  "--x \"speed\": give the parameter to plot against");
    velmora::test::expectRejected(
        "sweep --fov 30,45 --tilt 20,40 --count 4,5 --max-speed 2,20 --trials 100000000 --plot " + path("x.svg"),
        "--plot: the cells vary in tiltDeg, count and maxSpeed besides --x fovDeg; a figure spreads at most two");
    velmora::test::expectRejected("sweep --fov 30,45 --plot-size 3x3", "--plot-size sizes a figure: give --plot");
    EXPECT_FALSE(std::filesystem::exists(path("x.svg")));
}

TEST_F(BatchCommand, ProgressBarOnlyOnATerminal)
{
    // Every other test checks that stderr stays empty when it is a file. `script` runs the program on a
    // pseudo-terminal, for stdout and stderr alike.
    const std::string command = "script -qec '" + std::string(VELMORA_SIM_EXE) +
                                " batch --count 20 --fov 20 --trials 300 --threads 1' /dev/null";
    const SimResult r = velmora::test::runShell(command);
    const std::string& terminal = r.out;
    ASSERT_EQ(r.exitCode, 0) << terminal;
    EXPECT_NE(terminal.find("/300 trials"), std::string::npos) << terminal;
    EXPECT_NE(terminal.find(" left"), std::string::npos) << terminal;
    EXPECT_NE(terminal.find("trials                  300"), std::string::npos) << terminal;
}

}  // namespace
