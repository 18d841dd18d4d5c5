#pragma once

#include "geometry/mat3.h"

#include <bit>
#include <cstdint>

namespace velmora {

// The last rotation asked of it, kept with the exact bits of the axis and angle it was built from. A craft
// stepped at a fixed interval through a constant-rate segment asks for the same turn step after step, so the
// rotation (a square root, a sine and a cosine) is rebuilt only when a bit of its input changes. Comparing bits
// rather than values keeps the result the very matrix axisAngle would give: -0.0 and 0.0 are different keys,
// and a NaN input can never pass for a match. The key is compared field by field from registers: building it
// as an array on the stack cost a stalled load per craft and step.
class TurnCache {
public:
    const Mat3& rotation(const Vec3& axis, double angle)
    {
        const std::uint64_t x = std::bit_cast<std::uint64_t>(axis.x);
        const std::uint64_t y = std::bit_cast<std::uint64_t>(axis.y);
        const std::uint64_t z = std::bit_cast<std::uint64_t>(axis.z);
        const std::uint64_t a = std::bit_cast<std::uint64_t>(angle);
        if (!valid_ || x != x_ || y != y_ || z != z_ || a != angle_) {
            rotation_ = axisAngle(axis, angle);
            x_ = x;
            y_ = y;
            z_ = z;
            angle_ = a;
            valid_ = true;
        }
        return rotation_;
    }

private:
    bool valid_ = false;
    std::uint64_t x_ = 0;
    std::uint64_t y_ = 0;
    std::uint64_t z_ = 0;
    std::uint64_t angle_ = 0;
    Mat3 rotation_;
};

}  // namespace velmora
