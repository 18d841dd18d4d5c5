#pragma once

#include "geometry/mat3.h"

#include <array>
#include <bit>
#include <cstdint>

namespace velmora {

// The last rotation asked of it, kept with the exact bits of the axis and angle it was built from. A craft
// stepped at a fixed interval through a constant-rate segment asks for the same turn step after step, so the
// rotation (a square root, a sine and a cosine) is rebuilt only when a bit of its input changes. Comparing bits
// rather than values keeps the result the very matrix axisAngle would give: -0.0 and 0.0 are different keys,
// and a NaN input is never mistaken for a match by value, nor served from a stale entry.
class TurnCache {
public:
    const Mat3& rotation(const Vec3& axis, double angle)
    {
        const Key key{std::bit_cast<std::uint64_t>(axis.x), std::bit_cast<std::uint64_t>(axis.y),
            std::bit_cast<std::uint64_t>(axis.z), std::bit_cast<std::uint64_t>(angle)};
        if (!valid_ || key != key_) {
            rotation_ = axisAngle(axis, angle);
            key_ = key;
            valid_ = true;
        }
        return rotation_;
    }

private:
    using Key = std::array<std::uint64_t, 4>;

    bool valid_ = false;
    Key key_{};
    Mat3 rotation_;
};

}  // namespace velmora
