#include "view/spacecraft_glyph.h"

#include "geometry/angles.h"
#include "scene/formation_scene.h"
#include "scene/cylinder_mesh.h"
#include "scene/sphere_mesh.h"
#include "scene/view_volume.h"
#include "view/display_lists.h"
#include "view/display_turn.h"
#include "view/matrix_scope.h"
#include "view/view_frustum.h"

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

// The modelview as OpenGL holds it, repeated on the CPU while there is a start to repeat it from: every change
// goes to both.
class MirroredModelview {
public:
    explicit MirroredModelview(const std::optional<GLMatrix>& start) : cpu_(start) {}

    void multiply(const std::array<double, 16>& m)
    {
        glMultMatrixd(m.data());
        if (cpu_)
            cpu_->multiply(m);
    }
    void translate(double x, double y, double z)
    {
        glTranslated(x, y, z);
        if (cpu_)
            cpu_->translate(x, y, z);
    }
    void rotateAboutY(double degrees)
    {
        glRotated(degrees, 0.0, 1.0, 0.0);
        if (cpu_)
            cpu_->rotateAboutY(degrees);
    }

    const GLMatrix* matrix() const { return cpu_ ? &*cpu_ : nullptr; }

private:
    std::optional<GLMatrix> cpu_;
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
void drawSphereShown(DisplayLists& lists, double r, const SpacecraftGlyph::ViewState& view, const GLMatrix& at)
{
    static MeshCache<SphereMesh, 4> meshes;
    const DisplayLists::Key key = DisplayLists::key(sphereShape, r);
    SphereMesh& mesh = meshes.find(key, [&] { return std::make_unique<SphereMesh>(r); });
    PixelCoverage& coverage = sharedCoverage();
    const std::array<double, 16> modelview = at.toDoubles();
    const bool covered = view.plainFill &&
        coverage.project(mesh.positions(), SphereMesh::vertexCount, view.projection, modelview, view.viewport);
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
    const SpacecraftGlyph::ViewState& view, const GLMatrix& at, Draw&& draw)
{
    CylinderMesh& mesh = cylinderMeshes().find(key, [&] { return std::make_unique<CylinderMesh>(base, top, height); });
    PixelCoverage& coverage = sharedCoverage();
    const std::array<double, 16> modelview = at.toDoubles();
    if (!view.plainFill ||
        !coverage.project(mesh.positions(), CylinderMesh::vertexCount, view.projection, modelview, view.viewport)) {
        lists.call(key, draw);
        return;
    }
    const CylinderMesh::Selection part = mesh.select(&coverage);
    SpacecraftGlyph::cylinderTrianglesUncovered += part.uncoveredLeftOut;
    const MeshArrays arrays(mesh.positions(), mesh.normals());
    MeshArrays::drawTriangles(part.indices, part.indexCount);
}

}  // namespace

void SpacecraftGlyph::beginRendering(const ViewFrustum* frustum)
{
    view_.reset();
    if (DisplayLists::current() == nullptr || frustum == nullptr || frustum->camera == nullptr)
        return;
    ViewState& view = view_.emplace();
    view.turned = frustum->view;
    view.turned.rotateAboutY(displayTurnDegrees);
    view.projection = frustum->projection.toDoubles();
    view.viewport[2] = frustum->viewportWidth;
    view.viewport[3] = frustum->viewportHeight;
    view.volume =
        ViewVolume::fromMatrices(view.projection, view.turned.toDoubles(), view.viewport[2], view.viewport[3]);
    glGetIntegerv(GL_DEPTH_BITS, &view.depthBits);
    GLint sampleBuffers = 0;
    glGetIntegerv(GL_SAMPLE_BUFFERS, &sampleBuffers);
    GLint polygonMode[2] = {0, 0};
    glGetIntegerv(GL_POLYGON_MODE, polygonMode);
    view.plainFill = sampleBuffers == 0 && polygonMode[0] == GL_FILL && polygonMode[1] == GL_FILL &&
                     !glIsEnabled(GL_POLYGON_SMOOTH);
    GLboolean depthWrites = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    GLint depthFunction = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunction);
    view.nearestWins = view.plainFill && glIsEnabled(GL_DEPTH_TEST) && depthWrites == GL_TRUE &&
                       (depthFunction == GL_LESS || depthFunction == GL_LEQUAL) && !glIsEnabled(GL_BLEND) &&
                       !glIsEnabled(GL_ALPHA_TEST) && !glIsEnabled(GL_STENCIL_TEST);
}

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

    // With a view's display lists at hand and its camera known, parts wholly outside its volume are skipped,
    // the rays replayed from a list, and the stub, ring and sphere sent without the triangles that cannot
    // change a pixel; otherwise every vertex is sent. Both give the same pixels.
    DisplayLists* lists = DisplayLists::current();
    const ViewState* view = lists != nullptr && view_ ? &*view_ : nullptr;
    CraftVisibility visible;
    if (view != nullptr) {
        visible = craftVisibility(*craft, view->volume);
        if (!visible.body && !visible.rays)
            return;
    }
    MirroredModelview at(view != nullptr ? std::optional<GLMatrix>(view->turned) : std::nullopt);
    at.multiply(craft->pose);

    // The sensor apex sits on the sphere's surface along body axis 2.
    at.translate(0.0, 0.0, r);
    if (visible.body) {
        glColor3d(0.1, 0.0, 1.0);
        if (view != nullptr)
            drawCylinderShown(*lists, DisplayLists::key(coneStubShape, r, t), 0.0, 0.25 * r * t, 0.25 * r, *view,
                *at.matrix(), [&] { drawConeStub(r, t); });
        else if (lists != nullptr)
            lists->call(DisplayLists::key(coneStubShape, r, t), [&] { drawConeStub(r, t); });
        else
            drawConeStub(r, t);
    }
    if (visible.rays) {
        glColor3d(0.7, 0.7, 0.0);
        drawShape(lists, DisplayLists::key(rayFanShape, r, theta), [&] { drawRayFan(r, theta); });
    }
    if (!visible.body)
        return;

    at.translate(0.0, 0.0, -r);
    // The ring's axis runs along body axis 0. A selected craft swaps the colours of ring and sphere.
    at.rotateAboutY(90.0);
    glColor3dv(craft->selected ? grey : red);
    if (view != nullptr)
        drawCylinderShown(*lists, DisplayLists::key(ringShape, r), r, r, 0.25 * r, *view, *at.matrix(),
            [&] { drawRing(r); });
    else
        drawShape(lists, DisplayLists::key(ringShape, r), [&] { drawRing(r); });
    glColor3dv(craft->selected ? red : grey);
    if (view != nullptr)
        drawSphereShown(*lists, r, *view, *at.matrix());
    else
        drawShape(lists, DisplayLists::key(sphereShape, r), [&] { drawSphere(r); });
}

}  // namespace velmora
