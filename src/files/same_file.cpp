#include "files/same_file.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

namespace velmora {
namespace {

struct Identity {
    bool stream = false;
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    std::filesystem::path name;
};

Identity identityOf(const std::string& path)
{
    Identity id;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        id.exists = true;
        id.stream = S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode);
        id.device = info.st_dev;
        id.inode = info.st_ino;
        return id;
    }
    std::error_code error;
    id.name = std::filesystem::weakly_canonical(std::filesystem::absolute(path, error), error);
    if (error)
        id.name = std::filesystem::path(path).lexically_normal();
    return id;
}

}  // namespace

bool sameFile(const std::string& a, const std::string& b)
{
    const Identity x = identityOf(a);
    const Identity y = identityOf(b);
    if (x.stream || y.stream || x.exists != y.exists)
        return false;
    if (x.exists)
        return x.device == y.device && x.inode == y.inode;
    return x.name == y.name;
}

}  // namespace velmora
