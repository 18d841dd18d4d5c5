#pragma once

#include "video/video_format.h"

#include <QSize>

#include <cstdint>
#include <optional>
#include <string>

class QCommandLineParser;

namespace velmora {

// Where a camera looks from, in the dialog's terms: its eye distance from the middle of the box, and how far it
// has been orbited as dragging with the left button orbits it.
struct CameraPlacement {
    double distance = 750.0;
    double azimuthDeg = 0.0;    // sideways about the world's up axis, positive as dragging right
    double elevationDeg = 0.0;  // up and down about the view's horizontal axis, positive as dragging down
};

enum class RenderedViews { left, right, both };

// velmora --render: a scenario's run as a video, drawn off screen.
struct RenderRequest {
    std::string scenarioPath;
    std::string outPath;
    VideoFormat format = VideoFormat::mp4;
    RenderedViews views = RenderedViews::left;
    QSize size{1280, 720};
    int fps = 25;
    double speed = 1.0;  // simulated seconds per second of video
    std::optional<std::int64_t> steps;  // none: until the longest plan in use has ended
    CameraPlacement left;
    CameraPlacement right;
    bool caption = true;
};

// The options of --render, for velmora's --help.
void addRenderOptions(QCommandLineParser& parser);

// The request the parsed command line makes; nothing when it asks for no rendering. Throws InputError for a
// value out of range, a rendering option without --render, or --render with a scenario file to open.
std::optional<RenderRequest> readRenderOptions(const QCommandLineParser& parser);

}  // namespace velmora
