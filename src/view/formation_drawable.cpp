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

const FormationScene& FormationDrawable::scene()
{
    scene_.build(*formation, hasSelection ? std::optional<int>(selectedIndex) : std::nullopt);
    return scene_;
}

void FormationDrawable::draw()
{
    if (formation == nullptr || formation->craftCount() <= 0)
        return;
    formation->flattenGroups();
    scene();
    glyph.beginRendering(frustum);
    // Each craft's links follow its glyph: where lines and shapes meet at equal depth, this order decides which
    // shows.
    int link = 0;
    for (int j = 0; j < scene_.craftCount; ++j) {
        glyph.craft = &scene_.craft[j];
        glyph.draw();
        drawLinksFrom(j, link);
    }
}

void FormationDrawable::drawLinksFrom(int j, int& link) const
{
    MatrixScope scope;
    applyDisplayTurn();
    for (; link < scene_.linkCount && scene_.links[link].from == j; ++link) {
        const SceneLink& line = scene_.links[link];
        const Vec3 pj = line.fromPosition;
        const Vec3 pk = line.toPosition;
        Vec3 d = subtract(pk, pj);
        normalize(d);
        glColor3d(line.colour.red, line.colour.green, line.colour.blue);
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
        const Vec3& position = formation->spacecraft(selectedIndex).position;
        const Vec3 axis = simulationRay(*frustum, 0.0, 0.0).direction;
        const double t = dot(axis, subtract(position, mouse.origin)) / dot(axis, mouse.direction);
        formation->moveCraft(selectedIndex, add(mouse.origin, scale(mouse.direction, t)));
        return true;
    }

    const std::optional<int> picked = scene().pick(mouse);
    hasSelection = picked.has_value();
    if (hasSelection)
        selectedIndex = *picked;
    return hasSelection;
}

}  // namespace velmora
