#include "video/png_folder.h"

#include "files/replacing_file.h"
#include "text/input_error.h"

#include <QBuffer>
#include <QImageWriter>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {
namespace {

std::string inQuotes(const std::string& path) { return "\"" + path + "\""; }

void syncFolder(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        throw VideoError("cannot write " + inQuotes(path) + ": " + std::strerror(error));
    }
    ::close(fd);
}

std::string parentOf(const std::string& path)
{
    const std::string parent = std::filesystem::path(path).parent_path().string();
    return parent.empty() ? "." : parent;
}

}  // namespace

bool PngFolder::isFrameName(const std::string& name)
{
    constexpr std::string_view head = "frame-";
    constexpr std::string_view tail = ".png";
    if (name.size() < head.size() + 6 + tail.size() || !name.starts_with(head) || !name.ends_with(tail))
        return false;
    for (std::size_t i = head.size(); i < name.size() - tail.size(); ++i)
        if (name[i] < '0' || name[i] > '9')
            return false;
    return true;
}

std::string PngFolder::refusalFor(const std::string& target) const
{
    struct stat info {};
    if (::stat(target.c_str(), &info) != 0)
        return {};
    if (!S_ISDIR(info.st_mode))
        return inQuotes(settings_.path) + " is no folder; name a new folder for the PNG frames";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(target, error))
        if (!isFrameName(entry.path().filename().string()))
            return inQuotes(settings_.path) + " holds files other than PNG frames (" + entry.path().filename().string()
                + "); name a new folder or an empty one";
    if (error)
        return "cannot read the folder " + inQuotes(settings_.path) + ": " + error.message();
    return {};
}

PngFolder::PngFolder(const VideoSettings& settings) : settings_(settings)
{
    target_ = settings.path;
    while (target_.size() > 1 && target_.back() == '/')
        target_.pop_back();
    // A link to a folder stays a link: the folder it leads to is the one replaced.
    std::error_code error;
    if (std::filesystem::is_symlink(target_, error))
        target_ = std::filesystem::weakly_canonical(target_, error).string();
    if (const std::string refusal = refusalFor(target_); !refusal.empty())
        throw InputError(refusal);
    std::string name = target_ + ".partial-XXXXXX";
    if (::mkdtemp(name.data()) == nullptr) {
        const int reason = errno;
        throw InputError("cannot create a folder beside " + inQuotes(target_) + ": " + std::strerror(reason));
    }
    temporary_ = name;
    // mkdtemp keeps the folder private; the frames are the user's, shared as the umask says for new files.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(temporary_.c_str(), 0777 & ~mask);
}

PngFolder::~PngFolder()
{
    if (!temporary_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(temporary_, ignored);
    }
}

void PngFolder::addFrame(const QImage& frame, const nlohmann::ordered_json& about)
{
    if (frame.size() != settings_.size)
        throw VideoError("a frame of another size than the video's was given");
    nlohmann::ordered_json note = settings_.provenance;
    note["frame"] = about;
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setText(QStringLiteral("Comment"), QString::fromStdString(note.dump()));
    if (!writer.write(frame))
        throw VideoError("cannot encode a PNG frame: " + writer.errorString().toStdString());
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%06d.png", frames_);
    try {
        ReplacingFile file(temporary_ + name);
        file.write(std::string_view(encoded.constData(), static_cast<std::size_t>(encoded.size())));
        file.commit();
    } catch (const FileError& e) {
        throw VideoError(e.what());
    }
    ++frames_;
}

void PngFolder::finish()
{
    syncFolder(temporary_);
    // The target may have changed while the frames were made; it is checked again before it goes.
    if (const std::string refusal = refusalFor(target_); !refusal.empty())
        throw VideoError(refusal);
    struct stat old {};
    if (::stat(target_.c_str(), &old) != 0) {
        if (::rename(temporary_.c_str(), target_.c_str()) != 0)
            throw VideoError("cannot put the frames in place as " + inQuotes(target_) + ": " + std::strerror(errno));
    } else {
        // Swapped in one step, so at no moment is there no folder or half of one; the old frames then go with
        // the temporary name.
        if (::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, target_.c_str(), RENAME_EXCHANGE) != 0)
            throw VideoError("cannot replace " + inQuotes(target_) + ": " + std::strerror(errno));
        std::error_code ignored;
        std::filesystem::remove_all(temporary_, ignored);
    }
    temporary_.clear();
    syncFolder(parentOf(target_));
}

}  // namespace velmora
