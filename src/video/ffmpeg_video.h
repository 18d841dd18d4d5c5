#pragma once

#include "files/replacing_file.h"
#include "video/video_writer.h"

#include <QProcess>

#include <memory>

namespace velmora {

// A video encoded by Debian's ffmpeg program, fed raw frames through a pipe: MP4 (H.264), WebM (VP9) or GIF.
// ffmpeg writes the temporary file beside the target, which takes the target's name only once ffmpeg has
// finished without an error. The provenance goes into the file: the container's comment in MP4 and WebM, a
// comment extension in a GIF.
class FfmpegVideo : public VideoWriter {
public:
    // Throws as openVideo does.
    explicit FfmpegVideo(const VideoSettings& settings);
    ~FfmpegVideo() override;

    void addFrame(const QImage& frame, const nlohmann::ordered_json& about) override;
    void finish() override;

private:
    QStringList arguments() const;
    // After a wait for ffmpeg timed out: fails when ffmpeg has gone or the video was cancelled.
    void stopUnlessRunning(const char* what);
    // Stops ffmpeg, removes what it wrote and throws, with the last thing ffmpeg said (said, and what it has
    // not been asked for yet).
    [[noreturn]] void fail(const std::string& what, QByteArray said = {});

    VideoSettings settings_;
    std::unique_ptr<ReplacingFile> scratch_;
    QProcess ffmpeg_;
};

}  // namespace velmora
