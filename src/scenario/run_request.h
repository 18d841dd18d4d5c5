#pragma once

#include "scenario/scenario_run.h"
#include "text/number_rule.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// How a front end names the values of a run request when it refuses one.
struct RunNames {
    std::string_view steps;
    std::string_view duration;
    std::string_view sighting;
};

// velmora-sim run's option names. The Python module says them too, so a refusal reads alike in both.
inline constexpr RunNames runCommandLineNames{"--steps", "--duration", "--sighting"};

// What a run's step count and duration take (velmora-sim's --help says it too).
inline constexpr NumberRule runStepsRule = NumberRule::wholeIn(0, maxRunSteps);
inline constexpr NumberRule runDurationRule = NumberRule::anyNumber();

// A sighting rule by its name (grid or continuous). Throws ArgumentError, under name, for any other text.
Sighting sightingRule(std::string_view name, const std::string& text);

// How long a single run lasts, and by which rule its pairs link: a number of 0.01 s steps, a duration, or neither for "until the longest plan in
// use has ended". Front ends hand each value over as their user gave it; each is checked as it is set
// (ArgumentError, under its name).
class RunRequest {
public:
    explicit RunRequest(const RunNames& names) : names_(names) {}

    void setSteps(const Given<std::uint64_t>& steps);
    void setDuration(const Given<double>& seconds);
    void setSighting(const std::string& text);

    // The step count asked for, or nothing for "until the longest plan in use has ended". Throws InputError for
    // both a step count and a duration, or a duration that gives no step count up to maxRunSteps.
    std::optional<std::int64_t> steps() const;
    Sighting sighting() const { return sighting_; }

private:
    RunNames names_;
    std::optional<std::int64_t> steps_;
    std::optional<double> duration_;
    Sighting sighting_ = Sighting::Grid;
};

}  // namespace velmora
