#include "cli/batch_command.h"
#include "cli/coverage_command.h"
#include "cli/merge_command.h"
#include "cli/plan_command.h"
#include "cli/replay_command.h"
#include "cli/run_command.h"
#include "cli/search_command.h"
#include "cli/sweep_command.h"
#include "cli/trial_options.h"
#include "files/replacing_file.h"
#include "scenario/scenario.h"
#include "text/argument_error.h"
#include "text/message_text.h"
#include "text/provenance.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <csignal>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>
#include <unistd.h>

namespace {

// Ctrl-C or a kill in the middle of a batch: no half-written file is left behind, and the shell learns
// which signal ended the run. Only async-signal-safe calls here.
extern "C" void onTerminatingSignal(int signal)
{
    const bool removed = velmora::ReplacingFile::removeTemporaryFiles() > 0;
    const char* text = signal == SIGINT ? "\nvelmora-sim: interrupted" : "\nvelmora-sim: terminated";
    const char* more = removed ? "; the unfinished output file was removed, any old one kept\n" : "\n";
    [[maybe_unused]] const auto a = ::write(STDERR_FILENO, text, std::strlen(text));
    [[maybe_unused]] const auto b = ::write(STDERR_FILENO, more, std::strlen(more));
    ::_exit(128 + signal);
}

void handleSignals()
{
    struct sigaction action {};
    action.sa_handler = onTerminatingSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal the caller chose to ignore (nohup, a background job) stays ignored.
        struct sigaction previous {};
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN)
            ::sigaction(signal, &action, nullptr);
    }
    // A file-size limit then fails the write with "File too large", which is reported like a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
}

// Every message quotes input somewhere: it reaches the terminal as one printable line.
int fail(const char* what, int code)
{
    std::cerr << "velmora-sim: " << velmora::printable(what) << '\n';
    return code;
}

// A command line that does not say what it means, down to an option's value: --help says what each takes.
int failUsage(const char* what)
{
    std::cerr << "velmora-sim: " << velmora::printable(what) << " (see velmora-sim --help)\n";
    return 2;
}

// The first word names the command; one that names none, or an option velmora-sim itself does not take, is
// said as such, with the list, rather than as a missing command.
std::string unknownCommand(const CLI::App& app, int argc, char** argv)
{
    if (argc < 2)
        return {};
    const std::string word = argv[1];
    std::vector<std::string_view> names;
    for (const CLI::App* command : app.get_subcommands({}))
        names.push_back(command->get_name());
    if (word[0] == '-') {
        // Before the command only velmora-sim's own options (--help, --version) may come.
        const std::string option = word.substr(0, word.find('='));
        for (const CLI::Option* o : app.get_options())
            if (o->check_name(option))
                return {};
        std::string message = "unknown option '" + velmora::excerpt(option) + "'; give a command first:";
        for (std::size_t i = 0; i < names.size(); ++i)
            message += (i == 0 ? " " : ", ") + std::string(names[i]);
        return message + " (see velmora-sim --help)";
    }
    if (std::find(names.begin(), names.end(), word) != names.end())
        return {};
    std::string message = "unknown command '" + velmora::excerpt(word) + "'";
    if (const auto name = velmora::closestName(word, names))
        message += " (did you mean '" + std::string(*name) + "'?)";
    message += "; the commands are";
    for (std::size_t i = 0; i < names.size(); ++i)
        message += (i == 0 ? " " : ", ") + std::string(names[i]);
    return message + " (see velmora-sim --help)";
}

// An option the command does not take, with the one it most likely meant, as unknown scenario keys are
// answered; empty when what was left over holds no option.
std::string unknownOption(const CLI::App& app)
{
    const std::vector<CLI::App*> parsed = app.get_subcommands();
    std::vector<const CLI::App*> commands(parsed.begin(), parsed.end());
    commands.push_back(&app);
    for (const CLI::App* command : commands)
        for (const std::string& extra : command->remaining()) {
            if (extra.size() < 2 || extra[0] != '-')
                continue;
            const std::string option = extra.substr(0, extra.find('='));
            std::vector<std::string> known;
            for (const CLI::Option* o : command->get_options())
                for (const std::string& name : o->get_lnames())
                    known.push_back("--" + name);
            const std::vector<std::string_view> names(known.begin(), known.end());
            std::string message = "unknown option '" + velmora::excerpt(option) + "'";
            if (command != &app)
                message += " of " + command->get_name();
            if (const auto name = velmora::closestName(option, names))
                message += " (did you mean '" + std::string(*name) + "'?)";
            return message;
        }
    return {};
}

constexpr const char* exitStatusText =
    "Exit status: 0 when the command did its work, 1 when it failed while running (a write that failed\n"
    "part way, a full disk), 2 for bad input said before any work (an unknown command or option, a value\n"
    "out of range, a scenario or trial file that cannot be read, an output file that cannot be created),\n"
    "128 + N when signal N (Ctrl+C: 130) ended it.";

}  // namespace

int main(int argc, char** argv)
{
    handleSignals();
    velmora::commandLine().assign(argv, argv + argc);
    CLI::App app{"velmora-sim: the headless companion of Velmora. Runs formation-initialization scenarios\n"
                 "without a window and prints their results as JSON; runs Monte Carlo batches and sweeps of them\n"
                 "and merges the trial files of their shards.",
                 "velmora-sim"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("velmora-sim ") + velmora::velmoraVersion(),
                         "Print the version and exit");
    app.footer(exitStatusText);
    velmora::addRunCommand(app);
    velmora::addBatchCommand(app);
    velmora::addReplayCommand(app);
    velmora::addSweepCommand(app);
    velmora::addMergeCommand(app);
    velmora::addPlanCommand(app);
    velmora::addCoverageCommand(app);
    velmora::addSearchCommand(app);
    if (const std::string unknown = unknownCommand(app, argc, argv); !unknown.empty())
        return fail(unknown.c_str(), 2);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ExtrasError& e) {
        const std::string unknown = unknownOption(app);
        return failUsage(unknown.empty() ? e.what() : unknown.c_str());
    } catch (const CLI::ParseError& e) {
        return failUsage(e.what());
    } catch (const velmora::ArgumentError& e) {
        return failUsage(e.what());
    } catch (const velmora::InputError& e) {
        return fail(e.what(), 2);
    } catch (const std::exception& e) {
        // The input was good but the run failed, e.g. a full disk while writing results.
        return fail(e.what(), 1);
    }
    // Results that did not all reach their file (a full disk behind a redirection) are a failure too.
    std::cout.flush();
    if (std::fflush(stdout) != 0 || std::ferror(stdout) || !std::cout)
        return fail((std::string("could not write the results to standard output: ") + std::strerror(errno)).c_str(),
                    1);
    return 0;
}
