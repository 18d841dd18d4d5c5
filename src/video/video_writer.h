#pragma once

#include "video/video_format.h"

#include <QImage>
#include <QSize>

#include <nlohmann/json.hpp>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace velmora {

// A video that could not be written while frames were going in: the encoder failed or a write did. The message
// says why in one line; the file the video would have replaced is as it was.
class VideoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What a video is to be: where, in which format, its frames' size and rate, and what made it (written into the
// file, so the file says how to make it again).
struct VideoSettings {
    std::string path;
    VideoFormat format = VideoFormat::mp4;
    QSize size;
    int fps = 25;
    nlohmann::ordered_json provenance;
    // Asked while the writer waits for its encoder; true gives up the video (VideoError) instead of waiting on.
    std::function<bool()> cancelled;
};

// Frames in, a video out that replaces its target only once it is complete: until finish() succeeds nothing
// but a temporary beside the target exists, and a writer destroyed unfinished removes it.
class VideoWriter {
public:
    virtual ~VideoWriter() = default;

    // One frame of the settings' size. about says what it shows (its step and time), for formats that keep a
    // note with every frame. Throws VideoError.
    virtual void addFrame(const QImage& frame, const nlohmann::ordered_json& about) = 0;

    // Completes the video and puts it in place. Throws VideoError.
    virtual void finish() = 0;
};

// Opens a writer for settings, before any frame is made, so that a name that cannot be written is said at once.
// Throws InputError for a target that cannot be created or replaced (a missing folder, a folder that holds
// other files, a pipe), and VideoError when the encoder the format needs (ffmpeg) is not there.
std::unique_ptr<VideoWriter> openVideo(const VideoSettings& settings);

}  // namespace velmora
