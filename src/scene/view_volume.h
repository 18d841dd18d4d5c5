#pragma once

#include "geometry/vec3.h"

#include <array>

namespace velmora {

// The volume OpenGL's clipping keeps, seen from modelview coordinates: six planes taken from the product of
// the projection and modelview matrices, the left, right, bottom and top ones moved out by a few pixels. Used
// to skip what cannot show, so it errs only on the side of drawing.
class ViewVolume {
public:
    // From a projection and a modelview matrix (both column-major, as OpenGL keeps them) and the viewport's
    // size in pixels. A volume that cannot be made excludes nothing.
    static ViewVolume fromMatrices(const std::array<double, 16>& projection, const std::array<double, 16>& modelview,
        int viewportWidth, int viewportHeight);

    // True when every point within radius of centre (modelview coordinates) lies outside some plane by more
    // than a small margin; false for anything it cannot decide, such as a non-finite number.
    bool excludesSphere(const Vec3& centre, double radius) const;

private:
    struct Plane {
        Vec3 normal;  // unit length
        double offset = 0.0;
    };
    std::array<Plane, 6> planes_{};
    bool valid_ = false;
};

}  // namespace velmora
