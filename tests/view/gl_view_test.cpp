#include "support/recording_mouse_handler.h"
#include "view/camera_controller.h"
#include "view/camera_frame.h"
#include "view/drawable.h"
#include "view/gl_view.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QTest>

#include <GL/gl.h>
#include <GL/glu.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace velmora {
namespace {

// Records which view drew, in order, into a log shared by several views.
class RecordingDrawable : public Drawable {
public:
    RecordingDrawable(std::vector<std::string>& log, std::string name) : log_(log), name_(std::move(name)) {}
    void draw() override { log_.push_back(name_); }
    virtual ~RecordingDrawable() = default;

private:
    std::vector<std::string>& log_;
    std::string name_;
};

class FunctionDrawable : public Drawable {
public:
    explicit FunctionDrawable(std::function<void()> f) : f_(std::move(f)) {}
    void draw() override { f_(); }
    virtual ~FunctionDrawable() = default;

private:
    std::function<void()> f_;
};

// Two views side by side, each recording its renderings in one log, linked both ways.
class GLViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        left.sceneList.push_back(&leftRecorder);
        right.sceneList.push_back(&rightRecorder);
        left.linkedView = &right;
        right.linkedView = &left;
        left.setGeometry(20, 20, 320, 240);
        right.setGeometry(360, 20, 320, 240);
        left.show();
        right.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&left));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&right));
        QCoreApplication::processEvents();
        log.clear();
    }

    void moveMouse(GLView& view, QPointF at, Qt::MouseButtons buttons = Qt::NoButton,
        Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QMouseEvent move(QEvent::MouseMove, at, view.mapToGlobal(at), Qt::NoButton, buttons, modifiers);
        QCoreApplication::sendEvent(&view, &move);
    }

    std::vector<std::string> log;
    RecordingDrawable leftRecorder{log, "left"};
    RecordingDrawable rightRecorder{log, "right"};
    GLView left;
    GLView right;
};

using Log = std::vector<std::string>;

TEST_F(GLViewTest, PaintRendersTheViewThenItsLinkedViewOnce)
{
    left.paint();
    EXPECT_EQ(log, (Log{"left", "right"}));
    log.clear();
    right.paint();
    EXPECT_EQ(log, (Log{"right", "left"}));

    log.clear();
    right.linkedView = nullptr;
    right.paint();
    EXPECT_EQ(log, (Log{"right"}));
}

TEST_F(GLViewTest, DrawablesRunInListOrderIncludingOnesAppendedWhileDrawing)
{
    RecordingDrawable late(log, "late");
    FunctionDrawable appender([&] {
        log.push_back("appender");
        if (left.sceneList.size() == 2)
            left.sceneList.push_back(&late);
    });
    left.sceneList.push_back(&appender);
    left.linkedView = nullptr;
    left.paint();
    EXPECT_EQ(log, (Log{"left", "appender", "late"}));
}

TEST_F(GLViewTest, HiddenViewsAreNotRendered)
{
    right.hide();
    QTRY_VERIFY(!right.isExposed());
    log.clear();
    left.paint();
    EXPECT_EQ(log, (Log{"left"}));

    GLView neverShown;
    neverShown.sceneList.push_back(&rightRecorder);
    log.clear();
    neverShown.paint();
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(neverShown.contextCreated);
}

TEST_F(GLViewTest, FrustumHoldsTheProjectionAfterTheFirstRendering)
{
    GLView view;
    CameraFrame camera;
    view.nearPlane = 10.0;
    view.farPlane = 10000.0;
    view.frustumEnabled = true;
    view.frustumTracking = true;
    view.camera = &camera;
    view.setGeometry(20, 300, 300, 200);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.paint();

    EXPECT_TRUE(view.contextCreated);
    EXPECT_EQ(view.aspect, 1.5);
    EXPECT_EQ(view.frustum.aspect, 1.5);
    EXPECT_EQ(view.frustum.inverseAspect, 1.0 / 1.5);
    EXPECT_EQ(view.frustum.fieldOfView, 0.7853981633974483);
    EXPECT_EQ(view.frustum.tanHalfFov, 0.41421356237309503);
    EXPECT_EQ(view.frustum.nearPlane, 10.0);
    EXPECT_EQ(view.frustum.camera, &camera);

    // A resized view tracks its new shape at the next rendering.
    view.resize(200, 200);
    QTRY_VERIFY(view.width() == 200 && view.height() == 200);
    view.paint();
    EXPECT_EQ(view.frustum.aspect, 1.0);
}

