#pragma once

#include <string>
#include <string_view>

namespace velmora {

class ReplacingFile;

// A GIF89a comment extension holding text: 0x21 0xFE, the text in sub-blocks of at most 255 bytes each led by
// its length, and a zero-length block.
std::string gifCommentExtension(std::string_view text);

// Copies the GIF at gifPath into out with a comment extension of text placed right after the screen descriptor
// and its global colour table, before the first image, where readers look for it. Throws FileError when the
// file cannot be read or is no GIF89a.
void copyGifWithComment(const std::string& gifPath, ReplacingFile& out, std::string_view text);

}  // namespace velmora
