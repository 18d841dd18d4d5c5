#include "view/spacecraft_glyph.h"

#include "geometry/angles.h"
#include "scene/formation_scene.h"
#include "scene/cylinder_mesh.h"
#include "scene/sphere_mesh.h"
#include "scene/view_volume.h"
#include "view/display_lists.h"
#include "view/display_turn.h"
#include "view/matrix_scope.h"

#include <GL/glu.h>

#include <array>
#include <cmath>
#include <memory>
#include <optional>
#include <utility>

namespace velmora {
namespace {

// GLU quadrics hold only tessellation settings, no GL objects, so one pair serves every glyph in every
// context. They are made on first use and live as long as the process.
GLUquadric* cylinderQuadric = nullptr;
GLUquadric* sphereQuadric = nullptr;
bool quadricsCreated = false;

constexpr GLdouble red[3] = {1.0, 0.0, 0.0};
constexpr GLdouble grey[3] = {0.7, 0.7, 0.7};

// The shapes a view keeps as display lists, each named with the numbers it is built from.
enum Shape { coneStubShape = 1, rayFanShape, ringShape, sphereShape };

void drawConeStub(double r, double t) { gluCylinder(cylinderQuadric, 0.0, 0.25 * r * t, 0.25 * r, 40, 10); }

void drawRayFan(double r, double theta)
{
    const double R = 10.0 * r;
    const double st = std::sin(theta);
    const double ct = std::cos(theta);
    glBegin(GL_LINES);
    // Counted, not accumulated, so rounding can never add a thirteenth ray at 2 pi.
    for (int k = 0; k < 12; ++k) {
        const double phi = k * (pi / 6.0);
        const double sp = std::sin(phi);
        const double cp = std::cos(phi);
        glNormal3d(st * sp, st * cp, ct);
        glVertex3d(0.0, 0.0, 0.0);
        glVertex3d(R * st * sp, R * st * cp, R * ct);
    }
    glEnd();
}

void drawRing(double r) { gluCylinder(cylinderQuadric, r, r, 0.25 * r, 40, 10); }

void drawSphere(double r) { gluSphere(sphereQuadric, r, 40, 40); }

// Replays a shape from the view's lists when it has some, else sends it directly.
template <typename Draw>
void drawShape(DisplayLists* lists, const DisplayLists::Key& key, Draw&& draw)
{
    if (lists != nullptr)
        lists->call(key, draw);
    else
        draw();
}

// The view being rendered as OpenGL has it now.
struct CurrentView {
    std::array<double, 16> projection{};
    std::array<double, 16> modelview{};
    GLint viewport[4] = {0, 0, 0, 0};
    GLint depthBits = 0;
    // Triangles are filled, one sample a pixel at its centre, so one that covers no centre makes no fragment.
    bool plainFill = false;
    // The nearest fragment of a pixel decides it alone, whatever is drawn before or after.
    bool nearestWins = false;

    CurrentView()
    {
        glGetDoublev(GL_PROJECTION_MATRIX, projection.data());
        glGetDoublev(GL_MODELVIEW_MATRIX, modelview.data());
        glGetIntegerv(GL_VIEWPORT, viewport);
        glGetIntegerv(GL_DEPTH_BITS, &depthBits);
        GLint sampleBuffers = 0;
        glGetIntegerv(GL_SAMPLE_BUFFERS, &sampleBuffers);
        GLint polygonMode[2] = {0, 0};
        glGetIntegerv(GL_POLYGON_MODE, polygonMode);
        plainFill = sampleBuffers == 0 && polygonMode[0] == GL_FILL && polygonMode[1] == GL_FILL &&
                    !glIsEnabled(GL_POLYGON_SMOOTH);
        GLboolean depthWrites = GL_FALSE;
        glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
        GLint depthFunction = 0;
        glGetIntegerv(GL_DEPTH_FUNC, &depthFunction);
        nearestWins = plainFill && glIsEnabled(GL_DEPTH_TEST) && depthWrites == GL_TRUE &&
                      (depthFunction == GL_LESS || depthFunction == GL_LEQUAL) && !glIsEnabled(GL_BLEND) &&
                      !glIsEnabled(GL_ALPHA_TEST) && !glIsEnabled(GL_STENCIL_TEST);
    }

    // The view's volume in the current modelview coordinates.
    ViewVolume volume() const { return ViewVolume::fromMatrices(projection, modelview, viewport[2], viewport[3]); }

