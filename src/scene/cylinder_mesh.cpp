#include "scene/cylinder_mesh.h"

#include "geometry/angles.h"
#include "scene/strip_quads.h"

#include <array>
#include <cmath>

namespace velmora {
namespace {

}  // namespace

CylinderMesh::CylinderMesh(double baseRadius, double topRadius, double height)
    : positions_(3 * vertexCount), normals_(3 * vertexCount), indices_(3 * triangleCount)
{
    // GLU's own arithmetic: the slope kept in float, angles rounded to float and their sines taken in double,
    // heights and radii worked in double and rounded to float.
    const float deltaRadius = static_cast<float>(baseRadius - topRadius);
    const float length = static_cast<float>(std::sqrt(deltaRadius * deltaRadius + height * height));
    const float zNormal = deltaRadius / length;
    const float xyNormal = static_cast<float>(height / length);
    std::array<float, slices + 1> sinA{};
    std::array<float, slices + 1> cosA{};
    std::array<float, slices + 1> sinN{};
    std::array<float, slices + 1> cosN{};
    for (int i = 0; i < slices; ++i) {
        const float angle = static_cast<float>(2 * pi * i / slices);
        sinN[i] = static_cast<float>(xyNormal * std::sin(static_cast<double>(angle)));
        cosN[i] = static_cast<float>(xyNormal * std::cos(static_cast<double>(angle)));
        sinA[i] = static_cast<float>(std::sin(static_cast<double>(angle)));
        cosA[i] = static_cast<float>(std::cos(static_cast<double>(angle)));
    }
    sinA[slices] = sinA[0];
    cosA[slices] = cosA[0];
    sinN[slices] = sinN[0];
    cosN[slices] = cosN[0];

    int v = 0;
    const auto put = [&](int i, float radius, float z) {
        normals_[3 * v] = sinN[i];
        normals_[3 * v + 1] = cosN[i];
        normals_[3 * v + 2] = zNormal;
        positions_[3 * v] = radius * sinA[i];
        positions_[3 * v + 1] = radius * cosA[i];
        positions_[3 * v + 2] = z;
        ++v;
    };
    for (int j = 0; j < stacks; ++j) {
        const auto zLow = static_cast<float>(j * height / stacks);
        const auto zHigh = static_cast<float>((j + 1) * height / stacks);
        const auto radiusLow = static_cast<float>(baseRadius - deltaRadius * (static_cast<float>(j) / stacks));
        const auto radiusHigh = static_cast<float>(baseRadius - deltaRadius * (static_cast<float>(j + 1) / stacks));
        for (int i = 0; i <= slices; ++i) {
            put(i, radiusLow, zLow);
            put(i, radiusHigh, zHigh);
        }
    }
}

CylinderMesh::Selection CylinderMesh::select(const PixelCoverage* coverage)
{
    Selection selection;
    int n = 0;
    for (int j = 0; j < stacks; ++j)
        for (int k = 0; k < slices; ++k)
            n = appendStripQuad(j * stripVertices + 2 * k, coverage, indices_.data(), n, selection.uncoveredLeftOut);
    selection.indices = indices_.data();
    selection.indexCount = n;
    return selection;
}

}  // namespace velmora
