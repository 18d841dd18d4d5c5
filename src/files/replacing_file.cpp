#include "files/replacing_file.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {
namespace {

constexpr std::size_t bufferSize = 64 * 1024;

// The temporary files alive, in fixed storage a signal handler can read without allocating or locking.
struct TemporarySlot {
    std::atomic<bool> used{false};
    std::atomic<bool> live{false};
    char path[4096] = {};
};
std::array<TemporarySlot, 8> slots;

int claimSlot(const std::string& path)
{
    if (path.size() >= sizeof slots[0].path)
        return -1;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        bool expected = false;
        if (slots[i].used.compare_exchange_strong(expected, true)) {
            std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
            slots[i].live.store(true);
            return static_cast<int>(i);
        }
    }
    return -1;
}

void releaseSlot(int slot)
{
    if (slot < 0)
        return;
    slots[static_cast<std::size_t>(slot)].live.store(false);
    slots[static_cast<std::size_t>(slot)].used.store(false);
}

// New files get what the user's umask allows; a replaced file keeps its permissions.
mode_t modeFor(const std::string& path)
{
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0)
        return old.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

std::string quotedPath(const std::string& path) { return "\"" + path + "\""; }

}  // namespace

ReplacingFile::ReplacingFile(std::string path) : path_(std::move(path))
{
    struct stat target {};
    if (::stat(path_.c_str(), &target) == 0 && S_ISDIR(target.st_mode))
        throw FileError("cannot write " + quotedPath(path_) + ": it is a directory");
    // mkstemps creates the file with O_EXCL: it never opens a file or symlink that is already there.
    std::string name = path_ + ".XXXXXX.partial";
    fd_ = ::mkostemps(name.data(), static_cast<int>(std::strlen(".partial")), O_CLOEXEC);
    if (fd_ < 0) {
        const int error = errno;
        throw FileError("cannot create a file beside " + quotedPath(path_) + ": " + std::strerror(error));
    }
    temporary_ = name;
    slot_ = claimSlot(temporary_);
    ::fchmod(fd_, modeFor(path_));
    buffer_.reserve(bufferSize);
}

ReplacingFile::~ReplacingFile()
{
    if (!committed_)
        discard();
}

void ReplacingFile::discard() noexcept
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
    releaseSlot(slot_);
    slot_ = -1;
}

void ReplacingFile::fail(const char* what, int error)
{
    discard();
    throw FileError(std::string(what) + " " + quotedPath(path_) + ": " + std::strerror(error));
}

void ReplacingFile::write(std::string_view bytes)
{
    if (fd_ < 0)
        throw FileError("cannot write " + quotedPath(path_) + ": the file is already closed");
    if (buffer_.size() + bytes.size() > bufferSize)
        flushBuffer();
    if (bytes.size() >= bufferSize)
        writeAll(bytes);
    else
        buffer_ += bytes;
}

void ReplacingFile::flushBuffer()
{
    writeAll(buffer_);
    buffer_.clear();
}

void ReplacingFile::writeAll(std::string_view bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail("cannot write", n < 0 ? errno : ENOSPC);
        done += static_cast<std::size_t>(n);
    }
}

void ReplacingFile::commit()
{
    if (fd_ < 0)
        throw FileError("cannot write " + quotedPath(path_) + ": the file is already closed");
    flushBuffer();
    if (::fsync(fd_) != 0 && errno != EINVAL)
        fail("cannot write", errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        fail("cannot write", errno);
    if (::rename(temporary_.c_str(), path_.c_str()) != 0)
        fail("cannot replace", errno);
    releaseSlot(slot_);
    slot_ = -1;
    committed_ = true;
}

int ReplacingFile::removeTemporaryFiles() noexcept
{
    int removed = 0;
    for (TemporarySlot& slot : slots)
        if (slot.live.load() && ::unlink(slot.path) == 0)
            ++removed;
    return removed;
}

}  // namespace velmora
