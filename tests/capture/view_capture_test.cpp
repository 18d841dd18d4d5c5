#include "capture/capture_image.h"
#include "view/drawable.h"
#include "view/gl_view.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <GL/gl.h>

#include <gtest/gtest.h>

namespace velmora {
namespace {

// Fills the view with two flat halves and a square in the top-left quarter, in window coordinates, and
// counts how often it was asked to draw.
class PanelsDrawable : public Drawable {
public:
    void draw() override
    {
        ++renderings;
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0.0, 1.0, 1.0, 0.0, -1.0, 1.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        quad(left, 0.0, 0.0, 0.5, 1.0);
        quad(right, 0.5, 0.0, 1.0, 1.0);
        quad(corner, 0.1, 0.1, 0.3, 0.3);
    }
    virtual ~PanelsDrawable() = default;

    QColor left{200, 30, 30};
    QColor right{20, 40, 220};
    QColor corner{40, 210, 60};
    int renderings = 0;

private:
    static void quad(const QColor& c, double x0, double y0, double x1, double y1)
    {
        glColor3ub(c.red(), c.green(), c.blue());
        glRectd(x0, y0, x1, y1);
    }
};

class ViewCaptureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        view.sceneList.push_back(&panels);
        view.setGeometry(40, 40, 301, 187);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        QCoreApplication::processEvents();
        view.paint();
    }

    QSize pixelSize() const { return view.size() * view.devicePixelRatio(); }

    QRgb at(const QImage& image, double fx, double fy) const
    {
        return image.pixel(static_cast<int>(fx * image.width()), static_cast<int>(fy * image.height()));
    }

    void expectPanels(const QImage& image) const
    {
        EXPECT_EQ(at(image, 0.25, 0.75), panels.left.rgb());
        EXPECT_EQ(at(image, 0.75, 0.5), panels.right.rgb());
        EXPECT_EQ(at(image, 0.2, 0.2), panels.corner.rgb());
    }

    PanelsDrawable panels;
    GLView view;
};

TEST_F(ViewCaptureTest, TheImageIsTheClientAreaTimesTheScaleTruncated)
{
    const QSize client = pixelSize();
    EXPECT_EQ(view.createCaptureImage(1.0).pixels().size(), client);
    EXPECT_EQ(view.createCaptureImage(0.5).pixels().size(), QSize(client.width() / 2, client.height() / 2));
    EXPECT_EQ(view.createCaptureImage(0.999).pixels().size(), client - QSize(1, 1));
    EXPECT_TRUE(view.createCaptureImage(0.0).pixels().isNull());
}

TEST_F(ViewCaptureTest, CopiesThePresentedFrameWithoutRenderingAgain)
{
    const int renderings = panels.renderings;
    CaptureImage image = view.createCaptureImage(1.0);

    ASSERT_TRUE(view.copyToImage(image));

    EXPECT_EQ(panels.renderings, renderings);
    EXPECT_EQ(image.pixels(), view.lastFrame().convertToFormat(QImage::Format_RGB888));
    expectPanels(image.pixels());
}

TEST_F(ViewCaptureTest, TheCopyIsWhatTheWindowShows)
{
    CaptureImage image = view.createCaptureImage(1.0);
    ASSERT_TRUE(view.copyToImage(image));

    const QImage screen = QGuiApplication::primaryScreen()->grabWindow(view.winId()).toImage();
    ASSERT_EQ(screen.size(), image.pixels().size());
    EXPECT_EQ(screen.convertToFormat(QImage::Format_RGB888), image.pixels());
}

TEST_F(ViewCaptureTest, AChangedSceneShowsOnlyAfterTheNextRendering)
{
    const QColor shown = panels.right;
    panels.right = QColor(250, 250, 0);
    CaptureImage before = view.createCaptureImage(1.0);
    view.copyToImage(before);
    EXPECT_EQ(at(before.pixels(), 0.75, 0.5), shown.rgb());

    view.paint();
    CaptureImage after = view.createCaptureImage(1.0);
    view.copyToImage(after);
    EXPECT_EQ(at(after.pixels(), 0.75, 0.5), panels.right.rgb());
}

TEST_F(ViewCaptureTest, AScaledCaptureStretchesTheFrame)
{
    CaptureImage image = view.createCaptureImage(0.5);
    ASSERT_TRUE(view.copyToImage(image));
    expectPanels(image.pixels());
}

TEST(ViewCaptureBeforeShowing, AViewThatShowedNothingCopiesNothing)
{
    GLView view;
    view.resize(64, 48);
    CaptureImage image = view.createCaptureImage(1.0);
    ASSERT_EQ(image.pixels().size(), QSize(64, 48) * view.devicePixelRatio());

    EXPECT_FALSE(view.copyToImage(image));
    EXPECT_EQ(image.pixels().pixel(10, 10), qRgb(0, 0, 0));
}

}  // namespace
}  // namespace velmora
