// The main dialog's scene: each view with its own camera, mouse chain and formation drawable, wired at start
// and showing the default formation; the mouse in the dialog's views orbits and drags for real.
#include "app/main_dialog.h"
#include "support/scene_pixels.h"
#include "view/drawable.h"
#include "view/mouse_handler.h"

#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

namespace velmora {
namespace {

// Where a simulation point shows in a view whose camera still looks from the start position, simulation
// (0, 0, 750): simulation y runs to the right, simulation x downwards.
QPoint onScreen(const GLView& view, const Vec3& p)
{
    const double pixelsPerUnit = 0.5 * view.height() / ((750.0 - p.z) * std::tan(3.141592653589793 / 8));
    return {static_cast<int>(std::lround(0.5 * view.width() + p.y * pixelsPerUnit)),
        static_cast<int>(std::lround(0.5 * view.height() + p.x * pixelsPerUnit))};
}

// The dialog sets up its craft from the program's random sequence; starting that afresh puts every test's
// dialog on the default scene a freshly started program shows.
struct FreshRandomSequence {
    FreshRandomSequence() { processRand15() = Rand15{}; }
};

class SceneWiring : public ::testing::Test {
protected:
    void show()
    {
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        QTRY_VERIFY(dialog.leftGLView().isExposed() && dialog.rightGLView().isExposed());
        dialog.leftGLView().paint();
    }

