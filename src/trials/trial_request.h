#pragma once

#include "sim/formation.h"
#include "text/number_rule.h"
#include "trials/batch_runner.h"
#include "trials/trial_runner.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// How a front end names each value of a trial request when it refuses one.
struct TrialNames {
    std::string_view algorithm;
    std::string_view fov;
    std::string_view count;
    std::string_view tilt;
    std::string_view maxSpeed;
    std::string_view radius;
    std::string_view box;
    std::string_view seed;
    std::string_view duration;
    std::string_view trials;
    std::string_view firstTrial;
    std::string_view shard;
    std::string_view threads;
    std::string_view trial;
    std::string_view sighting;
};

// The parameters a sweep may vary, in the order its cells nest them: algorithm outermost.
inline constexpr std::string_view sweepAxes[] = {"algorithm", "fovDeg", "tiltDeg", "count", "maxSpeed",
                                                  "craftRadius", "boxHalfSize", "duration"};

// velmora-sim's option names. The Python module says them too, so a refusal reads alike in both.
inline constexpr TrialNames commandLineNames{"--algorithm", "--fov",      "--count",      "--tilt",   "--max-speed",
                                             "--radius",    "--box",      "--seed",       "--duration",
                                             "--trials",    "--first-trial", "--shard",   "--threads", "--trial",
                                             "--sighting"};

// What the numbers of a trial request take, as velmora-sim's --help says too: angles (fov, tilt); speed,
// radius and duration; the box; counts of craft, trials and threads; the seed and trial numbers.
inline constexpr NumberRule coneAngleRule = NumberRule::coneAngle();
inline constexpr NumberRule nonNegativeRule = NumberRule::atLeastZero();
inline constexpr NumberRule positiveRule = NumberRule::moreThanZero();
inline constexpr NumberRule craftCountRule = NumberRule::wholeIn(2, Formation::capacity);
inline constexpr NumberRule trialCountRule = NumberRule::whole(1);
inline constexpr NumberRule threadCountRule = NumberRule::wholeIn(1, 1024);
inline constexpr NumberRule wholeNumberRule = NumberRule::whole();

// One algorithm a request names: a built-in plan by its index, or a plan file.
struct AlgorithmChoice {
    int index = 0;
    std::shared_ptr<const PlanFile> plan;
    friend bool operator==(const AlgorithmChoice& a, const AlgorithmChoice& b)
    {
        return a.plan ? b.plan && a.plan->sha256() == b.plan->sha256() : !b.plan && a.index == b.index;
    }
};

// What a batch, a sweep, a replay or a merge of trial files asks for: the parameters every trial shares (a
// sweep, lists of them, whose every combination is a cell), the seed, the trials and the threads that run them. Front ends hand each value
// over as their user gave it; each is checked as it is set (ArgumentError, under its name), what depends on
// several values when it is asked for (InputError). What is not set keeps the default scene's value.
class TrialRequest {
public:
    explicit TrialRequest(const TrialNames& names) : names_(names) {}

    // An algorithm name or index, or a plan file's path (FILE.plan.json); a sweep's list may also say all.
    void setAlgorithm(const std::string& text);
    void setAlgorithms(std::span<const std::string> texts);
    // A plan already read (the Python module's velmora.Plan).
    void setAlgorithmChoices(std::vector<AlgorithmChoice> choices);
    void setFov(const Given<double>& degrees);
    void setFovs(std::span<const Given<double>> degrees);
    void setCount(const Given<std::uint64_t>& count);
    void setCounts(std::span<const Given<std::uint64_t>> counts);
    void setTilt(const Given<double>& degrees);
    void setTilts(std::span<const Given<double>> degrees);
    void setMaxSpeed(const Given<double>& speed);
    void setMaxSpeeds(std::span<const Given<double>> speeds);
    void setRadius(const Given<double>& radius);
    void setRadii(std::span<const Given<double>> radii);
    void setBox(const Given<double>& halfSize);
    void setBoxes(std::span<const Given<double>> halfSizes);
    void setSeed(const Given<std::uint64_t>& seed);
    void setDuration(const Given<double>& seconds);
    // grid or continuous.
    void setSighting(const std::string& text);
    void setDurations(std::span<const Given<double>> seconds);
    void setTrials(const Given<std::uint64_t>& trials);
    void setFirstTrial(const Given<std::uint64_t>& first);
    // "i/n": only the i-th (from 0) of n consecutive, nearly equal parts of the trials; empty for all of them.
    void setShard(const std::string& shard);
    void setThreads(const Given<std::uint64_t>& threads);
    // The one trial a replay prints.
    void setTrial(const Given<std::uint64_t>& trial);

    // The trials to run, the shard applied. Throws InputError when the range runs past the last trial number or
    // the shard is malformed or empty.
    TrialSpan trials() const;
    // The trials asked for, before the shard takes its part: what every shard's rows name as their run's.
    TrialSpan askedTrials() const { return {firstTrial_, trials_}; }
    int threads() const { return threads_; }
    // Throws InputError when no trial was set.
    std::uint64_t trial() const;

    // The step count the (first) duration asks for, or nothing for "until the longest plan in use has ended".
    // Throws InputError for a duration of more steps than a run takes.
    std::optional<std::int64_t> steps() const;
    // What every trial shares, for the first value of each list; its step count is left at 0.
    TrialSetup setup() const;
    // setup() with the step count its trials run.
    TrialSetup batchSetup() const;
    // One set-up with its step count per sweep cell: every combination of the lists, each value once in the
    // order given, in the order of sweepAxes (the algorithm outermost, the duration innermost); every built-in
    // plan when no algorithm was set. Throws InputError when the trials in every cell are more than a sweep
    // can count.
    std::vector<TrialSetup> sweepCells() const;
    // The parameters given more than one value, in sweepAxes' order: what tells a sweep's cells apart.
    std::vector<std::string_view> varyingAxes() const;

private:
    TrialNames names_;
    Scenario parameters_;
    std::vector<AlgorithmChoice> algorithms_;
    std::vector<double> fovs_{defaultScene::fovDeg};
    std::vector<int> counts_{defaultScene::craftCount};
    std::vector<double> tilts_{defaultScene::tiltDeg};
    std::vector<double> maxSpeeds_{defaultScene::maxSpeed};
    std::vector<double> radii_{defaultScene::craftRadius};
    std::vector<double> boxes_{defaultScene::boxHalfSize};
    std::uint64_t seed_ = 1;
    std::vector<std::optional<double>> durations_{std::nullopt};
    std::uint64_t trials_ = 1000;
    std::uint64_t firstTrial_ = 0;
    std::string shard_;
    int threads_ = defaultThreadCount();
    std::optional<std::uint64_t> trial_;
    Sighting sighting_ = Sighting::Grid;
};

}  // namespace velmora
