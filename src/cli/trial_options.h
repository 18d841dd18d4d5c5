#pragma once

#include "files/replacing_file.h"
#include "scenario/scenario.h"
#include "trials/batch_runner.h"
#include "trials/trial_runner.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmora {

// A command line that asks for something impossible, such as a trial range past the last trial number or a
// plot this build cannot draw: reported in one line, with exit status 2 as for a bad scenario.
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

// --output FILE for the summary.
void addOutputOption(CLI::App& command, std::string& path);

// Command-line options that every trial-running command shares. The parameters land straight in a
// Scenario, so their defaults are the default scene's.
struct TrialOptions {
    Scenario scenario;
    std::string algorithm = "Orlo";
    std::uint64_t seed = 1;
    double duration = 0.0;
    CLI::Option* durationOption = nullptr;
    std::string sighting = std::string(sightingName(Sighting::Grid));

    // The step count --duration asks for, or nothing for "until the longest plan has ended".
    std::optional<std::int64_t> steps() const;

    // What every trial of the batch these options describe shares, for one algorithm and field of view.
    TrialSetup setup(int algorithmIndex, double fovDeg) const;
};

// The trials a batch or every cell of a sweep runs, and on how many threads.
struct TrialRange {
    std::uint64_t trials = 1000;
    std::uint64_t firstTrial = 0;
    int threads = defaultThreadCount();
    // "i/n": run only the i-th (from 0) of n consecutive, nearly equal parts of the range.
    std::string shard;

    // The range to run, with --shard applied. Throws OptionError when the range runs past the last trial
    // number or the shard is malformed or empty.
    TrialRange resolved() const;
};

// The cells of a sweep: its --algorithm list (names, indices or all) and --fov list, comma-separated.
struct SweepGrid {
    std::vector<std::string> algorithms{"all"};
    std::vector<double> fovs{defaultScene::fovDeg};

    // One set-up per cell, algorithms outer and fields of view inner, each value once in the order given.
    // Throws OptionError when trialsPerCell in every cell are more trials than a sweep can count.
    std::vector<TrialSetup> setups(const TrialOptions& options, std::uint64_t trialsPerCell) const;
};

// --algorithm and --fov as lists, for a sweep.
void addSweepGridOptions(CLI::App& command, SweepGrid& grid);

// --count, --tilt, --max-speed, --radius, --box and --seed; --duration and --sighting too when withDuration
// (the commands that step trials).
void addTrialOptions(CLI::App& command, TrialOptions& options, bool withDuration);

// --algorithm and --fov, one of each.
void addAlgorithmAndFovOptions(CLI::App& command, TrialOptions& options);

// --trials (described by trialsText), --first-trial (by firstTrialText), --shard and --threads.
void addTrialRangeOptions(CLI::App& command, TrialRange& range, const std::string& trialsText,
                          const std::string& firstTrialText);

// Decimal digits only, leading zeros allowed, at least min: no sign, and no hexadecimal or octal reading
// that the C parser behind the option would quietly apply. It rewrites the text, so attach it with
// transform(), not check().
CLI::Validator wholeNumber(std::uint64_t min = 0);

// A number that is neither infinite nor NaN.
CLI::Validator finiteNumber();

// A finite number, 0 or more.
CLI::Validator nonNegativeNumber();

// A finite number more than 0.
CLI::Validator positiveNumber();

// An angle of a cone that can exist: more than 0° and less than 90°.
CLI::Validator coneAngle();

// An algorithm name or its index.
CLI::Validator algorithmText();

// A sighting rule's name: grid or continuous.
CLI::Validator sightingText();

// --sighting, into text that sightingText() accepts.
void addSightingOption(CLI::App& command, std::string& sighting);

// The index of a text that algorithmText() accepts.
int algorithmIndex(const std::string& text);

}  // namespace velmora
