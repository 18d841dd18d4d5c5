#include "files/file_names.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace velmora {

std::string lowerExtension(const std::string& path)
{
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

}  // namespace velmora
