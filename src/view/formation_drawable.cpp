#include "view/formation_drawable.h"

#include "sim/formation.h"
#include "view/display_turn.h"
#include "view/matrix_scope.h"
#include "view/view_frustum.h"

namespace velmora {
namespace {

// The ray through screen point (u, v), in simulation coordinates. Without a camera the default ray is kept.
Ray simulationRay(const ViewFrustum& frustum, double u, double v)
{
    Ray ray;
    frustum.makeRay(u, v, ray);
    ray.direction = timesVector(simulationFromDisplay, ray.direction);
    ray.origin = timesVector(simulationFromDisplay, ray.origin);
    return ray;
}

}  // namespace

void FormationDrawable::draw()
{
    if (formation == nullptr || formation->craftCount <= 0)
        return;
    for (int j = 0; j < formation->craftCount; ++j) {
        glyph.craft = &formation->spacecraft[j];
        glyph.selected = hasSelection && selectedIndex == j;
        glyph.draw();
        drawLinks(j);
    }
}

void FormationDrawable::drawLinks(int j)
{
    const Vec3 pj = formation->spacecraft[j].position;
    const std::uint32_t seen = formation->seen[j];
    const int root = formation->findGroup(j);
    // Only j's own entry is shortened; the path behind it is left for later draws.
    formation->parent[j] = root;
    glColor3d(root & 1, (root >> 1) & 1, 1.0);

    MatrixScope scope;
    applyDisplayTurn();
    for (int k = j + 1; k < formation->craftCount; ++k) {
        if ((seen & (std::uint32_t{1} << k)) == 0)
            continue;
        const Vec3 pk = formation->spacecraft[k].position;
        Vec3 d = subtract(pk, pj);
        normalize(d);
        glBegin(GL_LINES);
        glNormal3d(-d.x, -d.y, -d.z);
        glVertex3d(pj.x, pj.y, pj.z);
        glNormal3d(d.x, d.y, d.z);
        glVertex3d(pk.x, pk.y, pk.z);
        glEnd();
    }
}

bool FormationDrawable::handleMouse(std::uint32_t flags, double x, double y)
{
    if (frustum == nullptr || formation == nullptr)
        return false;
    if ((flags & MK_LBUTTON) == 0) {
        hasSelection = false;
        return false;
    }
    const Ray mouse = simulationRay(*frustum, 1.0 - 2.0 * x, 2.0 * y - 1.0);

    if (hasSelection) {
        // Keep the craft at its depth along the view axis: move it within the plane through its position
        // that faces the viewer, to where the mouse ray crosses that plane.
        Spacecraft& craft = formation->spacecraft[selectedIndex];
        const Vec3 axis = simulationRay(*frustum, 0.0, 0.0).direction;
        const double t = dot(axis, subtract(craft.position, mouse.origin)) / dot(axis, mouse.direction);
        craft.position = add(mouse.origin, scale(mouse.direction, t));
        return true;
    }

    hasSelection = false;
    double nearest = 0.0;
    for (int j = 0; j < formation->craftCount; ++j) {
        const Spacecraft& craft = formation->spacecraft[j];
        const double r = craft.craftRadius;
        if (!(mouse.distanceSquaredTo(craft.position) < r * r))
            continue;
        const Vec3 w = subtract(craft.position, mouse.origin);
        const double distance = dot(w, w);
        if (!hasSelection || distance < nearest) {
            hasSelection = true;
            selectedIndex = j;
            nearest = distance;
        }
    }
    return hasSelection;
}

}  // namespace velmora
