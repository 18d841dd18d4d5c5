#include "scene/sphere_mesh.h"

#include "geometry/angles.h"
#include "scene/strip_quads.h"

#include <algorithm>
#include <cmath>

namespace velmora {
namespace {

// A flat triangle of the mesh strays from the true sphere by at most r (1 - cos psi), psi the angle from its
// circumcentre to its corners: under 5.1 degrees for the largest, the quads at the equator (9 by 4.5 degrees).
// Take psi as 5.2 degrees.
constexpr double meshSag = 0.005;  // > 1 - cos(5.2 degrees) = 0.0041, in radii
// A point of a flat triangle lies off the sphere's radial line through its corners' patch by less than this.
constexpr double spreadSlack = 2.5 * pi / 180.0;

// Along a ray that leaves the sphere at a left-out point, the front mesh lies this many radii nearer than
// the back mesh: the chord of at least 2 r sin(15 degrees), less the mesh's inward stray at both ends, each
// lengthened by the ray's slant against a triangle that may itself be tilted by psi.
constexpr double depthGapRadii = 0.45;
static_assert(depthGapRadii < 2.0 * sphereBackMargin - 2.0 * meshSag / 0.17021);  // sin(15 - 5.2 degrees)

constexpr double minimumScreenRadius = 4.0;  // pixels
constexpr int depthMarginBits = 6;           // keep front and back 64 depth units apart

Vec3 unitAt(double theta, double phi)
{
    return {std::sin(phi) * std::sin(theta), std::cos(phi) * std::sin(theta), std::cos(theta)};
}

}  // namespace

SphereMesh::SphereMesh(double radius)
    : radius_(radius), positions_(3 * vertexCount), normals_(3 * vertexCount), quadCentres_(quadCount),
      indices_(maxIndexCount)
{
    // GLU's own arithmetic: angles rounded to float, sines taken in double and rounded to float, the radius
    // applied in double before rounding; products of two floats in float.
    std::array<float, slices + 1> sinA{};
    std::array<float, slices + 1> cosA{};
    std::array<float, stacks + 1> sinB{};
    std::array<float, stacks + 1> cosB{};
    std::array<float, stacks + 1> sinBr{};
    std::array<float, stacks + 1> cosBr{};
    for (int i = 0; i < slices; ++i) {
        const float angle = static_cast<float>(2 * pi * i / slices);
        sinA[i] = static_cast<float>(std::sin(static_cast<double>(angle)));
        cosA[i] = static_cast<float>(std::cos(static_cast<double>(angle)));
    }
    sinA[slices] = sinA[0];
    cosA[slices] = cosA[0];
    for (int j = 0; j <= stacks; ++j) {
        const float angle = static_cast<float>(pi * j / stacks);
        sinB[j] = static_cast<float>(std::sin(static_cast<double>(angle)));
        cosB[j] = static_cast<float>(std::cos(static_cast<double>(angle)));
        sinBr[j] = static_cast<float>(radius * std::sin(static_cast<double>(angle)));
        cosBr[j] = static_cast<float>(radius * std::cos(static_cast<double>(angle)));
    }
    sinBr[0] = 0.0f;  // both caps come to a point
    sinBr[stacks] = 0.0f;

    int v = 0;
    const auto put = [&](float nx, float ny, float nz, float x, float y, float z) {
        normals_[3 * v] = nx;
        normals_[3 * v + 1] = ny;
        normals_[3 * v + 2] = nz;
        positions_[3 * v] = x;
        positions_[3 * v + 1] = y;
        positions_[3 * v + 2] = z;
        ++v;
    };
    // The top cap, its rim run backwards; the bottom cap, its rim run forwards.
    put(sinA[0] * sinB[0], cosA[0] * sinB[0], cosB[0], 0.0f, 0.0f, static_cast<float>(radius));
    for (int i = slices; i >= 0; --i)
        put(sinA[i] * sinB[1], cosA[i] * sinB[1], cosB[1], sinBr[1] * sinA[i], sinBr[1] * cosA[i], cosBr[1]);
    const int last = stacks - 1;
    put(sinA[stacks] * sinB[stacks], cosA[stacks] * sinB[stacks], cosB[stacks], 0.0f, 0.0f,
        static_cast<float>(-radius));
    for (int i = 0; i <= slices; ++i)
        put(sinA[i] * sinB[last], cosA[i] * sinB[last], cosB[last], sinBr[last] * sinA[i], sinBr[last] * cosA[i],
            cosBr[last]);
    // Each strip pairs a vertex on its lower edge (stack j + 1) with one on its upper edge (stack j).
    for (int j = 1; j < last; ++j)
        for (int i = 0; i <= slices; ++i) {
            put(sinA[i] * sinB[j + 1], cosA[i] * sinB[j + 1], cosB[j + 1], sinBr[j + 1] * sinA[i],
                sinBr[j + 1] * cosA[i], cosBr[j + 1]);
            put(sinA[i] * sinB[j], cosA[i] * sinB[j], cosB[j], sinBr[j] * sinA[i], sinBr[j] * cosA[i], cosBr[j]);
        }

    for (int b = 0; b < bands; ++b) {
        const double top = pi * (b + 1) / stacks;
        const double bottom = pi * (b + 2) / stacks;
        const double middle = 0.5 * (top + bottom);
        const double halfSlice = pi / slices;
        // On a band of latitude, the corners are the points farthest from a quad's middle.
        const Vec3 centre = unitAt(middle, halfSlice);
        const double spread = std::max(std::acos(std::clamp(dot(centre, unitAt(top, 0.0)), -1.0, 1.0)),
            std::acos(std::clamp(dot(centre, unitAt(bottom, 0.0)), -1.0, 1.0)));
        bandSpread_[b] = spread + spreadSlack;
        for (int k = 0; k < slices; ++k)
            quadCentres_[b * slices + k] = unitAt(middle, 2.0 * pi * (k + 0.5) / slices);
    }
}

SphereMesh::Selection SphereMesh::select(const Vec3* eye, const PixelCoverage* coverage)
{
    // The largest angle a surface normal may make with the direction from the eye to the centre and still
    // face away by the margin; negative when the eye gives nothing to leave out.
    double reach = -1.0;
    Vec3 away;
    const double r = radius_;
    const double distance = eye != nullptr ? length(*eye) : 0.0;
    if (eye != nullptr && r > 0.0 && distance > r && std::isfinite(distance)) {
        away = scale(*eye, -1.0 / distance);
        // A surface point q with normal n faces away from the eye by the margin when n . (q - eye) >=
        // margin |q - eye|. With n . (q - eye) = r + distance n . away and |q - eye| <= distance + r, it is
        // enough that n . away >= floor.
        const double floor = (sphereBackMargin * (distance + r) - r) / distance;
        if (floor < 1.0)
            reach = std::acos(std::max(floor, -1.0));
    }
    // Every point of a patch lies within its spread of the patch's middle, so its normal makes at most
    // (angle of the middle) + spread with `away`: within reach when the middle is within reach - spread.
    const auto hiddenWithin = [&](double spread) { return reach - spread > 0.0 ? std::cos(reach - spread) : 2.0; };

    Selection selection;
    // A cap is a disc of half-angle one stack around its pole, sent whole or not at all.
    const double capThreshold = hiddenWithin(pi / stacks + spreadSlack);
    const auto capShown = [&](double poleDot, int first) {
        if (poleDot >= capThreshold) {
            selection.hiddenLeftOut += slices;
            return false;
        }
        if (coverage == nullptr)
            return true;
        for (int i = first + 1; i + 1 < first + capVertices; ++i)
            if (coverage->mayCover(first, i, i + 1))
                return true;
        selection.uncoveredLeftOut += slices;
        return false;
    };
    selection.topCap = capShown(away.z, 0);
    selection.bottomCap = capShown(-away.z, capVertices);

    int n = 0;
    for (int b = 0; b < bands; ++b) {
        const double threshold = hiddenWithin(bandSpread_[b]);
        const Vec3* centres = &quadCentres_[b * slices];
        for (int k = 0; k < slices; ++k) {
            if (dot(centres[k], away) >= threshold)
                selection.hiddenLeftOut += 2;
            else
                n = appendStripQuad(firstStripVertex + b * stripVertices + 2 * k, coverage, indices_.data(), n,
                    selection.uncoveredLeftOut);
        }
    }
    selection.indices = indices_.data();
    selection.indexCount = n;
    return selection;
}

std::optional<Vec3> sphereCullingEye(const std::array<double, 16>& p, const std::array<double, 16>& m,
    int viewportHeight, int depthBits, double radius)
{
    for (const double x : p)
        if (!std::isfinite(x))
            return std::nullopt;
    for (const double x : m)
        if (!std::isfinite(x))
            return std::nullopt;
    if (!(radius > 0.0) || !std::isfinite(radius) || viewportHeight <= 0 || depthBits < 16)
        return std::nullopt;
    // Only a plain perspective projection (as gluPerspective makes) and an affine modelview.
    for (const int k : {1, 2, 3, 4, 6, 7, 8, 9, 12, 13, 15})
        if (p[k] != 0.0)
            return std::nullopt;
    if (p[11] != -1.0 || !(p[0] > 0.0) || !(p[5] > 0.0) || m[3] != 0.0 || m[7] != 0.0 || m[11] != 0.0 ||
        m[15] != 1.0)
        return std::nullopt;
    const double nearPlane = p[14] / (p[10] - 1.0);
    const double farPlane = p[14] / (p[10] + 1.0);
    if (!(nearPlane > 0.0) || !(farPlane > nearPlane))
        return std::nullopt;

    // Depth from the eye is -z in eye coordinates. The sphere reaches r |third row| either side of its centre.
    const Vec3 a0{m[0], m[1], m[2]};
    const Vec3 a1{m[4], m[5], m[6]};
    const Vec3 a2{m[8], m[9], m[10]};
    const Vec3 t{m[12], m[13], m[14]};
    const double reach = radius * std::sqrt(m[2] * m[2] + m[6] * m[6] + m[10] * m[10]);
    const double nearest = -t.z - reach;
    const double farthest = -t.z + reach;
    if (!(nearest > nearPlane * 1.001) || !(farthest < farPlane * 0.999))
        return std::nullopt;

    // The inverse's rows are the columns' cross products over the determinant.
    const Vec3 r0 = cross(a1, a2);
    const Vec3 r1 = cross(a2, a0);
    const Vec3 r2 = cross(a0, a1);
    const double det = dot(a0, r0);
    if (!(std::fabs(det) > 0.0) || !std::isfinite(det))
        return std::nullopt;
    const Vec3 eye{-dot(r0, t) / det, -dot(r1, t) / det, -dot(r2, t) / det};
    // No object-space length shrinks by more than the least singular value of the modelview's turn, whose
    // square is the least eigenvalue of its Gram matrix: at least the least Gershgorin disc's left end.
    const double g01 = std::fabs(dot(a0, a1));
    const double g02 = std::fabs(dot(a0, a2));
    const double g12 = std::fabs(dot(a1, a2));
    const double leastSquare = std::min({dot(a0, a0) - g01 - g02, dot(a1, a1) - g01 - g12, dot(a2, a2) - g02 - g12});
    if (!(leastSquare > 0.0) || !std::isfinite(leastSquare) || !std::isfinite(length(eye)))
        return std::nullopt;
    const double leastStretch = std::sqrt(leastSquare);

    const double pixelsPerUnitAtOne = 0.5 * viewportHeight * p[5];
    if (!(leastStretch * radius * pixelsPerUnitAtOne / farthest >= minimumScreenRadius))
        return std::nullopt;
    // Window depth is (1 - p10 + p14 / d) / 2 at depth d: its slope -p14 / (2 d^2) is least at the far end.
    // The gap runs along a ray; a ray in the view leans from the axis by at most the corner's angle.
    const double cosCorner = 1.0 / std::sqrt(1.0 + 1.0 / (p[0] * p[0]) + 1.0 / (p[5] * p[5]));
    const double gap = -p[14] / (2.0 * farthest * farthest) * leastStretch * depthGapRadii * radius * cosCorner;
    // Depth is interpolated in single precision whatever the buffer holds, so below 1 its steps are no finer
    // than 2^-24.
    if (!(gap >= std::ldexp(1.0, depthMarginBits - std::min(depthBits, 24))))
        return std::nullopt;
    return eye;
}

}  // namespace velmora
