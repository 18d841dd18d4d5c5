#pragma once

#include <string>

namespace velmora {

// What a video is written as, by the name it is given.
enum class VideoFormat {
    mp4,        // H.264, for slides and players everywhere
    webm,       // VP9, for web pages
    gif,        // an animated GIF, for pages and chats that show no video
    pngFolder,  // a folder of numbered PNG frames, every pixel as drawn
};

// By the name's extension, ignoring case: .mp4, .webm, .gif; a name without one (or ending in "/") is a folder
// of PNG frames. Throws InputError, naming the formats, for any other extension.
VideoFormat videoFormatFor(const std::string& path);

// The name a user knows the format by ("MP4", "a folder of PNG frames").
const char* videoFormatName(VideoFormat format);

// Whether the format's pictures are halved in colour resolution (4:2:0), which takes an even width and height.
bool needsEvenSize(VideoFormat format);

}  // namespace velmora
