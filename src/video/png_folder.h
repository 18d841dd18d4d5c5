#pragma once

#include "video/video_writer.h"

#include <string>

namespace velmora {

// A video as a folder of numbered PNG frames (frame-000000.png, ...), every pixel as drawn. Each frame carries
// the provenance and what it shows in its "Comment" text. The frames go into a temporary folder beside the
// target, which takes the target's name only once every frame is written, so the folder appears complete or
// not at all. An existing folder is replaced only when it holds nothing but such frames (an earlier rendering);
// a folder with anything else in it is refused, never emptied.
class PngFolder : public VideoWriter {
public:
    // Throws InputError for a target that is no folder, a folder with other files, or one that cannot be
    // created.
    explicit PngFolder(const VideoSettings& settings);
    ~PngFolder() override;

    void addFrame(const QImage& frame, const nlohmann::ordered_json& about) override;
    void finish() override;

    // Whether name is a frame's (frame- and six or more digits, .png).
    static bool isFrameName(const std::string& name);

private:
    // Why the folder at target may not be replaced; empty when it may (it is missing, empty, or only frames).
    std::string refusalFor(const std::string& target) const;

    VideoSettings settings_;
    std::string target_;
    std::string temporary_;
    int frames_ = 0;
};

}  // namespace velmora
