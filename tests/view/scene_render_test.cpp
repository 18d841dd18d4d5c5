// The scene drawn for real: two linked views rendering the formation through their own cameras under Xvfb,
// read back pixel by pixel, and driven with mouse events as a user would.
#include "sim/default_scene.h"
#include "sim/formation.h"
#include "support/scene_pixels.h"
#include "view/camera_controller.h"
#include "view/formation_drawable.h"
#include "view/gl_view.h"
#include "view/mouse_handler_chain.h"
#include "view/offscreen_view.h"
#include "view/spacecraft_glyph.h"
#include "support/formation_editor.h"

#include <QTest>

#include <functional>

#include <gtest/gtest.h>

namespace velmora {
namespace {

constexpr int viewSize = 400;

// Two views wired the way the program wires its own: each with its camera at distance 750 and its chain of
// picker then camera, both drawing one formation, each the other's linked view.
class Scene : public ::testing::Test {
protected:
    Scene()
    {
        FormationParams params(5.0, 500.0);
        params.craftRadius = 10.0;
        params.ThetaFOV = defaultScene::fovHalfAngle;
        formation.setParams(params);
        Rand15 rng;
        formation.setup(6, rng);

        GLView* views[] = {&left, &right};
        for (int i = 0; i < 2; ++i) {
            GLView& view = *views[i];
            cameras[i].frame.setEyeDistance(750.0);
            cameras[i].lightingEnabled = true;
            view.nearPlane = 10.0;
            view.farPlane = 10000.0;
            view.frustumEnabled = true;
            view.frustumTracking = true;
            chains[i].addHandler(&drawables[i]);
            chains[i].addHandler(&cameras[i]);
            view.mouseHandler = &chains[i];
            view.sceneList.push_back(&cameras[i]);
            view.sceneList.push_back(&drawables[i]);
            drawables[i].formation = &formation;
            drawables[i].frustum = &view.frustum;
            view.camera = &cameras[i].frame;
            view.resize(viewSize, viewSize);
            view.setPosition(i * (viewSize + 20), 0);
        }
        left.linkedView = &right;
        right.linkedView = &left;
    }

    void SetUp() override
    {
        left.show();
        right.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&left));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&right));
        left.paint();
    }

    // One craft of radius 10 at the simulation origin, in the middle of both views, its sensor side turned
    // away from the cameras so the cone stub does not hide the sphere.
    void singleCraftAtOrigin()
    {
        Rand15 rng;
        formation.setup(1, rng);
        FormationEditor(formation).craft(0).position = {};
        FormationEditor(formation).craft(0).attitude = axisRotation(0, 3.141592653589793);
    }

    void setupCraft(int n)
    {
        Rand15 rng;
        formation.setup(n, rng);
    }

    static QPoint centre() { return {viewSize / 2, viewSize / 2}; }

    // What thinning has left out in both views so far.
    ThinnedShapes::Counters leftOut() const
    {
        ThinnedShapes::Counters sum;
        for (const FormationDrawable& drawable : drawables)
            sum += drawable.glyph.thinningCounters();
        return sum;
    }

    Formation formation;
    CameraController cameras[2];
    MouseHandlerChain chains[2];
    FormationDrawable drawables[2];
    GLView left;
    GLView right;
};

TEST_F(Scene, ACraftRedrawnAtANewRadiusShowsItsNewSize)
{
    singleCraftAtOrigin();
    cameras[0].frame.setEyeDistance(200.0);
    left.paint();
    const int before = countPixels(left.lastFrame(), isGrey);
    FormationEditor(formation).craft(0).craftRadius = 20.0;
    left.paint();
    const int after = countPixels(left.lastFrame(), isGrey);
    // Twice the radius, four times the area (give or take the ring across it).
    EXPECT_GT(before, 100);
    EXPECT_GT(after, 3 * before);
    EXPECT_LT(after, 5 * before);
    FormationEditor(formation).craft(0).craftRadius = 10.0;
    left.paint();
    EXPECT_EQ(countPixels(left.lastFrame(), isGrey), before);
}

