// The request both front ends build for trials: the shard of a range, a sweep's cells, and refusals under
// the names the front end gives.
#include "text/argument_error.h"
#include "trials/trial_request.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

constexpr TrialNames keywordNames{"algorithm", "fov", "count", "tilt", "max_speed", "radius", "box", "seed",
                                  "duration", "trials", "first_trial", "shard", "threads", "trial", "sighting"};

std::string refusal(const auto& ask)
{
    try {
        ask();
    } catch (const InputError& e) {
        return e.what();
    }
    return "taken";
}

TEST(TrialRequest, ShardsAreDecimalConsecutiveParts)
{
    TrialRequest r(commandLineNames);
    r.setTrials({"100"});
    r.setFirstTrial({"5"});
    // Zero-padded, as shard names in file names are: 010 is ten, not eight.
    for (const auto& [shard, first, count] : {std::tuple{"010/100", 15u, 1u}, {"08/09", 93u, 12u}, {"0/3", 5u, 33u},
                                              {"2/3", 71u, 34u}}) {
        r.setShard(shard);
        EXPECT_EQ(r.trials().first, first) << shard;
        EXPECT_EQ(r.trials().count, count) << shard;
    }
    r.setShard("3/0101");
    EXPECT_EQ(refusal([&] { r.trials(); }), "--shard 3/0101: 100 trials do not fill 101 shards; use at most 100");
}

TEST(TrialRequest, RefusalsSayTheFrontEndsNames)
{
    TrialRequest r(keywordNames);
    EXPECT_EQ(refusal([&] { r.setFov({"95.0", 95.0}); }),
              "fov: \"95.0\" is not an angle of a cone: it must be more than 0 and less than 90 degrees");
    EXPECT_EQ(refusal([&] { r.setAlgorithm("Zigzag"); }),
              "algorithm: unknown algorithm \"Zigzag\" (use Orlo, Simple, SimpleLowFov, HalfTwist, WaitAndCheck, an "
              "index 0 to 4 or a plan file, FILE.plan.json)");
    EXPECT_EQ(refusal([&] { r.trial(); }), "trial is required");
    r.setFirstTrial({"18446744073709551615", UINT64_MAX});
    r.setTrials({"2", 2});
    EXPECT_EQ(refusal([&] { r.trials(); }), "first_trial 18446744073709551615 plus trials 2 runs past the last trial number");
    r.setFirstTrial({"0"});
    r.setDuration({"1e300"});
    EXPECT_EQ(refusal([&] { r.steps(); }),
              "duration is too long: more than ten days of simulated time (100000000 steps) is not run");
}

TEST(TrialRequest, SweepCellsTakeEachValueOnceInTheOrderGiven)
{
    TrialRequest r(commandLineNames);
    const std::vector<std::string> algorithms{"HalfTwist", "all", "3"};
    r.setAlgorithms(algorithms);
    const std::vector<Given<double>> fovs{{"40"}, {"30"}, {"40.0", 40.0}};
    r.setFovs(fovs);
    std::vector<std::pair<int, double>> cells;
    for (const TrialSetup& cell : r.sweepCells())
        cells.emplace_back(cell.scenario.algorithm, cell.scenario.fovDeg);
    EXPECT_EQ(cells, (std::vector<std::pair<int, double>>{
                         {3, 40}, {3, 30}, {0, 40}, {0, 30}, {1, 40}, {1, 30}, {2, 40}, {2, 30}, {4, 40}, {4, 30}}));
    // An empty list says what an empty value says.
    EXPECT_EQ(refusal([&] { r.setFovs({}); }),
              "--fov: \"\" is not an angle of a cone: it must be more than 0 and less than 90 degrees");
}

}  // namespace
}  // namespace velmora
