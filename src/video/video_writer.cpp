#include "video/video_writer.h"

#include "video/ffmpeg_video.h"
#include "video/png_folder.h"

namespace velmora {

std::unique_ptr<VideoWriter> openVideo(const VideoSpec& spec)
{
    if (spec.format == VideoFormat::pngFolder)
        return std::make_unique<PngFolder>(spec);
    return std::make_unique<FfmpegVideo>(spec);
}

}  // namespace velmora
