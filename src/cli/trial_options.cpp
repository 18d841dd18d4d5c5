#include "cli/trial_options.h"

#include "scenario/scenario_run.h"
#include "sim/plan_algorithm.h"
#include "text/message_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <iostream>
#include <limits>

namespace velmora {
namespace {

bool allDigits(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

std::string algorithmChoices()
{
    return planAlgorithmNameList() + " or an index 0 to " + std::to_string(planAlgorithmCount - 1);
}

}  // namespace

std::vector<std::string>& commandLine()
{
    static std::vector<std::string> line;
    return line;
}

SummaryOutput::SummaryOutput(const std::string& path)
{
    if (path.empty())
        return;
    try {
        file_.emplace(path);
    } catch (const FileError& e) {
        throw OptionError("--output: " + std::string(e.what()));
    }
}

void SummaryOutput::write(const std::string& text)
{
    if (!file_) {
        std::cout << text;
        return;
    }
    file_->write(text);
    file_->commit();
}

void addOutputOption(CLI::App& command, std::string& path)
{
    command
        .add_option("--output", path,
                    "Write the summary to FILE instead of standard output; FILE appears only when complete")
        ->type_name("FILE");
}

std::optional<std::int64_t> TrialOptions::steps() const
{
    if (durationOption && durationOption->count() > 0)
        return stepsForDuration(duration);
    return std::nullopt;
}

TrialSetup TrialOptions::setup(int algorithmIndex, double fovDeg) const
{
    TrialSetup s;
    s.scenario = scenario;
    s.scenario.algorithm = algorithmIndex;
    s.scenario.fovDeg = fovDeg;
    s.seed = seed;
    s.sighting = *sightingFromName(sighting);
    return s;
}

TrialRange TrialRange::resolved() const
{
    if (firstTrial > std::numeric_limits<std::uint64_t>::max() - trials)
        throw OptionError("--first-trial " + std::to_string(firstTrial) + " plus --trials " + std::to_string(trials) +
                          " runs past the last trial number");
    if (shard.empty())
        return *this;
    const auto slash = shard.find('/');
    const std::string index = shard.substr(0, slash);
    const std::string count = slash == std::string::npos ? std::string() : shard.substr(slash + 1);
    std::uint64_t i = 0;
    std::uint64_t n = 0;
    if (slash == std::string::npos || !allDigits(index) || !allDigits(count) || index.size() > 19 ||
        count.size() > 19 || !CLI::detail::lexical_cast(index, i) || !CLI::detail::lexical_cast(count, n))
        throw OptionError("--shard \"" + excerpt(shard) + "\": give it as I/N, shard I (from 0) of N, e.g. 3/10");
    if (n == 0 || i >= n)
        throw OptionError("--shard " + shard + ": the shard number must be from 0 to N - 1 (" +
                          (n == 0 ? std::string("N is 0") : "0 to " + std::to_string(n - 1)) + ")");
    if (n > trials)
        throw OptionError("--shard " + shard + ": " + std::to_string(trials) + " trials do not fill " +
                          std::to_string(n) + " shards; use at most " + std::to_string(trials));
    // Shard i runs trials floor(i * T / n) to floor((i + 1) * T / n) - 1 of the range: consecutive shards
    // join without gap or overlap, and their sizes differ by at most one.
    const auto bound = [&](std::uint64_t k) {
        return static_cast<std::uint64_t>(static_cast<unsigned __int128>(k) * trials / n);
    };
    TrialRange part = *this;
    part.firstTrial = firstTrial + bound(i);
    part.trials = bound(i + 1) - bound(i);
    part.shard.clear();
    return part;
}

void addAlgorithmAndFovOptions(CLI::App& command, TrialOptions& o)
{
    command
        .add_option("--algorithm", o.algorithm,
                    planAlgorithmNameList() + " or 0.." + std::to_string(planAlgorithmCount - 1))
        ->type_name("NAME")
        ->check(algorithmText())
        ->capture_default_str();
    command.add_option("--fov", o.scenario.fovDeg, "Sensor field-of-view half-angle, degrees (0 to 90)")
        ->check(coneAngle())
        ->capture_default_str();
}

namespace {

template <typename T>
void appendOnce(std::vector<T>& list, const T& value)
{
    if (std::find(list.begin(), list.end(), value) == list.end())
        list.push_back(value);
}

}  // namespace

std::vector<TrialSetup> SweepGrid::setups(const TrialOptions& options, std::uint64_t trialsPerCell) const
{
    std::vector<int> algorithmIndices;
    for (const std::string& text : algorithms) {
        if (text == "all") {
            for (int a = 0; a < planAlgorithmCount; ++a)
                appendOnce(algorithmIndices, a);
        } else {
            appendOnce(algorithmIndices, algorithmIndex(text));
        }
    }
    std::vector<double> fovList;
    for (const double fov : fovs)
        appendOnce(fovList, fov);
    std::vector<TrialSetup> list;
    for (const int algorithm : algorithmIndices) {
        for (const double fov : fovList) {
            TrialSetup setup = options.setup(algorithm, fov);
            setup.steps = trialSteps(setup.scenario, options.steps());
            list.push_back(setup);
        }
    }
    if (trialsPerCell > std::numeric_limits<std::uint64_t>::max() / list.size())
        throw OptionError("--trials " + std::to_string(trialsPerCell) + " in each of " + std::to_string(list.size()) +
                          " cells is more trials than a sweep can count");
    return list;
}

void addSweepGridOptions(CLI::App& command, SweepGrid& grid)
{
    command.add_option("--algorithm", grid.algorithms, "Comma-separated algorithms (names or 0..4), or all")
        ->type_name("NAMES")
        ->delimiter(',')
        ->check(CLI::Validator(
            [](std::string& text) { return text == "all" ? std::string() : algorithmText()(text); }, ""))
        ->capture_default_str();
    command.add_option("--fov", grid.fovs, "Comma-separated field-of-view half-angles, degrees (0 to 90)")
        ->delimiter(',')
        ->check(coneAngle())
        ->capture_default_str();
}

void addTrialRangeOptions(CLI::App& command, TrialRange& range, const std::string& trialsText,
                          const std::string& firstTrialText)
{
    command.add_option("--trials", range.trials, trialsText)->transform(wholeNumber(1))->capture_default_str();
    command.add_option("--first-trial", range.firstTrial, firstTrialText)
        ->transform(wholeNumber())
        ->capture_default_str();
    command.add_option("--shard", range.shard,
                       "Run only shard I (from 0) of N nearly equal consecutive parts of the trials, as I/N; "
                       "velmora-sim merge joins the shards' trial files")
        ->type_name("I/N");
    command.add_option("--threads", range.threads, "Worker threads (default: all cores)")
        ->transform(wholeNumber())
        ->check(CLI::Range(1, 1024));
}

void addTrialOptions(CLI::App& command, TrialOptions& o, bool withDuration)
{
    command.add_option("--count", o.scenario.count, "Craft per formation")
        ->transform(wholeNumber())
        ->check(CLI::Range(2, Formation::capacity))
        ->capture_default_str();
    command.add_option("--tilt", o.scenario.tiltDeg, "Sensor tilt angle, degrees (0 to 90)")
        ->check(coneAngle())
        ->capture_default_str();
    command.add_option("--max-speed", o.scenario.maxSpeed, "Largest craft speed")
        ->check(nonNegativeNumber())
        ->capture_default_str();
    command.add_option("--radius", o.scenario.craftRadius, "Craft radius (sensor apex distance from the centre)")
        ->check(nonNegativeNumber())
        ->capture_default_str();
    command.add_option("--box", o.scenario.boxHalfSize, "Half size of the placement box")
        ->check(positiveNumber())
        ->capture_default_str();
    command.add_option("--seed", o.seed, "Batch seed; trial k draws from its own sequence derived from it")
        ->transform(wholeNumber())
        ->capture_default_str();
    if (withDuration) {
        o.durationOption = command.add_option(
            "--duration", o.duration,
            "Simulated seconds per trial at most (default: until the longest plan has ended)")
                                ->check(nonNegativeNumber());
        addSightingOption(command, o.sighting);
    }
}

void addSightingOption(CLI::App& command, std::string& sighting)
{
    command
        .add_option("--sighting", sighting,
                    "When two craft count as having seen each other: grid (in mutual view at the end of a 0.01 s "
                    "step) or continuous (at their first moment in mutual view within a step)")
        ->type_name("RULE")
        ->check(sightingText())
        ->capture_default_str();
}

CLI::Validator wholeNumber(std::uint64_t min)
{
    return CLI::Validator(
        [min](std::string& text) {
            if (!allDigits(text))
                return "\"" + text + "\" is not a whole number of decimal digits";
            // Zero-padded numbers (shard names) are decimal too: the C parser behind the option reads a
            // leading 0 as octal.
            const std::string typed = text;
            text.erase(0, std::min(text.find_first_not_of('0'), text.size() - 1));
            // The C parser saturates a value that does not fit instead of failing.
            std::uint64_t value = 0;
            if (!CLI::detail::lexical_cast(text, value) || std::to_string(value) != text)
                return "\"" + typed + "\" is too large";
            if (value < min)
                return "must be at least " + std::to_string(min) + ", not " + typed;
            return std::string();
        },
        "");
}

CLI::Validator finiteNumber()
{
    return CLI::Validator(
        [](std::string& text) {
            double value = 0.0;
            if (!CLI::detail::lexical_cast(text, value) || !std::isfinite(value))
                return "\"" + text + "\" is not a finite number";
            return std::string();
        },
        "");
}

CLI::Validator nonNegativeNumber()
{
    return CLI::Validator(
        [](std::string& text) {
            double value = 0.0;
            if (!CLI::detail::lexical_cast(text, value) || !std::isfinite(value) || value < 0.0)
                return "\"" + text + "\" is not a finite number of 0 or more";
            return std::string();
        },
        "");
}

CLI::Validator positiveNumber()
{
    return CLI::Validator(
        [](std::string& text) {
            double value = 0.0;
            if (!CLI::detail::lexical_cast(text, value) || !std::isfinite(value) || value <= 0.0)
                return "\"" + text + "\" is not a finite number more than 0";
            return std::string();
        },
        "");
}

CLI::Validator coneAngle()
{
    return CLI::Validator(
        [](std::string& text) {
            double value = 0.0;
            if (!CLI::detail::lexical_cast(text, value) || !std::isfinite(value) || value <= 0.0 || value >= 90.0)
                return "\"" + text + "\" is not an angle of a cone: it must be more than 0 and less than 90 degrees";
            return std::string();
        },
        "");
}

CLI::Validator algorithmText()
{
    return CLI::Validator(
        [](std::string& text) {
            if (planAlgorithmFromName(text) ||
                (allDigits(text) && text.size() == 1 && text[0] - '0' < planAlgorithmCount))
                return std::string();
            return "unknown algorithm \"" + text + "\" (use " + algorithmChoices() + ")";
        },
        "");
}

CLI::Validator sightingText()
{
    return CLI::Validator(
        [](std::string& text) {
            if (sightingFromName(text))
                return std::string();
            return "unknown sighting rule \"" + text + "\" (use grid or continuous)";
        },
        "");
}

int algorithmIndex(const std::string& text)
{
    if (const auto index = planAlgorithmFromName(text))
        return *index;
    return text[0] - '0';
}

}  // namespace velmora
