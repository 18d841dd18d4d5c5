#pragma once

#include "geometry/angles.h"

namespace velmora {

// The scene the desktop program starts on, and what velmora-sim takes for every key a scenario leaves out:
// six Orlo craft of radius 10 in a box of +-500, at most speed 5, a 70 degree sensor half-angle and 45 degrees
// of tilt. Both programs step it in the same 0.01 s steps.
namespace defaultScene {
inline constexpr int craftCount = 6;
inline constexpr double maxSpeed = 5.0;
inline constexpr double boxHalfSize = 500.0;
inline constexpr double craftRadius = 10.0;
inline constexpr double fovDeg = 70.0;
inline constexpr double fovHalfAngle = degreesToRadians(fovDeg);
inline constexpr double tiltDeg = 45.0;
}  // namespace defaultScene

inline constexpr double stepSeconds = 0.01;

}  // namespace velmora