TEST_F(Scene, LinkFromAThirdCraftGroupTakesTheRootsColour)
{
    // 0 -> 2 -> 1: drawing shortens craft 0's entry to the root 1, and the line 0-2 is magenta.
    setupCraft(3);
    FormationEditor(formation).craft(0).position = {0, -200, 0};
    FormationEditor(formation).craft(1).position = {300, 0, 0};
    FormationEditor(formation).craft(2).position = {0, 200, 0};
    FormationEditor(formation).seen(0) = 1u << 2;
    FormationEditor(formation).seen(2) = 1u << 0;
    FormationEditor(formation).parent(0) = 2;
    FormationEditor(formation).parent(2) = 1;
    left.paint();
    EXPECT_EQ(1, formation.parent(0));
    EXPECT_GT(countPixels(left.lastFrame(), isMagenta, QRect(150, centre().y() - 2, 100, 5)), 90);
}

// Display lists, culling and thinning must not change a pixel: ten craft with links and a selection, rendered
// each way at camera states that put craft outside the view, across its edges, through the near plane, far
// off, close enough to fill much of the view and seen from behind the middle. Among them the spheres lose
// both triangles hidden behind their front and triangles too small to cover a pixel centre, and the stubs and
// rings the latter. (Thinning is proven on the Mesa software renderer these tests run on.)
TEST_F(Scene, ShortcutsDrawTheSamePixelsAsTheStraightforwardPath)
{
    setupCraft(10);
    for (int k = 0; k < 600; ++k)
        formation.step(0.01);
    ASSERT_NE(0u, formation.seen(0) | formation.seen(1) | formation.seen(2) | formation.seen(3));
    drawables[0].hasSelection = true;
    drawables[0].selectedIndex = 2;
    const Vec3 p = formation.spacecraft(4).position;
    const Vec3 craftOnScreen{p.z, p.y, -p.x};  // the display turn
    const std::function<void(CameraFrame&)> states[] = {
        [](CameraFrame&) {},
        [](CameraFrame& c) {
            c.rotateWorld(axisRotation(2, 0.7));
            c.rotateBody(axisRotation(1, -0.4));
        },
        [&](CameraFrame& c) {
            c.target = craftOnScreen;
            c.setEyeDistance(25.0);
        },
        [&](CameraFrame& c) {
            c.target = craftOnScreen;
            c.setEyeDistance(90.0);
            c.rotateBody(axisRotation(1, 0.25));
        },
        [&](CameraFrame& c) {
            c.target = craftOnScreen;
            c.setEyeDistance(14.0);
            c.rotateWorld(axisRotation(0, 0.6));
        },
        [&](CameraFrame& c) {
            c.target = add(craftOnScreen, Vec3{12.0, -9.0, 0.0});
            c.setEyeDistance(40.0);
        },
        [](CameraFrame& c) { c.setEyeDistance(2500.0); },
        [](CameraFrame& c) { c.addEyeDistance(-1500.0); },
    };
    const ThinnedShapes::Counters before = leftOut();
    int state = 0;
    for (const auto& change : states) {
        for (CameraFrame* c : {&cameras[0].frame, &cameras[1].frame})
            *c = CameraFrame{};
        cameras[0].frame.setEyeDistance(750.0);
        cameras[1].frame.setEyeDistance(400.0);
        change(cameras[0].frame);
        cameras[1].frame.rotateWorld(axisRotation(2, -0.3 * state));
        const DrawingStrategy ways[] = {
            DrawingStrategy::straight, DrawingStrategy::displayLists, DrawingStrategy::thinnedArrays};
        QImage frames[3][2];
        for (int w = 0; w < 3; ++w) {
            left.drawingStrategy = ways[w];
            right.drawingStrategy = ways[w];
            left.paint();
            frames[w][0] = left.lastFrame().copy();
            frames[w][1] = right.lastFrame().copy();
        }
        for (int v = 0; v < 2; ++v) {
            EXPECT_GT(countPixels(frames[0][v], [](QRgb c) { return (c & 0xffffff) != 0; }), 50) << state;
            for (int w = 1; w < 3; ++w)
                EXPECT_TRUE(frames[w][v] == frames[0][v]) << "state " << state << ", view " << v << ", way " << w;
        }
        ++state;
    }
    const ThinnedShapes::Counters after = leftOut();
    EXPECT_GT(after.sphereTrianglesHidden - before.sphereTrianglesHidden, 1000);
    EXPECT_GT(after.sphereTrianglesUncovered - before.sphereTrianglesUncovered, 10000);
    EXPECT_GT(after.cylinderTrianglesUncovered - before.cylinderTrianglesUncovered, 5000);
    // The rays' list at least; stub, ring and sphere have theirs for when they must be sent whole.
    EXPECT_GE(left.displayLists().size(), 1);
    EXPECT_LE(left.displayLists().size(), 4);
}

