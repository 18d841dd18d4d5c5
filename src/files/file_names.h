#pragma once

#include <string>

namespace velmora {

// The extension of path, lower-cased: ".CSV" for "t.CSV" gives ".csv"; empty when it has none.
std::string lowerExtension(const std::string& path);

}  // namespace velmora
