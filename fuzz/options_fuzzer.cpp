// Any command line (arguments separated by newlines) through velmora-sim's option parsers and checks,
// stopping before a command would run: parsed, or refused with an error whose message is one printable line.
#include "cli/batch_command.h"
#include "cli/coverage_command.h"
#include "cli/replay_command.h"
#include "cli/run_command.h"
#include "cli/search_command.h"
#include "cli/sweep_command.h"
#include "text/input_error.h"
#include "text/message_text.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Thrown once every option is read and checked, before any command's own callback would do its work.
struct Parsed {};

// A refusal is one printable line.
void checkMessage(const char* what)
{
    for (const char c : velmora::printable(what))
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> args{"velmora-sim"};
    std::string arg;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            args.push_back(arg);
            arg.clear();
        } else {
            arg += static_cast<char>(data[i]);
        }
    }
    args.push_back(arg);
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());

    CLI::App app{"fuzz", "velmora-sim"};
    app.require_subcommand(1);
    velmora::addRunCommand(app);
    velmora::addBatchCommand(app);
    velmora::addReplayCommand(app);
    velmora::addSweepCommand(app);
    velmora::addCoverageCommand(app);
    velmora::addSearchCommand(app);
    app.parse_complete_callback([] { throw Parsed{}; });
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const Parsed&) {
    } catch (const CLI::Error& e) {
        checkMessage(e.what());
    } catch (const velmora::InputError& e) {
        // The requests refuse values as CLI11 hands them over, while it parses.
        checkMessage(e.what());
    }
    return 0;
}
