#include "view/thinned_shapes.h"

#include "view/gl_matrix.h"
#include "view/view_frustum.h"

#include <GL/gl.h>

#include <optional>

namespace velmora {
namespace {

// Vertex and normal arrays switched on for the life of the scope.
class MeshArrays {
public:
    MeshArrays(const float* positions, const float* normals)
    {
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_NORMAL_ARRAY);
        glVertexPointer(3, GL_FLOAT, 0, positions);
        glNormalPointer(GL_FLOAT, 0, normals);
    }
    ~MeshArrays()
    {
        glDisableClientState(GL_NORMAL_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
    }
    MeshArrays(const MeshArrays&) = delete;
    MeshArrays& operator=(const MeshArrays&) = delete;

    static void drawTriangles(const std::uint16_t* indices, int count)
    {
        if (count > 0)
            glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_SHORT, indices);
    }
};

}  // namespace

void ThinnedShapes::begin(DisplayLists& lists, const ViewFrustum& frustum)
{
    whole_.lists = &lists;
    projection_ = frustum.projection.toDoubles();
    viewport_[2] = frustum.viewportWidth;
    viewport_[3] = frustum.viewportHeight;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits_);
    GLint sampleBuffers = 0;
    glGetIntegerv(GL_SAMPLE_BUFFERS, &sampleBuffers);
    GLint polygonMode[2] = {0, 0};
    glGetIntegerv(GL_POLYGON_MODE, polygonMode);
    plainFill_ = sampleBuffers == 0 && polygonMode[0] == GL_FILL && polygonMode[1] == GL_FILL &&
                 !glIsEnabled(GL_POLYGON_SMOOTH);
    GLboolean depthWrites = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    GLint depthFunction = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunction);
    nearestWins_ = plainFill_ && glIsEnabled(GL_DEPTH_TEST) && depthWrites == GL_TRUE &&
                   (depthFunction == GL_LESS || depthFunction == GL_LEQUAL) && !glIsEnabled(GL_BLEND) &&
                   !glIsEnabled(GL_ALPHA_TEST) && !glIsEnabled(GL_STENCIL_TEST);
}

bool ThinnedShapes::project(const float* positions, int count, const std::array<double, 16>& modelview)
{
    return plainFill_ && coverage_.project(positions, count, projection_, modelview, viewport_);
}

void ThinnedShapes::coneStub(double r, double t, const GLMatrix* modelview)
{
    const DisplayLists::Key key = DisplayLists::key(coneStubShape, r, t);
    if (modelview == nullptr ||
        !sendThinned(cylinders_.find(key, [&] { return std::make_unique<CylinderMesh>(0.0, 0.25 * r * t, 0.25 * r); }),
            *modelview))
        whole_.coneStub(r, t, nullptr);
}

void ThinnedShapes::rayFan(double r, double theta) { whole_.rayFan(r, theta); }

void ThinnedShapes::ring(double r, const GLMatrix* modelview)
{
    const DisplayLists::Key key = DisplayLists::key(ringShape, r);
    if (modelview == nullptr ||
        !sendThinned(cylinders_.find(key, [&] { return std::make_unique<CylinderMesh>(r, r, 0.25 * r); }), *modelview))
        whole_.ring(r, nullptr);
}

// A stub or ring without the triangles that cover no pixel centre; false, with nothing sent, when that cannot
// be told.
bool ThinnedShapes::sendThinned(CylinderMesh& mesh, const GLMatrix& modelview)
{
    if (!project(mesh.positions(), CylinderMesh::vertexCount, modelview.toDoubles()))
        return false;
    const CylinderMesh::Selection part = mesh.select(&coverage_);
    counters_.cylinderTrianglesUncovered += part.uncoveredLeftOut;
    const MeshArrays arrays(mesh.positions(), mesh.normals());
    MeshArrays::drawTriangles(part.indices, part.indexCount);
    return true;
}

// The sphere without the quads deep behind its own front and the triangles that cover no pixel centre; when
// neither can be told, the whole sphere from the view's list.
void ThinnedShapes::sphere(double r, const GLMatrix* modelview)
{
    if (modelview == nullptr) {
        whole_.sphere(r, nullptr);
        return;
    }
    SphereMesh& mesh =
        spheres_.find(DisplayLists::key(sphereShape, r), [&] { return std::make_unique<SphereMesh>(r); });
    const std::array<double, 16> m = modelview->toDoubles();
    const bool covered = project(mesh.positions(), SphereMesh::vertexCount, m);
    const std::optional<Vec3> eye =
        nearestWins_ ? sphereCullingEye(projection_, m, viewport_[3], depthBits_, r) : std::nullopt;
    if (!eye && !covered) {
        whole_.sphere(r, nullptr);
        return;
    }
    const SphereMesh::Selection part = mesh.select(eye ? &*eye : nullptr, covered ? &coverage_ : nullptr);
    counters_.sphereTrianglesHidden += part.hiddenLeftOut;
    counters_.sphereTrianglesUncovered += part.uncoveredLeftOut;
    const MeshArrays arrays(mesh.positions(), mesh.normals());
    // In GLU's order: top cap, bottom cap, strips.
    if (part.topCap)
        glDrawArrays(GL_TRIANGLE_FAN, 0, SphereMesh::capVertices);
    if (part.bottomCap)
        glDrawArrays(GL_TRIANGLE_FAN, SphereMesh::capVertices, SphereMesh::capVertices);
    MeshArrays::drawTriangles(part.indices, part.indexCount);
}

}  // namespace velmora
