#pragma once

#include "files/replacing_file.h"
#include "text/number_rule.h"
#include "trials/trial_request.h"

#include <CLI/CLI.hpp>

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// A command line that asks for something impossible, such as a plot this build cannot draw: reported in one
// line, with exit status 2 as for a bad scenario.
class OptionError : public InputError {
public:
    using InputError::InputError;
};

// The command line velmora-sim was started with, as every JSON output quotes it; main() sets it.
std::vector<std::string>& commandLine();

// Where a command's summary goes: standard output, or with --output a file that is created before any
// trial runs (so a target that cannot be written is said at once) and replaced only by the whole summary.
class SummaryOutput {
public:
    // Throws OptionError when path (not empty) cannot be created.
    explicit SummaryOutput(const std::string& path);

    // Throws FileError when the file could not be written.
    void write(const std::string& text);

private:
    std::optional<ReplacingFile> file_;
};

// A file named on a command line, and what names it: an option ("--output") or what the command reads it as
// ("the trial file").
struct NamedFile {
    std::string_view name;
    std::string path;
};

// Throws OptionError, before anything runs, when two of outputs are the same file (one would replace the
// other) or an output is one of inputs (it would replace what the command reads). Empty paths are skipped.
void refuseSharedFiles(std::span<const NamedFile> outputs, std::span<const NamedFile> inputs = {});

// --output FILE for the summary.
void addOutputOption(CLI::App& command, std::string& path);

// An option whose value is a number: CLI11 takes its text off the command line and hands it to set, which
// reads and checks it by rule (as the Python module's values are checked); --help names the values as rule
// says (valueName replacing FLOAT, UINT or INT).
CLI::Option* addNumberOption(CLI::App& command, std::string_view name, const NumberRule& rule, const std::string& help,
                             std::function<void(const std::string&)> set, std::string_view valueName = {});

// --algorithm and --fov, one of each.
void addAlgorithmAndFovOptions(CLI::App& command, TrialRequest& request);

// --algorithm (names, indices or all) and --fov as comma-separated lists, for a sweep.
void addSweepGridOptions(CLI::App& command, TrialRequest& request);

// --sighting: grid or continuous, handed to set as given.
CLI::Option* addSightingOption(CLI::App& command, std::function<void(const std::string&)> set);

// --count, --tilt, --max-speed, --radius, --box and --seed; --duration and --sighting too when withDuration (the
// commands that step trials). With lists, all but --seed and --sighting take comma-separated lists, as a sweep's
// do.
void addTrialOptions(CLI::App& command, TrialRequest& request, bool withDuration, bool lists = false);

// --trials (described by trialsText), --first-trial (by firstTrialText), --shard and --threads.
void addTrialRangeOptions(CLI::App& command, TrialRequest& request, const std::string& trialsText,
                          const std::string& firstTrialText);

}  // namespace velmora
