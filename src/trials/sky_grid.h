#pragma once

#include "geometry/vec3.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace velmora {

// The centres of HEALPix's equal-area pixels on the unit sphere in RING order, the order astronomy's tools
// (healpy, FITS maps) read a map in. Pixel 0 is next to the north pole (+z); longitude runs from +x toward +y.
class SkyGrid {
public:
    static constexpr int maxNside = 512;

    // A power of two from 1 to maxNside: the resolutions every HEALPix tool takes.
    static bool validNside(std::int64_t nside) { return nside >= 1 && nside <= maxNside && (nside & (nside - 1)) == 0; }

    // Throws InputError for an nside that is not valid.
    explicit SkyGrid(int nside);
    ~SkyGrid();
    SkyGrid(SkyGrid&&) noexcept;

    int nside() const { return nside_; }
    // 12 nside^2.
    std::int64_t pixelCount() const;
    // The unit vector to a pixel's centre.
    Vec3 direction(std::int64_t pixel) const;
    // The pixel a unit direction lies in.
    std::int64_t pixelAt(const Vec3& direction) const;
    // The same as colatitude theta (from +z) and longitude phi in [0, 2 pi), radians.
    void angles(std::int64_t pixel, double& theta, double& phi) const;

    // HEALPix's value for a pixel without data, which FITS readers (healpy.read_map) mask.
    static const double unseen;

    // The bytes of a FITS file holding one map per column (name, a value per pixel in RING order) with the
    // HEALPix keywords every reader expects, and keys (name, text) that say what made it. Throws
    // std::runtime_error when the FITS library fails.
    std::string fitsFile(const std::vector<std::pair<std::string, std::vector<double>>>& columns,
                         const std::vector<std::pair<std::string, std::string>>& keys) const;

private:
    struct Base;
    int nside_;
    std::unique_ptr<Base> base_;
};

}  // namespace velmora
