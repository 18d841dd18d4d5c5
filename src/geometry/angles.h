#pragma once

namespace velmora {

inline constexpr double pi = 3.141592653589793;
inline constexpr double halfPi = 1.5707963267948966;
// Half of halfPi, which is exactly the double nearest pi / 4.
inline constexpr double quarterPi = halfPi * 0.5;

// pi * degrees * (1/180), multiplied in that order so every caller gets the same bits.
constexpr double degreesToRadians(double degrees) { return pi * degrees * (1.0 / 180.0); }

}  // namespace velmora
