#include "scene/formation_scene.h"

#include "scene/ray.h"
#include "scene/view_volume.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace velmora {
namespace {

// How much longer than the original a vector can come out of the attitude: 1 for a rotation, up to rounding.
// An attitude far from a rotation gets the Frobenius norm, which bounds every stretch.
double stretchBound(const Mat3& a)
{
    double worst = 0.0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            worst = std::max(worst, std::fabs(dot(column(a, i), column(a, j)) - (i == j ? 1.0 : 0.0)));
    if (worst < 1e-6)
        return 1.0 + 1e-6;
    double sum = 0.0;
    for (const double e : a.m)
        sum += e * e;
    return std::sqrt(sum);
}

}  // namespace

SceneColour groupColour(int root) { return {static_cast<double>(root & 1), static_cast<double>((root >> 1) & 1), 1.0}; }

CraftVisibility craftVisibility(const SceneCraft& craft, const ViewVolume& volume)
{
    const double stretch = stretchBound(craft.attitude);
    const double a = std::fabs(craft.radius);
    // Ring and sphere reach 1.031 r from the centre; the stub ends 1.25 r out, 0.25 r t off the axis.
    const double body = std::max(1.0308 * a, std::hypot(1.25 * a, 0.25 * a * craft.tanConeHalfAngle));
    // Rays run 10 r from the apex, which is r from the centre.
    const double rays = 11.0 * a;
    return {!volume.excludesSphere(craft.position, stretch * body),
        !volume.excludesSphere(craft.position, stretch * rays)};
}

void FormationScene::build(const Formation& formation, std::optional<int> selected)
{
    craftCount = std::clamp(formation.craftCount(), 0, Formation::capacity);
    linkCount = 0;
    for (int j = 0; j < craftCount; ++j) {
        const Spacecraft& s = formation.spacecraft(j);
        craft[j] = {s.position, s.attitude, s.poseMatrix(), s.craftRadius, s.fovHalfAngle, s.tanFov,
            selected == j};
    }
    for (int j = 0; j < craftCount; ++j) {
        const SceneColour colour = groupColour(formation.findGroup(j));
        for (int k = j + 1; k < craftCount; ++k)
            if ((formation.seen(j) & (std::uint32_t{1} << k)) != 0)
                links[linkCount++] = {j, k, craft[j].position, craft[k].position, colour};
    }
}

std::optional<int> FormationScene::pick(const Ray& ray) const
{
    std::optional<int> picked;
    double nearest = 0.0;
    for (int j = 0; j < craftCount; ++j) {
        const double r = craft[j].radius;
        if (!(ray.distanceSquaredTo(craft[j].position) < r * r))
            continue;
        const Vec3 w = subtract(craft[j].position, ray.origin);
        const double distance = dot(w, w);
        if (!picked || distance < nearest) {
            picked = j;
            nearest = distance;
        }
    }
    return picked;
}

}  // namespace velmora
