#include "capture/capture_image.h"
#include "support/panels_drawable.h"
#include "view/gl_view.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

namespace velmora {
namespace {

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
    EXPECT_EQ(pixelAt(before.pixels(), 0.75, 0.5), shown.rgb());

    view.paint();
    CaptureImage after = view.createCaptureImage(1.0);
    view.copyToImage(after);
    EXPECT_EQ(pixelAt(after.pixels(), 0.75, 0.5), panels.right.rgb());
}

TEST_F(ViewCaptureTest, AScaledCaptureStretchesTheFrame)
{
    CaptureImage image = view.createCaptureImage(0.5);
    ASSERT_TRUE(view.copyToImage(image));
    expectPanels(image.pixels(), panels);
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
