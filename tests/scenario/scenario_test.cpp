#include "scenario/scenario.h"
#include "scenario/scenario_run.h"
#include "sim/default_scene.h"
#include "text/json_writer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velmora {
namespace {

using nlohmann::json;

TEST(Scenario, DefaultsAreTheDefaultScene)
{
    const Scenario s = parseScenario(json::object());
    EXPECT_EQ(s.algorithm, 0);
    EXPECT_EQ(s.count, 6);
    const FormationParams p = formationParams(s);
    EXPECT_EQ(p.boxMax, Vec3(500, 500, 500));
    EXPECT_EQ(p.MaxSpeed, 5.0);
    EXPECT_EQ(p.craftRadius, 10.0);
    EXPECT_EQ(p.ThetaFOV, defaultScene::fovHalfAngle);
    EXPECT_EQ(p.ThetaTilt, 3.141592653589793 * 45 * 0.005555555555555556);
}

TEST(Scenario, AlgorithmByNameOrIndexAndOutOfRangeIsEmpty)
{
    EXPECT_EQ(parseScenario(json::parse(R"({"algorithm":"HalfTwist"})")).algorithm, 3);
    EXPECT_EQ(parseScenario(json::parse(R"({"algorithm":4})")).algorithm, 4);
    EXPECT_EQ(parseScenario(json::parse(R"({"algorithm":7})")).algorithm, -1);
    EXPECT_EQ(parseScenario(json::parse(R"({"algorithm":-1})")).algorithm, -1);
    EXPECT_EQ(parseScenario(json::parse(R"({"algorithm":18446744073709551615})")).algorithm, -1);
}

TEST(Scenario, CraftListSetsTheCountAndOverwritesTheFirstCraft)
{
    const Scenario s = parseScenario(json::parse(
        R"({"count":3,"craft":[{"position":[1,2,3],"velocity":[0,0,1],"attitude":[1,0,0,0,0,1,0,-1,0]}]})"));
    EXPECT_EQ(s.count, 3);
    Formation f;
    Rand15 rng;
    setUpFormation(s, f, rng);
    EXPECT_EQ(f.craftCount(), 3);
    EXPECT_EQ(f.spacecraft(0).position, Vec3(1, 2, 3));
    EXPECT_EQ(column(f.spacecraft(0).attitude, 2), Vec3(0, -1, 0));
    EXPECT_EQ(parseScenario(json::parse(R"({"craft":[]})")).count, 0);
}

TEST(Scenario, RejectsBadInputWithAMessageNamingTheKey)
{
    const char* bad[][2] = {
        {R"([1,2])", "JSON object"},
        {R"({"count":21})", "\"count\""},
        {R"({"count":2.5})", "\"count\""},
        {R"({"count":-1})", "\"count\""},
        {R"({"maxSpeed":"fast"})", "\"maxSpeed\""},
        {R"({"algorithm":"Quick"})", "Quick"},
        {R"({"algorithm":1.5})", "\"algorithm\""},
        {R"({"craft":[{"position":[1,2],"velocity":[0,0,0]}]})", "position"},
        {R"({"craft":[{"position":[1,2,3]}]})", "velocity"},
        {R"({"count":1,"craft":[{"position":[0,0,0],"velocity":[0,0,0]},{"position":[0,0,0],"velocity":[0,0,0]}]})",
         "\"count\" is 1"},
        {R"({"count":1,"counterexample":true})", "counterexample"},
        {R"({"counterexample":"yes"})", "counterexample"},
        // A misspelt key would leave its parameter at the default in silence.
        {R"({"algorithm":"Orlo","fov":30})", "unknown key 'fov' (did you mean 'fovDeg'?)"},
        {R"({"FOVDEG":30})", "unknown key 'FOVDEG' (did you mean 'fovDeg'?)"},
        {R"({"maxspeed":3})", "(did you mean 'maxSpeed'?)"},
        {R"({"tilt":3})", "(did you mean 'tiltDeg'?)"},
        {R"({"radius":3})", "(did you mean 'craftRadius'?)"},
        {R"({"seeds":3})", "(did you mean 'seed'?)"},
        {R"({"zzzz":1})", "unknown key 'zzzz' (the keys are algorithm, maxSpeed, fovDeg, tiltDeg, craftRadius, "
                          "boxHalfSize, count, craft, counterexample, seed, origin)"},
        {R"({"craft":[{"position":[0,0,0],"velocity":[0,0,0],"atitude":[]}]})",
         "\"craft\"[0]: unknown key 'atitude' (did you mean 'attitude'?)"},
        {R"({"seed":-1})", "\"seed\" must be an integer from 0 to 4294967295"},
        {R"({"seed":4294967296})", "\"seed\""},
        {R"({"origin":"search"})", "\"origin\" must be an object"},
        {R"({"seed":1.5})", "\"seed\""},
    };
    for (const auto& [text, mentions] : bad) {
        try {
            parseScenario(json::parse(text));
            ADD_FAILURE() << "accepted " << text;
        } catch (const ScenarioError& e) {
            EXPECT_NE(std::string(e.what()).find(mentions), std::string::npos) << e.what();
            EXPECT_EQ(std::string(e.what()).find('\n'), std::string::npos);
        }
    }
}

// The seed is the first state of the placement's sequence: 1 is the sequence velmora-sim always started
// from, so a file without one runs as before, and another seed places the random craft elsewhere.
TEST(Scenario, SeedChoosesTheRandomPlacement)
{
    const Scenario byDefault = parseScenario(json::parse(R"({"count":3})"));
    const Scenario one = parseScenario(json::parse(R"({"count":3,"seed":1})"));
    const Scenario other = parseScenario(json::parse(R"({"count":3,"seed":4294967295})"));
    EXPECT_EQ(byDefault.seed, 1u);
    EXPECT_EQ(other.seed, 4294967295u);
    const ScenarioResult a = runScenario(byDefault, 0);
    const ScenarioResult b = runScenario(one, 0);
    const ScenarioResult c = runScenario(other, 0);
    // The first craft's x is uniform in the box from the sequence's first draw, worked out by hand for
    // state 1: 1 * 1103515245 + 12345 = 1103527590, / 65536 % 32768 = 16838, x = -500 + 16838 / 32767 * 1000.
    EXPECT_EQ(a.formation.spacecraft(0).position.x, -500.0 + (16838 * (1.0 / 32767)) * 1000.0);
    EXPECT_EQ(b.formation.spacecraft(0).position.x, a.formation.spacecraft(0).position.x);
    EXPECT_NE(c.formation.spacecraft(0).position.x, a.formation.spacecraft(0).position.x);
    // The seed is written only where it is not the default, so saved files stay as they were.
    EXPECT_FALSE(scenarioToJson(byDefault).contains("seed"));
    EXPECT_EQ(scenarioToJson(other)["seed"], 4294967295u);
    EXPECT_EQ(scenarioToJson(byDefault, true)["seed"], 1);
}

TEST(ScenarioRun, StepCounts)
{
    EXPECT_EQ(stepsForDuration(1.0, "--duration"), 100);
    EXPECT_EQ(stepsForDuration(0.005, "--duration"), 1);  // half away from zero
    EXPECT_EQ(stepsForDuration(0.0, "--duration"), 0);
    EXPECT_THROW(stepsForDuration(-1.0, "--duration"), InputError);
    EXPECT_THROW(stepsForDuration(std::nan(""), "--duration"), InputError);
    EXPECT_THROW(stepsForDuration(1e300, "--duration"), InputError);

    Formation f;
    f.setup(0);
    EXPECT_EQ(stepsToPlanEnd(f), 1);
    FormationParams p(5, 500);
    p.ThetaTilt = 0.5;
    f.setParams(p);
    f.setup(2);
    EXPECT_EQ(stepsToPlanEnd(f), static_cast<std::int64_t>(std::ceil((5 * 3.141592653589793 + 2.5) / 0.01)) + 1);
    p.ThetaTilt = 1e300;  // a plan no run can reach the end of
    f.setParams(p);
    f.setup(2);
    EXPECT_THROW(stepsToPlanEnd(f), InputError);
}

}  // namespace
}  // namespace velmora
