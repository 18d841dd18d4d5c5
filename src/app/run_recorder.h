#pragma once

#include "scenario/scenario.h"
#include "video/video_writer.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <memory>
#include <string>

namespace velmora {

struct CameraFrame;

// The dialog's recording of a run: what its left view shows at every tick, with the readout as the caption,
// into a video that takes its name only once the run has stopped.
class RunRecorder {
public:
    // A run ticks ten times a second, each tick a frame, so the video plays in real time.
    static constexpr int framesPerSecond = 10;

    // Opens the video for frames of the view's pixel size, one more row or column of background where the
    // format wants even sides. What a video found later needs to be made again goes into it: the set-up with
    // every craft, the time the recording begins at and the camera it begins with (the user may turn it while
    // recording). Throws InputError or VideoError, and nothing is recording then.
    void start(const std::string& path, QSize viewPixels, const Scenario& setup, const CameraFrame& camera,
               double time);

    bool recording() const { return video_ != nullptr; }
    int frames() const { return frames_; }

    // Adds the view's picture (stretched to the first one's size, should the view have changed). Throws
    // VideoError, and the recording is dropped.
    void addFrame(const QImage& view, const QString& caption, double time);

    // Completes the video and puts it in place. Throws VideoError; either way nothing is recording after.
    void finish();

    // Drops the recording and what was written of it.
    void discard();

private:
    std::unique_ptr<VideoWriter> video_;
    QSize viewSize_;
    QSize frameSize_;
    int frames_ = 0;
};

}  // namespace velmora