    FreshRandomSequence fresh;
    FormationDrawables drawables;
    MainDialog dialog{drawables};
};

TEST_F(SceneWiring, EachViewHasItsOwnCameraChainAndDrawable)
{
    struct Side {
        GLView& view;
        const CameraController& camera;
        const MouseHandlerChain& chain;
        FormationDrawable& drawable;
    };
    const Side sides[] = {
        {dialog.leftGLView(), dialog.leftCameraController(), dialog.leftMouseChain(), drawables.left},
        {dialog.rightGLView(), dialog.rightCameraController(), dialog.rightMouseChain(), drawables.right},
    };
    for (const Side& side : sides) {
        ASSERT_EQ(2u, side.view.sceneList.size());
        EXPECT_EQ(static_cast<const Drawable*>(&side.camera), side.view.sceneList[0]);
        EXPECT_EQ(static_cast<Drawable*>(&side.drawable), side.view.sceneList[1]);
        ASSERT_EQ(2u, side.chain.handlers.size());
        EXPECT_EQ(static_cast<MouseHandler*>(&side.drawable), side.chain.handlers[0]);
        EXPECT_EQ(static_cast<const MouseHandler*>(&side.camera), side.chain.handlers[1]);
        EXPECT_EQ(&side.chain, side.view.mouseHandler);

        EXPECT_EQ(750.0, side.camera.frame.eyeDistance());
        EXPECT_TRUE(side.camera.lightingEnabled);
        EXPECT_EQ(Mat3{}, side.camera.frame.orientation);
        EXPECT_EQ(10.0, side.view.nearPlane);
        EXPECT_EQ(10000.0, side.view.farPlane);
        EXPECT_TRUE(side.view.frustumEnabled);
        EXPECT_TRUE(side.view.frustumTracking);
        EXPECT_EQ(&side.camera.frame, side.view.camera);

        EXPECT_EQ(&dialog.formationState(), side.drawable.formation);
        EXPECT_EQ(&side.view.frustum, side.drawable.frustum);
        EXPECT_FALSE(side.drawable.hasSelection);
    }
    EXPECT_NE(&dialog.leftCameraController(), &dialog.rightCameraController());
    EXPECT_EQ(&dialog.rightGLView(), dialog.leftGLView().linkedView);
    EXPECT_EQ(&dialog.leftGLView(), dialog.rightGLView().linkedView);
}

TEST_F(SceneWiring, ASecondDialogComingAndGoingLeavesTheFirstOneDrawingItsOwnFormation)
{
    {
        FormationDrawables otherDrawables;
        MainDialog other(otherDrawables);
    }
    show();
    for (const FormationDrawable* drawable : {&drawables.left, &drawables.right})
        EXPECT_EQ(&dialog.formationState(), drawable->formation);
    EXPECT_GT(countPixels(dialog.leftGLView().lastFrame(), isGrey), 100);
}

TEST_F(SceneWiring, BothViewsShowTheDefaultFormationAtStart)
{
    show();
    const Formation& formation = dialog.formationState();
    ASSERT_EQ(6, formation.craftCount());
    for (GLView* view : {&dialog.leftGLView(), &dialog.rightGLView()}) {
        EXPECT_EQ(view->camera, view->frustum.camera);
        const QImage& frame = view->lastFrame();
        EXPECT_GT(countPixels(frame, isYellow), 300);
        EXPECT_GT(countPixels(frame, isRed), 5);
        // Every craft inside the view shows its sphere where it is; its ring shows unless its attitude turns
        // the ring's edge to the camera. From 750 away the view takes in
        // about 310 units either side of the middle at the formation's centre: three of the six default craft.
        int shown = 0;
        for (int j = 0; j < formation.craftCount(); ++j) {
            const QPoint p = onScreen(*view, formation.spacecraft(j).position);
            if (!frame.rect().adjusted(10, 10, -10, -10).contains(p))
                continue;
            EXPECT_GT(countPixels(frame, isGrey, around(p, 8)), 10) << "craft " << j;
            ++shown;
        }
        EXPECT_GE(shown, 3);
    }
    // The same formation through cameras alike.
    EXPECT_EQ(dialog.leftGLView().lastFrame(), dialog.rightGLView().lastFrame());
}

TEST_F(SceneWiring, DraggingInTheLeftViewMovesTheCraftInBothViews)
{
    show();
    GLView& left = dialog.leftGLView();
    GLView& right = dialog.rightGLView();
    // Craft 4 starts well inside both views.
    const Vec3 start = dialog.formationState().spacecraft(4).position;
    const QPoint from = onScreen(left, start);
    ASSERT_TRUE(left.lastFrame().rect().adjusted(20, 20, -20, -20).contains(from));
    const QImage rightBefore = right.lastFrame();

    QTest::mousePress(&left, Qt::LeftButton, {}, from);
    QTest::mouseMove(&left, from + QPoint(1, 0));
    ASSERT_TRUE(drawables.left.hasSelection);
    EXPECT_EQ(4, drawables.left.selectedIndex);
    EXPECT_FALSE(drawables.right.hasSelection);
    QTest::mouseMove(&left, from + QPoint(40, 30));
    QTest::mouseRelease(&left, Qt::LeftButton, {}, from + QPoint(40, 30));
    // Releasing shows at the next move, which carries no button: the drag ends and the camera sees that move,
    // but never saw the drag.
    QTest::mouseMove(&left, from + QPoint(41, 30));
    EXPECT_FALSE(drawables.left.hasSelection);
    EXPECT_EQ(0u, dialog.leftCameraController().lastFlags);
    EXPECT_EQ(from.x() + 41, std::lround(dialog.leftCameraController().lastX * left.width()));

    const Vec3 moved = dialog.formationState().spacecraft(4).position;
    EXPECT_NEAR(start.z, moved.z, 1e-9);
    const QPoint to = onScreen(right, moved);
    EXPECT_NEAR(from.x() + 40, to.x(), 1);
    EXPECT_NEAR(from.y() + 30, to.y(), 1);
    EXPECT_NE(rightBefore, right.lastFrame());
    for (const GLView* view : {&left, &right}) {
        EXPECT_GT(countPixels(view->lastFrame(), isGrey, around(to, 6)), 10);
        EXPECT_EQ(0, countPixels(view->lastFrame(), isGrey, around(from, 2)));
    }
    // Neither camera moved.
    EXPECT_EQ(Mat3{}, dialog.leftCameraController().frame.orientation);
    EXPECT_EQ(Mat3{}, dialog.rightCameraController().frame.orientation);
}

}  // namespace
}  // namespace velmora
