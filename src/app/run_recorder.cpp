#include "app/run_recorder.h"

#include "text/provenance.h"
#include "video/video_caption.h"
#include "view/camera_frame.h"

#include <QCoreApplication>
#include <QPainter>

namespace velmora {

void RunRecorder::start(const std::string& path, QSize viewPixels, const Scenario& setup, const CameraFrame& camera,
                        double time)
{
    std::vector<std::string> command;
    for (const QString& argument : QCoreApplication::arguments())
        command.push_back(argument.toStdString());
    nlohmann::ordered_json provenance = provenanceJson(command);
    provenance["parameters"] = scenarioToJson(setup);
    provenance["recording"] = {
        {"by", "Record Run"},
        {"view", "left"},
        {"fps", framesPerSecond},
        {"startTime", time},
        {"camera",
         {{"target", {camera.target.x, camera.target.y, camera.target.z}},
          {"orientation", camera.orientation.m},
          {"distance", camera.eyeDistance()}}}};
    const VideoFormat format = videoFormatFor(path);
    const int even = needsEvenSize(format) ? 1 : 0;
    viewSize_ = viewPixels;
    frameSize_ = QSize(viewPixels.width() + (viewPixels.width() & even),
                       viewPixels.height() + (viewPixels.height() & even));
    frames_ = 0;
    video_ = openVideo(VideoSettings{path, format, frameSize_, framesPerSecond, provenance, {}});
}

void RunRecorder::addFrame(const QImage& view, const QString& caption, double time)
{
    if (!video_)
        return;
    QImage frame(frameSize_, QImage::Format_RGB32);
    frame.fill(Qt::black);
    {
        QPainter painter(&frame);
        painter.drawImage(QRect(QPoint(0, 0), viewSize_), view);
    }
    drawCaption(frame, caption);
    try {
        video_->addFrame(frame, {{"frame", frames_}, {"time", time}});
    } catch (const VideoError&) {
        video_.reset();
        throw;
    }
    ++frames_;
}

void RunRecorder::finish()
{
    const std::unique_ptr<VideoWriter> video = std::move(video_);
    if (video)
        video->finish();
}

void RunRecorder::discard() { video_.reset(); }

}  // namespace velmora