    // Where count vertices, given in the current modelview coordinates, land in the window; false when that
    // cannot be told, or when pixel centres do not decide what a triangle covers.
    bool project(PixelCoverage& coverage, const float* positions, int count, std::array<double, 16>& current) const
    {
        glGetDoublev(GL_MODELVIEW_MATRIX, current.data());
        return plainFill && coverage.project(positions, count, projection, current, viewport);
    }
};

// Meshes of the last few sizes, found by the same key as the shape's display list; like the quadrics they
// hold no GL objects and serve every context.
template <typename Mesh, std::size_t N>
class MeshCache {
public:
    template <typename Make>
    Mesh& find(const DisplayLists::Key& key, Make&& make)
    {
        for (const auto& [k, mesh] : entries_)
            if (mesh && k == key)
                return *mesh;
        auto& slot = entries_[next_];
        next_ = (next_ + 1) % N;
        slot = {key, make()};
        return *slot.second;
    }

private:
    std::array<std::pair<DisplayLists::Key, std::unique_ptr<Mesh>>, N> entries_;
    std::size_t next_ = 0;
};

// Stubs and rings alike, told apart by their keys' shapes.
MeshCache<CylinderMesh, 8>& cylinderMeshes()
{
    static MeshCache<CylinderMesh, 8> meshes;
    return meshes;
}

// One window projection serves every mesh in turn: renderings happen on the user-interface thread only.
PixelCoverage& sharedCoverage()
{
    static PixelCoverage coverage;
    return coverage;
}

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

// The sphere without what cannot change a pixel: the quads that lie deep behind its own front, and the
// triangles too small or too far out to cover a pixel centre. When neither can be told, the whole sphere from
// the view's list.
void drawSphereShown(DisplayLists& lists, double r, const CurrentView& view)
{
    static MeshCache<SphereMesh, 4> meshes;
    const DisplayLists::Key key = DisplayLists::key(sphereShape, r);
    SphereMesh& mesh = meshes.find(key, [&] { return std::make_unique<SphereMesh>(r); });
    PixelCoverage& coverage = sharedCoverage();
    std::array<double, 16> modelview;
    const bool covered = view.project(coverage, mesh.positions(), SphereMesh::vertexCount, modelview);
    const std::optional<Vec3> eye = view.nearestWins
        ? sphereCullingEye(view.projection, modelview, view.viewport[3], view.depthBits, r)
        : std::nullopt;
    if (!eye && !covered) {
        lists.call(key, [&] { drawSphere(r); });
        return;
    }
    const SphereMesh::Selection part = mesh.select(eye ? &*eye : nullptr, covered ? &coverage : nullptr);
    SpacecraftGlyph::sphereTrianglesHidden += part.hiddenLeftOut;
    SpacecraftGlyph::sphereTrianglesUncovered += part.uncoveredLeftOut;
    const MeshArrays arrays(mesh.positions(), mesh.normals());
    // In GLU's order: top cap, bottom cap, strips.
    if (part.topCap)
        glDrawArrays(GL_TRIANGLE_FAN, 0, SphereMesh::capVertices);
    if (part.bottomCap)
        glDrawArrays(GL_TRIANGLE_FAN, SphereMesh::capVertices, SphereMesh::capVertices);
    MeshArrays::drawTriangles(part.indices, part.indexCount);
}

// A cone stub or ring without the triangles that cover no pixel centre; when that cannot be told, the whole
// shape from the view's list.
template <typename Draw>
void drawCylinderShown(DisplayLists& lists, const DisplayLists::Key& key, double base, double top, double height,
    const CurrentView& view, Draw&& draw)
{
    CylinderMesh& mesh = cylinderMeshes().find(key, [&] { return std::make_unique<CylinderMesh>(base, top, height); });
    PixelCoverage& coverage = sharedCoverage();
    std::array<double, 16> modelview;
    if (!view.project(coverage, mesh.positions(), CylinderMesh::vertexCount, modelview)) {
        lists.call(key, draw);
        return;
    }
    const CylinderMesh::Selection part = mesh.select(&coverage);
    SpacecraftGlyph::cylinderTrianglesUncovered += part.uncoveredLeftOut;
    const MeshArrays arrays(mesh.positions(), mesh.normals());
    MeshArrays::drawTriangles(part.indices, part.indexCount);
}

}  // namespace

void SpacecraftGlyph::draw()
{
    if (craft == nullptr)
        return;
    if (!quadricsCreated) {
        cylinderQuadric = gluNewQuadric();
        sphereQuadric = gluNewQuadric();
        quadricsCreated = true;
    }
    const double r = craft->radius;
    const double theta = craft->coneHalfAngle;
    const double t = craft->tanConeHalfAngle;

    MatrixScope scope;
    applyDisplayTurn();

    // With a view's display lists at hand, parts wholly outside its volume are skipped, the rays replayed from
    // a list, and the stub, ring and sphere sent without the triangles that cannot change a pixel; otherwise
    // every vertex is sent. Both give the same pixels.
    DisplayLists* lists = DisplayLists::current();
    CraftVisibility visible;
    std::optional<CurrentView> view;
    if (lists != nullptr) {
        view.emplace();
        visible = craftVisibility(*craft, view->volume());
        if (!visible.body && !visible.rays)
            return;
    }

    glMultMatrixd(craft->pose.data());

    // The sensor apex sits on the sphere's surface along body axis 2.
    glTranslated(0.0, 0.0, r);
    if (visible.body) {
        glColor3d(0.1, 0.0, 1.0);
        if (lists != nullptr)
            drawCylinderShown(*lists, DisplayLists::key(coneStubShape, r, t), 0.0, 0.25 * r * t, 0.25 * r, *view,
                [&] { drawConeStub(r, t); });
        else
            drawConeStub(r, t);
    }
    if (visible.rays) {
        glColor3d(0.7, 0.7, 0.0);
        drawShape(lists, DisplayLists::key(rayFanShape, r, theta), [&] { drawRayFan(r, theta); });
    }
    if (!visible.body)
        return;

    glTranslated(0.0, 0.0, -r);
    // The ring's axis runs along body axis 0. A selected craft swaps the colours of ring and sphere.
    glRotated(90.0, 0.0, 1.0, 0.0);
    glColor3dv(craft->selected ? grey : red);
    if (lists != nullptr)
        drawCylinderShown(*lists, DisplayLists::key(ringShape, r), r, r, 0.25 * r, *view, [&] { drawRing(r); });
    else
        drawRing(r);
    glColor3dv(craft->selected ? red : grey);
    if (lists != nullptr)
        drawSphereShown(*lists, r, *view);
    else
        drawSphere(r);
}

}  // namespace velmora