TEST_F(GLViewTest, FillFrustumRefusesBeforeAContextAndKeepsTheCameraWithoutOne)
{
    CameraFrame previous;
    const ViewFrustum sentinel{7.0, 7.0, 7.0, 7.0, 7.0, &previous};

    GLView fresh;
    fresh.frustumEnabled = true;
    ViewFrustum untouched = sentinel;
    EXPECT_FALSE(fresh.fillFrustum(untouched));
    EXPECT_EQ(untouched.aspect, 7.0);
    EXPECT_EQ(untouched.nearPlane, 7.0);
    EXPECT_EQ(untouched.camera, &previous);

    left.paint();
    ASSERT_TRUE(left.contextCreated);
    ViewFrustum disabled = sentinel;
    EXPECT_FALSE(left.fillFrustum(disabled));
    EXPECT_EQ(disabled.aspect, 7.0);

    left.frustumEnabled = true;
    ViewFrustum noCamera = sentinel;
    EXPECT_FALSE(left.fillFrustum(noCamera));
    EXPECT_EQ(noCamera.aspect, 320.0 / 240.0);
    EXPECT_EQ(noCamera.nearPlane, 3.0);
    EXPECT_EQ(noCamera.camera, &previous);
}

// Picking and the drawables take the view's matrices from its frustum, computed on the CPU: they must be the
// very ones OpenGL draws with, and those the ones gluPerspective and gluLookAt make, so that loading them
// changes no picture. The glyph repeats its own turns and shifts on the CPU too; those must come out as the
// matrix stack's, up to the sign of a zero (Mesa picks one of two products by what it knows of the matrix).
TEST_F(GLViewTest, FrustumMatricesAreTheOnesOpenGLDrawsWithAndGluMakes)
{
    const auto gl = [](GLenum which) {
        std::array<GLfloat, 16> m;
        glGetFloatv(which, m.data());
        return m;
    };
    const auto sameBits = [&](const GLMatrix& cpu, GLenum which) {
        return std::memcmp(gl(which).data(), cpu.data(), 16 * sizeof(GLfloat)) == 0;
    };
    const auto sameValues = [&](const GLMatrix& cpu) {
        const std::array<GLfloat, 16> m = gl(GL_MODELVIEW_MATRIX);
        return std::equal(m.begin(), m.end(), cpu.data());
    };
    CameraController camera;
    int checked = 0;
    FunctionDrawable check([&] {
        EXPECT_TRUE(sameBits(left.frustum.projection, GL_PROJECTION_MATRIX));
        EXPECT_TRUE(sameBits(left.frustum.view, GL_MODELVIEW_MATRIX));
        ++checked;
    });
    left.sceneList = {&camera, &check};
    left.linkedView = nullptr;
    left.frustumEnabled = true;
    left.frustumTracking = true;
    left.camera = &camera.frame;
    left.nearPlane = 10.0;
    left.farPlane = 10000.0;
    camera.frame.setEyeDistance(750.0);
    left.paint();
    camera.frame.rotateWorld(axisRotation(2, 0.7));
    camera.frame.rotateBody(axisRotation(1, -0.4));
    camera.frame.addEyeDistance(-1500.0);
    left.paint();
    EXPECT_EQ(checked, 2);

    // Many more cameras and shapes of view than are painted: rounding differs between orders of operations
    // only now and then.
    FunctionDrawable manyCameras([&] {
        for (int k = 0; k < 200; ++k) {
            const double aspect = 0.2 + 0.013 * k;
            const double nearPlane = 1.0 + 0.1 * k;
            const double farPlane = 50.0 * k + 100.0;
            glMatrixMode(GL_PROJECTION);
            glLoadIdentity();
            gluPerspective(45.0, aspect, nearPlane, farPlane);
            EXPECT_TRUE(sameBits(GLMatrix::perspective(45.0, aspect, nearPlane, farPlane), GL_PROJECTION_MATRIX)) << k;
            glMatrixMode(GL_MODELVIEW);

            CameraFrame frame;
            frame.target = {(k % 7) * 41.3 - 120.0, (k % 5) * -17.9, (k % 3) * 88.1};
            frame.rotateWorld(axisRotation(2, 0.37 * k));
            frame.rotateBody(axisRotation(1, 0.21 * k - 1.3));
            frame.setEyeDistance(k % 2 == 0 ? 750.0 : 5.0 + 13.1 * k);
            const Vec3 eye = frame.eye();
            const Vec3 up = column(frame.orientation, 2);
            glLoadIdentity();
            gluLookAt(eye.x, eye.y, eye.z, frame.target.x, frame.target.y, frame.target.z, up.x, up.y, up.z);
            GLMatrix cpu = frame.viewMatrix();
            EXPECT_TRUE(sameBits(cpu, GL_MODELVIEW_MATRIX)) << k;

            glRotated(90.0, 0.0, 1.0, 0.0);
            cpu.rotateAboutY(90.0);
            EXPECT_TRUE(sameValues(cpu)) << k;
            const Mat3 a = product(axisRotation(0, 0.9 * k), axisRotation(2, 0.4 * k));
            const std::array<double, 16> pose{a.m[0], a.m[1], a.m[2], 0, a.m[3], a.m[4], a.m[5], 0, a.m[6], a.m[7],
                a.m[8], 0, 31.7 * k - 400.0, 250.0 - 9.3 * k, 0.5 * k, 1};
            glMultMatrixd(pose.data());
            cpu.multiply(pose);
            EXPECT_TRUE(sameValues(cpu)) << k;
            glTranslated(0.0, 0.0, 1.0 + 0.7 * k);
            cpu.translate(0.0, 0.0, 1.0 + 0.7 * k);
            EXPECT_TRUE(sameValues(cpu)) << k;
        }
        ++checked;
    });
    left.sceneList = {&manyCameras};
    left.paint();
    EXPECT_EQ(checked, 3);
}

