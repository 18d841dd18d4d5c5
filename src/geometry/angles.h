#pragma once

namespace velmora {

inline constexpr double pi = 3.141592653589793;

// pi * degrees * (1/180), multiplied in that order so every caller gets the same bits.
constexpr double degreesToRadians(double degrees) { return pi * degrees * (1.0 / 180.0); }

}  // namespace velmora
