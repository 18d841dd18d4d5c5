#include "view/spacecraft_glyph.h"

#include "sim/spacecraft.h"
#include "view/display_turn.h"
#include "view/matrix_scope.h"

#include <GL/glu.h>

#include <cmath>

namespace velmora {
namespace {

// GLU quadrics hold only tessellation settings, no GL objects, so one pair serves every glyph in every
// context. They are made on first use and live as long as the process.
GLUquadric* cylinderQuadric = nullptr;
GLUquadric* sphereQuadric = nullptr;
bool quadricsCreated = false;

constexpr double pi = 3.141592653589793;

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
    const auto pose = craft->poseMatrix();
    glMultMatrixd(pose.data());

    // The sensor apex sits on the sphere's surface along body axis 2.
    glTranslated(0.0, 0.0, r);
    glColor3d(0.1, 0.0, 1.0);
    gluCylinder(cylinderQuadric, 0.0, 0.25 * r * t, 0.25 * r, 40, 10);

    glColor3d(0.7, 0.7, 0.0);
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

    glTranslated(0.0, 0.0, -r);
    // The ring's axis runs along body axis 0.
    glRotated(90.0, 0.0, 1.0, 0.0);
    if (selected)
        glColor3d(0.7, 0.7, 0.7);
    else
        glColor3d(1.0, 0.0, 0.0);
    gluCylinder(cylinderQuadric, r, r, 0.25 * r, 40, 10);

    if (selected)
        glColor3d(1.0, 0.0, 0.0);
    else
        glColor3d(0.7, 0.7, 0.7);
    gluSphere(sphereQuadric, r, 40, 40);
}

}  // namespace velmora
