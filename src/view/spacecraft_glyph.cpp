#include "view/spacecraft_glyph.h"

#include "scene/formation_scene.h"
#include "view/display_turn.h"
#include "view/matrix_scope.h"
#include "view/view_frustum.h"
#include "view/view_rendering.h"

#include <GL/gl.h>

namespace velmora {
namespace {

constexpr GLdouble red[3] = {1.0, 0.0, 0.0};
constexpr GLdouble grey[3] = {0.7, 0.7, 0.7};

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

}  // namespace

void SpacecraftGlyph::beginRendering(const ViewFrustum* frustum)
{
    const ViewRendering* rendering = ViewRendering::current();
    strategy_ = rendering != nullptr && rendering->lists != nullptr ? rendering->strategy : DrawingStrategy::straight;
    turned_.reset();
    if (strategy_ == DrawingStrategy::straight)
        return;
    listed_.lists = rendering->lists;
    if (frustum != nullptr && frustum->camera != nullptr) {
        turned_ = frustum->view;
        turned_->rotateAboutY(displayTurnDegrees);
        volume_ = ViewVolume::fromMatrices(frustum->projection.toDoubles(), turned_->toDoubles(),
            frustum->viewportWidth, frustum->viewportHeight);
    }
    if (strategy_ == DrawingStrategy::thinnedArrays) {
        if (turned_)
            thinned_.begin(*rendering->lists, *frustum);
        else
            strategy_ = DrawingStrategy::displayLists;  // thinning needs to know where the shapes land
    }
}

GlyphShapes& SpacecraftGlyph::shapes()
{
    switch (strategy_) {
    case DrawingStrategy::displayLists:
        return listed_;
    case DrawingStrategy::thinnedArrays:
        return thinned_;
    case DrawingStrategy::straight:
        break;
    }
    return straight_;
}

void SpacecraftGlyph::draw()
{
    if (craft == nullptr)
        return;
    const double r = craft->radius;
    const double theta = craft->coneHalfAngle;
    const double t = craft->tanConeHalfAngle;

    MatrixScope scope;
    applyDisplayTurn();
    // While the view volume is known, a body or fan wholly outside it is not sent.
    CraftVisibility visible;
    if (turned_) {
        visible = craftVisibility(*craft, volume_);
        if (!visible.body && !visible.rays)
            return;
    }
    GlyphShapes& send = shapes();
    MirroredModelview at(strategy_ == DrawingStrategy::thinnedArrays ? turned_ : std::nullopt);
    at.multiply(craft->pose);

    // The sensor apex sits on the sphere's surface along body axis 2.
    at.translate(0.0, 0.0, r);
    if (visible.body) {
        glColor3d(0.1, 0.0, 1.0);
        send.coneStub(r, t, at.matrix());
    }
    if (visible.rays) {
        glColor3d(0.7, 0.7, 0.0);
        send.rayFan(r, theta);
    }
    if (!visible.body)
        return;

    at.translate(0.0, 0.0, -r);
    // The ring's axis runs along body axis 0. A selected craft swaps the colours of ring and sphere.
    at.rotateAboutY(90.0);
    glColor3dv(craft->selected ? grey : red);
    send.ring(r, at.matrix());
    glColor3dv(craft->selected ? red : grey);
    send.sphere(r, at.matrix());
}

}  // namespace velmora
