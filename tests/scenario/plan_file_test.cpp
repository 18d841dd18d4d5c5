// Plan files: the five shipped ones are the built-in plans to the last bit, a plan's turns are the ones its
// table states, and every file that is not a plan is refused with the place that is wrong.
#include "geometry/angles.h"
#include "scenario/plan_file.h"
#include "sim/maneuver_plan.h"
#include "sim/spacecraft.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <string>
#include <vector>

namespace velmora {
namespace {

PlanFile shipped(const std::string& name) { return PlanFile::load(std::string(VELMORA_PLANS_DIR) + "/" + name); }

std::string refusal(const std::string& text, double tilt = 0.4, double fov = 1.2)
{
    try {
        PlanFile::fromText(text, "\"p\"").tables(tilt, fov);
    } catch (const PlanError& e) {
        return e.what();
    }
    return "accepted";
}

TEST(PlanFile, TheShippedFilesAreTheBuiltInPlansBitForBit)
{
    const char* files[] = {"orlo.plan.json", "simple.plan.json", "simple-low-fov.plan.json",
                           "half-twist.plan.json", "wait-and-check.plan.json"};
    const auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v); };
    for (std::uint32_t algorithm = 0; algorithm < 5; ++algorithm) {
        const PlanFile plan = shipped(files[algorithm]);
        ASSERT_EQ(plan.roleCount(), 2);
        // Tilts and FOVs either side of the ones the plans treat apart (zero, negative, Wait and Check's
        // 47.86 degree margin).
        for (const double tilt : {0.0, -0.3, 1e-9, 0.1, 0.4363323129985824, 0.7853981633974483, 1.5})
            for (const double fov : {0.01, 0.5, 0.8353981633974483, 0.8354, 1.2217304763960306, 1.5707})
                for (int parity = 0; parity < 2; ++parity) {
                    ManeuverPlan built;
                    built.build(algorithm, parity, tilt, fov);
                    const std::vector<ManeuverPlan> tables = plan.tables(tilt, fov);
                    const ManeuverPlan& read = tables[static_cast<std::size_t>(parity)];
                    ASSERT_EQ(read.count(), built.count()) << files[algorithm];
                    for (int k = 0; k < built.count(); ++k) {
                        const ManeuverSegment& a = read.segment(k);
                        const ManeuverSegment& b = built.segment(k);
                        ASSERT_EQ(bits(a.duration), bits(b.duration)) << files[algorithm] << " segment " << k;
                        ASSERT_EQ(bits(a.rate), bits(b.rate)) << files[algorithm] << " segment " << k;
                        ASSERT_EQ(a.axis, b.axis) << files[algorithm] << " segment " << k;
                        ASSERT_EQ(bits(read.endTime(k)), bits(built.endTime(k))) << files[algorithm];
                    }
                }
    }
}

// A craft turned through each segment in one stretch of exactly its duration: 90 degrees about z, 90 about
// -x, then 90 about (0, 1, 1). The attitudes are worked out by hand from the rotation matrices.
TEST(PlanFile, ACraftTurnsAsItsRoleStates)
{
    const PlanFile plan = PlanFile::fromText(R"({"velmoraPlan": 1, "name": "ThreeTurns", "roles": [{"segments": [
        {"duration": 0.5, "axis": "z", "rate": "pi*2/2"},
        {"duration": "tilt/tilt", "axis": "-x", "rate": "pi/2"},
        {"duration": "0.25", "axis": [0, 3, 3], "rate": "2*pi"}]}]})",
                                             "\"three\"");
    const ManeuverPlan table = plan.tables(0.3, 1.0).front();
    const double s = std::sqrt(0.5);
    const Mat3 expected[] = {
        Mat3{{0, 1, 0, -1, 0, 0, 0, 0, 1}},        // column by column
        Mat3{{0, 0, -1, -1, 0, 0, 0, 1, 0}},
        Mat3{{-s, -0.5, -0.5, 0, -s, s, -s, 0.5, 0.5}},
    };
    Spacecraft craft;
    double t = 0.0;
    for (int k = 0; k < 3; ++k) {
        craft.propagate(table, t, table.endTime(k));
        t = table.endTime(k);
        for (int e = 0; e < 9; ++e)
            EXPECT_NEAR(craft.attitude.m[e], expected[k].m[e], 1e-12) << "after segment " << k << ", element " << e;
    }
}

