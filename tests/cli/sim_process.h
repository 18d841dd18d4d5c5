#pragma once

// Runs the velmora-sim executable as a user would, through the shell, and collects what it prints.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora::test {

struct SimResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string readFile(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs command through the shell and collects its stdout and exit code.
inline SimResult runShell(const std::string& command)
{
    SimResult r;
    FILE* pipe = ::popen(command.c_str(), "r");
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        r.out.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// args goes through the shell as typed; stderr is a file, so velmora-sim sees no terminal there.
inline SimResult runSim(const std::string& args)
{
    const auto errPath = std::filesystem::temp_directory_path() /
                         ("velmora-sim-test-" + std::to_string(::getpid()) + ".err");
    SimResult r = runShell(std::string(VELMORA_SIM_EXE) + " " + args + " 2>" + errPath.string());
    r.err = readFile(errPath);
    std::filesystem::remove(errPath);
    return r;
}

// A command line velmora-sim refuses: exit code 2, nothing on stdout, and one line on stderr that names the
// program and says what was wrong.
inline void expectRejected(const std::string& args, const std::string& says = {})
{
    const SimResult r = runSim(args);
    EXPECT_EQ(r.exitCode, 2) << args;
    EXPECT_EQ(r.out, "") << args;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
    EXPECT_TRUE(r.err.ends_with('\n')) << args << ": " << r.err;
    EXPECT_EQ(r.err.rfind("velmora-sim: ", 0), 0u) << args << ": " << r.err;
    EXPECT_NE(r.err.find(says), std::string::npos) << args << ": " << r.err;
    // Input is quoted in short, printable excerpts: no escape sequence reaches the terminal.
    EXPECT_LT(r.err.size(), 400u) << args << ": " << r.err.substr(0, 400);
    EXPECT_TRUE(std::none_of(r.err.begin(), r.err.end() - 1, [](unsigned char c) { return c < 0x20 || c == 0x7F; }))
        << args << ": " << r.err;
}

}  // namespace velmora::test
