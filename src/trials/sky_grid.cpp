#include "trials/sky_grid.h"

#include "text/input_error.h"

#include <fitshandle.h>
#include <healpix_base.h>
#include <healpix_map.h>
#include <healpix_map_fitsio.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <unistd.h>

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

const double SkyGrid::unseen = Healpix_undef;

std::string SkyGrid::fitsFile(const std::vector<std::pair<std::string, std::vector<double>>>& columns,
                              const std::vector<std::pair<std::string, std::string>>& keys) const
{
    // The FITS library writes only to a named file: a private one, read back and removed, so the caller writes
    // the target itself and replaces it only with a whole file.
    const char* folder = std::getenv("TMPDIR");
    std::string path = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/velmora-map-XXXXXX";
    const int fd = ::mkstemp(path.data());
    if (fd < 0)
        throw std::runtime_error("cannot make a temporary file for the FITS map in " + path);
    ::close(fd);
    struct Remove {
        std::string path;
        ~Remove() { std::remove(path.c_str()); }
    } remove{path};
    try {
        fitshandle out;
        out.create("!" + path);
        arr<std::string> names(columns.size());
        for (std::size_t i = 0; i < columns.size(); ++i)
            names[i] = columns[i].first;
        prepare_Healpix_fitsmap(out, Healpix_Base(nside_, RING, SET_NSIDE), PLANCK_FLOAT64, names);
        for (std::size_t i = 0; i < columns.size(); ++i)
            out.write_column(static_cast<int>(i) + 1, columns[i].second);
        for (const auto& [key, value] : keys)
            out.set_key(key, value);
        out.close();
    } catch (const PlanckError& e) {
        throw std::runtime_error(std::string("cannot write the FITS map: ") + e.what());
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in.good() && !in.eof())
        throw std::runtime_error("cannot read back the FITS map from " + path);
    return bytes;
}

void SkyGrid::angles(std::int64_t pixel, double& theta, double& phi) const
{
    const pointing p = base_->healpix.pix2ang(pixel);
    theta = p.theta;
    phi = p.phi;
}

}  // namespace velmora
