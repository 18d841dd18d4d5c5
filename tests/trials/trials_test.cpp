// The Monte Carlo engine without the command line: seeds, trials, threads, blocks, statistics, trial files.
#include "scenario/scenario_run.h"
#include "trials/batch_run.h"
#include "trials/batch_runner.h"
#include "trials/batch_statistics.h"
#include "trials/sample_statistics.h"
#include "trials/step_clock.h"
#include "trials/trial_file_writer.h"
#include "trials/trial_parameters.h"
#include "trials/trial_runner.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

namespace velmora {

bool operator==(const TrialResult& a, const TrialResult& b)
{
    return a.trial == b.trial && a.seedState == b.seedState && a.initialized == b.initialized &&
           a.timeToInitialize == b.timeToInitialize && a.links == b.links && a.groups == b.groups;
}

namespace {

std::string readFile(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TrialSetup setupFor(int algorithm, int count, double fovDeg, std::optional<std::int64_t> steps = {})
{
    TrialSetup s;
    s.scenario.algorithm = algorithm;
    s.scenario.count = count;
    s.scenario.fovDeg = fovDeg;
    s.seed = 42;
    s.steps = trialSteps(s.scenario, steps);
    return s;
}

std::vector<TrialResult> collect(const TrialSetup& setup, std::uint64_t first, std::uint64_t trials, int threads,
                                 std::uint64_t blockSize = BatchRunner::defaultBlockSize)
{
    std::vector<TrialResult> all;
    BatchRunner(setup, threads, blockSize).run(first, trials, [&](std::span<const TrialResult> block) {
        all.insert(all.end(), block.begin(), block.end());
    });
    return all;
}

TEST(TrialSeed, IsTheLow32BitsOfSplitmix64)
{
    // splitmix64's first output from state 0 is 0xE220A8397B1DCDAF (Vigna's reference generator).
    EXPECT_EQ(trialSeedState(0, 0), 0x7B1DCDAFu);
    // Trial k of seed S is the (k+1)-th output from state S: trial 1 of seed 0 is its second output.
    EXPECT_EQ(trialSeedState(0, 1), 0xA1B965F4u);  // of 0x6E789E6AA1B965F4
    EXPECT_NE(trialSeedState(1, 0), trialSeedState(2, 0));
}

TEST(TrialRunner, StopsAtTheStepThatMakesOneGroupAndReportsTheTimeAfterIt)
{
    const TrialSetup setup = setupFor(0, 6, 70);
    TrialRunner runner(setup);
    int checked = 0;
    for (std::uint64_t trial = 0; trial < 20; ++trial) {
        const TrialResult r = runner.run(trial);
        EXPECT_EQ(r.seedState, trialSeedState(setup.seed, trial));
        // Step the same formation by hand, without stopping.
        Formation f;
        setUpTrial(setup, trial, f);
        std::optional<double> firstOneGroup;
        for (std::int64_t k = 0; k < setup.steps && !firstOneGroup; ++k) {
            f.step(stepSeconds);
            if (f.allInOneGroup())
                firstOneGroup = f.time();
        }
        ASSERT_EQ(r.initialized, firstOneGroup.has_value()) << trial;
        if (r.initialized) {
            EXPECT_EQ(r.timeToInitialize, *firstOneGroup) << trial;
            EXPECT_EQ(r.groups, 1);
            EXPECT_GE(r.links, 5);  // six craft in one group need at least five links
            ++checked;
        }
    }
    EXPECT_GT(checked, 10);
}

TEST(TrialRunner, AFormationThatNeverInitializesRunsEveryStep)
{
    // Empty plans never turn the craft: with a narrow cone almost no pair ever sees each other.
    const TrialSetup setup = setupFor(-1, 4, 5, 300);
    const TrialResult r = TrialRunner(setup).run(3);
    EXPECT_FALSE(r.initialized);
    EXPECT_GT(r.groups, 1);
}

TEST(ReplayScenario, SetsUpTheTrialsFormationFromAnySequence)
{
    const TrialSetup setup = setupFor(3, 8, 55);
    const Scenario replay = replayScenario(setup, 17);
    ASSERT_EQ(replay.craft.size(), 8u);
    Formation expected;
    setUpTrial(setup, 17, expected);
    Formation actual;
    Rand15 otherSequence(12345);
    setUpFormation(replay, actual, otherSequence);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(actual.spacecraft(i).position, expected.spacecraft(i).position);
        EXPECT_EQ(actual.spacecraft(i).velocity, expected.spacecraft(i).velocity);
    }
    EXPECT_EQ(actual.plan(1).totalDuration(), expected.plan(1).totalDuration());
}

TEST(BatchRunner, ResultsDoNotDependOnThreadsBlocksOrShards)
{
    const TrialSetup setup = setupFor(1, 5, 40, 400);
    const auto reference = collect(setup, 0, 240, 1);
    ASSERT_EQ(reference.size(), 240u);
    for (std::uint64_t i = 0; i < reference.size(); ++i)
        ASSERT_EQ(reference[i].trial, i);
    EXPECT_EQ(collect(setup, 0, 240, 2), reference);
    EXPECT_EQ(collect(setup, 0, 240, 5), reference);
    // Blocks smaller than the thread count, and a last block that is cut short.
    EXPECT_EQ(collect(setup, 0, 240, 3, 7), reference);
    // Shards, each with its own thread count.
    auto sharded = collect(setup, 0, 100, 2, 33);
    const auto rest = collect(setup, 100, 140, 3);
    sharded.insert(sharded.end(), rest.begin(), rest.end());
    EXPECT_EQ(sharded, reference);
}

TEST(BatchRunner, ReportsProgressUpToEveryTrial)
{
    const TrialSetup setup = setupFor(0, 3, 70, 50);
    std::uint64_t last = 0;
    bool monotonic = true;
    BatchRunner(setup, 2, 16).run(
        5, 50, [](std::span<const TrialResult>) {},
        [&](std::uint64_t done) {
            monotonic = monotonic && done >= last;
            last = done;
        });
    EXPECT_TRUE(monotonic);
    EXPECT_EQ(last, 50u);
}

TEST(SampleStatistics, WilsonIntervalMatchesPublishedValues)
{
    // Newcombe (1998), Statistics in Medicine 17:857, the score interval without continuity correction.
    const struct {
        std::uint64_t successes, trials;
        double low, high;
    } cases[] = {{81, 263, 0.2553, 0.3662}, {15, 148, 0.0624, 0.1605}, {0, 20, 0.0, 0.1611}, {1, 29, 0.0061, 0.1718}};
    for (const auto& c : cases) {
        const ProportionInterval ci = wilsonInterval(c.successes, c.trials);
        EXPECT_NEAR(ci.low, c.low, 5e-5) << c.successes << "/" << c.trials;
        EXPECT_NEAR(ci.high, c.high, 5e-5) << c.successes << "/" << c.trials;
    }
    EXPECT_EQ(wilsonInterval(0, 10).low, 0.0);
    EXPECT_EQ(wilsonInterval(10, 10).high, 1.0);
    EXPECT_NEAR(wilsonInterval(10, 10).low, 0.7225, 5e-5);
    // Symmetric about one half.
    EXPECT_NEAR(wilsonInterval(5, 10).low + wilsonInterval(5, 10).high, 1.0, 1e-15);
}

TEST(SampleStatistics, PercentilesInterpolateBetweenOrderStatistics)
{
    const std::vector<double> odd{1, 2, 3, 4, 5};
    const std::vector<double> even{10, 20, 30, 40};
    EXPECT_EQ(percentile(odd, 0.5), 3.0);
    EXPECT_EQ(percentile(even, 0.5), 25.0);
    EXPECT_DOUBLE_EQ(percentile(odd, 0.9), 4.6);
    EXPECT_DOUBLE_EQ(percentile(even, 0.9), 37.0);
    EXPECT_EQ(percentile(odd, 0.0), 1.0);
    EXPECT_EQ(percentile(odd, 1.0), 5.0);
    EXPECT_EQ(percentile(std::vector<double>{7}, 0.9), 7.0);
}

TEST(BatchStatistics, SummarizesCountsTimesAndMeans)
{
    BatchStatistics stats;
    const double times[] = {4.0, 1.0, 3.0, 2.0};
    // The moments each step joined its formation: 4 ms, 0.1 ms, 9.9 ms and 2 ms before the step's end.
    const double delays[] = {0.004, 0.0001, 0.0099, 0.002};
    for (int k = 0; k < 4; ++k)
        stats.add({static_cast<std::uint64_t>(k), 0, true, 100 * k, times[k], 6, 1, times[k] - delays[k], k == 1 ? 2 : 0});
    stats.add({4, 0, false, 0, 0.0, 2, 4, 0.0, 1});
    const BatchSummary s = stats.summary(1000);
    EXPECT_EQ(s.trials, 5u);
    EXPECT_EQ(s.initialized, 4u);
    EXPECT_EQ(s.initializedFraction, 0.8);
    EXPECT_EQ(s.initializedInterval.low, wilsonInterval(4, 5).low);
    ASSERT_TRUE(s.timeToInitialize);
    EXPECT_EQ(s.timeToInitialize->min, 1.0);
    EXPECT_EQ(s.timeToInitialize->p25, 1.75);
    EXPECT_EQ(s.timeToInitialize->median, 2.5);
    EXPECT_EQ(s.timeToInitialize->p75, 3.25);
    EXPECT_DOUBLE_EQ(s.timeToInitialize->p90, 3.7);
    EXPECT_EQ(s.timeToInitialize->max, 4.0);
    EXPECT_EQ(s.timeToInitialize->mean, 2.5);
    EXPECT_DOUBLE_EQ(s.meanLinks, 26.0 / 5);
    EXPECT_DOUBLE_EQ(s.meanGroups, 8.0 / 5);
    // Delays of 100, 2000, 4000 and 9900 microseconds.
    ASSERT_TRUE(s.gridDelay);
    EXPECT_EQ(s.gridDelay->min, 1e-6 * 100);
    EXPECT_EQ(s.gridDelay->p25, 1e-6 * 1525);
    EXPECT_EQ(s.gridDelay->median, 1e-6 * 3000);
    EXPECT_EQ(s.gridDelay->max, 1e-6 * 9900);
    EXPECT_EQ(s.gridDelay->mean, 1e-6 * 4000);
    EXPECT_EQ(s.trialsWithMissedSightings, 2u);

    // A row of an older file, which recorded neither: neither is known for the whole.
    stats.add({5, 0, true, 100, 1.0, 6, 1, 0.0, 0, false});
    EXPECT_FALSE(stats.summary(1000).gridDelay);
    EXPECT_FALSE(stats.summary(1000).trialsWithMissedSightings);
    EXPECT_EQ(stats.summary(1000).timeToInitialize->min, 1.0);

    BatchStatistics none;
    none.add({0, 0, false, 0, 0.0, 0, 3});
    EXPECT_FALSE(none.summary(1000).timeToInitialize);
    EXPECT_FALSE(none.summary(1000).gridDelay);
    EXPECT_EQ(none.summary(1000).trialsWithMissedSightings, 0u);
    EXPECT_EQ(none.summary(1000).initializedInterval.low, 0.0);
}

// Every trial counts, a formation that never initialized as not initialized by the run's end (the time
// after 1000 steps, a hair below 10 s). Worked out by hand from the sorted times 2 2 3 5 7 8 and four that
// never initialized: half are initialized by the 5th time, 7; for ten trials the median's interval runs from
// the 2nd to the 9th order statistic, and the 9th never came.
TEST(BatchStatistics, TimesOverAllTrialsCountTheFormationsThatNeverInitialize)
{
    const double end = StepClock().timeAfter(1000);
    const auto summarize = [](std::initializer_list<double> times, int never) {
        BatchStatistics stats;
        std::uint64_t trial = 0;
        for (const double t : times)
            stats.add({trial++, 0, true, static_cast<std::int64_t>(100 * t), t, 5, 1});
        for (int k = 0; k < never; ++k)
            stats.add({trial++, 0, false, 0, 0.0, 2, 4});
        return stats.summary(1000).allTrials;
    };
    const AllTrialTimes some = summarize({7, 2, 8, 3, 2, 5}, 4);
    EXPECT_EQ(some.runEnd, end);
    EXPECT_EQ(some.median, 7.0);
    ASSERT_TRUE(some.medianIntervalExists);
    EXPECT_EQ(some.medianLow, 2.0);
    EXPECT_EQ(some.medianHigh, std::nullopt);
    EXPECT_DOUBLE_EQ(some.restrictedMean, (27.0 + 4 * end) / 10);
    EXPECT_EQ(some.initializedBy, (std::vector<std::pair<double, double>>{{5.0, 0.4}, {end, 0.6}}));

    const AllTrialTimes none = summarize({}, 8);
    EXPECT_EQ(none.median, std::nullopt);
    EXPECT_TRUE(none.medianIntervalExists);
    EXPECT_EQ(none.medianLow, std::nullopt);
    EXPECT_EQ(none.restrictedMean, end);

    const AllTrialTimes all = summarize({6, 1, 5, 2, 4, 3}, 0);
    EXPECT_EQ(all.median, 3.0);
    EXPECT_EQ(all.medianLow, 1.0);
    EXPECT_EQ(all.medianHigh, 6.0);
    EXPECT_EQ(all.restrictedMean, 3.5);
    EXPECT_FALSE(summarize({1, 2, 3, 4, 5}, 0).medianIntervalExists);
    // Three of seven is fewer than half: not reached, though the third time is known.
    EXPECT_EQ(summarize({1, 2, 3}, 4).median, std::nullopt);
}

// Ranks and p-values against SciPy's binom.cdf and binomtest on the same counts.
TEST(SampleStatistics, MedianRanksAndBinomialPValuesMatchScipy)
{
    const std::pair<std::uint64_t, std::optional<std::uint64_t>> ranks[] = {
        {5, std::nullopt}, {6, 1}, {10, 2}, {100, 40}, {1000, 469}, {1000001, 499021}};
    for (const auto& [n, rank] : ranks)
        EXPECT_EQ(medianIntervalRank(n), rank) << n;
    const struct {
        std::uint64_t k, n;
        double p;
    } tests[] = {{0, 0, 1.0}, {0, 1, 1.0}, {3, 10, 0.34375}, {5, 10, 1.0}, {0, 12, 0.00048828125},
                 {40, 100, 0.05688793364098088}, {7, 30, 0.005222879350185395}, {12, 13, 0.00341796875},
                 {1000, 2100, 0.030720707864242486}};
    for (const auto& t : tests)
        EXPECT_NEAR(binomialTestP(t.k, t.n), t.p, 1e-12 * t.p + 1e-15) << t.k << " of " << t.n;
}

// The quartiles of a histogram with repeated times, worked out by hand from the sorted times
// 1 1 2 3 5 5 8 9: rank 7·0.25 = 1.75 lies between 1 and 2, rank 7·0.75 = 5.25 between 5 and 8.
TEST(BatchStatistics, QuartilesInterpolateBetweenTheHistogramsRanks)
{
    BatchStatistics stats;
    std::uint64_t trial = 0;
    for (const double time : {5.0, 1.0, 9.0, 3.0, 1.0, 8.0, 2.0, 5.0})
        stats.add({trial++, 0, true, static_cast<std::int64_t>(100 * time), time, 1, 1});
    const TimeSpread t = *stats.summary(1000).timeToInitialize;
    EXPECT_EQ(t.p25, 1.75);
    EXPECT_EQ(t.median, 4.0);
    EXPECT_EQ(t.p75, 5.75);
    EXPECT_EQ(t.p90, 8.3);
}

// A million trials that initialize at a few hundred different steps: the summary is the one of the sorted
// times to the last bit, and the statistics grow with the steps, not with the trials.
TEST(BatchStatistics, ExactPercentilesInMemoryBoundedByTheSteps)
{
    std::vector<double> timeAfter(400);
    for (std::size_t k = 1; k < timeAfter.size(); ++k)
        timeAfter[k] = timeAfter[k - 1] + stepSeconds;
    Rand15 rng(7);
    std::vector<double> sorted;
    BatchStatistics stats;
    std::size_t allocatedBefore = 0;
    for (std::uint64_t trial = 0; trial < 1'000'000; ++trial) {
        const int draw = rng.next();
        const bool initialized = draw % 3 != 0;
        const double time = timeAfter[1 + static_cast<std::size_t>(draw) % 399];
        if (initialized && trial < 100'000)
            sorted.push_back(time);
        stats.add({trial, 0, initialized, 0, initialized ? time : 0.0, 3, 1});
        if (trial + 1 == 100'000) {
            std::sort(sorted.begin(), sorted.end());
            double sum = 0.0;
            for (const double t : sorted)
                sum += t;
            const auto t = *stats.summary(1000).timeToInitialize;
            EXPECT_EQ(t.min, sorted.front());
            EXPECT_EQ(t.p25, percentile(sorted, 0.25));
            EXPECT_EQ(t.median, percentile(sorted, 0.5));
            EXPECT_EQ(t.p75, percentile(sorted, 0.75));
            EXPECT_EQ(t.p90, percentile(sorted, 0.9));
            EXPECT_EQ(t.max, sorted.back());
            EXPECT_EQ(t.mean, sum / static_cast<double>(sorted.size()));
            sorted = {};
            sorted.shrink_to_fit();
            allocatedBefore = ::mallinfo2().uordblks;
        }
    }
    // 600,000 more initialized trials would have kept almost 5 MB of times.
    EXPECT_LT(::mallinfo2().uordblks - allocatedBefore, 64u * 1024);
}

TEST(TrialFileWriter, RowsNameTheirParametersInCsvOrJsonLinesAndAppearOnlyAtCommit)
{
    const auto dir = std::filesystem::temp_directory_path() / ("velmora-trials-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const TrialResult rows[] = {{7, 123, true, 508, 5.079999999999936, 6, 1, 5.071234567890124},
                                {8, 456, false, 0, 0.0, 9, 3, 0.0, 2}};
    TrialOrigin origin;
    origin.setup.scenario.algorithm = 3;
    origin.setup.scenario.count = 8;
    origin.setup.scenario.fovDeg = 62.5;
    origin.setup.seed = 9;
    origin.setup.steps = 1200;
    origin.range = {0, 10};

    const auto csv = dir / "t.CSV";
    {
        TrialFileWriter w(csv.string());
        w.write(rows, origin);
        EXPECT_FALSE(std::filesystem::exists(csv)) << "visible before the run is complete";
        w.commit();
    }
    // CSV times to the step: a CSV reader gets 5.08 where the exact sum of 508 steps is a hair below.
    // The exact moment within the step is no step's time, so it is written to the last bit.
    EXPECT_EQ(readFile(csv), "algorithm,plan,maxSpeed,fovDeg,tiltDeg,craftRadius,boxHalfSize,count,seed,firstTrial,"
                             "trials,duration,steps,sighting,trial,seedState,initialized,stepsToInitialize,"
                             "timeToInitialize,exactTimeToInitialize,links,groups,missedSightings\n"
                             "HalfTwist,,5,62.5,45,10,500,8,9,0,10,,1200,grid,7,123,true,508,5.08,5.071234567890124,6,1,0\n"
                             "HalfTwist,,5,62.5,45,10,500,8,9,0,10,,1200,grid,8,456,false,,,,9,3,2\n");

    const auto jsonl = dir / "t.jsonl";
    {
        TrialFileWriter w(jsonl.string());
        w.write(rows, origin);
        w.commit();
    }
    const std::string parameters = "{\"algorithm\":\"HalfTwist\",\"plan\":null,\"maxSpeed\":5.0,\"fovDeg\":62.5,\"tiltDeg\":45.0,"
                                   "\"craftRadius\":10.0,\"boxHalfSize\":500.0,\"count\":8,\"seed\":9,\"firstTrial\":0,"
                                   "\"trials\":10,\"duration\":null,\"steps\":1200,\"sighting\":\"grid\",";
    EXPECT_EQ(readFile(jsonl), parameters +
                                   "\"trial\":7,\"seedState\":123,\"initialized\":true,\"stepsToInitialize\":508,"
                                   "\"timeToInitialize\":5.079999999999936,\"exactTimeToInitialize\":5.071234567890124,"
                                   "\"links\":6,\"groups\":1,\"missedSightings\":0}\n" +
                                   parameters +
                                   "\"trial\":8,\"seedState\":456,\"initialized\":false,\"stepsToInitialize\":null,"
                                   "\"timeToInitialize\":null,\"exactTimeToInitialize\":null,\"links\":9,\"groups\":3,"
                                   "\"missedSightings\":2}\n");

    // A run that fails before commit leaves the earlier file as it was and no partial file behind.
    {
        TrialFileWriter w(jsonl.string());
        w.write(std::span(rows, 1), origin);
    }
    EXPECT_EQ(std::ranges::count(readFile(jsonl), '\n'), 2);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 2);

    EXPECT_THROW(TrialFileWriter((dir / "t.txt").string()), InputError);
    EXPECT_THROW(TrialFileWriter((dir / "t").string()), InputError);
    EXPECT_THROW(TrialFileWriter((dir / "missing" / "t.csv").string()), InputError);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace velmora