// A view without a window (EGL's surfaceless platform, next to the window views' GLX) wired as the left view
// draws the same pixels as the left view, for a run with links and a selection and a turned camera.
TEST_F(Scene, AnOffscreenViewDrawsTheWindowViewsPixels)
{
    setupCraft(10);
    for (int k = 0; k < 600; ++k)
        formation.step(0.01);
    drawables[0].hasSelection = true;
    drawables[0].selectedIndex = 3;
    cameras[0].frame.rotateWorld(axisRotation(2, 0.5));
    cameras[0].frame.rotateBody(axisRotation(1, -0.3));
    left.paint();

    OffscreenView offscreen(left.size() * left.devicePixelRatio());
    offscreen.nearPlane = left.nearPlane;
    offscreen.farPlane = left.farPlane;
    offscreen.frustumEnabled = true;
    offscreen.frustumTracking = true;
    offscreen.camera = &cameras[0].frame;
    FormationDrawable drawable;
    drawable.formation = &formation;
    drawable.frustum = &offscreen.frustum;
    drawable.hasSelection = true;
    drawable.selectedIndex = 3;
    offscreen.sceneList = {&cameras[0], &drawable};
    offscreen.render();

    ASSERT_GT(countPixels(left.lastFrame(), isMagenta) + countPixels(left.lastFrame(), isRed), 50);
    EXPECT_TRUE(offscreen.lastFrame() == left.lastFrame());
}

// Where fragments add up instead of the nearest one deciding, a hidden back counts: with additive blending
// nothing is left out as hidden, and the pixels still match the straightforward path's.
TEST_F(Scene, UnderBlendingTheBackOfASphereIsSentToo)
{
    struct AdditiveBlending : Drawable {
        void draw() override
        {
            glEnable(GL_BLEND);
            glBlendFunc(GL_ONE, GL_ONE);
        }
    } blending;
    singleCraftAtOrigin();
    cameras[0].frame.setEyeDistance(60.0);
    left.linkedView = nullptr;
    QImage frames[2];
    for (const bool blend : {false, true}) {
        if (blend)
            left.sceneList.insert(left.sceneList.begin(), &blending);
        const long long hidden = drawables[0].glyph.thinningCounters().sphereTrianglesHidden;
        left.drawingStrategy = DrawingStrategy::straight;
        left.paint();
        const QImage plain = left.lastFrame().copy();
        left.drawingStrategy = DrawingStrategy::thinnedArrays;
        left.paint();
        frames[blend] = left.lastFrame().copy();
        EXPECT_TRUE(frames[blend] == plain) << "blending " << blend;
        const long long hiddenNow = drawables[0].glyph.thinningCounters().sphereTrianglesHidden;
        if (blend)
            EXPECT_EQ(hidden, hiddenNow);
        else
            EXPECT_GT(hiddenNow - hidden, 500);
    }
    EXPECT_FALSE(frames[0] == frames[1]);  // the blending did show
    left.sceneList.erase(left.sceneList.begin());
    left.linkedView = &right;
}

// Qt Test sends a pressed button's window a move to the press position first, without the button; the moves
// after it carry the button. As with a real mouse, only moves reach the handlers.

