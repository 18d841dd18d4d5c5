#include "files/replacing_file.h"
#include "support/tight_disk.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace velmora {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

class ReplacingFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("velmora-files-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

TEST_F(ReplacingFileTest, TheTargetChangesOnlyAtCommitAndKeepsItsPermissions)
{
    writeFile(path("out.txt"), "old");
    fs::permissions(path("out.txt"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    {
        ReplacingFile file(path("out.txt"));
        file.write(std::string(100'000, 'a'));
        file.write("b");
        EXPECT_EQ(readFile(path("out.txt")), "old");
        EXPECT_EQ(fs::path(file.temporaryPath()).parent_path(), dir_);
        file.commit();
    }
    EXPECT_EQ(readFile(path("out.txt")), std::string(100'000, 'a') + "b");
    EXPECT_EQ(fs::status(path("out.txt")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    // Dropped without commit: nothing changes and nothing is left behind.
    {
        ReplacingFile file(path("out.txt"));
        file.write("new");
    }
    EXPECT_EQ(readFile(path("out.txt")), std::string(100'000, 'a') + "b");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(ReplacingFileTest, OthersFilesBesideTheTargetAreNeitherFollowedNorTouched)
{
    // What a fixed temporary name would have written through or deleted.
    writeFile(path("victim.txt"), "victim");
    fs::create_symlink(path("victim.txt"), path("out.csv.partial"));
    writeFile(path("keep.csv.partial"), "mine");
    for (const char* target : {"out.csv", "keep.csv"}) {
        ReplacingFile file(path(target));
        file.write("rows");
        file.commit();
    }
    EXPECT_EQ(readFile(path("victim.txt")), "victim");
    EXPECT_TRUE(fs::is_symlink(path("out.csv.partial")));
    EXPECT_EQ(readFile(path("keep.csv.partial")), "mine");
    EXPECT_EQ(readFile(path("out.csv")), "rows");

    // Two writers of one target at once: each has its own temporary file, and the target ends up as one of
    // them complete, never a mix.
    ReplacingFile first(path("both.csv"));
    ReplacingFile second(path("both.csv"));
    EXPECT_NE(first.temporaryPath(), second.temporaryPath());
    first.write(std::string(70'000, '1'));
    second.write(std::string(70'000, '2'));
    first.write("1");
    second.write("2");
    first.commit();
    second.commit();
    EXPECT_EQ(readFile(path("both.csv")), std::string(70'001, '2'));

    EXPECT_THROW(ReplacingFile(dir_.string()), FileError);
    EXPECT_THROW(ReplacingFile(path("no/such/dir.csv")), FileError);
}

// The new content is 23,296 bytes, more than either place takes, and the old file is small. Either the
// buffered write at commit fails near the end of the content, or the first one does: the old file stays.
TEST_F(ReplacingFileTest, AWriteThatFailsAtAnyByteKeepsTheOldFileAndSaysWhy)
{
    const std::string content(23'296, 'n');
    const auto attempt = [&](const std::string& target) -> std::string {
        try {
            ReplacingFile file(target);
            file.write(content);
            file.commit();
        } catch (const FileError& e) {
            return e.what();
        }
        return "saved";
    };

    writeFile(path("shot.png"), "old picture");
    {
        const test::FileSizeCap cap(content.size() - 1);
        EXPECT_NE(attempt(path("shot.png")).find("File too large"), std::string::npos);
    }
    EXPECT_EQ(readFile(path("shot.png")), "old picture");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);

    const test::NearlyFullDisk disk;
    VELMORA_NEEDS_NEARLY_FULL_DISK(disk);
    writeFile(disk.path("shot.png"), "old picture");
    const std::string said = attempt(disk.path("shot.png"));
    EXPECT_NE(said.find("No space left on device"), std::string::npos) << said;
    EXPECT_NE(said.find(disk.path("shot.png")), std::string::npos) << said;
    EXPECT_EQ(readFile(disk.path("shot.png")), "old picture");
    EXPECT_EQ(disk.entries(), std::vector<std::string>{"shot.png"});
}

// What a target is decides what is written: a symlink's file is replaced beside it and the link stays, a pipe
// (as /dev/stdout often is) takes the bytes as a stream, and what holds no file's bytes is refused.
TEST_F(ReplacingFileTest, SymlinksLeadToTheirFileStreamsAreWrittenThroughOtherKindsRefused)
{
    fs::create_directories(path("real"));
    writeFile(path("real/data.csv"), "old");
    fs::create_symlink("real/data.csv", path("hop.csv"));
    fs::create_symlink("hop.csv", path("link.csv"));
    fs::create_symlink("real/new.csv", path("dangling.csv"));
    for (const char* target : {"link.csv", "dangling.csv"}) {
        ReplacingFile file(path(target));
        file.write("new");
        EXPECT_EQ(fs::path(file.temporaryPath()).parent_path(), dir_ / "real");
        file.commit();
    }
    EXPECT_TRUE(fs::is_symlink(path("link.csv")) && fs::is_symlink(path("hop.csv")));
    EXPECT_EQ(readFile(path("real/data.csv")), "new");
    EXPECT_TRUE(fs::is_symlink(path("dangling.csv")));
    EXPECT_EQ(readFile(path("real/new.csv")), "new");

    ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
    auto reader = std::async(std::launch::async, [&] { return readFile(path("pipe")); });
    {
        ReplacingFile file(path("pipe"));
        EXPECT_EQ(file.temporaryPath(), "");
        file.write(std::string(100'000, 'p'));
        file.commit();
    }
    if (reader.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "the pipe's reader got nothing";
        ::close(::open(path("pipe").c_str(), O_WRONLY | O_NONBLOCK));  // lets the reader end
    }
    EXPECT_EQ(reader.get().size(), 100'000u);
    EXPECT_TRUE(fs::is_fifo(path("pipe")));

    // A reader that goes away fails the write, as a full disk does.
    const auto oldHandler = std::signal(SIGPIPE, SIG_IGN);
    auto closer = std::async(std::launch::async, [&] { std::ifstream in(path("pipe")); });
    EXPECT_THROW(
        {
            ReplacingFile file(path("pipe"));
            closer.get();
            file.write(std::string(100'000, 'p'));
            file.commit();
        },
        FileError);
    std::signal(SIGPIPE, oldHandler);

    const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = path("socket");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    try {
        ReplacingFile file(socketPath);
        ADD_FAILURE() << "a socket was taken for a file";
    } catch (const FileError& e) {
        EXPECT_EQ(std::string(e.what()), "cannot write \"" + socketPath + "\": it is a socket, not a file");
    }
    ::close(socket);
    EXPECT_TRUE(fs::is_socket(socketPath));
}

TEST_F(ReplacingFileTest, NamesUpToTheLongestAFolderHoldsCanBeWritten)
{
    const std::string name(255, 'n');
    ReplacingFile file(path(name));
    file.write("long");
    file.commit();
    EXPECT_EQ(readFile(path(name)), "long");
}

}  // namespace
}  // namespace velmora
