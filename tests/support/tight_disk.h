#pragma once

// Places where a write fails before its last byte, as a full disk makes it: a cap on the size of any file
// the process writes (works for anyone), and a directory on a 64 KiB tmpfs that filler has nearly filled
// (needs root to mount; tests skip it elsewhere).
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace velmora::test {

inline std::string readAll(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Caps the size of any file this process writes, for the life of the scope; a write past it fails with
// "File too large" instead of killing the process.
class FileSizeCap {
public:
    explicit FileSizeCap(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit capped = saved_;
        capped.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &capped);
    }
    ~FileSizeCap()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeCap(const FileSizeCap&) = delete;
    FileSizeCap& operator=(const FileSizeCap&) = delete;

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

// A fresh 64 KiB tmpfs with 40 KiB of filler on it: a small old file still fits, a new file of some
// 20 KiB does not. mounted() is false where mounting is not allowed.
class NearlyFullDisk {
public:
    NearlyFullDisk()
    {
        std::string name = (std::filesystem::temp_directory_path() / "velmora-full-XXXXXX").string();
        if (!::mkdtemp(name.data()))
            return;
        dir_ = name;
        if (::geteuid() != 0 || ::mount("tmpfs", dir_.c_str(), "tmpfs", 0, "size=64k") != 0)
            return;
        mounted_ = true;
        std::ofstream(dir_ / "filler", std::ios::binary) << std::string(40 * 1024, 'f');
    }
    ~NearlyFullDisk()
    {
        if (mounted_)
            ::umount(dir_.c_str());
        if (!dir_.empty())
            std::filesystem::remove_all(dir_);
    }
    NearlyFullDisk(const NearlyFullDisk&) = delete;
    NearlyFullDisk& operator=(const NearlyFullDisk&) = delete;

    bool mounted() const { return mounted_; }
    const std::filesystem::path& dir() const { return dir_; }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // Everything in the directory but the filler.
    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir_))
            if (e.path().filename() != "filler")
                names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path dir_;
    bool mounted_ = false;
};

#define VELMORA_NEEDS_NEARLY_FULL_DISK(disk)                                                               \
    if (!(disk).mounted())                                                                                 \
    GTEST_SKIP() << "mounting a small tmpfs needs root"

}  // namespace velmora::test
