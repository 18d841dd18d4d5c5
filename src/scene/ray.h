#pragma once

#include "geometry/vec3.h"

namespace velmora {

struct Ray {
    Vec3 direction{0.0, 0.0, 1.0};  // not necessarily of unit length
    Vec3 origin;

    // Squared distance from p to the whole line through the ray, behind the origin as well as in front.
    double distanceSquaredTo(const Vec3& p) const;
};

}  // namespace velmora
