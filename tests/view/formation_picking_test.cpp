#include "sim/formation.h"
#include "view/camera_controller.h"
#include "view/display_turn.h"
#include "view/formation_drawable.h"
#include "view/mouse_handler_chain.h"
#include "view/view_frustum.h"
#include "support/formation_editor.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace velmora {
namespace {

constexpr double tanPiOver8 = 0.41421356237309503;

// A camera at distance 750 on the +x side of OpenGL world, that is at simulation (0, 0, 750), looking down
// simulation -z, with square views. The middle of the view looks at the simulation origin.
class Picking : public ::testing::Test {
protected:
    Picking()
    {
        camera.frame.setEyeDistance(750.0);
        frustum.aspect = 1.0;
        frustum.inverseAspect = 1.0;
        frustum.fieldOfView = 0.7853981633974483;
        frustum.tanHalfFov = tanPiOver8;
        frustum.nearPlane = 10.0;
        frustum.camera = &camera.frame;
        picker.formation = &formation;
        picker.frustum = &frustum;
        chain.addHandler(&picker);
        chain.addHandler(&camera);
    }

    void place(std::initializer_list<Vec3> positions)
    {
        FormationEditor edit(formation);
        edit.craftCount() = 0;
        for (const Vec3& p : positions) {
            Spacecraft& craft = edit.craft(edit.craftCount()++);
            craft.position = p;
            craft.craftRadius = 10.0;
        }
    }

    // The view axis in simulation coordinates, pointing away from the eye.
    Vec3 viewAxis() const
    {
        Ray central;
        frustum.makeRay(0.0, 0.0, central);
        return timesVector(simulationFromDisplay, central.direction);
    }

    Formation formation;
    CameraController camera;
    ViewFrustum frustum;
    FormationDrawable picker;
    MouseHandlerChain chain;
};

TEST_F(Picking, TheSceneShowsTheSelectionOnlyWhileThereIsOne)
{
    place({{0, 0, 0}, {50, 0, 0}, {100, 0, 0}});
    // An index alone, without a selection, shows nothing selected.
    picker.selectedIndex = 1;
    for (const bool has : {false, true}) {
        picker.hasSelection = has;
        const FormationScene& scene = picker.scene();
        for (int j = 0; j < 3; ++j)
            EXPECT_EQ(has && j == 1, scene.craft[j].selected) << j;
    }
}

TEST_F(Picking, CursorOffCentreFollowsTheView)
{
    // Right of centre on screen is simulation +y, below centre is simulation +x at this camera.
    place({{0, 150 * tanPiOver8, 0}, {150 * tanPiOver8, 0, 0}});
    EXPECT_TRUE(picker.handleMouse(MK_LBUTTON, 0.6, 0.5));
    EXPECT_EQ(0, picker.selectedIndex);
    picker.hasSelection = false;
    EXPECT_TRUE(picker.handleMouse(MK_LBUTTON, 0.5, 0.6));
    EXPECT_EQ(1, picker.selectedIndex);
}

TEST_F(Picking, DraggingKeepsTheDepthAlongTheViewAxis)
{
    place({{0, 0, 0}});
    FormationEditor(formation).craft(0).velocity = {1, 2, 3};
    ASSERT_TRUE(chain.handleMouse(MK_LBUTTON, 0.5, 0.5));
    EXPECT_TRUE(chain.handleMouse(MK_LBUTTON, 0.6, 0.5));
    const Vec3 p = formation.spacecraft(0).position;
    EXPECT_NEAR(0.0, p.x, 1e-9);
    EXPECT_NEAR(150 * tanPiOver8, p.y, 1e-9);
    EXPECT_NEAR(0.0, p.z, 1e-9);
    EXPECT_EQ((Vec3{1, 2, 3}), formation.spacecraft(0).velocity);
    EXPECT_EQ(0u, camera.lastFlags);
}

TEST_F(Picking, DraggingAlongSimulationXMovesOnlyYAndZ)
{
    // A camera turned a quarter about its own axis 1 looks along OpenGL z, which is simulation x.
    camera.frame.rotateBody(axisRotation(1, 3.141592653589793 / 2));
    const Vec3 axis = viewAxis();
    ASSERT_NEAR(1.0, std::abs(axis.x), 1e-12);
    place({{40, 0, 0}});
    const Vec3 start = formation.spacecraft(0).position;
    ASSERT_TRUE(picker.handleMouse(MK_LBUTTON, 0.5, 0.5));
    EXPECT_TRUE(picker.handleMouse(MK_LBUTTON, 0.7, 0.35));
    const Vec3 p = formation.spacecraft(0).position;
    EXPECT_NEAR(start.x, p.x, 1e-9);
    EXPECT_GT(std::abs(p.y) + std::abs(p.z), 20.0);
}

TEST_F(Picking, DraggingNeverPicksAgain)
{
    place({{0, 0, 0}, {0, 150 * tanPiOver8, 200}});
    ASSERT_TRUE(picker.handleMouse(MK_LBUTTON, 0.5, 0.5));
    EXPECT_TRUE(picker.handleMouse(MK_LBUTTON, 0.6, 0.5));
    EXPECT_EQ(0, picker.selectedIndex);
}

TEST_F(Picking, ReleaseClearsTheSelectionAndReachesTheCamera)
{
    place({{0, 0, 0}});
    ASSERT_TRUE(chain.handleMouse(MK_LBUTTON, 0.5, 0.5));
    EXPECT_TRUE(chain.handleMouse(0, 0.55, 0.5));
    EXPECT_FALSE(picker.hasSelection);
    EXPECT_EQ(0.55, camera.lastX);
    // A right-button zoom is never taken for a pick.
    EXPECT_FALSE(picker.handleMouse(MK_RBUTTON, 0.5, 0.5));
}

TEST_F(Picking, DeclinesWithoutFormationOrFrustum)
{
    place({{0, 0, 0}});
    picker.frustum = nullptr;
    EXPECT_FALSE(picker.handleMouse(MK_LBUTTON, 0.5, 0.5));
    picker.frustum = &frustum;
    picker.formation = nullptr;
    EXPECT_FALSE(picker.handleMouse(MK_LBUTTON, 0.5, 0.5));
    EXPECT_FALSE(picker.hasSelection);
}

TEST_F(Picking, WithoutACameraTheDefaultRayIsUsed)
{
    // The default ray runs along OpenGL z through the origin, which is simulation -x.
    frustum.camera = nullptr;
    place({{300, 5, 0}, {0, 0, 0}});
    EXPECT_TRUE(picker.handleMouse(MK_LBUTTON, 0.1, 0.9));
    EXPECT_EQ(1, picker.selectedIndex);
}

TEST_F(Picking, NegativeEyeDistanceLooksFromTheOtherSide)
{
    // The eye at simulation (0, 0, -750) looks up +z: the nearer craft is now the one at negative z.
    camera.frame.setEyeDistance(750.0);
    camera.frame.addEyeDistance(-1500.0);
    place({{0, 0, 300}, {0, 0, -300}});
    EXPECT_TRUE(picker.handleMouse(MK_LBUTTON, 0.5, 0.5));
    EXPECT_EQ(1, picker.selectedIndex);
}

}  // namespace
}  // namespace velmora
