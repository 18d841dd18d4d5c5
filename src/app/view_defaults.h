#pragma once

namespace velmora {

// How the program's views see the formation, for the dialog's views and for rendered videos alike: clipping
// planes, and the camera's first distance from the middle of the box (which takes in about +-310 units there).
inline constexpr double viewNearPlane = 10.0;
inline constexpr double viewFarPlane = 10000.0;
inline constexpr double startEyeDistance = 750.0;

}  // namespace velmora
