// Text every output and message is built from: JSON numbers, step times, printable excerpts of hostile input,
// "did you mean" hints, and bounded JSON input.
#include "text/input_error.h"
#include "text/json_reader.h"
#include "text/json_writer.h"
#include "text/message_text.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

namespace velmora {
namespace {

using nlohmann::json;

TEST(JsonWriter, ShortestRoundTripDoublesThatStayDoubles)
{
    nlohmann::ordered_json v;
    v["a"] = 0.1;
    v["b"] = 5.0;
    v["c"] = 3;
    v["d"] = std::nan("");
    v["e"] = nlohmann::ordered_json::array({1e-300, -2.5});
    v["f"] = "x\"y";
    EXPECT_EQ(toJsonText(v), R"({"a":0.1,"b":5.0,"c":3,"d":null,"e":[1e-300,-2.5],"f":"x\"y"})");
    const double third = 1.0 / 3.0;
    EXPECT_EQ(json::parse(toJsonText(nlohmann::ordered_json(third))).get<double>(), third);
    // A file name in Latin-1 among the arguments: the document stays UTF-8 and shows the byte.
    const nlohmann::ordered_json command = nlohmann::ordered_json::array({"caf\xe9.json", "70°"});
    EXPECT_EQ(toJsonText(command), "[\"caf\\\\xE9.json\",\"70°\"]");
    EXPECT_EQ(json::parse(toJsonText(command))[0], "caf\\xE9.json");
}

TEST(JsonWriter, StepTimesArePrintedToTheStep)
{
    // 1405 steps of 0.01 s sum to 14.049999999999745, which a person reads as 14.05.
    double t = 0.0;
    for (int k = 0; k < 1405; ++k)
        t = t + 0.01;
    EXPECT_EQ(numberText(t), "14.049999999999745");
    EXPECT_EQ(stepTimeText(t), "14.05");
    EXPECT_EQ(stepTimeText(0.0), "0.00");
}

TEST(MessageText, PrintableEscapesWhatATerminalWouldObey)
{
    const std::array<std::pair<std::string, std::string>, 7> cases{{
        {"plain text 70°", "plain text 70°"},
        {"two\nlines\ttab\rreturn", "two\\nlines\\ttab\\rreturn"},
        {"\x1b[31mred", "\\x1B[31mred"},
        {std::string("nul\0byte", 8), "nul\\x00byte"},
        {"caf\xe9", "caf\\xE9"},              // Latin-1, not UTF-8
        {"\xc2\x9b" "2J", "\\u009B2J"},       // C1 control sequence introducer
        {"\xed\xa0\x80", "\\xED\\xA0\\x80"},  // an encoded surrogate is not UTF-8
    }};
    for (const auto& [in, out] : cases)
        EXPECT_EQ(printable(in), out) << out;
}

TEST(MessageText, ExcerptCutsBetweenCharactersAndSaysSo)
{
    EXPECT_EQ(excerpt("short", 40), "short");
    EXPECT_EQ(excerpt(std::string(50, 'a'), 40), std::string(40, 'a') + "...");
    // "é" is two bytes; a cut after 4 bytes would split the second one.
    EXPECT_EQ(excerpt("ééé", 3), "é...");
}

TEST(MessageText, ClosestNameByEditDistanceOrContainment)
{
    constexpr std::array<std::string_view, 4> known{"fovDeg", "tiltDeg", "maxSpeed", "count"};
    EXPECT_EQ(closestName("fovdeg", known), "fovDeg");   // case is ignored
    EXPECT_EQ(closestName("maxSped", known), "maxSpeed");  // one edit
    EXPECT_EQ(closestName("fov", known), "fovDeg");      // contained in it
    EXPECT_EQ(closestName("cnt", known), std::nullopt);  // 2 edits of 5 letters: more than a third
    EXPECT_EQ(closestName("speedOfLight", known), std::nullopt);
    EXPECT_EQ(closestName(std::string(100, 'f'), known), std::nullopt);
}

JsonBounds smallBounds() { return {64, 3, 4, "test file", "a test needs bytes", "a test needs two", "a test holds 4"}; }

std::string refusal(std::string_view text)
{
    try {
        readJsonText(text, "\"t\"", smallBounds());
    } catch (const InputError& e) {
        return e.what();
    }
    return "accepted";
}

TEST(JsonReader, RefusesBeyondItsBoundsAndSaysWhere)
{
    EXPECT_EQ(readJsonText(R"({"a":[1,2,3,4]})", "\"t\"", smallBounds())["a"].size(), 4u);
    EXPECT_EQ(refusal(R"({"a":[1,2,3,4,5]})"), "\"t\" has a list or object of more than 4 items; a test holds 4");
    EXPECT_EQ(refusal("[[[[1]]]]"), "\"t\" nests lists and objects deeper than 3 levels; a test needs two");
    EXPECT_EQ(refusal("{\n  \"a\": 1e999}"), "\"t\", line 2, column 8 (\"a\"): the number 1e999 is too large for a double");
    EXPECT_EQ(refusal("{\n\"a\" 1}").rfind("\"t\" is not valid JSON at line 2, column 5: ", 0), 0u);
    EXPECT_EQ(refusal(R"({"seed":1,"seed":2})"), "\"t\" gives the key \"seed\" twice in one object");
    EXPECT_EQ(readJsonText(R"([{"a":1},{"a":2}])", "\"t\"", smallBounds())[1]["a"], 2);
}

}  // namespace
}  // namespace velmora
