#include "video/video_format.h"

#include "files/file_names.h"
#include "text/input_error.h"
#include "text/message_text.h"

namespace velmora {

VideoFormat videoFormatFor(const std::string& path)
{
    if (!path.empty() && path.back() == '/')
        return VideoFormat::pngFolder;
    const std::string extension = lowerExtension(path);
    if (extension.empty())
        return VideoFormat::pngFolder;
    if (extension == ".mp4")
        return VideoFormat::mp4;
    if (extension == ".webm")
        return VideoFormat::webm;
    if (extension == ".gif")
        return VideoFormat::gif;
    throw InputError("\"" + excerpt(path) + "\": no video is written as '" + excerpt(extension) +
                     "'; name it .mp4, .webm or .gif, or without an extension for a folder of PNG frames");
}

const char* videoFormatName(VideoFormat format)
{
    switch (format) {
    case VideoFormat::mp4: return "MP4";
    case VideoFormat::webm: return "WebM";
    case VideoFormat::gif: return "GIF";
    case VideoFormat::pngFolder: return "a folder of PNG frames";
    }
    return "";
}

bool needsEvenSize(VideoFormat format) { return format == VideoFormat::mp4 || format == VideoFormat::webm; }

}  // namespace velmora
