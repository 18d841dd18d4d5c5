#include "capture/capture_image.h"
#include "support/tight_disk.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>


namespace velmora {
namespace {

// Odd sizes make BMP rows need padding; every pixel differs from its neighbours so a shifted or flipped
// row shows.
constexpr int imageWidth = 37;
constexpr int imageHeight = 23;

QRgb patternAt(int x, int y) { return qRgb((x * 7) % 256, (y * 11) % 256, ((x + y) * 3 + 40) % 256); }

QImage pattern(int width = imageWidth, int height = imageHeight)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, patternAt(x, y));
        }
    }
    return image;
}

CaptureImage capturedPattern()
{
    CaptureImage image(imageWidth, imageHeight);
    image.copyFrom(pattern());
    return image;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void expectPattern(const QImage& image)
{
    ASSERT_EQ(image.size(), QSize(imageWidth, imageHeight));
    for (int y = 0; y < imageHeight; ++y) {
        for (int x = 0; x < imageWidth; ++x) {
            ASSERT_EQ(image.pixel(x, y), patternAt(x, y)) << "at " << x << "," << y;
        }
    }
}

class CaptureImageSave : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QStringList entries() const { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }

    QTemporaryDir dir;
};

TEST_F(CaptureImageSave, LosslessFilesHoldEveryPixelAt24BitsPerPixelReplacingAnyOldFile)
{
    // A larger file of the same name is replaced, not overwritten in place.
    QFile old(path("shot.bmp"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100000, 'x'));
    old.close();

    const CaptureImage image = capturedPattern();
    ASSERT_TRUE(image.save(path("shot.bmp")));
    ASSERT_TRUE(image.save(path("shot.png")));

    const QByteArray bmp = fileBytes(path("shot.bmp"));
    ASSERT_GT(bmp.size(), 30);
    EXPECT_LT(bmp.size(), 100000);
    EXPECT_EQ(static_cast<unsigned char>(bmp[28]), 24) << "bits per pixel";
    expectPattern(QImage(path("shot.bmp")));
    expectPattern(QImage(path("shot.png")));
    EXPECT_EQ(entries(), (QStringList{"shot.bmp", "shot.png"}));
}

TEST_F(CaptureImageSave, JpegKeepsTheColoursOfLargeAreas)
{
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(qRgb(200, 30, 30));
    for (int y = 0; y < 48; ++y) {
        for (int x = 32; x < 64; ++x) {
            picture.setPixel(x, y, qRgb(20, 40, 220));
        }
    }
    CaptureImage image(64, 48);
    image.copyFrom(picture);
    ASSERT_TRUE(image.save(path("shot.jpg")));

    const QImage back(path("shot.jpg"));
    ASSERT_EQ(back.size(), QSize(64, 48));
    const auto near = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) < 12 && std::abs(qGreen(a) - qGreen(b)) < 12 &&
               std::abs(qBlue(a) - qBlue(b)) < 12;
    };
    EXPECT_TRUE(near(back.pixel(8, 24), qRgb(200, 30, 30)));
    EXPECT_TRUE(near(back.pixel(56, 24), qRgb(20, 40, 220)));
}

TEST_F(CaptureImageSave, WritesNothingWithoutAnExtensionAnEncoderClaims)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("shots.bmp"));
    const CaptureImage image = capturedPattern();
    for (const QString& name : {QString(), path("capture"), path("capture."), path("capture.nosuchformat"),
                                path("shots.bmp/capture"), path("capture.bmp.")}) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_FALSE(image.save(name));
    }
    EXPECT_EQ(entries(), QStringList{"shots.bmp"});
    EXPECT_TRUE(QDir(path("shots.bmp")).isEmpty());
}

TEST_F(CaptureImageSave, AnImageWithoutPixelsWritesNothing)
{
    for (const QSize size : {QSize(0, 0), QSize(0, 10), QSize(10, 0), QSize(-3, 5)}) {
        const CaptureImage image(size.width(), size.height());
        EXPECT_FALSE(image.save(path("empty.bmp")));
    }
    EXPECT_TRUE(entries().isEmpty());
}

TEST_F(CaptureImageSave, AWriteThatFailsHalfWayKeepsTheOldFile)
{
    const QByteArray oldContent(5000, 'o');
    QFile old(path("shot.bmp"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(oldContent);
    old.close();

    CaptureImage large(400, 300);
    large.copyFrom(pattern(400, 300));
    bool saved = true;
    {
        const test::FileSizeCap cap(20000);
        saved = large.save(path("shot.bmp"));
    }

    EXPECT_FALSE(saved);
    EXPECT_EQ(fileBytes(path("shot.bmp")), oldContent);
    EXPECT_EQ(entries(), QStringList{"shot.bmp"});
}

// The last bytes of an image are written when the file is closed: a disk with room for all but those
// must fail the save too, and keep the old file.
TEST_F(CaptureImageSave, AWriteThatFailsAtItsLastBytesKeepsTheOldFile)
{
    CaptureImage image(120, 60);
    image.copyFrom(pattern(120, 60));
    ASSERT_TRUE(image.save(path("probe.bmp")));
    const auto size = static_cast<rlim_t>(QFile(path("probe.bmp")).size());
    ASSERT_GT(size, 16384u) << "more than fits on the nearly full disk";

    const QByteArray oldContent(3000, 'o');
    const auto saveOver = [&](const QString& target) {
        QFile old(target);
        EXPECT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(oldContent);
        old.close();
        return image.save(target);
    };
    {
        const test::FileSizeCap cap(size - 1);
        EXPECT_FALSE(saveOver(path("shot.bmp")));
    }
    EXPECT_EQ(fileBytes(path("shot.bmp")), oldContent);
    EXPECT_EQ(entries(), (QStringList{"probe.bmp", "shot.bmp"}));

    const test::NearlyFullDisk disk;
    VELMORA_NEEDS_NEARLY_FULL_DISK(disk);
    const QString target = QString::fromStdString(disk.path("shot.bmp"));
    EXPECT_FALSE(saveOver(target));
    EXPECT_EQ(fileBytes(target), oldContent);
    EXPECT_EQ(disk.entries(), std::vector<std::string>{"shot.bmp"});
}

TEST(CaptureImageCopy, StretchesAPictureOfAnotherSizeOverTheWholeImage)
{
    QImage quadrants(2, 2, QImage::Format_RGB32);
    quadrants.setPixel(0, 0, qRgb(255, 0, 0));
    quadrants.setPixel(1, 0, qRgb(0, 255, 0));
    quadrants.setPixel(0, 1, qRgb(0, 0, 255));
    quadrants.setPixel(1, 1, qRgb(255, 255, 255));

    CaptureImage image(6, 4);
    image.copyFrom(quadrants);

    ASSERT_EQ(image.pixels().size(), QSize(6, 4));
    EXPECT_EQ(image.pixels().format(), QImage::Format_RGB888);
    EXPECT_EQ(image.pixels().pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixels().pixel(5, 1), qRgb(0, 255, 0));
    EXPECT_EQ(image.pixels().pixel(2, 2), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixels().pixel(3, 3), qRgb(255, 255, 255));
}

TEST(CaptureImageCopy, IsBlackUntilSomethingIsCopiedIn)
{
    CaptureImage image(5, 3);
    image.copyFrom(QImage());
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(image.pixels().pixel(x, y), qRgb(0, 0, 0));
        }
    }
}

}  // namespace
}  // namespace velmora
