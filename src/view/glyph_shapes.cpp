#include "view/glyph_shapes.h"

#include "geometry/angles.h"

#include <GL/glu.h>

#include <cmath>

namespace velmora {
namespace {

// GLU quadrics hold only tessellation settings, no GL objects, so one pair serves every glyph in every
// context. They are made on first use and live as long as the process.
struct Quadrics {
    GLUquadric* cylinder = gluNewQuadric();
    GLUquadric* sphere = gluNewQuadric();
};

const Quadrics& quadrics()
{
    static const Quadrics made;
    return made;
}

void drawConeStub(double r, double t) { gluCylinder(quadrics().cylinder, 0.0, 0.25 * r * t, 0.25 * r, 40, 10); }

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

void drawRing(double r) { gluCylinder(quadrics().cylinder, r, r, 0.25 * r, 40, 10); }

void drawSphere(double r) { gluSphere(quadrics().sphere, r, 40, 40); }

}  // namespace

void StraightShapes::coneStub(double r, double t, const GLMatrix*) { drawConeStub(r, t); }

void StraightShapes::rayFan(double r, double theta) { drawRayFan(r, theta); }

void StraightShapes::ring(double r, const GLMatrix*) { drawRing(r); }

void StraightShapes::sphere(double r, const GLMatrix*) { drawSphere(r); }

void ListedShapes::coneStub(double r, double t, const GLMatrix*)
{
    lists->call(DisplayLists::key(coneStubShape, r, t), [&] { drawConeStub(r, t); });
}

void ListedShapes::rayFan(double r, double theta)
{
    lists->call(DisplayLists::key(rayFanShape, r, theta), [&] { drawRayFan(r, theta); });
}

void ListedShapes::ring(double r, const GLMatrix*)
{
    lists->call(DisplayLists::key(ringShape, r), [&] { drawRing(r); });
}

void ListedShapes::sphere(double r, const GLMatrix*)
{
    lists->call(DisplayLists::key(sphereShape, r), [&] { drawSphere(r); });
}

}  // namespace velmora
