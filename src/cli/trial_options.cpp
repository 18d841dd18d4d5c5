#include "cli/trial_options.h"

#include "files/same_file.h"
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

void refuseSharedFiles(std::span<const NamedFile> outputs, std::span<const NamedFile> inputs)
{
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (outputs[i].path.empty())
            continue;
        for (std::size_t j = i + 1; j < outputs.size(); ++j)
            if (!outputs[j].path.empty() && sameFile(outputs[i].path, outputs[j].path))
                throw OptionError(std::string(outputs[i].name) + " and " + std::string(outputs[j].name) +
                                  " name the same file, \"" + outputs[j].path + "\": give each a file of its own");
        for (const NamedFile& input : inputs)
            if (sameFile(outputs[i].path, input.path))
                throw OptionError(std::string(outputs[i].name) + " would replace \"" + outputs[i].path + "\", " +
                                  std::string(input.name) + " this command reads: write it elsewhere");
    }
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
            planAlgorithmNameList() + ", 0.." + std::to_string(planAlgorithmCount - 1) + " or a plan file, FILE.plan.json")
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
            "Comma-separated algorithms (names, 0..4 or plan files, FILE.plan.json), or all")
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

namespace {

// A number option that takes one value, or a comma-separated list when lists.
template <typename T>
CLI::Option* addParameterOption(CLI::App& command, std::string_view name, const NumberRule& rule, const std::string& help,
                                bool lists, void (TrialRequest::*one)(const Given<T>&),
                                void (TrialRequest::*many)(std::span<const Given<T>>), TrialRequest& r)
{
    if (!lists)
        return addNumberOption(command, name, rule, help,
                               [&r, one](const std::string& text) { (r.*one)(Given<T>{text}); });
    return command
        .add_option_function<std::vector<std::string>>(
            std::string(name),
            [&r, many](const std::vector<std::string>& texts) {
                std::vector<Given<T>> values;
                for (const std::string& text : texts)
                    values.push_back(Given<T>{text});
                (r.*many)(values);
            },
            "Comma-separated: " + help)
        ->type_name(rule.helpType())
        ->delimiter(',');
}

}  // namespace

void addTrialOptions(CLI::App& command, TrialRequest& r, bool withDuration, bool lists)
{
    const Scenario defaults = unset().setup().scenario;
    addParameterOption<std::uint64_t>(command, names.count, craftCountRule, "Craft per formation", lists,
                                      &TrialRequest::setCount, &TrialRequest::setCounts, r)
        ->default_str(std::to_string(defaults.count));
    addParameterOption<double>(command, names.tilt, coneAngleRule, "Sensor tilt angle, degrees (0 to 90)", lists,
                               &TrialRequest::setTilt, &TrialRequest::setTilts, r)
        ->default_str(numberText(defaults.tiltDeg));
    addParameterOption<double>(command, names.maxSpeed, nonNegativeRule, "Largest craft speed", lists,
                               &TrialRequest::setMaxSpeed, &TrialRequest::setMaxSpeeds, r)
        ->default_str(numberText(defaults.maxSpeed));
    addParameterOption<double>(command, names.radius, nonNegativeRule,
                               "Craft radius (sensor apex distance from the centre)", lists, &TrialRequest::setRadius,
                               &TrialRequest::setRadii, r)
        ->default_str(numberText(defaults.craftRadius));
    addParameterOption<double>(command, names.box, positiveRule, "Half size of the placement box", lists,
                               &TrialRequest::setBox, &TrialRequest::setBoxes, r)
        ->default_str(numberText(defaults.boxHalfSize));
    addNumberOption(command, names.seed, wholeNumberRule,
                    "Batch seed; trial k draws from its own sequence derived from it",
                    [&r](const std::string& text) { r.setSeed({text}); })
        ->default_str(std::to_string(unset().setup().seed));
    if (withDuration) {
        addParameterOption<double>(command, names.duration, nonNegativeRule,
                                   "Simulated seconds per trial at most (default: until the longest plan has ended)",
                                   lists, &TrialRequest::setDuration, &TrialRequest::setDurations, r);
        addSightingOption(command, [&r](const std::string& text) { r.setSighting(text); });
    }
}

CLI::Option* addSightingOption(CLI::App& command, std::function<void(const std::string&)> set)
{
    return command
        .add_option_function<std::string>(
            std::string(names.sighting), std::move(set),
            "When two craft count as having seen each other: grid (in mutual view at the end of a 0.01 s step) or "
            "continuous (at their first moment in mutual view within a step)")
        ->type_name("RULE")
        ->default_str(std::string(sightingName(Sighting::Grid)));
}

}  // namespace velmora
