#include "files/replacing_file.h"
#include "support/tight_disk.h"
#include "text/input_error.h"
#include "video/gif_comment.h"
#include "video/png_folder.h"
#include "video/video_format.h"
#include "video/video_writer.h"

#include <QCoreApplication>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace velmora {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> entries(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void writeFile(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

QImage solid(QSize size, QRgb colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

TEST(VideoFormat, TheLastNamesExtensionPicksItAnyCaseAndNoneMeansAFolder)
{
    EXPECT_EQ(videoFormatFor("talk/run.MP4"), VideoFormat::mp4);
    EXPECT_EQ(videoFormatFor("run.webm"), VideoFormat::webm);
    EXPECT_EQ(videoFormatFor("run.Gif"), VideoFormat::gif);
    EXPECT_EQ(videoFormatFor("v1.2/frames"), VideoFormat::pngFolder);
    EXPECT_EQ(videoFormatFor("frames.d/"), VideoFormat::pngFolder);
    try {
        videoFormatFor("run.avi");
        ADD_FAILURE() << "an .avi was taken";
    } catch (const InputError& e) {
        EXPECT_NE(std::string(e.what()).find(".mp4, .webm or .gif"), std::string::npos) << e.what();
    }
}

// Worked by hand from the GIF89a layout: the 13-byte header and screen descriptor, a global colour table of
// two entries (packed byte 0x80: table present, 2^(0+1) colours, 6 bytes), the comment in sub-blocks of 255
// and 45 bytes, then the rest of the file unchanged.
TEST(GifComment, GoesAfterTheColourTableInSubBlocksOfAtMost255Bytes)
{
    const std::string text(300, 'c');
    const std::string expectedBlock = std::string("\x21\xFE\xFF", 3) + std::string(255, 'c') + "\x2D" +
                                      std::string(45, 'c') + std::string(1, '\0');
    EXPECT_EQ(gifCommentExtension(text), expectedBlock);

    const std::string head = std::string("GIF89a\x02\x00\x01\x00\x80\x00\x00", 13);
    const std::string table = std::string("\x00\x00\x00\xFF\xFF\xFF", 6);
    const std::string image = std::string("\x2C\x00\x00\x00\x00\x02\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3B", 16);
    QTemporaryDir dir;
    const fs::path in = fs::path(dir.path().toStdString()) / "in.gif";
    writeFile(in, head + table + image);
    const fs::path out = fs::path(dir.path().toStdString()) / "out.gif";
    ReplacingFile file(out.string());
    copyGifWithComment(in.string(), file, text);
    file.commit();
    EXPECT_EQ(test::readAll(out), head + table + expectedBlock + image);

    writeFile(in, "GIF87a" + head.substr(6) + table + image);
    ReplacingFile refused(out.string());
    EXPECT_THROW(copyGifWithComment(in.string(), refused, text), FileError);
}

class PngFolderTest : public ::testing::Test {
protected:
    VideoSettings settings(const std::string& name) const
    {
        return {(root / name).string(), VideoFormat::pngFolder, QSize(8, 6), 10, {{"velmora", "test"}}, {}};
    }

    QTemporaryDir dir;
    fs::path root = dir.path().toStdString();
};

TEST_F(PngFolderTest, FramesAppearOnlyWhenFinishedEachSayingWhatMadeIt)
{
    auto video = openVideo(settings("frames"));
    video->addFrame(solid({8, 6}, qRgb(10, 20, 30)), {{"frame", 0}, {"time", 0.0}});
    video->addFrame(solid({8, 6}, qRgb(40, 50, 60)), {{"frame", 1}, {"time", 0.1}});
    EXPECT_FALSE(fs::exists(root / "frames")) << "no folder before the last frame";
    video->finish();
    EXPECT_EQ(entries(root), std::vector<std::string>{"frames"});
    EXPECT_EQ(entries(root / "frames"), (std::vector<std::string>{"frame-000000.png", "frame-000001.png"}));
    QImageReader reader(QString::fromStdString((root / "frames/frame-000001.png").string()));
    const auto note = nlohmann::json::parse(reader.text("Comment").toStdString());
    EXPECT_EQ(note["velmora"], "test");
    EXPECT_EQ(note["frame"]["frame"], 1);
    EXPECT_EQ(reader.read().pixel(7, 5), qRgb(40, 50, 60));
}

TEST_F(PngFolderTest, AnEarlierRenderingIsReplacedWholeAndAnythingElseIsRefusedUntouched)
{
    fs::create_directory(root / "frames");
    for (const char* name : {"frame-000000.png", "frame-000001.png", "frame-000002.png"})
        writeFile(root / "frames" / name, "old");
    auto video = openVideo(settings("frames"));
    video->addFrame(solid({8, 6}, qRgb(1, 2, 3)), {});
    video->finish();
    EXPECT_EQ(entries(root / "frames"), std::vector<std::string>{"frame-000000.png"});
    EXPECT_EQ(entries(root), std::vector<std::string>{"frames"}) << "the old frames are gone";

    fs::create_directory(root / "photos");
    writeFile(root / "photos" / "holiday.jpg", "keep");
    EXPECT_THROW(openVideo(settings("photos")), InputError);
    writeFile(root / "notes.txt", "keep");
    EXPECT_THROW(openVideo(settings("notes.txt/")), InputError);
    EXPECT_THROW(openVideo(settings("missing/frames")), InputError);
    EXPECT_EQ(test::readAll(root / "photos" / "holiday.jpg"), "keep");
    EXPECT_EQ(entries(root), (std::vector<std::string>{"frames", "notes.txt", "photos"}));
}

TEST_F(PngFolderTest, AnUnfinishedVideoLeavesNothing)
{
    {
        auto video = openVideo(settings("frames"));
        video->addFrame(solid({8, 6}, qRgb(1, 2, 3)), {});
    }
    EXPECT_TRUE(entries(root).empty());
}

// The real ffmpeg, made to fail by a cap on the size of the files it may write, as a full disk would (the cap
// reaches the child process): with busy frames it fails while encoding, with plain ones only at the index it
// writes last.
TEST(FfmpegVideo, AnEncoderThatFailsSaysWhyAndLeavesTheOldFile)
{
    QTemporaryDir dir;
    const fs::path target = fs::path(dir.path().toStdString()) / "run.mp4";
    writeFile(target, "old video");
    for (const bool busy : {true, false}) {
        SCOPED_TRACE(busy ? "busy frames" : "plain frames");
        VideoSettings settings{target.string(), VideoFormat::mp4, QSize(320, 240), 25, {{"velmora", "test"}}, {}};
        try {
            const test::FileSizeCap cap(2500);
            auto video = openVideo(settings);
            QImage frame = solid(settings.size, qRgb(10, 20, 30));
            for (int k = 0; k < 50; ++k) {
                for (int y = 0; busy && y < frame.height(); ++y)
                    for (int x = 0; x < frame.width(); ++x)
                        frame.setPixel(x, y, qRgb((x * 7 + k * 13) & 255, (y * 11 + k) & 255, (x * y + k) & 255));
                video->addFrame(frame, {});
            }
            video->finish();
            ADD_FAILURE() << "a video larger than the cap was written";
        } catch (const VideoError& e) {
            EXPECT_NE(std::string(e.what()).find("ffmpeg"), std::string::npos) << e.what();
        }
        EXPECT_TRUE(test::readAll(target) == "old video");
        EXPECT_EQ(entries(target.parent_path()), std::vector<std::string>{"run.mp4"});
    }
}

TEST(FfmpegVideo, WithoutFfmpegOnThePathTheMessageSaysHowToGetIt)
{
    QTemporaryDir empty;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", empty.path().toLocal8Bit());
    try {
        openVideo({(empty.path() + "/run.webm").toStdString(), VideoFormat::webm, QSize(16, 16), 25, {}, {}});
        ADD_FAILURE() << "a video was begun without ffmpeg";
    } catch (const VideoError& e) {
        EXPECT_NE(std::string(e.what()).find("apt-get install ffmpeg"), std::string::npos) << e.what();
    }
    qputenv("PATH", path);
    EXPECT_TRUE(entries(empty.path().toStdString()).empty());
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
