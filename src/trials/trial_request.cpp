#include "trials/trial_request.h"

#include "scenario/run_request.h"
#include "scenario/scenario_run.h"
#include "sim/plan_algorithm.h"
#include "text/argument_error.h"
#include "text/message_text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <type_traits>
#include <limits>

namespace velmora {
namespace {

bool allDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool isPlanFileName(const std::string& text)
{
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return lower.size() > 5 && lower.ends_with(".json");
}

// An algorithm name, its index as one digit, or a plan file's path.
AlgorithmChoice algorithmChoice(std::string_view name, const std::string& text)
{
    if (const auto index = planAlgorithmFromName(text))
        return {*index, nullptr};
    if (text.size() == 1 && text[0] >= '0' && text[0] - '0' < planAlgorithmCount)
        return {text[0] - '0', nullptr};
    if (isPlanFileName(text))
        return {-1, std::make_shared<const PlanFile>(PlanFile::load(text))};
    throw ArgumentError(std::string(name) + ": unknown algorithm \"" + text + "\" (use " + planAlgorithmNameList() +
                        ", an index 0 to " + std::to_string(planAlgorithmCount - 1) + " or a plan file, FILE.plan.json)");
}

// Every value of a list read by rule, an empty list refused as an empty value is.
template <typename T, typename Read>
std::vector<T> listOf(std::span<const Given<T>> given, Read read)
{
    if (given.empty())
        read(Given<T>{});
    std::vector<T> values;
    for (const Given<T>& value : given)
        values.push_back(read(value));
    return values;
}

template <typename T>
void appendOnce(std::vector<T>& list, const T& value)
{
    if (std::find(list.begin(), list.end(), value) == list.end())
        list.push_back(value);
}

}  // namespace

void TrialRequest::setAlgorithm(const std::string& text) { algorithms_ = {algorithmChoice(names_.algorithm, text)}; }

void TrialRequest::setAlgorithmChoices(std::vector<AlgorithmChoice> choices) { algorithms_ = std::move(choices); }

void TrialRequest::setAlgorithms(std::span<const std::string> texts)
{
    // An empty list says no more than an empty name.
    if (texts.empty())
        algorithmChoice(names_.algorithm, {});
    algorithms_.clear();
    for (const std::string& text : texts) {
        if (text == "all") {
            for (int a = 0; a < planAlgorithmCount; ++a)
                algorithms_.push_back({a, nullptr});
        } else {
            algorithms_.push_back(algorithmChoice(names_.algorithm, text));
        }
    }
}

void TrialRequest::setFov(const Given<double>& degrees) { fovs_ = {coneAngleRule.real(names_.fov, degrees)}; }

void TrialRequest::setFovs(std::span<const Given<double>> degrees)
{
    if (degrees.empty())
        coneAngleRule.real(names_.fov, {});
    fovs_.clear();
    for (const Given<double>& fov : degrees)
        fovs_.push_back(coneAngleRule.real(names_.fov, fov));
}

void TrialRequest::setCount(const Given<std::uint64_t>& count)
{
    counts_ = {static_cast<int>(craftCountRule.whole(names_.count, count))};
}

void TrialRequest::setCounts(std::span<const Given<std::uint64_t>> counts)
{
    const auto whole = listOf<std::uint64_t>(counts, [&](const Given<std::uint64_t>& c) {
        return craftCountRule.whole(names_.count, c);
    });
    counts_.assign(whole.begin(), whole.end());
}

void TrialRequest::setTilt(const Given<double>& degrees) { tilts_ = {coneAngleRule.real(names_.tilt, degrees)}; }

void TrialRequest::setTilts(std::span<const Given<double>> degrees)
{
    tilts_ = listOf<double>(degrees, [&](const Given<double>& d) { return coneAngleRule.real(names_.tilt, d); });
}

void TrialRequest::setMaxSpeed(const Given<double>& speed)
{
    maxSpeeds_ = {nonNegativeRule.real(names_.maxSpeed, speed)};
}

void TrialRequest::setMaxSpeeds(std::span<const Given<double>> speeds)
{
    maxSpeeds_ =
        listOf<double>(speeds, [&](const Given<double>& v) { return nonNegativeRule.real(names_.maxSpeed, v); });
}

void TrialRequest::setRadius(const Given<double>& radius) { radii_ = {nonNegativeRule.real(names_.radius, radius)}; }

void TrialRequest::setRadii(std::span<const Given<double>> radii)
{
    radii_ = listOf<double>(radii, [&](const Given<double>& r) { return nonNegativeRule.real(names_.radius, r); });
}

void TrialRequest::setBox(const Given<double>& halfSize) { boxes_ = {positiveRule.real(names_.box, halfSize)}; }

void TrialRequest::setBoxes(std::span<const Given<double>> halfSizes)
{
    boxes_ = listOf<double>(halfSizes, [&](const Given<double>& b) { return positiveRule.real(names_.box, b); });
}

void TrialRequest::setSeed(const Given<std::uint64_t>& seed) { seed_ = wholeNumberRule.whole(names_.seed, seed); }

void TrialRequest::setSighting(const std::string& text) { sighting_ = sightingRule(names_.sighting, text); }

void TrialRequest::setDuration(const Given<double>& seconds)
{
    durations_ = {nonNegativeRule.real(names_.duration, seconds)};
}

void TrialRequest::setDurations(std::span<const Given<double>> seconds)
{
    durations_.clear();
    for (const double d :
         listOf<double>(seconds, [&](const Given<double>& v) { return nonNegativeRule.real(names_.duration, v); }))
        durations_.push_back(d);
}

void TrialRequest::setTrials(const Given<std::uint64_t>& trials)
{
    trials_ = trialCountRule.whole(names_.trials, trials);
}

void TrialRequest::setFirstTrial(const Given<std::uint64_t>& first)
{
    firstTrial_ = wholeNumberRule.whole(names_.firstTrial, first);
}

void TrialRequest::setShard(const std::string& shard) { shard_ = shard; }

void TrialRequest::setThreads(const Given<std::uint64_t>& threads)
{
    threads_ = static_cast<int>(threadCountRule.whole(names_.threads, threads));
}

void TrialRequest::setTrial(const Given<std::uint64_t>& trial) { trial_ = wholeNumberRule.whole(names_.trial, trial); }

TrialSpan TrialRequest::trials() const
{
    const std::string firstName(names_.firstTrial);
    const std::string trialsName(names_.trials);
    const std::string shardName(names_.shard);
    if (firstTrial_ > std::numeric_limits<std::uint64_t>::max() - trials_)
        throw InputError(firstName + " " + std::to_string(firstTrial_) + " plus " + trialsName + " " +
                         std::to_string(trials_) + " runs past the last trial number");
    if (shard_.empty())
        return {firstTrial_, trials_};
    const auto slash = shard_.find('/');
    const std::string_view index = std::string_view(shard_).substr(0, slash);
    const std::string_view count =
        slash == std::string::npos ? std::string_view() : std::string_view(shard_).substr(slash + 1);
    // Zero-padded shard numbers (as in file names) are decimal, not octal.
    std::uint64_t i = 0;
    std::uint64_t n = 0;
    if (!allDigits(index) || !allDigits(count) || index.size() > 19 || count.size() > 19)
        throw InputError(shardName + " \"" + excerpt(shard_) + "\": give it as I/N, shard I (from 0) of N, e.g. 3/10");
    std::from_chars(index.data(), index.data() + index.size(), i);
    std::from_chars(count.data(), count.data() + count.size(), n);
    if (n == 0 || i >= n)
        throw InputError(shardName + " " + shard_ + ": the shard number must be from 0 to N - 1 (" +
                         (n == 0 ? std::string("N is 0") : "0 to " + std::to_string(n - 1)) + ")");
    if (n > trials_)
        throw InputError(shardName + " " + shard_ + ": " + std::to_string(trials_) + " trials do not fill " +
                         std::to_string(n) + " shards; use at most " + std::to_string(trials_));
    // Shard i runs trials floor(i * T / n) to floor((i + 1) * T / n) - 1 of the range: consecutive shards
    // join without gap or overlap, and their sizes differ by at most one.
    const auto bound = [&](std::uint64_t k) {
        return static_cast<std::uint64_t>(static_cast<unsigned __int128>(k) * trials_ / n);
    };
    return {firstTrial_ + bound(i), bound(i + 1) - bound(i)};
}

std::uint64_t TrialRequest::trial() const
{
    if (!trial_)
        throw InputError(std::string(names_.trial) + " is required");
    return *trial_;
}

std::optional<std::int64_t> TrialRequest::steps() const
{
    if (!durations_.front())
        return std::nullopt;
    return stepsForDuration(*durations_.front(), names_.duration);
}

TrialSetup TrialRequest::setup() const
{
    TrialSetup s;
    s.scenario = parameters_;
    if (!algorithms_.empty()) {
        s.scenario.algorithm = algorithms_.front().plan ? -1 : algorithms_.front().index;
        s.scenario.plan = algorithms_.front().plan;
    }
    s.scenario.fovDeg = fovs_.front();
    s.scenario.tiltDeg = tilts_.front();
    s.scenario.count = counts_.front();
    s.scenario.maxSpeed = maxSpeeds_.front();
    s.scenario.craftRadius = radii_.front();
    s.scenario.boxHalfSize = boxes_.front();
    s.seed = seed_;
    s.sighting = sighting_;
    return s;
}

TrialSetup TrialRequest::batchSetup() const
{
    TrialSetup s = setup();
    s.duration = durations_.front();
    s.steps = trialSteps(s.scenario, steps());
    return s;
}

std::vector<TrialSetup> TrialRequest::sweepCells() const
{
    std::vector<AlgorithmChoice> algorithms;
    for (const AlgorithmChoice& a : algorithms_)
        appendOnce(algorithms, a);
    if (algorithms_.empty())
        for (int a = 0; a < planAlgorithmCount; ++a)
            algorithms.push_back({a, nullptr});
    const auto once = [](const auto& list) {
        std::remove_cvref_t<decltype(list)> distinct;
        for (const auto& v : list)
            appendOnce(distinct, v);
        return distinct;
    };
    std::vector<TrialSetup> cells;
    const TrialSetup base = setup();
    for (const AlgorithmChoice& algorithm : algorithms)
        for (const double fov : once(fovs_))
            for (const double tilt : once(tilts_))
                for (const int count : once(counts_))
                    for (const double maxSpeed : once(maxSpeeds_))
                        for (const double radius : once(radii_))
                            for (const double box : once(boxes_))
                                for (const std::optional<double>& duration : once(durations_)) {
                                    TrialSetup cell = base;
                                    Scenario& s = cell.scenario;
                                    s.algorithm = algorithm.plan ? -1 : algorithm.index;
                                    s.plan = algorithm.plan;
                                    s.fovDeg = fov;
                                    s.tiltDeg = tilt;
                                    s.count = count;
                                    s.maxSpeed = maxSpeed;
                                    s.craftRadius = radius;
                                    s.boxHalfSize = box;
                                    const std::optional<std::int64_t> steps =
                                        duration ? std::optional(stepsForDuration(*duration, names_.duration))
                                                 : std::nullopt;
                                    cell.duration = duration;
                                    cell.steps = trialSteps(s, steps);
                                    cells.push_back(cell);
                                }
    const std::uint64_t perCell = trials().count;
    if (perCell > std::numeric_limits<std::uint64_t>::max() / cells.size())
        throw InputError(std::string(names_.trials) + " " + std::to_string(perCell) + " in each of " +
                         std::to_string(cells.size()) + " cells is more trials than a sweep can count");
    return cells;
}

std::vector<std::string_view> TrialRequest::varyingAxes() const
{
    const auto distinct = [](const auto& list) {
        std::remove_cvref_t<decltype(list)> values;
        for (const auto& v : list)
            appendOnce(values, v);
        return values.size();
    };
    const std::size_t algorithms = algorithms_.empty() ? planAlgorithmCount : distinct(algorithms_);
    const std::size_t sizes[] = {algorithms,         distinct(fovs_),  distinct(tilts_), distinct(counts_),
                                 distinct(maxSpeeds_), distinct(radii_), distinct(boxes_), distinct(durations_)};
    std::vector<std::string_view> axes;
    for (std::size_t k = 0; k < std::size(sizes); ++k)
        if (sizes[k] > 1)
            axes.push_back(sweepAxes[k]);
    return axes;
}

}  // namespace velmora
