#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace velmora {

// A file that could not be written; the message names it and says why, in one line.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Writes a file that takes its name only once every byte of it is on disk. The bytes go to a temporary file
// created exclusively, with a name of its own, beside the target (never through a symlink someone left
// there); commit() writes out the last buffered bytes, syncs, checks, and renames it into place. A write
// that fails at any byte, up to and including the last, throws, and the temporary file goes away with the
// object: the file the target names stays as it was.
//
// A target that is a symlink is resolved once, and the file it points to is replaced, beside that file: the
// link stays a link. A character device or a FIFO (/dev/stdout, /dev/null, a named pipe) is not a file to
// replace but a stream: the bytes are written straight to it, and a write it refuses throws as any other.
class ReplacingFile {
public:
    // Throws FileError when the target is a directory, a socket or a block device, or no file can be created
    // beside it.
    explicit ReplacingFile(std::string path);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Throws FileError.
    void write(std::string_view bytes);

    // Throws FileError; the target is then untouched.
    void commit();

    const std::string& path() const { return path_; }
    // Empty while writing straight to a stream.
    const std::string& temporaryPath() const { return temporary_; }
    // The file that takes the bytes at commit: the target, or the file its symlinks lead to.
    const std::string& finalPath() const { return final_; }

    // Removes the temporary files of every ReplacingFile alive and returns how many it removed; safe to
    // call from a signal handler.
    static int removeTemporaryFiles() noexcept;

private:
    void flushBuffer();
    void writeAll(std::string_view bytes);
    [[noreturn]] void fail(const char* what, int error);
    void discard() noexcept;

    std::string path_;
    std::string final_;
    std::string temporary_;
    int fd_ = -1;
    int slot_ = -1;
    std::string buffer_;
    bool committed_ = false;
};

}  // namespace velmora