TEST_F(GLViewTest, PixelFormatIsChosenOnceBeforeTheWindowExists)
{
    EXPECT_TRUE(left.pixelFormatSet);
    const QSurfaceFormat actual = left.format();
    EXPECT_EQ(actual.swapBehavior(), QSurfaceFormat::DoubleBuffer);
    EXPECT_EQ(actual.redBufferSize(), 8);
    EXPECT_EQ(actual.greenBufferSize(), 8);
    EXPECT_EQ(actual.blueBufferSize(), 8);
    EXPECT_GE(actual.depthBufferSize(), 24);

    // Were the view to choose its format again, it would overwrite this one.
    QSurfaceFormat other = left.requestedFormat();
    other.setDepthBufferSize(16);
    left.setFormat(other);
    for (int i = 0; i < 20; ++i)
        left.paint();
    EXPECT_EQ(left.requestedFormat().depthBufferSize(), 16);
    EXPECT_EQ(log.size(), 40u);
}

TEST_F(GLViewTest, MouseMovesAreNormalisedAndBothViewsRerenderEvenOutsideTheSquare)
{
    RecordingMouseHandler handler;
    left.mouseHandler = &handler;

    // QTest reads a null point as the window's centre, so the corner goes in as a plain event.
    moveMouse(left, QPointF(0, 0));
    ASSERT_EQ(handler.calls.size(), 1u);
    EXPECT_EQ(handler.calls[0].flags, 0u);
    EXPECT_EQ(handler.calls[0].x, 0.0);
    EXPECT_EQ(handler.calls[0].y, 0.0);
    EXPECT_EQ(log, (Log{"left", "right"}));

    log.clear();
    QTest::mouseMove(&left, QPoint(160, 60));
    ASSERT_EQ(handler.calls.size(), 2u);
    EXPECT_EQ(handler.calls[1].x, 0.5);
    EXPECT_EQ(handler.calls[1].y, 0.25);
    EXPECT_EQ(log, (Log{"left", "right"}));

    // The far edges still belong to the square; one pixel beyond them does not.
    moveMouse(left, QPointF(320, 240));
    ASSERT_EQ(handler.calls.size(), 3u);
    EXPECT_EQ(handler.calls[2].x, 1.0);
    EXPECT_EQ(handler.calls[2].y, 1.0);

    log.clear();
    moveMouse(left, QPointF(321, 100));
    moveMouse(left, QPointF(100, -1));
    EXPECT_EQ(handler.calls.size(), 3u);
    EXPECT_EQ(log, (Log{"left", "right", "left", "right"}));

    // A view without a handler still re-renders both.
    log.clear();
    QTest::mouseMove(&right, QPoint(10, 10));
    EXPECT_EQ(log, (Log{"right", "left"}));
    EXPECT_EQ(handler.calls.size(), 3u);
}

