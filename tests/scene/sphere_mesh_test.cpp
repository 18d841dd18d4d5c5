// Leaving out parts of a sphere that cannot change a pixel: which quads lie behind the front, which
// triangles cover no pixel centre, and when a view allows either. Pixels themselves are compared in the view
// tests; these pin the geometry with numbers worked out by hand.
#include "geometry/angles.h"
#include "scene/pixel_coverage.h"
#include "scene/sphere_mesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <set>

namespace velmora {
namespace {

// gluPerspective(45 degrees, aspect 1, near, far), column-major.
std::array<double, 16> perspective(double nearPlane = 10.0, double farPlane = 10000.0)
{
    const double f = 1.0 / std::tan(pi / 8.0);
    std::array<double, 16> p{};
    p[0] = f;
    p[5] = f;
    p[10] = (farPlane + nearPlane) / (nearPlane - farPlane);
    p[11] = -1.0;
    p[14] = 2.0 * farPlane * nearPlane / (nearPlane - farPlane);
    return p;
}

std::array<double, 16> translation(double x, double y, double z)
{
    std::array<double, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
    return m;
}

// The strip quads a selection keeps, by band * slices + slice.
std::set<int> keptQuads(const SphereMesh::Selection& part)
{
    std::set<int> quads;
    for (int i = 0; i < part.indexCount; i += 3) {
        // Triangles (a + 2, a, a + 3) and (a, a + 1, a + 3).
        const int a = (part.indices[i] == part.indices[i + 1] + 2 ? part.indices[i + 1] : part.indices[i]) -
                      SphereMesh::firstStripVertex;
        quads.insert((a / SphereMesh::stripVertices) * SphereMesh::slices + (a % SphereMesh::stripVertices) / 2);
    }
    return quads;
}

TEST(SphereMesh, WithNothingToGoOnEveryQuadIsSentAsOpenGLSplitsIt)
{
    SphereMesh mesh(10.0);
    const SphereMesh::Selection all = mesh.select(nullptr, nullptr);
    EXPECT_TRUE(all.topCap);
    EXPECT_TRUE(all.bottomCap);
    ASSERT_EQ(6 * SphereMesh::quadCount, all.indexCount);
    // The first strip starts at vertex 84: quad 0 is (86, 84, 87) and (84, 85, 87); the last quad of the last
    // strip ends at vertex 3199.
    const std::uint16_t first[6] = {86, 84, 87, 84, 85, 87};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(first[i], all.indices[i]) << i;
    EXPECT_EQ(3199, all.indices[all.indexCount - 1]);
    EXPECT_EQ(0, all.hiddenLeftOut + all.uncoveredLeftOut);
    // An eye inside the sphere, or on it, leaves nothing out.
    for (const Vec3 eye : {Vec3{0, 0, 0}, Vec3{0, 9.9, 0}, Vec3{10, 0, 0}})
        EXPECT_EQ(6 * SphereMesh::quadCount, mesh.select(&eye, nullptr).indexCount);
}

// Every point of a left-out quad, on the true sphere, must face away from the eye by the margin; and from
// afar about a third of the sphere goes (the back half less a band of 15 degrees and the quads' own size).
TEST(SphereMesh, LeavesOutOnlyQuadsFacingAwayByTheMargin)
{
    const double r = 10.0;
    SphereMesh mesh(r);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    int checked = 0;
    for (int trial = 0; trial < 200; ++trial) {
        Vec3 direction{unit(random), unit(random), unit(random)};
        if (!normalize(direction))
            continue;
        const double distance = r * std::exp(std::log(1.05) + (std::log(1000.0) - std::log(1.05)) * 0.5 *
                                                                  (unit(random) + 1.0));
        const Vec3 eye = scale(direction, distance);
        const SphereMesh::Selection part = mesh.select(&eye, nullptr);
        const std::set<int> kept = keptQuads(part);
        EXPECT_EQ(part.indexCount / 6, static_cast<int>(kept.size()));
        int leftOut = 0;
        for (int q = 0; q < SphereMesh::quadCount; ++q) {
            if (kept.count(q) != 0)
                continue;
            ++leftOut;
            const int band = q / SphereMesh::slices;
            const int slice = q % SphereMesh::slices;
            for (int s = 0; s <= 4; ++s)
                for (int t = 0; t <= 4; ++t) {
                    const double theta = pi * (band + 1 + s / 4.0) / SphereMesh::stacks;
                    const double phi = 2.0 * pi * (slice + t / 4.0) / SphereMesh::slices;
                    const Vec3 n{std::sin(phi) * std::sin(theta), std::cos(phi) * std::sin(theta), std::cos(theta)};
                    const Vec3 toPoint = subtract(scale(n, r), eye);
                    ASSERT_GE(dot(n, toPoint), sphereBackMargin * length(toPoint))
                        << "eye " << eye.x << " " << eye.y << " " << eye.z << ", quad " << q;
                    ++checked;
                }
        }
        EXPECT_EQ(2 * leftOut + (part.topCap ? 0 : 40) + (part.bottomCap ? 0 : 40), part.hiddenLeftOut);
        if (distance > 100.0 * r) {
            EXPECT_GT(leftOut, SphereMesh::quadCount / 4) << distance;
            EXPECT_LT(leftOut, SphereMesh::quadCount * 2 / 5) << distance;
        }
    }
    EXPECT_GT(checked, 100000);

    // Looking straight down the pole from far off, the far cap goes and the near one stays.
    const Vec3 above{0, 0, 1e4};
    const SphereMesh::Selection part = mesh.select(&above, nullptr);
    EXPECT_TRUE(part.topCap);
    EXPECT_FALSE(part.bottomCap);
}

TEST(PixelCoverage, KeepsExactlyTheTrianglesWhoseBoxHoldsAPixelCentre)
{
    // Identity matrices and a 10 x 10 viewport at (100, 50): window x = 105 + 5 x, y = 55 + 5 y.
    const std::array<double, 16> identity = translation(0, 0, 0);
    const int viewport[4] = {100, 50, 10, 10};
    const auto at = [](double wx, double wy) {
        return std::array<float, 3>{static_cast<float>((wx - 105.0) / 5.0), static_cast<float>((wy - 55.0) / 5.0),
            0.0f};
    };
    struct Case {
        const char* what;
        std::array<double, 6> corners;  // window x, y of three corners
        bool covers;
    };
    const Case cases[] = {
        {"around the centre (102.5, 52.5)", {102.2, 52.2, 102.8, 52.2, 102.5, 52.8}, true},
        {"between four centres", {102.6, 52.6, 103.4, 52.6, 103.0, 53.4}, false},
        {"a hundredth of a pixel short: within the margin", {102.51, 52.2, 102.9, 52.2, 102.7, 52.8}, true},
        {"a tenth of a pixel short", {102.6, 52.2, 102.9, 52.2, 102.7, 52.8}, false},
        {"left of the viewport", {98.0, 52.0, 99.9, 52.0, 99.0, 55.0}, false},
        {"over the last column", {109.2, 52.0, 109.8, 52.0, 109.5, 55.0}, true},
        {"right of the viewport", {110.1, 52.0, 115.0, 52.0, 112.0, 55.0}, false},
        {"above the viewport", {102.0, 60.2, 108.0, 60.2, 104.0, 70.0}, false},
        {"covering the whole viewport", {0.0, 0.0, 400.0, 0.0, 0.0, 400.0}, true},
    };
    for (const Case& c : cases) {
        float positions[9];
        for (int v = 0; v < 3; ++v) {
            const auto p = at(c.corners[2 * v], c.corners[2 * v + 1]);
            std::copy(p.begin(), p.end(), positions + 3 * v);
        }
        PixelCoverage coverage;
        ASSERT_TRUE(coverage.project(positions, 3, identity, identity, viewport)) << c.what;
        EXPECT_EQ(c.covers, coverage.mayCover(0, 1, 2)) << c.what;
    }

    // A corner at or behind the eye, or not a number, and nothing can be told.
    const std::array<double, 16> p = perspective();
    const std::array<double, 16> m = translation(0, 0, -50);
    PixelCoverage coverage;
    const float inFront[6] = {0, 0, 0, 1, 1, 1};
    EXPECT_TRUE(coverage.project(inFront, 2, p, m, viewport));
    const float behind[6] = {0, 0, 0, 0, 0, 60};
    EXPECT_FALSE(coverage.project(behind, 2, p, m, viewport));
    const float notANumber[6] = {0, 0, 0, std::numeric_limits<float>::quiet_NaN(), 0, 0};
    EXPECT_FALSE(coverage.project(notANumber, 2, p, m, viewport));
}

TEST(SphereMesh, TinySphereKeepsOnlyTrianglesOverPixelCentres)
{
    // A sphere of radius 1 at 200 in a 45 degree view 500 pixels high is 6 pixels across: of its 3,120
    // triangles only those whose box holds one of the few dozen pixel centres under it can show.
    SphereMesh mesh(1.0);
    const std::array<double, 16> p = perspective();
    const std::array<double, 16> m = translation(0.3, -0.2, -200.0);
    const int viewport[4] = {0, 0, 500, 500};
    PixelCoverage coverage;
    ASSERT_TRUE(coverage.project(mesh.positions(), SphereMesh::vertexCount, p, m, viewport));
    const SphereMesh::Selection part = mesh.select(nullptr, &coverage);
    EXPECT_EQ(0, part.hiddenLeftOut);
    EXPECT_EQ(2 * SphereMesh::quadCount + (part.topCap ? 0 : 40) + (part.bottomCap ? 0 : 40),
        part.indexCount / 3 + part.uncoveredLeftOut);
    EXPECT_GT(part.uncoveredLeftOut, 2500);
    EXPECT_GT(part.indexCount / 3, 50);
    // Moved wholly out of the viewport, nothing is left.
    const std::array<double, 16> aside = translation(200.0, 0.0, -200.0);
    ASSERT_TRUE(coverage.project(mesh.positions(), SphereMesh::vertexCount, p, aside, viewport));
    const SphereMesh::Selection none = mesh.select(nullptr, &coverage);
    EXPECT_EQ(0, none.indexCount);
    EXPECT_FALSE(none.topCap || none.bottomCap);
}

TEST(SphereCullingEye, OnlyWhenTheBackCanNeverWinTheDepthTest)
{
    const std::array<double, 16> p = perspective();  // near 10, far 10000
    // A sphere of radius 10 at 1000 in a view 500 pixels high: 0.5 * 500 * 2.41421 * 10 / 1010 = 5.98 pixels
    // across its half, and the depth gap 10.01 / 1010^2 * 0.45 * 10 * 0.86286 = 3.81e-5 >= 2^-18.
    const std::optional<Vec3> eye = sphereCullingEye(p, translation(0, 0, -1000), 500, 24, 10.0);
    ASSERT_TRUE(eye.has_value());
    EXPECT_EQ(Vec3(0, 0, 1000), *eye);

    // Turned a quarter about y, moved and scaled by 2: the eye comes back in the sphere's own coordinates.
    const std::array<double, 16> turned{0, 0, -2, 0, 0, 2, 0, 0, 2, 0, 0, 0, 30, -40, -500, 1};
    const std::optional<Vec3> back = sphereCullingEye(p, turned, 500, 24, 10.0);
    ASSERT_TRUE(back.has_value());
    EXPECT_NEAR(-250.0, back->x, 1e-12);
    EXPECT_NEAR(20.0, back->y, 1e-12);
    EXPECT_NEAR(-15.0, back->z, 1e-12);

    std::array<double, 16> nan = translation(0, 0, -1000);
    nan[5] = std::numeric_limits<double>::quiet_NaN();
    std::array<double, 16> orthographic = p;
    orthographic[11] = 0.0;
    orthographic[15] = 1.0;
    std::array<double, 16> flat = translation(0, 0, -1000);
    flat[10] = 0.0;
    struct Refusal {
        const char* what;
        std::array<double, 16> projection;
        std::array<double, 16> modelview;
        int depthBits;
        double radius;
    };
    const Refusal refusals[] = {
        {"through the near plane", p, translation(0, 0, -15), 24, 10.0},
        {"beyond the far plane", p, translation(0, 0, -9995), 24, 10.0},
        {"3 pixels across its half", p, translation(0, 0, -2000), 24, 10.0},
        {"a 16-bit depth buffer", p, translation(0, 0, -1000), 16, 10.0},
        // Near plane 0.1: the gap is 0.1 / 1010^2 * 3.88 = 3.8e-7, under 2^-18 even in a 32-bit buffer.
        {"a near plane at 0.1", perspective(0.1), translation(0, 0, -1000), 32, 10.0},
        {"a 12-bit depth buffer", p, translation(0, 0, -100), 12, 10.0},
        {"no radius", p, translation(0, 0, -1000), 24, 0.0},
        {"a negative radius", p, translation(0, 0, -1000), 24, -10.0},
        {"a non-finite matrix", p, nan, 24, 10.0},
        {"an orthographic projection", orthographic, translation(0, 0, -1000), 24, 10.0},
        {"a modelview flattening z", p, flat, 24, 10.0},
    };
    for (const Refusal& r : refusals)
        EXPECT_FALSE(sphereCullingEye(r.projection, r.modelview, 500, r.depthBits, r.radius)) << r.what;
    // A 32-bit buffer is still interpolated in single precision: no finer than 24 bits.
    EXPECT_EQ(sphereCullingEye(p, translation(0, 0, -1000), 500, 24, 10.0),
        sphereCullingEye(p, translation(0, 0, -1000), 500, 32, 10.0));
}

}  // namespace
}  // namespace velmora
