#include "text/json_writer.h"

#include "text/message_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace velmora {
namespace {

// A string as JSON text. Bytes that are not UTF-8 (a file name in another encoding, an argument of any bytes)
// are written as the four characters \xNN, so the document stays valid UTF-8 and still shows what they were.
void appendString(std::string& out, const std::string& text)
{
    out += nlohmann::json(utf8Text(text)).dump();
}

void append(std::string& out, const nlohmann::ordered_json& value)
{
    switch (value.type()) {
    case nlohmann::json::value_t::object: {
        out += '{';
        bool first = true;
        for (const auto& [key, item] : value.items()) {
            if (!first)
                out += ',';
            first = false;
            appendString(out, key);
            out += ':';
            append(out, item);
        }
        out += '}';
        break;
    }
    case nlohmann::json::value_t::array: {
        out += '[';
        bool first = true;
        for (const auto& item : value) {
            if (!first)
                out += ',';
            first = false;
            append(out, item);
        }
        out += ']';
        break;
    }
    case nlohmann::json::value_t::number_float: appendJsonDouble(out, value.get<double>()); break;
    case nlohmann::json::value_t::string: appendString(out, value.get_ref<const std::string&>()); break;
    default: out += value.dump(); break;
    }
}

}  // namespace

std::string numberText(double v)
{
    std::string out;
    appendNumberText(out, v);
    return out;
}

void appendNumberText(std::string& out, double v)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    out.append(buffer, result.ptr);
}

void appendJsonDouble(std::string& out, double v)
{
    if (!std::isfinite(v)) {
        out += "null";
        return;
    }
    const std::size_t start = out.size();
    appendNumberText(out, v);
    if (out.find_first_of(".e", start) == std::string::npos)
        out += ".0";
}

void appendStepTime(std::string& out, double seconds)
{
    // to_chars, not printf: the same "14.05" under a locale whose decimal separator is a comma.
    char buffer[352];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, seconds, std::chars_format::fixed, 2);
    out.append(buffer, result.ptr);
}

std::string stepTimeText(double seconds)
{
    std::string out;
    appendStepTime(out, seconds);
    return out;
}

nlohmann::ordered_json vectorJson(const Vec3& v) { return nlohmann::ordered_json::array({v.x, v.y, v.z}); }

std::string toJsonText(const nlohmann::ordered_json& value)
{
    std::string out;
    append(out, value);
    return out;
}

}  // namespace velmora
