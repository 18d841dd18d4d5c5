#pragma once

#include <QString>

namespace velmora {

// Creates the directory path, closed to writing, and returns it. A process that may write there anyway
// (root) gets /proc instead, where nobody can create a file.
QString makeUnwritableDirectory(const QString& path);

}  // namespace velmora