TEST(PlanFile, WhatIsNotAPlanIsRefusedWhereItIsWrong)
{
    const auto plan = [](const std::string& segments, const std::string& more = "") {
        return R"({"velmoraPlan": 1, "name": "P",)" + more + R"( "roles": [{"segments": [)" + segments + "]}]}";
    };
    const std::string ok = R"({"duration": "pi", "axis": "x", "rate": 1})";
    std::string nineRoles = R"({"velmoraPlan": 1, "name": "P", "roles": [)";
    for (int r = 0; r < 9; ++r)
        nineRoles += std::string(r == 0 ? "" : ",") + R"({"segments": [)" + ok + "]}";
    nineRoles += "]}";
    std::string tooMany = ok;
    for (int k = 1; k < 65; ++k)
        tooMany += "," + ok;
    const struct {
        std::string text, says;
    } cases[] = {
        {"[1]", "\"p\": a plan must be a JSON object, not array"},
        {"{\"velmoraPlan\": 1,", "\"p\" is not valid JSON at line 1"},
        {R"({"velmoraPlan": 2, "name": "P", "roles": []})", "\"p\": \"velmoraPlan\" is 2; this Velmora reads plan files of version 1"},
        {plan(ok, R"( "role": 1,)"), "\"p\": unknown key \"role\" (did you mean \"roles\"?)"},
        {R"({"velmoraPlan": 1, "name": "P", "roles": []})", "\"p\": a plan needs \"roles\", a list of 1 to 8 roles"},
        {nineRoles, "\"p\": 9 roles; a plan has at most 8"},
        {plan(tooMany), "\"p\", role 0: 65 segments; a role has at most 64"},
        {plan(R"({"duration": "3*piz", "axis": "x", "rate": 1})"),
         "\"p\", role 0, segment 0: duration \"3*piz\": unknown name \"piz\" (the names are pi, tilt, fov and g)"},
        {plan(ok + R"x(,{"duration": "sin(tilt)", "axis": "x", "rate": 1})x"),
         "\"p\", role 0, segment 1: duration \"sin(tilt)\": unknown name \"sin\""},
        {plan(R"({"duration": "2^tilt", "axis": "x", "rate": 1})"), "duration \"2^tilt\": \"^\" at position 2 is not one of + - * / ( )"},
        {plan(R"({"duration": "1, 2", "axis": "x", "rate": 1})"), "duration \"1, 2\": one expression, without commas"},
        {plan(R"x({"duration": 1, "axis": "x", "rate": "1/(tilt-0.4)"})x"),
         "\"p\", role 0, segment 0: rate \"1/(tilt-0.4)\" is not a finite number at tilt 0.4 and fov 1.2 (radians)"},
        {plan(R"({"duration": 1, "axis": "w", "rate": 1})"), "axis \"w\" is not x, y, z, -x, -y, -z or three numbers"},
        {plan(R"({"duration": 1, "axis": [1e-5, 0, 0], "rate": 1})"), "the axis is zero, or too short to turn about"},
        {plan(R"({"duration": 1, "axis": "x", "rate": 1, "wait": 2})"), "segment 0: unknown key \"wait\""},
        {plan(R"({"duration": true, "axis": "x", "rate": 1})"), "duration must be a number or an expression, not boolean"},
        {R"({"velmoraPlan": 1, "name": "a,b", "roles": [{"segments": [{"duration": 1, "axis": "x", "rate": 1}]}]})",
         "\"p\": the name \"a,b\" must be 1 to 64 letters"},
    };
    for (const auto& c : cases) {
        const std::string said = refusal(c.text);
        EXPECT_NE(said.find(c.says), std::string::npos) << said;
    }
    // 65 segments and 9 roles are one too many; 64 and 8 are the most a plan holds.
    std::string full = ok;
    for (int k = 1; k < 64; ++k)
        full += "," + ok;
    EXPECT_EQ(refusal(plan(full)), "accepted");
}

TEST(PlanFile, ItsIdentityIsItsContentNotItsSpelling)
{
    const PlanFile a = PlanFile::fromText(
        R"({"velmoraPlan":1,"name":"P","roles":[{"segments":[{"duration":"pi","axis":"x","rate":1}]}]})", "a");
    const PlanFile b = PlanFile::fromText(R"({
        "roles": [{"segments": [{"rate": 1.0, "axis": "x", "duration": "pi"}]}],
        "name": "P", "velmoraPlan": 1})",
                                          "b");
    const PlanFile c = PlanFile::fromText(
        R"({"velmoraPlan":1,"name":"P","roles":[{"segments":[{"duration":"pi","axis":"x","rate":-1}]}]})", "c");
    EXPECT_EQ(a.sha256(), b.sha256());
    EXPECT_NE(a.sha256(), c.sha256());
    EXPECT_EQ(a.sha256().size(), 64u);
    EXPECT_EQ(a.canonical().dump(),
              R"({"velmoraPlan":1,"name":"P","roles":[{"segments":[{"duration":"pi","axis":"x","rate":1.0}]}]})");
}

}  // namespace
}  // namespace velmora
