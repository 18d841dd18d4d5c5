// Trial files read back and merged without the command line: shards of one batch summarize as the unsplit
// run, and every bad row or range is named with its file and line.
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
        setup.scenario.algorithm = 0;
        setup.scenario.count = 5;
        setup.scenario.fovDeg = 35;
        setup.seed = 9;
        setup.steps = 900;
    }
    void TearDown() override { fs::remove_all(dir); }

    // Trials first .. first + count - 1 of the batch, as `batch --trials-out name` writes them.
    std::string shard(const std::string& name, std::uint64_t first, std::uint64_t count)
    {
        const std::string path = (dir / name).string();
        TrialFileWriter writer(path);
        runBatch(setup, first, count, 2, [&](std::span<const TrialResult> block) { writer.write(block); }, {});
        writer.commit();
        return path;
    }

    std::string file(const std::string& name, const std::string& text)
    {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    std::string refusal(const std::vector<std::string>& paths, TrialSpan whole)
    {
        try {
            mergeTrialFiles(paths, setup, setup.steps, whole);
        } catch (const TrialFileError& e) {
            return e.what();
        }
        return "merged";
    }

    fs::path dir;
    TrialSetup setup;
};

TEST_F(TrialFiles, ShardsInAnyOrderAndFormatSummarizeAsTheUnsplitRun)
{
    const BatchSummary whole = runBatch(setup, 0, 60, 2, {}, {}).summary;
    ASSERT_GT(whole.initialized, 5u);
    ASSERT_LT(whole.initialized, 60u);  // both outcomes occur, so both row forms are read
    const std::vector<std::string> shards{shard("c.csv", 45, 15), shard("a.csv", 0, 20), shard("b.jsonl", 20, 25)};
    const MergedTrials merged = mergeTrialFiles(shards, setup, setup.steps, {0, 60});
    ASSERT_FALSE(merged.sweep);
    ASSERT_EQ(merged.cells.size(), 1u);
    const BatchSummary& m = merged.cells[0].summary;
    EXPECT_EQ(m.trials, whole.trials);
    EXPECT_EQ(m.initialized, whole.initialized);
    // CSV rows hold times to the step; the merge takes the exact times from their steps again.
    EXPECT_EQ(m.timeToInitialize->mean, whole.timeToInitialize->mean);
    EXPECT_EQ(m.timeToInitialize->p90, whole.timeToInitialize->p90);
    EXPECT_EQ(m.meanLinks, whole.meanLinks);
    EXPECT_EQ(m.meanGroups, whole.meanGroups);
}

TEST_F(TrialFiles, MissingDoubledAndForeignTrialsAreNamed)
{
    const std::string a = shard("a.jsonl", 0, 20);
    const std::string b = shard("b.jsonl", 30, 30);
    EXPECT_EQ(refusal({a, b}, {0, 60}), "trials 20 to 29 are missing: no file holds them (a shard that did not "
                                        "finish?)");
    EXPECT_NE(refusal({a, b, a}, {0, 60}).find("trials 0 to 19 appear twice"), std::string::npos);
    EXPECT_NE(refusal({a}, {0, 10}).find("outside the trials 0 to 9"), std::string::npos);
    setup.seed = 10;
    EXPECT_NE(refusal({a}, {0, 20}).find("line 1: trial 0 has seedState"), std::string::npos);
}

TEST_F(TrialFiles, MalformedRowsAreRefusedWithTheFileAndLine)
{
    const std::string header = "trial,seedState,initialized,stepsToInitialize,timeToInitialize,links,groups\n";
    const std::string good = header + "0," + std::to_string(trialSeedState(9, 0)) + ",false,,,1,4\n";
    const struct {
        std::string name, text, says;
    } cases[] = {
        {"h.csv", "trial,seed\n", "line 1: the header row is not a trial file's"},
        {"f.csv", good + "1,2,false,,,1\n", "line 3: a row has 6 fields where the header names 7"},
        {"s.csv", good + "1,2,true,,,4,1\n", "line 3: an initialized trial needs its stepsToInitialize"},
        {"k.jsonl", R"({"trial":0,"speed":1})" "\n", "line 1: unknown key 'speed' in a trial row"},
        {"o.jsonl", "[1,2]\n", "line 1: a row that is not a JSON object"},
    };
    for (const auto& c : cases) {
        const std::string path = file(c.name, c.text);
        EXPECT_EQ(refusal({path}, {0, 2}).rfind("\"" + path + "\", " + c.says, 0), 0u) << refusal({path}, {0, 2});
    }
}

}  // namespace
}  // namespace velmora
