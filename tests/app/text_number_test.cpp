#include "app/text_number.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace velmora {
namespace {

TEST(ScanDouble, ReadsTheLeadingNumberAndIgnoresTheRest)
{
    EXPECT_EQ(scanDouble("70"), 70.0);
    EXPECT_EQ(scanDouble("  \t45.5"), 45.5);
    EXPECT_EQ(scanDouble("70 degrees"), 70.0);
    EXPECT_EQ(scanDouble("-12.5e1x"), -125.0);
    EXPECT_EQ(scanDouble("+.5"), 0.5);
    EXPECT_EQ(scanDouble("1."), 1.0);
    EXPECT_EQ(scanDouble("1e"), 1.0);
    EXPECT_EQ(scanDouble("0x1.8p1"), 3.0);
    EXPECT_EQ(scanDouble("45,5"), 45.0);
}

TEST(ScanDouble, RefusesTextThatDoesNotStartWithANumber)
{
    for (const char* text : {"", " ", "abc", ".", "-", "+.e5", "e5", "--1", "in", "\xc2\xbd"})
        EXPECT_FALSE(scanDouble(text).has_value()) << '"' << text << '"';
}

TEST(ScanDouble, RefusesInfinitiesNansAndOverflowButKeepsTinyAndHugeFiniteValues)
{
    for (const char* text : {"inf", "-Infinity", "nan", "NaN(1)", "1e999", "-1e400", "0x1p2000"})
        EXPECT_FALSE(scanDouble(text).has_value()) << text;
    EXPECT_FALSE(scanDouble(std::string(400, '9')).has_value());
    EXPECT_EQ(scanDouble("1e-999"), 0.0);
    EXPECT_EQ(scanDouble("1.7976931348623157e308"), std::numeric_limits<double>::max());
    EXPECT_EQ(scanDouble("-1e300 km"), -1e300);
    // The count box reads the start of such a text all the same.
    EXPECT_EQ(scanInt("1e400"), 1);
}

TEST(ScanInt, ReadsALeadingDecimalNumber)
{
    EXPECT_EQ(scanInt("6"), 6);
    EXPECT_EQ(scanInt("7 words"), 7);
    EXPECT_EQ(scanInt("  -3x"), -3);
    EXPECT_EQ(scanInt("+5"), 5);
    EXPECT_EQ(scanInt("0x10"), 0);
    EXPECT_EQ(scanInt("2.9"), 2);
    for (const char* text : {"", "words", "+", "- 3", "x7"})
        EXPECT_FALSE(scanInt(text).has_value()) << '"' << text << '"';
}

TEST(ScanInt, ClampsValuesBeyondTheIntRange)
{
    EXPECT_EQ(scanInt("2147483647"), 2147483647);
    EXPECT_EQ(scanInt("2147483648"), std::numeric_limits<int>::max());
    EXPECT_EQ(scanInt("99999999999"), std::numeric_limits<int>::max());
    EXPECT_EQ(scanInt(std::string(100, '9')), std::numeric_limits<int>::max());
    EXPECT_EQ(scanInt("-99999999999"), std::numeric_limits<int>::min());
}

}  // namespace
}  // namespace velmora
