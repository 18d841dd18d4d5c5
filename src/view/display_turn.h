#pragma once

#include "geometry/mat3.h"

#include <GL/gl.h>

namespace velmora {

// Simulation coordinates are shown turned a quarter about the OpenGL y axis: (x, y, z) appears at (z, y, -x).
// Drawing and picking must agree on this turn, so both take it from here.
inline constexpr double displayTurnDegrees = 90.0;
inline void applyDisplayTurn() { glRotated(displayTurnDegrees, 0.0, 1.0, 0.0); }

// The inverse turn, from OpenGL world coordinates back to simulation coordinates: (x, y, z) -> (-z, y, x).
inline constexpr Mat3 simulationFromDisplay{{0.0, 0.0, 1.0, 0.0, 1.0, 0.0, -1.0, 0.0, 0.0}};

}  // namespace velmora
