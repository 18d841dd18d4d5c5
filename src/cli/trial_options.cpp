#include "cli/trial_options.h"

#include "sim/plan_algorithm.h"
#include "text/json_writer.h"

#include <iostream>
#include <utility>

namespace velmora {

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

CLI::Option* addNumberOption(CLI::App& command, std::string_view name, const NumberRule& rule, const std::string& help,
                             std::function<void(const std::string&)> set, std::string_view valueName)
{
    return command.add_option_function<std::string>(std::string(name), std::move(set), help)
        ->type_name(rule.helpType(valueName));
}

namespace {

const TrialNames& names = commandLineNames;

// What a request holds before any option sets a value: the defaults --help shows.
const TrialRequest& unset()
{
    static const TrialRequest request(names);
    return request;
}

std::vector<Given<double>> givenNumbers(const std::vector<std::string>& texts)
{
    std::vector<Given<double>> numbers;
    for (const std::string& text : texts)
        numbers.push_back({text});
    return numbers;
}

}  // namespace

void addAlgorithmAndFovOptions(CLI::App& command, TrialRequest& r)
{
    command
        .add_option_function<std::string>(
            std::string(names.algorithm), [&r](const std::string& text) { r.setAlgorithm(text); },
            planAlgorithmNameList() + " or 0.." + std::to_string(planAlgorithmCount - 1))
        ->type_name("NAME")
        ->default_str(std::string(planAlgorithmNames[unset().setup().scenario.algorithm]));
    addNumberOption(command, names.fov, coneAngleRule, "Sensor field-of-view half-angle, degrees (0 to 90)",
                    [&r](const std::string& text) { r.setFov({text}); })
        ->default_str(numberText(unset().setup().scenario.fovDeg));
}

void addSweepGridOptions(CLI::App& command, TrialRequest& r)
{
    command
        .add_option_function<std::vector<std::string>>(
            std::string(names.algorithm), [&r](const std::vector<std::string>& texts) { r.setAlgorithms(texts); },
            "Comma-separated algorithms (names or 0..4), or all")
        ->type_name("NAMES")
        ->delimiter(',')
        ->default_str("[all]");
    command
        .add_option_function<std::vector<std::string>>(
            std::string(names.fov), [&r](const std::vector<std::string>& texts) { r.setFovs(givenNumbers(texts)); },
            "Comma-separated field-of-view half-angles, degrees (0 to 90)")
        ->type_name(coneAngleRule.helpType())
        ->delimiter(',')
        ->default_str("[" + numberText(unset().setup().scenario.fovDeg) + "]");
}

void addTrialRangeOptions(CLI::App& command, TrialRequest& r, const std::string& trialsText,
                          const std::string& firstTrialText)
{
    const TrialSpan defaults = unset().trials();
    addNumberOption(command, names.trials, trialCountRule, trialsText,
                    [&r](const std::string& text) { r.setTrials({text}); })
        ->default_str(std::to_string(defaults.count));
    addNumberOption(command, names.firstTrial, wholeNumberRule, firstTrialText,
                    [&r](const std::string& text) { r.setFirstTrial({text}); })
        ->default_str(std::to_string(defaults.first));
    command
        .add_option_function<std::string>(
            std::string(names.shard), [&r](const std::string& text) { r.setShard(text); },
            "Run only shard I (from 0) of N nearly equal consecutive parts of the trials, as I/N; "
            "velmora-sim merge joins the shards' trial files")
        ->type_name("I/N");
    addNumberOption(command, names.threads, threadCountRule, "Worker threads (default: all cores)",
                    [&r](const std::string& text) { r.setThreads({text}); });
}

void addTrialOptions(CLI::App& command, TrialRequest& r, bool withDuration)
{
    const Scenario defaults = unset().setup().scenario;
    addNumberOption(command, names.count, craftCountRule, "Craft per formation",
                    [&r](const std::string& text) { r.setCount({text}); })
        ->default_str(std::to_string(defaults.count));
    addNumberOption(command, names.tilt, coneAngleRule, "Sensor tilt angle, degrees (0 to 90)",
                    [&r](const std::string& text) { r.setTilt({text}); })
        ->default_str(numberText(defaults.tiltDeg));
    addNumberOption(command, names.maxSpeed, nonNegativeRule, "Largest craft speed",
                    [&r](const std::string& text) { r.setMaxSpeed({text}); })
        ->default_str(numberText(defaults.maxSpeed));
    addNumberOption(command, names.radius, nonNegativeRule, "Craft radius (sensor apex distance from the centre)",
                    [&r](const std::string& text) { r.setRadius({text}); })
        ->default_str(numberText(defaults.craftRadius));
    addNumberOption(command, names.box, positiveRule, "Half size of the placement box",
                    [&r](const std::string& text) { r.setBox({text}); })
        ->default_str(numberText(defaults.boxHalfSize));
    addNumberOption(command, names.seed, wholeNumberRule,
                    "Batch seed; trial k draws from its own sequence derived from it",
                    [&r](const std::string& text) { r.setSeed({text}); })
        ->default_str(std::to_string(unset().setup().seed));
    if (withDuration)
        addNumberOption(command, names.duration, nonNegativeRule,
                        "Simulated seconds per trial at most (default: until the longest plan has ended)",
                        [&r](const std::string& text) { r.setDuration({text}); });
}

}  // namespace velmora
