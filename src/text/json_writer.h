#pragma once

#include "geometry/vec3.h"

#include <nlohmann/json.hpp>

#include <string>

namespace velmora {

// The shortest text that reads back as exactly v (std::to_chars): "0.1", "25", "1e+300", "inf", "nan".
std::string numberText(double v);

// numberText(v) appended to out: writers that reuse one buffer for every row build no string of their own.
void appendNumberText(std::string& out, double v);

// v as toJsonText writes a double, appended to out.
void appendJsonDouble(std::string& out, double v);

// A formation time, the sum of whole 0.01 s steps, printed to the step: "14.05", not the summation noise of
// "14.049999999999745". For text meant for people and CSV readers; JSON keeps the exact double. Appending
// allocates nothing where out has the room.
void appendStepTime(std::string& out, double seconds);
std::string stepTimeText(double seconds);

// A vector as the array [x, y, z].
nlohmann::ordered_json vectorJson(const Vec3& v);

// Compact JSON whose doubles are written shortest-round-trip (std::to_chars), always with a fraction or an
// exponent so they read back as doubles; NaN and infinities, which JSON cannot hold, become null.
std::string toJsonText(const nlohmann::ordered_json& value);

}  // namespace velmora
