#include "text/json_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace velmora {
namespace {

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
            out += nlohmann::json(key).dump();
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
    char buffer[32];
    const int length = std::snprintf(buffer, sizeof buffer, "%.2f", seconds);
    out.append(buffer, static_cast<std::size_t>(std::clamp(length, 0, static_cast<int>(sizeof buffer) - 1)));
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
