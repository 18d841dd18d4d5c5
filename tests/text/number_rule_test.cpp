// The one reader and check behind every number option: what each rule takes at its bounds, and the words a
// refusal says, the same for a number a front end typed already as for the text of it.
#include "text/argument_error.h"
#include "text/number_rule.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace velmora {
namespace {

std::string refusal(const auto& read)
{
    try {
        read();
    } catch (const ArgumentError& e) {
        return e.what();
    }
    return "taken";
}

TEST(NumberRule, RealsAreTakenInsideTheirBoundsOnly)
{
    const NumberRule cone = NumberRule::coneAngle();
    EXPECT_EQ(cone.real("--fov", {"1e-300"}), 1e-300);
    EXPECT_EQ(cone.real("--fov", {"89.99999999999999"}), 89.99999999999999);
    EXPECT_EQ(cone.real("--fov", {" +0x1.8p4"}), 24.0);  // as strtod reads it
    for (const char* text : {"0", "90", "-5", "nan", "inf", "1e400", "wide", "", "25 "})
        EXPECT_EQ(refusal([&] { cone.real("--fov", {text}); }),
                  "--fov: \"" + std::string(text) +
                      "\" is not an angle of a cone: it must be more than 0 and less than 90 degrees");
    // A number typed already is checked as its text would be, and quoted as given.
    EXPECT_EQ(refusal([&] { cone.real("fov", {"90.0", 90.0}); }),
              "fov: \"90.0\" is not an angle of a cone: it must be more than 0 and less than 90 degrees");
    EXPECT_EQ(NumberRule::atLeastZero().real("--radius", {"0"}), 0.0);
    EXPECT_EQ(refusal([] { NumberRule::atLeastZero().real("--radius", {"-1e-300"}); }),
              "--radius: \"-1e-300\" is not a finite number of 0 or more");
    EXPECT_EQ(refusal([] { NumberRule::moreThanZero().real("--box", {"0"}); }),
              "--box: \"0\" is not a finite number more than 0");
}

TEST(NumberRule, TextReadsAsTheNearestDouble)
{
    // strtold then a cast rounds twice, and reads these one unit in the last place off: a Python float and its
    // repr() must be the same number.
    for (const char* text : {"4.91e-06", "-1.706777165336792e-07", "7.257868702803973e-208"})
        EXPECT_EQ(NumberRule::anyNumber().real("x", {text}), std::stod(text)) << text;
}

TEST(NumberRule, AnyNumberIsReadAsCli11ConvertsIt)
{
    const NumberRule any = NumberRule::anyNumber();
    EXPECT_EQ(any.real("--duration", {""}), 0.0);
    EXPECT_EQ(any.real("--duration", {" 3"}), 3.0);
    EXPECT_TRUE(std::isnan(any.real("--duration", {"nan"})));
    EXPECT_EQ(refusal([&] { any.real("--duration", {"wide"}); }), "Could not convert: --duration = wide");
}

TEST(NumberRule, WholeNumbersAreDecimalDigitsWithinTheirBounds)
{
    const NumberRule atLeastOne = NumberRule::whole(1);
    EXPECT_EQ(atLeastOne.whole("--trials", {"007"}), 7u);
    EXPECT_EQ(atLeastOne.whole("--trials", {"18446744073709551615"}), UINT64_MAX);
    EXPECT_EQ(refusal([&] { atLeastOne.whole("--trials", {"18446744073709551616"}); }),
              "--trials: \"18446744073709551616\" is too large");
    EXPECT_EQ(refusal([&] { atLeastOne.whole("--trials", {"000"}); }), "--trials: must be at least 1, not 000");
    EXPECT_EQ(refusal([&] { atLeastOne.whole("--trials", {"0", 0}); }), "--trials: must be at least 1, not 0");
    for (const char* text : {"-3", "+3", "0x10", "2.5", " 3", ""})
        EXPECT_EQ(refusal([&] { atLeastOne.whole("--trials", {text}); }),
                  "--trials: \"" + std::string(text) + "\" is not a whole number of decimal digits");

    const NumberRule craft = NumberRule::wholeIn(2, 20);
    EXPECT_EQ(craft.whole("--count", {"2"}), 2u);
    EXPECT_EQ(craft.whole("--count", {"0020"}), 20u);
    EXPECT_EQ(refusal([&] { craft.whole("--count", {"1"}); }), "--count: Value 1 not in range 2 to 20");
    EXPECT_EQ(refusal([&] { craft.whole("--count", {"021", 21}); }), "--count: Value 21 not in range 2 to 20");
    EXPECT_EQ(craft.helpType(), "INT:INT in [2 - 20]");
    EXPECT_EQ(NumberRule::whole().helpType("K"), "K");
}

}  // namespace
}  // namespace velmora
