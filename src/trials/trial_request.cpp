#include "trials/trial_request.h"

#include "scenario/scenario_run.h"
#include "sim/plan_algorithm.h"
#include "text/argument_error.h"
#include "text/message_text.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace velmora {
namespace {

bool allDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// An algorithm name, or its index as one digit.
int algorithmIndex(std::string_view name, const std::string& text)
{
    if (const auto index = planAlgorithmFromName(text))
        return *index;
    if (text.size() == 1 && text[0] >= '0' && text[0] - '0' < planAlgorithmCount)
        return text[0] - '0';
    throw ArgumentError(std::string(name) + ": unknown algorithm \"" + text + "\" (use " + planAlgorithmNameList() +
                        " or an index 0 to " + std::to_string(planAlgorithmCount - 1) + ")");
}

template <typename T>
void appendOnce(std::vector<T>& list, const T& value)
{
    if (std::find(list.begin(), list.end(), value) == list.end())
        list.push_back(value);
}

}  // namespace

void TrialRequest::setAlgorithm(const std::string& text) { algorithms_ = {algorithmIndex(names_.algorithm, text)}; }

void TrialRequest::setAlgorithms(std::span<const std::string> texts)
{
    // An empty list says no more than an empty name.
    if (texts.empty())
        algorithmIndex(names_.algorithm, {});
    algorithms_.clear();
    for (const std::string& text : texts) {
        if (text == "all") {
            for (int a = 0; a < planAlgorithmCount; ++a)
                algorithms_.push_back(a);
        } else {
            algorithms_.push_back(algorithmIndex(names_.algorithm, text));
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
    parameters_.count = static_cast<int>(craftCountRule.whole(names_.count, count));
}

void TrialRequest::setTilt(const Given<double>& degrees) { parameters_.tiltDeg = coneAngleRule.real(names_.tilt, degrees); }

void TrialRequest::setMaxSpeed(const Given<double>& speed)
{
    parameters_.maxSpeed = nonNegativeRule.real(names_.maxSpeed, speed);
}

void TrialRequest::setRadius(const Given<double>& radius)
{
    parameters_.craftRadius = nonNegativeRule.real(names_.radius, radius);
}

void TrialRequest::setBox(const Given<double>& halfSize)
{
    parameters_.boxHalfSize = positiveRule.real(names_.box, halfSize);
}

void TrialRequest::setSeed(const Given<std::uint64_t>& seed) { seed_ = wholeNumberRule.whole(names_.seed, seed); }

void TrialRequest::setDuration(const Given<double>& seconds)
{
    duration_ = nonNegativeRule.real(names_.duration, seconds);
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
    if (!duration_)
        return std::nullopt;
    return stepsForDuration(*duration_, names_.duration);
}

TrialSetup TrialRequest::setup() const
{
    TrialSetup s;
    s.scenario = parameters_;
    if (!algorithms_.empty())
        s.scenario.algorithm = algorithms_.front();
    s.scenario.fovDeg = fovs_.front();
    s.seed = seed_;
    return s;
}

TrialSetup TrialRequest::batchSetup() const
{
    TrialSetup s = setup();
    s.steps = trialSteps(s.scenario, steps());
    return s;
}

std::vector<TrialSetup> TrialRequest::sweepCells() const
{
    std::vector<int> algorithms;
    for (const int a : algorithms_)
        appendOnce(algorithms, a);
    if (algorithms_.empty())
        for (int a = 0; a < planAlgorithmCount; ++a)
            algorithms.push_back(a);
    std::vector<double> fovs;
    for (const double fov : fovs_)
        appendOnce(fovs, fov);
    std::vector<TrialSetup> cells;
    for (const int algorithm : algorithms) {
        for (const double fov : fovs) {
            TrialSetup cell = setup();
            cell.scenario.algorithm = algorithm;
            cell.scenario.fovDeg = fov;
            cell.steps = trialSteps(cell.scenario, steps());
            cells.push_back(cell);
        }
    }
    const std::uint64_t perCell = trials().count;
    if (perCell > std::numeric_limits<std::uint64_t>::max() / cells.size())
        throw InputError(std::string(names_.trials) + " " + std::to_string(perCell) + " in each of " +
                         std::to_string(cells.size()) + " cells is more trials than a sweep can count");
    return cells;
}

}  // namespace velmora
