// The README's research question: its sweep command, run as the README gives it (figures written elsewhere),
// prints the very table the README shows.
#include "sim_process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string readmeText()
{
    std::ifstream in(VELMORA_README);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The text between two marker lines of the README.
std::string between(const std::string& text, const std::string& from, const std::string& to)
{
    const std::size_t a = text.find(from);
    const std::size_t b = a == std::string::npos ? a : text.find(to, a + from.size());
    if (b == std::string::npos)
        return {};
    return text.substr(a + from.size(), b - a - from.size());
}

TEST(Readme, TheResearchQuestionsSweepPrintsTheTableShown)
{
    if (!VELMORA_PLOT)
        GTEST_SKIP() << "built without plotting";
    const std::string readme = readmeText();
    std::string command = between(readme, "<!-- research question: command -->\n```sh\n", "\n```");
    const std::string shown = between(readme, "<!-- research question: output -->\n", "<!-- end of output -->");
    ASSERT_EQ(command.rfind("build/bin/velmora-sim sweep ", 0), 0u) << command;
    ASSERT_FALSE(shown.empty());
    command.erase(0, std::string("build/bin/velmora-sim ").size());
    // The figures go to a scratch folder, so running the test leaves the README's pictures alone.
    const auto scratch = std::filesystem::temp_directory_path() / ("velmora-readme-" + std::to_string(::getpid()));
    std::filesystem::create_directories(scratch);
    for (std::size_t at; (at = command.find("docs/images/")) != std::string::npos;)
        command.replace(at, std::string("docs/images/").size(), scratch.string() + "/");
    const velmora::test::SimResult r = velmora::test::runSim(command);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out + "\n", shown);
    EXPECT_GT(std::filesystem::file_size(scratch / "research-question.png"), 10000u);
    std::filesystem::remove_all(scratch);
}

}  // namespace
