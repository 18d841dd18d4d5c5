#include "view/spacecraft_glyph.h"

#include "sim/spacecraft.h"
#include "view/display_lists.h"
#include "view/display_turn.h"
#include "view/matrix_scope.h"
#include "view/view_volume.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>

namespace velmora {
namespace {

// GLU quadrics hold only tessellation settings, no GL objects, so one pair serves every glyph in every
// context. They are made on first use and live as long as the process.
GLUquadric* cylinderQuadric = nullptr;
GLUquadric* sphereQuadric = nullptr;
bool quadricsCreated = false;

constexpr double pi = 3.141592653589793;

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

void SpacecraftGlyph::draw()
{
    if (craft == nullptr)
        return;
    if (!quadricsCreated) {
        cylinderQuadric = gluNewQuadric();
        sphereQuadric = gluNewQuadric();
        quadricsCreated = true;
    }
    const double r = craft->craftRadius;
    const double theta = craft->fovHalfAngle;
    const double t = craft->tanFov;

    MatrixScope scope;
    applyDisplayTurn();

    // With a view's display lists at hand, parts wholly outside its volume are skipped and the rest replayed
    // from lists; otherwise every vertex is sent. Both give the same pixels.
    DisplayLists* lists = DisplayLists::current();
    bool showBody = true;
    bool showRays = true;
    if (lists != nullptr) {
        const ViewVolume volume = ViewVolume::fromCurrentMatrices();
        const double stretch = stretchBound(craft->attitude);
        const double a = std::fabs(r);
        // Ring and sphere reach 1.031 r from the centre; the stub ends 1.25 r out, 0.25 r t off the axis.
        const double body = std::max(1.0308 * a, std::hypot(1.25 * a, 0.25 * a * t));
        // Rays run 10 r from the apex, which is r from the centre.
        const double rays = 11.0 * a;
        showBody = !volume.excludesSphere(craft->position, stretch * body);
        showRays = !volume.excludesSphere(craft->position, stretch * rays);
        if (!showBody && !showRays)
            return;
    }

    const auto pose = craft->poseMatrix();
    glMultMatrixd(pose.data());

    // The sensor apex sits on the sphere's surface along body axis 2.
    glTranslated(0.0, 0.0, r);
    if (showBody) {
        glColor3d(0.1, 0.0, 1.0);
        if (lists != nullptr)
            lists->call(DisplayLists::key(coneStubShape, r, t), [&] { drawConeStub(r, t); });
        else
            drawConeStub(r, t);
    }

    if (showRays) {
        glColor3d(0.7, 0.7, 0.0);
        if (lists != nullptr)
            lists->call(DisplayLists::key(rayFanShape, r, theta), [&] { drawRayFan(r, theta); });
        else
            drawRayFan(r, theta);
    }
    if (!showBody)
        return;

    glTranslated(0.0, 0.0, -r);
    // The ring's axis runs along body axis 0.
    glRotated(90.0, 0.0, 1.0, 0.0);
    if (selected)
        glColor3d(0.7, 0.7, 0.7);
    else
        glColor3d(1.0, 0.0, 0.0);
    if (lists != nullptr)
        lists->call(DisplayLists::key(ringShape, r), [&] { drawRing(r); });
    else
        drawRing(r);

    if (selected)
        glColor3d(1.0, 0.0, 0.0);
    else
        glColor3d(0.7, 0.7, 0.7);
    if (lists != nullptr)
        lists->call(DisplayLists::key(sphereShape, r), [&] { drawSphere(r); });
    else
        drawSphere(r);
}

}  // namespace velmora
