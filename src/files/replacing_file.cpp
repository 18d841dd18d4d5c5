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

// The file a chain of symlinks ends at, each link read relative to its own folder; the path itself when it is
// no symlink. A chain that loops or runs too long is refused, as opening it would be.
std::string followLinks(const std::string& path)
{
    std::string at = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat link {};
        if (::lstat(at.c_str(), &link) != 0 || !S_ISLNK(link.st_mode))
            return at;
        std::string target(static_cast<std::size_t>(link.st_size > 0 ? link.st_size : 4095) + 1, '\0');
        const ssize_t n = ::readlink(at.c_str(), target.data(), target.size());
        if (n < 0 || static_cast<std::size_t>(n) >= target.size())
            throw FileError("cannot write " + quotedPath(path) + ": its symlink cannot be read");
        target.resize(static_cast<std::size_t>(n));
        if (target.front() != '/') {
            const std::size_t slash = at.rfind('/');
            target = (slash == std::string::npos ? std::string() : at.substr(0, slash + 1)) + target;
        }
        at = target;
    }
    throw FileError("cannot write " + quotedPath(path) + ": " + std::strerror(ELOOP));
}

// The temporary file's name template beside target: the target's own name with a unique part and a suffix,
// the name cut short where a long one would make the whole longer than a folder entry may be.
std::string temporaryTemplate(const std::string& target)
{
    constexpr std::string_view suffix = ".XXXXXX.partial";
    constexpr std::size_t maxName = 255;
    const std::size_t slash = target.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string name = target.substr(nameStart);
    if (name.size() + suffix.size() > maxName)
        name.resize(maxName - suffix.size());
    return target.substr(0, nameStart) + name + std::string(suffix);
}

const char* kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a directory";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISBLK(mode))
        return "a block device";
    return nullptr;
}

}  // namespace

ReplacingFile::ReplacingFile(std::string path) : path_(std::move(path))
{
    struct stat target {};
    if (::stat(path_.c_str(), &target) == 0) {
        if (const char* kind = kindOf(target.st_mode))
            throw FileError("cannot write " + quotedPath(path_) + ": it is " + kind + ", not a file");
        if (S_ISCHR(target.st_mode) || S_ISFIFO(target.st_mode)) {
            // A stream takes the bytes as they come; opening a pipe waits for its reader, as a shell's would.
            fd_ = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
            if (fd_ < 0) {
                const int error = errno;
                throw FileError("cannot write " + quotedPath(path_) + ": " + std::strerror(error));
            }
            final_ = path_;
            buffer_.reserve(bufferSize);
            return;
        }
    }
    final_ = followLinks(path_);
    // mkstemps creates the file with O_EXCL: it never opens a file or symlink that is already there.
    std::string name = temporaryTemplate(final_);
    fd_ = ::mkostemps(name.data(), static_cast<int>(std::strlen(".partial")), O_CLOEXEC);
    if (fd_ < 0) {
        const int error = errno;
        throw FileError("cannot create a file beside " + quotedPath(final_) + ": " + std::strerror(error));
    }
    temporary_ = name;
    slot_ = claimSlot(temporary_);
    ::fchmod(fd_, modeFor(final_));
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
    // A pipe or terminal cannot be synced (EINVAL); what it refused has already failed the write.
    if (::fsync(fd_) != 0 && errno != EINVAL)
        fail("cannot write", errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        fail("cannot write", errno);
    if (!temporary_.empty() && ::rename(temporary_.c_str(), final_.c_str()) != 0)
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
