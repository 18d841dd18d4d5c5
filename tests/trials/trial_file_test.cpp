// Trial files read back and merged without the command line: shards of one run summarize as the unsplit run,
// files of different runs and rows that cannot be are refused, each with its file and line.
#include "trials/batch_run.h"
#include "trials/trial_file_reader.h"
#include "trials/trial_file_writer.h"
#include "trials/trial_merge.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace velmora {
namespace {

namespace fs = std::filesystem;

class TrialFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("velmora-trial-files-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        origin.setup.scenario.algorithm = 0;
        origin.setup.scenario.count = 5;
        origin.setup.scenario.fovDeg = 35;
        origin.setup.seed = 9;
        origin.setup.steps = 900;
        origin.range = {0, 60};
    }
    void TearDown() override { fs::remove_all(dir); }

    // Trials first .. first + count - 1 of the run, as `batch --trials-out name` writes them.
    std::string shard(const std::string& name, std::uint64_t first, std::uint64_t count)
    {
        const std::string path = (dir / name).string();
        TrialFileWriter writer(path);
        runBatch(origin.setup, first, count, 2, [&](std::span<const TrialResult> b) { writer.write(b, origin); }, {});
        writer.commit();
        return path;
    }

    std::string file(const std::string& name, const std::string& text)
    {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    std::string refusal(MergeRequest request)
    {
        try {
            mergeTrialFiles(request);
        } catch (const TrialFileError& e) {
            return e.what();
        }
        return "merged";
    }

    std::string refusal(const std::vector<std::string>& paths) { return refusal(MergeRequest{paths, {}, {}, {}}); }

    fs::path dir;
    TrialOrigin origin;
};

TEST_F(TrialFiles, ShardsInAnyOrderAndFormatSummarizeAsTheUnsplitRun)
{
    const BatchSummary whole = runBatch(origin.setup, 0, 60, 2, {}, {}).summary;
    ASSERT_GT(whole.initialized, 5u);
    ASSERT_LT(whole.initialized, 60u);  // both outcomes occur, so both row forms are read
    const MergedTrials merged =
        mergeTrialFiles({{shard("c.csv", 45, 15), shard("a.csv", 0, 20), shard("b.jsonl", 20, 25)}, {}, {}, {}});
    ASSERT_FALSE(merged.sweep);
    ASSERT_EQ(merged.cells.size(), 1u);
    EXPECT_EQ(merged.cells[0].setup.scenario.fovDeg, 35.0);
    EXPECT_EQ(merged.cells[0].setup.seed, 9u);
    EXPECT_EQ(merged.cells[0].trials, 60u);
    const BatchSummary& m = merged.cells[0].summary;
    EXPECT_EQ(m.initialized, whole.initialized);
    // CSV rows hold times to the step; the merge takes the exact times from their steps again.
    EXPECT_EQ(m.timeToInitialize->mean, whole.timeToInitialize->mean);
    EXPECT_EQ(m.timeToInitialize->p90, whole.timeToInitialize->p90);
    EXPECT_EQ(m.meanLinks, whole.meanLinks);
    EXPECT_EQ(m.meanGroups, whole.meanGroups);
    // CSV rows hold the exact moments to the last bit.
    ASSERT_TRUE(m.gridDelay && whole.gridDelay);
    EXPECT_EQ(m.gridDelay->mean, whole.gridDelay->mean);
    EXPECT_EQ(m.gridDelay->p90, whole.gridDelay->p90);
    EXPECT_EQ(m.trialsWithMissedSightings, whole.trialsWithMissedSightings);
}

TEST_F(TrialFiles, FilesOfAnotherRunAndOptionsThatDisagreeAreRefusedByName)
{
    const std::string a = shard("a.jsonl", 0, 30);
    origin.setup.scenario.fovDeg = 40;
    const std::string b = shard("b.jsonl", 30, 30);
    EXPECT_EQ(refusal({a, b}), "\"" + a + "\" and \"" + b + "\" come from different runs (fovDeg: 35 and 40): merge "
                                                          "the shards of one batch or sweep");
    MergeRequest request{{b}, origin, {}, {}};
    request.options.setup.scenario.count = 6;
    request.given[countKey] = true;
    request.optionNames[countKey] = "--count";
    EXPECT_EQ(refusal(request), "\"" + b + "\", line 1: --count gives count 6, but the row was made with 5");
    request.options.setup.scenario.count = 5;
    request.options.range = {30, 30};
    request.given[firstTrialKey] = request.given[trialsKey] = true;
    EXPECT_EQ(refusal(request), "merged");
}

TEST_F(TrialFiles, MissingAndDoubledTrialsAreNamed)
{
    const std::string a = shard("a.jsonl", 0, 20);
    const std::string b = shard("b.jsonl", 30, 30);
    EXPECT_EQ(refusal({a, b}), "trials 20 to 29 are missing: no file holds them (a shard that did not finish?)");
    EXPECT_EQ(refusal({a, b, a}), "\"" + a + "\", line 1: trial 0 appears twice, here and in \"" + a +
                                      "\", line 1 (two shards overlap, or one file was given twice)");
}

// A row that no run can write: what a hand edit, a cut copy or a file of another program looks like.
TEST_F(TrialFiles, RowsThatCannotBeAreRefusedWithTheFileAndLine)
{
    const std::string header = std::string(trialCsvHeader()) + "\n";
    const std::string made = "Orlo,,5,35,45,10,500,5,9,0,60,,900,grid,";
    const auto row = [&](int trial, const std::string& rest) {
        return made + std::to_string(trial) + "," + std::to_string(trialSeedState(9, trial)) + "," + rest + "\n";
    };
    const std::string good = header + row(0, "false,,,,3,2,0");
    ASSERT_EQ(refusal({file("good.csv", good + row(1, "true,508,5.08,5.0712,4,1,1"))}).rfind("trials 2 to 59 are missing", 0), 0u);
    const struct {
        std::string text, says;
    } cases[] = {
        {good + row(1, "false,,,,-3,2,0"), "line 3: trial 1 has -3 links and 2 groups, impossible for 5 craft"},
        {good + row(1, "true,508,5.08,5.0712,4,2,0"), "line 3: trial 1 is initialized but has 2 groups"},
        {good + row(1, "false,,,,4,1,0"), "line 3: trial 1 did not initialize but has every craft in one group"},
        {good + row(1, "false,,,,11,2,0"), "line 3: trial 1 has 11 links and 2 groups, impossible for 5 craft"},
        {good + row(1, "false,,,,2,2,0"), "line 3: trial 1 has 2 links and 2 groups, impossible for 5 craft"},
        {good + row(1, "true,508,5.07,5.0712,4,1,0"), "line 3: trial 1: the time to initialize is not the time after step 508"},
        {good + row(1, "true,901,9.01,9.0,4,1,0"), "line 3: trial 1 initialized after step 901, past the run's last step 900"},
        // The moment that joined the formation lies within its step: after step 507's end, at or before 508's.
        {good + row(1, "true,508,5.08,5.0805,4,1,0"), "line 3: trial 1: the exact time to initialize is not within step 508"},
        {good + row(1, "true,508,5.08,5.0699,4,1,0"), "line 3: trial 1: the exact time to initialize is not within step 508"},
        {good + row(1, "true,508,5.08,,4,1,0"), "line 3: an initialized trial needs its exactTimeToInitialize"},
        {good + row(1, "false,,,5.07,3,2,0"), "line 3: a trial that did not initialize has no exactTimeToInitialize"},
        {good + row(1, "false,,,,3,2,-1"), "line 3: missedSightings \"-1\" is not a count of 0 or more"},
        {good + row(61, "false,,,,3,2,0"), "line 3: trial 61 lies outside the trials 0 to 59 of its run"},
        {good + made + "1,5,false,,,,3,2,0\n", "line 3: trial 1 has seedState 5, but seed 9 gives it"},
        {good + row(1, "false,,,,3,2,0").substr(0, 40), "line 3: the last row has no line end"},
        {header + "Orlo,,5,95,45,10,500,5,9,0,60,,900,grid,0,1,false,,,,3,2,0\n", "line 2: fovDeg \"95\" is not a cone's"},
        {header + "Orlo,,5,35,45,10,500,5,9,0,60,,900,exact," + row(0, "false,,,,3,2,0").substr(made.size()),
         "line 2: sighting \"exact\" is not a sighting rule (grid or continuous)"},
        {header + "Orlo,,5,35,45,10,500,5,9,0,60,,900,continuous," + row(0, "false,,,,3,2,1").substr(made.size()),
         "line 2: trial 0 has missed sightings, but continuous sighting links every sighting"},
        {"trial,seed\n", "line 1: the header row is not a trial file's"},
    };
    for (const auto& c : cases) {
        const std::string path = file("bad.csv", c.text);
        const std::string said = refusal({path});
        EXPECT_EQ(said.rfind("\"" + path + "\", " + c.says, 0), 0u) << said;
    }
    const std::string jsonl = file("dup.jsonl", R"({"trial":0,"trial":1})" "\n");
    EXPECT_EQ(refusal({jsonl}).rfind("\"" + jsonl + "\", line 1: the row gives the key \"trial\" twice", 0), 0u);

    // Line ends of another system and a byte order mark read as the file means them.
    const std::string crlf = file("crlf.csv", "\xEF\xBB\xBF" + std::string(trialCsvHeader()) + "\r\n" +
                                                  made + "0," + std::to_string(trialSeedState(9, 0)) + ",false,,,,3,2,0\r\n");
    EXPECT_EQ(refusal({crlf}).rfind("trials 1 to 59 are missing", 0), 0u);
}

// Rows written before they recorded the sighting rule, the exact moment and the missed sightings sighted on the
// grid: they merge with today's shards of their run, and the summary says what they cannot tell.
TEST_F(TrialFiles, OlderFilesWithoutSightingsMergeAsGridRuns)
{
    const std::string seed0 = std::to_string(trialSeedState(9, 0));
    const std::string older = file("older.csv",
                                   "algorithm,plan,maxSpeed,fovDeg,tiltDeg,craftRadius,boxHalfSize,count,seed,firstTrial,"
                                   "trials,duration,steps,trial,seedState,initialized,stepsToInitialize,timeToInitialize,"
                                   "links,groups\nOrlo,,5,35,45,10,500,5,9,0,60,,900,0," + seed0 + ",false,,,3,2\n");
    const std::string olderJson = file("older.jsonl",
                                       R"({"algorithm":"Orlo","plan":null,"maxSpeed":5,"fovDeg":35,"tiltDeg":45,)"
                                       R"("craftRadius":10,"boxHalfSize":500,"count":5,"seed":9,"firstTrial":0,"trials":60,)"
                                       R"("duration":null,"steps":900,"trial":1,"seedState":)" + std::to_string(trialSeedState(9, 1)) +
                                       R"(,"initialized":false,"stepsToInitialize":null,"timeToInitialize":null,)"
                                       R"("links":3,"groups":2})" "\n");
    const MergedTrials merged = mergeTrialFiles({{older, olderJson, shard("rest.jsonl", 2, 58)}, {}, {}, {}});
    ASSERT_EQ(merged.cells.size(), 1u);
    EXPECT_EQ(merged.cells[0].setup.sighting, Sighting::Grid);
    EXPECT_EQ(merged.cells[0].summary.trials, 60u);
    EXPECT_FALSE(merged.cells[0].summary.gridDelay);
    EXPECT_FALSE(merged.cells[0].summary.trialsWithMissedSightings);

    const std::string mixed = file("mixed.jsonl", R"({"algorithm":"Orlo","plan":null,"maxSpeed":5,"fovDeg":35,)"
                                                  R"("tiltDeg":45,"craftRadius":10,"boxHalfSize":500,"count":5,"seed":9,)"
                                                  R"("firstTrial":0,"trials":60,"duration":null,"steps":900,"trial":0,"seedState":)" +
                                                      seed0 + R"(,"initialized":false,"stepsToInitialize":null,)"
                                                  R"("timeToInitialize":null,"links":3,"groups":2,"missedSightings":0})" "\n");
    EXPECT_NE(refusal({mixed}).find("needs its sighting rule"), std::string::npos) << refusal({mixed});
}

TEST_F(TrialFiles, OlderFilesWithoutParametersMergeUnderTheRunsOptions)
{
    const std::string older = file("old.csv", "trial,seedState,initialized,stepsToInitialize,timeToInitialize,links,groups\n"
                                              "0," + std::to_string(trialSeedState(9, 0)) + ",false,,,3,2\n");
    EXPECT_NE(refusal({older}).find("does not state the parameters"), std::string::npos);
    MergeRequest request{{older}, origin, {}, {}};
    request.options.range = {0, 1};
    request.given[trialsKey] = true;
    const MergedTrials merged = mergeTrialFiles(request);
    EXPECT_EQ(merged.cells.at(0).summary.trials, 1u);
    request.options.setup.seed = 10;
    EXPECT_NE(refusal(request).find("has seedState"), std::string::npos);
}

}  // namespace
}  // namespace velmora