TEST_F(Scene, OrbitByATenthOfTheWidth)
{
    const QImage rightBefore = right.lastFrame();
    // A corner of the view where no craft is: the picker declines and the camera orbits.
    const QPoint start(20, 20);
    QTest::mousePress(&left, Qt::LeftButton, {}, start);
    QTest::mouseMove(&left, start + QPoint(1, 0));
    ASSERT_FALSE(drawables[0].hasSelection);
    EXPECT_EQ(MK_LBUTTON, cameras[0].lastFlags);
    EXPECT_EQ(Mat3{}, cameras[0].frame.orientation);  // the first move of a gesture only records
    QTest::mouseMove(&left, start + QPoint(1 + viewSize / 10, 0));
    QTest::mouseRelease(&left, Qt::LeftButton, {}, start + QPoint(1 + viewSize / 10, 0));
    const Mat3 expected = axisRotation(2, 0.1);
    for (int i = 0; i < 9; ++i)
        EXPECT_NEAR(expected.m[i], cameras[0].frame.orientation.m[i], 1e-12);
    EXPECT_EQ(Mat3{}, cameras[1].frame.orientation);
    // Both views rendered again; only the left one looks different.
    EXPECT_NE(left.lastFrame(), right.lastFrame());
    EXPECT_EQ(rightBefore, right.lastFrame());
}

TEST_F(Scene, ZoomByAQuarterOfTheHeight)
{
    const QPoint start(20, viewSize / 4 - 1);
    QTest::mousePress(&left, Qt::RightButton, {}, start);
    QTest::mouseMove(&left, start + QPoint(0, 1));
    EXPECT_EQ(750.0, cameras[0].frame.eyeDistance());
    QTest::mouseMove(&left, start + QPoint(0, 1 + viewSize / 4));
    QTest::mouseRelease(&left, Qt::RightButton, {}, start + QPoint(0, 1 + viewSize / 4));
    EXPECT_NEAR(937.75, cameras[0].frame.eyeDistance(), 1e-9);
    EXPECT_EQ(750.0, cameras[1].frame.eyeDistance());
}

TEST_F(Scene, CraftUnderTheCursorIsPickedBeforeTheCamera)
{
    singleCraftAtOrigin();
    left.paint();
    QTest::mousePress(&left, Qt::LeftButton, {}, centre());
    QTest::mouseMove(&left, centre() + QPoint(1, 0));
    EXPECT_TRUE(drawables[0].hasSelection);
    EXPECT_EQ(0u, cameras[0].lastFlags);  // the camera saw only the move before the button went down
    // The picked craft is drawn selected in this view only.
    EXPECT_TRUE(isRed(left.lastFrame().pixel(centre() + QPoint(0, -3))));
    EXPECT_TRUE(isGrey(right.lastFrame().pixel(centre() + QPoint(0, -3))));
    EXPECT_FALSE(drawables[1].hasSelection);
    QTest::mouseRelease(&left, Qt::LeftButton, {}, centre() + QPoint(1, 0));
}

TEST_F(Scene, CraftIsPickedWhereItIsDrawn)
{
    // A turned camera and a craft off every axis: picking undoes exactly the turn that drawing applies.
    singleCraftAtOrigin();
    FormationEditor(formation).craft(0).position = {60, 80, -40};
    cameras[0].frame.rotateWorld(axisRotation(2, 0.4));
    cameras[0].frame.rotateBody(axisRotation(1, 0.3));
    left.paint();
    const QImage& frame = left.lastFrame();
    QPoint sum;
    int n = 0;
    for (int y = 0; y < viewSize; ++y)
        for (int x = 0; x < viewSize; ++x)
            if (isGrey(frame.pixel(x, y)) || isRed(frame.pixel(x, y))) {
                sum += QPoint(x, y);
                ++n;
            }
    ASSERT_GT(n, 20);
    const QPoint drawn = sum / n;
    ASSERT_GT((drawn - centre()).manhattanLength(), 40);

    QTest::mousePress(&left, Qt::LeftButton, {}, drawn + QPoint(30, 0));
    QTest::mouseMove(&left, drawn + QPoint(31, 0));
    EXPECT_FALSE(drawables[0].hasSelection);
    QTest::mouseRelease(&left, Qt::LeftButton, {}, drawn + QPoint(31, 0));
    QTest::mouseMove(&left, drawn + QPoint(1, 0));
    QTest::mousePress(&left, Qt::LeftButton, {}, drawn + QPoint(1, 0));
    QTest::mouseMove(&left, drawn);
    EXPECT_TRUE(drawables[0].hasSelection);
    QTest::mouseRelease(&left, Qt::LeftButton, {}, drawn);
}

}  // namespace
}  // namespace velmora
