#include "trials/sky_grid.h"

#include "text/input_error.h"

#include <healpix_base.h>

#include <string>

namespace velmora {

struct SkyGrid::Base {
    T_Healpix_Base<std::int64_t> healpix;
};

SkyGrid::SkyGrid(int nside) : nside_(nside)
{
    if (!validNside(nside))
        throw InputError("nside must be a power of two from 1 to " + std::to_string(maxNside) + ", not " +
                         std::to_string(nside));
    base_ = std::make_unique<Base>(Base{T_Healpix_Base<std::int64_t>(nside, RING, SET_NSIDE)});
}

SkyGrid::~SkyGrid() = default;
SkyGrid::SkyGrid(SkyGrid&&) noexcept = default;

std::int64_t SkyGrid::pixelCount() const { return base_->healpix.Npix(); }

Vec3 SkyGrid::direction(std::int64_t pixel) const
{
    const vec3 v = base_->healpix.pix2vec(pixel);
    return {v.x, v.y, v.z};
}

std::int64_t SkyGrid::pixelAt(const Vec3& d) const { return base_->healpix.vec2pix(vec3(d.x, d.y, d.z)); }

void SkyGrid::angles(std::int64_t pixel, double& theta, double& phi) const
{
    const pointing p = base_->healpix.pix2ang(pixel);
    theta = p.theta;
    phi = p.phi;
}

}  // namespace velmora
