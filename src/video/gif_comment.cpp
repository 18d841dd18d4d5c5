#include "video/gif_comment.h"

#include "files/replacing_file.h"

#include <array>
#include <fstream>

namespace velmora {

std::string gifCommentExtension(std::string_view text)
{
    std::string block = "\x21\xFE";
    for (std::size_t at = 0; at < text.size(); at += 255) {
        const std::string_view part = text.substr(at, 255);
        block += static_cast<char>(part.size());
        block += part;
    }
    block += '\0';
    return block;
}

void copyGifWithComment(const std::string& gifPath, ReplacingFile& out, std::string_view text)
{
    std::ifstream in(gifPath, std::ios::binary);
    // The signature and version (6 bytes), then the logical screen descriptor (7), whose packed byte says
    // whether a global colour table of 3 * 2^(n + 1) bytes follows.
    std::array<char, 13> head{};
    if (!in.read(head.data(), head.size()) || std::string_view(head.data(), 6) != "GIF89a")
        throw FileError("cannot add a comment to \"" + gifPath + "\": it is no GIF89a");
    out.write(std::string_view(head.data(), head.size()));
    const auto packed = static_cast<unsigned char>(head[10]);
    std::string table((packed & 0x80) != 0 ? 3u << ((packed & 0x07) + 1) : 0u, '\0');
    if (!in.read(table.data(), static_cast<std::streamsize>(table.size())))
        throw FileError("cannot add a comment to \"" + gifPath + "\": its colour table is cut short");
    out.write(table);
    out.write(gifCommentExtension(text));
    std::array<char, 1 << 16> chunk{};
    while (in.read(chunk.data(), chunk.size()) || in.gcount() > 0)
        out.write(std::string_view(chunk.data(), static_cast<std::size_t>(in.gcount())));
    if (in.bad())
        throw FileError("cannot read \"" + gifPath + "\"");
}

}  // namespace velmora
