#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace velmora {

// Compact JSON whose doubles are written shortest-round-trip (std::to_chars), always with a fraction or an
// exponent so they read back as doubles; NaN and infinities, which JSON cannot hold, become null.
std::string toJsonText(const nlohmann::ordered_json& value);

}  // namespace velmora
