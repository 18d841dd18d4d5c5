#include "video/video_writer.h"

#include "video/ffmpeg_video.h"
#include "video/png_folder.h"

namespace velmora {

std::unique_ptr<VideoWriter> openVideo(const VideoSettings& settings)
{
    if (settings.format == VideoFormat::pngFolder)
        return std::make_unique<PngFolder>(settings);
    return std::make_unique<FfmpegVideo>(settings);
}

}  // namespace velmora
