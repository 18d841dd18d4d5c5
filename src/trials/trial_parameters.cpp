#include "trials/trial_parameters.h"

#include "scenario/scenario_run.h"
#include "sim/formation.h"
#include "sim/plan_algorithm.h"
#include "text/input_error.h"
#include "text/json_writer.h"
#include "text/message_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

namespace velmora {
namespace {

template <typename T>
std::optional<T> wholeNumber(std::string_view text)
{
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<double> finiteNumber(std::string_view text)
{
    const auto value = wholeNumber<double>(text);
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    return value;
}

[[noreturn]] void refuse(std::size_t key, const std::string& text, const char* what)
{
    throw InputError(std::string(trialParameterKeys[key]) + " \"" + excerpt(text) + "\" is not " + what);
}

double number(const TrialParameterTexts& texts, std::size_t key, bool (*fits)(double), const char* what)
{
    const auto value = finiteNumber(texts[key]);
    if (!value || !fits(*value))
        refuse(key, texts[key], what);
    return *value;
}

bool coneAngle(double v) { return v > 0.0 && v < 90.0; }
bool nonNegative(double v) { return v >= 0.0; }
bool positive(double v) { return v > 0.0; }

}  // namespace

TrialParameterTexts trialParameterTexts(const TrialOrigin& origin)
{
    const Scenario& s = origin.setup.scenario;
    return {algorithmName(s),
            planIdentity(s),
            numberText(s.maxSpeed),
            numberText(s.fovDeg),
            numberText(s.tiltDeg),
            numberText(s.craftRadius),
            numberText(s.boxHalfSize),
            std::to_string(s.count),
            std::to_string(origin.setup.seed),
            std::to_string(origin.range.first),
            std::to_string(origin.range.count),
            origin.setup.duration ? numberText(*origin.setup.duration) : std::string(),
            std::to_string(origin.setup.steps),
            std::string(sightingName(origin.setup.sighting))};
}

nlohmann::ordered_json trialParameterJson(const TrialOrigin& origin)
{
    const Scenario& s = origin.setup.scenario;
    nlohmann::ordered_json out;
    out["algorithm"] = algorithmName(s);
    out["plan"] = s.plan ? nlohmann::ordered_json(s.plan->sha256()) : nullptr;
    out.update(scenarioParametersJson(s));
    out["seed"] = origin.setup.seed;
    out["firstTrial"] = origin.range.first;
    out["trials"] = origin.range.count;
    out["duration"] = origin.setup.duration ? nlohmann::ordered_json(*origin.setup.duration) : nullptr;
    out["steps"] = origin.setup.steps;
    out["sighting"] = sightingName(origin.setup.sighting);
    return out;
}

TrialOrigin trialOriginFrom(const TrialParameterTexts& texts)
{
    TrialOrigin o;
    Scenario& s = o.setup.scenario;
    if (texts[planKey].empty()) {
        const auto algorithm = planAlgorithmFromName(texts[algorithmKey]);
        if (!algorithm)
            refuse(algorithmKey, texts[algorithmKey], "an algorithm's name (a plan file's row names its plan)");
        s.algorithm = *algorithm;
    } else {
        const std::string& sha = texts[planKey];
        if (sha.size() != 64 || !std::all_of(sha.begin(), sha.end(), [](char c) {
                return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
            }))
            refuse(planKey, sha, "a plan's SHA-256 (64 hexadecimal digits)");
        s.algorithm = -1;
        s.plan = std::make_shared<const PlanFile>(PlanFile::named(texts[algorithmKey], sha));
    }
    s.maxSpeed = number(texts, maxSpeedKey, nonNegative, "a finite number of 0 or more");
    s.fovDeg = number(texts, fovDegKey, coneAngle, "a cone's half-angle (more than 0, less than 90)");
    s.tiltDeg = number(texts, tiltDegKey, coneAngle, "an angle of more than 0 and less than 90");
    s.craftRadius = number(texts, craftRadiusKey, nonNegative, "a finite number of 0 or more");
    s.boxHalfSize = number(texts, boxHalfSizeKey, positive, "a finite number more than 0");
    const auto count = wholeNumber<int>(texts[countKey]);
    if (!count || *count < 2 || *count > Formation::capacity)
        refuse(countKey, texts[countKey], "a number of craft from 2 to 20");
    s.count = *count;
    const auto seed = wholeNumber<std::uint64_t>(texts[seedKey]);
    const auto first = wholeNumber<std::uint64_t>(texts[firstTrialKey]);
    const auto trials = wholeNumber<std::uint64_t>(texts[trialsKey]);
    const auto steps = wholeNumber<std::int64_t>(texts[stepsKey]);
    if (!seed)
        refuse(seedKey, texts[seedKey], "a seed (a whole number)");
    if (!first)
        refuse(firstTrialKey, texts[firstTrialKey], "a trial number");
    if (!trials || *trials == 0 || *first > std::numeric_limits<std::uint64_t>::max() - *trials)
        refuse(trialsKey, texts[trialsKey], "a number of trials that follows firstTrial");
    if (!steps || *steps < 0 || *steps > maxRunSteps)
        refuse(stepsKey, texts[stepsKey], "a step count from 0 to 100000000");
    if (!texts[durationKey].empty()) {
        o.setup.duration = number(texts, durationKey, nonNegative, "a duration in seconds (0 or more)");
        if (stepsForDuration(*o.setup.duration, "duration") != *steps)
            refuse(stepsKey, texts[stepsKey], ("the step count of the duration " + texts[durationKey] + " s").c_str());
    }
    const auto sighting = sightingFromName(texts[sightingKey]);
    if (!sighting)
        refuse(sightingKey, texts[sightingKey], "a sighting rule (grid or continuous)");
    o.setup.seed = *seed;
    o.range = {*first, *trials};
    o.setup.steps = *steps;
    o.setup.sighting = *sighting;
    return o;
}

std::string firstDifference(const TrialParameterTexts& a, const TrialParameterTexts& b)
{
    for (std::size_t k = 0; k < trialParameterCount; ++k)
        if (a[k] != b[k])
            return std::string(trialParameterKeys[k]) + ": " + excerpt(a[k]) + " and " + excerpt(b[k]);
    return {};
}

}  // namespace velmora
