#pragma once

#include <string>

namespace velmora {

// Whether two names lead to one file that writing one of them would replace: the same device and inode when
// the file exists, otherwise the same absolute name once the existing folders and symlinks on the way are
// resolved ("out/x.csv" and "./out/../out/x.csv"). A stream (character device such as /dev/null, FIFO) is no
// file to replace, and sharing one is how output is usually discarded or piped: never the same file.
bool sameFile(const std::string& a, const std::string& b);

}  // namespace velmora
