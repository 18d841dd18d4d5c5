#include "video/ffmpeg_video.h"

#include "text/input_error.h"
#include "video/gif_comment.h"

#include <QStandardPaths>

#include <unistd.h>

namespace velmora {
namespace {

// The last thing ffmpeg said, which names what went wrong.
// How long a wait for the encoder goes before cancelling is asked about again.
constexpr int waitMs = 100;

std::string lastLine(const QByteArray& said)
{
    const QList<QByteArray> lines = said.trimmed().split('\n');
    return lines.isEmpty() ? std::string() : lines.back().trimmed().toStdString();
}

}  // namespace

FfmpegVideo::FfmpegVideo(const VideoSettings& settings) : settings_(settings)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (program.isEmpty())
        throw VideoError(std::string(videoFormatName(settings.format)) +
                         " is encoded by ffmpeg, which is not installed (Debian: apt-get install ffmpeg); a folder "
                         "of PNG frames needs none");
    try {
        scratch_ = std::make_unique<ReplacingFile>(settings.path);
    } catch (const FileError& e) {
        throw InputError(e.what());
    }
    if (scratch_->temporaryPath().empty())
        throw InputError("cannot write a video to \"" + settings.path + "\": it is a pipe or a device, and a video is "
                         "written as a file");
    ffmpeg_.setProgram(program);
    ffmpeg_.setArguments(arguments());
    ffmpeg_.setStandardOutputFile(QProcess::nullDevice());
    // A group of its own: Ctrl+C in the terminal reaches this program alone, which then stops ffmpeg and removes
    // what it wrote, instead of ffmpeg rushing to finish a video nobody wants.
    ffmpeg_.setChildProcessModifier([] { ::setpgid(0, 0); });
    ffmpeg_.start();
    if (!ffmpeg_.waitForStarted(-1))
        fail("ffmpeg could not be started: " + ffmpeg_.errorString().toStdString());
}

FfmpegVideo::~FfmpegVideo()
{
    if (ffmpeg_.state() != QProcess::NotRunning) {
        ffmpeg_.kill();
        ffmpeg_.waitForFinished(-1);
    }
}

QStringList FfmpegVideo::arguments() const
{
    const QString size = QStringLiteral("%1x%2").arg(settings_.size.width()).arg(settings_.size.height());
    // RGB32 pixels as they lie in memory, blue first, then the unused byte.
    // -xerror: without it ffmpeg ends with status 0 after failing to write the index at the end of the file,
    // leaving a video no player opens.
    QStringList args{"-hide_banner", "-loglevel", "error", "-nostats", "-xerror", "-f", "rawvideo", "-pix_fmt", "bgr0",
                     "-video_size", size, "-framerate", QString::number(settings_.fps), "-i", "pipe:0"};
    const QString comment = QString::fromStdString(settings_.provenance.dump());
    // Players take HD video for BT.709; converting with that matrix and saying so keeps the colours the view's.
    const QStringList bt709{"-vf", "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p", "-colorspace",
                            "bt709", "-color_primaries", "bt709", "-color_trc", "bt709"};
    switch (settings_.format) {
    case VideoFormat::mp4:
        args << bt709 << "-c:v" << "libx264" << "-preset" << "fast" << "-crf" << "18" << "-movflags" << "+faststart"
             << "-metadata" << QStringLiteral("comment=") + comment << "-f" << "mp4";
        break;
    case VideoFormat::webm:
        args << bt709 << "-c:v" << "libvpx-vp9" << "-crf" << "32" << "-b:v" << "0" << "-deadline" << "good"
             << "-cpu-used" << "4" << "-row-mt" << "1" << "-metadata" << QStringLiteral("comment=") + comment << "-f"
             << "webm";
        break;
    case VideoFormat::gif:
        // One palette made for the whole run: the views' few colours come out clean, without dithering noise.
        args << "-filter_complex" << "split[a][b];[a]palettegen=stats_mode=full[p];[b][p]paletteuse=dither=none"
             << "-loop" << "0" << "-f" << "gif";
        break;
    case VideoFormat::pngFolder:
        break;
    }
    args << "-y" << QString::fromStdString(scratch_->temporaryPath());
    return args;
}

void FfmpegVideo::addFrame(const QImage& frame, const nlohmann::ordered_json&)
{
    const QImage pixels = frame.format() == QImage::Format_RGB32 ? frame : frame.convertToFormat(QImage::Format_RGB32);
    if (pixels.size() != settings_.size)
        throw VideoError("a frame of another size than the video's was given");
    const char* bytes = reinterpret_cast<const char*>(pixels.constBits());
    const qint64 total = pixels.sizeInBytes();
    if (ffmpeg_.write(bytes, total) != total)
        fail("ffmpeg stopped taking frames");
    // One frame in the pipe at a time, so memory stays bounded however slow the encoder.
    while (ffmpeg_.bytesToWrite() > 0)
        if (!ffmpeg_.waitForBytesWritten(waitMs))
            stopUnlessRunning("ffmpeg stopped taking frames");
}

void FfmpegVideo::stopUnlessRunning(const char* what)
{
    if (ffmpeg_.state() != QProcess::Running)
        fail(what);
    if (settings_.cancelled && settings_.cancelled())
        fail("the video was cancelled");
}

void FfmpegVideo::finish()
{
    ffmpeg_.closeWriteChannel();
    // A process already finished makes the wait return false too, so the state decides.
    while (ffmpeg_.state() != QProcess::NotRunning)
        if (!ffmpeg_.waitForFinished(waitMs) && settings_.cancelled && settings_.cancelled())
            fail("the video was cancelled");
    // Every line ffmpeg prints at this level is an error, whatever its status says.
    const QByteArray said = ffmpeg_.readAllStandardError();
    if (ffmpeg_.exitStatus() != QProcess::NormalExit || ffmpeg_.exitCode() != 0 || !said.trimmed().isEmpty())
        fail("ffmpeg failed", said);
    try {
        if (settings_.format == VideoFormat::gif) {
            ReplacingFile gif(settings_.path);
            copyGifWithComment(scratch_->temporaryPath(), gif, settings_.provenance.dump());
            gif.commit();
            scratch_.reset();
        } else {
            scratch_->commit();
        }
    } catch (const FileError& e) {
        throw VideoError(e.what());
    }
}

void FfmpegVideo::fail(const std::string& what, QByteArray said)
{
    if (ffmpeg_.state() != QProcess::NotRunning) {
        ffmpeg_.kill();
        ffmpeg_.waitForFinished(-1);
    }
    said += ffmpeg_.readAllStandardError();
    const std::string reason = lastLine(said);
    scratch_.reset();
    throw VideoError("cannot write \"" + settings_.path + "\": " + what +
                     (reason.empty() ? std::string() : ": " + reason));
}

}  // namespace velmora
