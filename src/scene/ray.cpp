#include "scene/ray.h"

namespace velmora {

double Ray::distanceSquaredTo(const Vec3& p) const
{
    const Vec3 w = subtract(p, origin);
    const double g = dot(w, direction);
    return dot(w, w) - g * (g / dot(direction, direction));
}

}  // namespace velmora