TEST_F(GLViewTest, MouseFlagsCarryButtonsAndModifiers)
{
    RecordingMouseHandler handler;
    left.mouseHandler = &handler;
    moveMouse(left, QPointF(10, 10), Qt::LeftButton);
    moveMouse(left, QPointF(10, 10), Qt::RightButton | Qt::MiddleButton, Qt::ShiftModifier);
    moveMouse(left, QPointF(10, 10), Qt::LeftButton | Qt::RightButton, Qt::ControlModifier);
    ASSERT_EQ(handler.calls.size(), 3u);
    EXPECT_EQ(handler.calls[0].flags, MK_LBUTTON);
    EXPECT_EQ(handler.calls[1].flags, MK_RBUTTON | MK_MBUTTON | MK_SHIFT);
    EXPECT_EQ(handler.calls[2].flags, MK_LBUTTON | MK_RBUTTON | MK_CONTROL);

    // A button held down through a real press reaches the handler too.
    QTest::mousePress(&left, Qt::LeftButton, {}, QPoint(30, 30));
    QTest::mouseMove(&left, QPoint(40, 30));
    QTest::mouseRelease(&left, Qt::LeftButton, {}, QPoint(40, 30));
    ASSERT_GE(handler.calls.size(), 4u);
    EXPECT_EQ(handler.calls.back().flags, MK_LBUTTON);
}

TEST_F(GLViewTest, LastFrameIsWhatTheViewShowsTopRowFirst)
{
    // A quad over the upper half of the view, in front of the default camera looking down -z.
    FunctionDrawable upperHalf([] {
        glColor3d(0.0, 1.0, 0.0);
        glBegin(GL_QUADS);
        glVertex3d(-100.0, 0.0, -20.0);
        glVertex3d(100.0, 0.0, -20.0);
        glVertex3d(100.0, 100.0, -20.0);
        glVertex3d(-100.0, 100.0, -20.0);
        glEnd();
    });
    left.sceneList.push_back(&upperHalf);
    left.paint();
    const QImage& frame = left.lastFrame();
    ASSERT_EQ(frame.size(), QSize(320, 240) * left.devicePixelRatio());
    EXPECT_EQ(frame.pixel(160, 10), qRgb(0, 255, 0));
    EXPECT_EQ(frame.pixel(5, 100), qRgb(0, 255, 0));
    EXPECT_EQ(frame.pixel(160, 230), qRgb(0, 0, 0));
    EXPECT_EQ(right.lastFrame().pixel(160, 10), qRgb(0, 0, 0));

    // A copy taken for later keeps its pixels when the view renders something else.
    const QImage kept = frame;
    left.sceneList.pop_back();
    left.paint();
    EXPECT_EQ(kept.pixel(160, 10), qRgb(0, 255, 0));
    EXPECT_EQ(left.lastFrame().pixel(160, 10), qRgb(0, 0, 0));
}

TEST_F(GLViewTest, EachRenderingStartsFromPristineState)
{
    FunctionDrawable polluter([] {
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        glEnable(GL_BLEND);
        glLineWidth(5.0f);
        glColor3d(1.0, 0.0, 1.0);
        glMatrixMode(GL_PROJECTION);
        glTranslated(1.0, 2.0, 3.0);
    });
    struct Seen {
        GLboolean lighting, blend;
        GLint matrixMode;
        GLfloat lineWidth;
        std::array<GLfloat, 4> colour;
        std::array<GLdouble, 16> modelview, projection;
    } seen{};
    FunctionDrawable observer([&] {
        seen.lighting = glIsEnabled(GL_LIGHTING);
        seen.blend = glIsEnabled(GL_BLEND);
        glGetIntegerv(GL_MATRIX_MODE, &seen.matrixMode);
        glGetFloatv(GL_LINE_WIDTH, &seen.lineWidth);
        glGetFloatv(GL_CURRENT_COLOR, seen.colour.data());
        glGetDoublev(GL_MODELVIEW_MATRIX, seen.modelview.data());
        glGetDoublev(GL_PROJECTION_MATRIX, seen.projection.data());
    });
    left.linkedView = nullptr;
    left.sceneList = {&observer};
    left.paint();
    const Seen first = seen;

    left.sceneList = {&polluter};
    left.paint();
    left.sceneList = {&observer};
    left.paint();

    EXPECT_FALSE(seen.lighting);
    EXPECT_FALSE(seen.blend);
    EXPECT_EQ(seen.matrixMode, GL_MODELVIEW);
    EXPECT_EQ(seen.lineWidth, 1.0f);
    EXPECT_EQ(seen.colour, (std::array<GLfloat, 4>{1.0f, 1.0f, 1.0f, 1.0f}));
    EXPECT_EQ(seen.modelview, (std::array<GLdouble, 16>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
    EXPECT_EQ(seen.projection, first.projection);
    EXPECT_NE(first.projection[0], 1.0);  // a perspective, not the identity
}

}  // namespace
}  // namespace velmora
