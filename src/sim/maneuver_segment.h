#pragma once

#include "geometry/vec3.h"

namespace velmora {

// A constant-rate turn about a fixed world axis; rate 0 holds the attitude.
struct ManeuverSegment {
    double duration = 0.0;
    Vec3 axis{1.0, 0.0, 0.0};
    double rate = 0.0;
};

}  // namespace velmora
