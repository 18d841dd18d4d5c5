#include "view/camera_controller.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

constexpr double tolerance = 1e-12;

void expectMatrixNear(const Mat3& expected, const Mat3& actual)
{
    for (int i = 0; i < 9; ++i)
        EXPECT_NEAR(expected.m[i], actual.m[i], tolerance) << "element " << i;
}

// An orientation that does not commute with turns about axes 1 and 2, so world and body sides differ.
const Mat3 tilted = axisRotation(0, 0.3);

TEST(CameraOrbit, HorizontalMotionTurnsAboutWorldAxis2AndVerticalAboutCameraAxis1)
{
    const struct {
        double fromX, fromY;
        Mat3 expected;
    } cases[] = {{0.4, 0.5, product(axisRotation(2, 0.1), tilted)}, {0.5, 0.4, product(tilted, axisRotation(1, 0.1))}};
    for (const auto& c : cases) {
        CameraController camera;
        camera.frame.orientation = tilted;
        camera.handleMouse(MK_LBUTTON, c.fromX, c.fromY);
        camera.handleMouse(MK_LBUTTON, 0.5, 0.5);
        expectMatrixNear(c.expected, camera.frame.orientation);
    }
}

TEST(CameraOrbit, FirstEventOfAGestureOnlyRecords)
{
    CameraController camera;
    camera.handleMouse(0, 0.1, 0.1);
    camera.handleMouse(MK_LBUTTON, 0.9, 0.8);
    EXPECT_EQ(Mat3{}, camera.frame.orientation);
    EXPECT_EQ(MK_LBUTTON, camera.lastFlags);
    EXPECT_EQ(0.9, camera.lastX);
    EXPECT_EQ(0.8, camera.lastY);

    camera.handleMouse(MK_LBUTTON, 1.0, 0.8);
    expectMatrixNear(axisRotation(2, 0.1), camera.frame.orientation);
}

TEST(CameraOrbit, AButtonChangeStartsANewGesture)
{
    CameraController camera;
    camera.frame.setEyeDistance(750.0);
    camera.handleMouse(MK_RBUTTON, 0.2, 0.2);
    camera.handleMouse(MK_LBUTTON, 0.6, 0.7);  // right released, left pressed: neither gesture continues
    EXPECT_EQ(Mat3{}, camera.frame.orientation);
    EXPECT_EQ(750.0, camera.frame.eyeDistance());
}

TEST(CameraZoom, QuarterHeightDownFrom750)
{
    CameraController camera;
    camera.frame.setEyeDistance(750.0);
    camera.handleMouse(MK_RBUTTON, 0.5, 0.25);
    camera.handleMouse(MK_RBUTTON, 0.9, 0.5);
    EXPECT_EQ(937.75, camera.frame.eyeDistance());
    EXPECT_EQ(Mat3{}, camera.frame.orientation);  // sideways motion does not orbit with the right button

    camera.handleMouse(MK_RBUTTON, 0.9, 0.25);  // moving back up shrinks the distance
    EXPECT_EQ(937.75 - 938.75 * 0.25, camera.frame.eyeDistance());
}

TEST(CameraZoom, BothButtonsZoomAndOrbitInOneEvent)
{
    CameraController camera;
    camera.frame.setEyeDistance(750.0);
    camera.handleMouse(MK_LBUTTON | MK_RBUTTON, 0.5, 0.25);
    camera.handleMouse(MK_LBUTTON | MK_RBUTTON, 0.5, 0.5);
    EXPECT_EQ(937.75, camera.frame.eyeDistance());
    expectMatrixNear(axisRotation(1, 0.25), camera.frame.orientation);
}

TEST(CameraFrameDistance, NeverReachesTheTarget)
{
    CameraFrame frame;
    frame.setEyeDistance(-750.0);
    EXPECT_EQ(750.0, frame.eyeDistance());

    frame.addEyeDistance(-750.0);
    EXPECT_EQ(1e-3, frame.eyeDistance());
    EXPECT_NE(frame.eye(), frame.target);

    frame.setEyeDistance(2.0);
    frame.addEyeDistance(-2.0005);  // passing through the target keeps the side it was heading for
    EXPECT_EQ(-1e-3, frame.eyeDistance());

    frame.addEyeDistance(-3.0);
    EXPECT_DOUBLE_EQ(-3.001, frame.eyeDistance());

    frame.setEyeDistance(0.0);
    EXPECT_EQ(1e-3, frame.eyeDistance());
}

TEST(CameraFrameDistance, ZoomCanCarryTheEyeThroughTheTarget)
{
    // A full-height upward move from 750 lands at -1: the eye crossed to the other side, and stays usable.
    CameraController camera;
    camera.frame.setEyeDistance(750.0);
    camera.handleMouse(MK_RBUTTON, 0.5, 1.0);
    camera.handleMouse(MK_RBUTTON, 0.5, 0.0);
    EXPECT_EQ(-1.0, camera.frame.eyeDistance());
    EXPECT_EQ((Vec3{-1.0, 0.0, 0.0}), camera.frame.eye());

    // From the far side the zoom still scales with the distance's size: -1 is no trap.
    camera.handleMouse(MK_RBUTTON, 0.5, -0.25);
    EXPECT_EQ(-1.5, camera.frame.eyeDistance());
    camera.handleMouse(MK_RBUTTON, 0.5, 0.0);
    EXPECT_EQ(-1.5 + 2.5 * 0.25, camera.frame.eyeDistance());
}

}  // namespace
}  // namespace velmora
