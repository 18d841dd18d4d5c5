#include "support/unwritable_directory.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

namespace velmora {

QString makeUnwritableDirectory(const QString& path)
{
    QDir().mkpath(path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    if (access(QFile::encodeName(path).constData(), W_OK) == 0)
        return QStringLiteral("/proc");
    return path;
}

}  // namespace velmora
