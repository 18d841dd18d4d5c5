#pragma once

#include "sim/spacecraft.h"
#include "sim/step_motion.h"

#include <array>
#include <optional>

namespace velmora {

// When, within one step, two craft see each other, under the step's exact motion (StepMotion): the first moment
// they do, and the moment they stop. Each cone's margin is cos(angle off its axis) - cos(half-angle), which is
// positive inside; its sign is forced to agree with SensorCone::contains, so a moment counts as a sighting
// exactly when the cone test says so. The margin changes at most at K = |axis| (w + L / r) per second, with w the
// observer's turn rate, L the speed of the line of sight's end (the relative velocity plus the apex swinging at
// radius * w) and r the least distance from apex to target over the interval; that bound rules out the stretches
// where no sighting can be, and a bound on its second derivative certifies the stretches where a margin crosses
// zero once, which Boost.Math's TOMS 748 solver then locates. Where r can reach 0 the bound fails: such stretches
// are halved down to the resolution, and a sighting shorter than that is not claimed. Allocation-free.
class PairSighting {
public:
    // Times are located to this many seconds, and no stretch shorter than it is split further.
    static constexpr double resolution = 1e-13;
    // Margins evaluated at most per pair and step: a pair whose margins hover within rounding of zero for a
    // whole step cannot be resolved, and is left as the grid sees it.
    static constexpr int budget = 4096;

    struct Sample {
        double s = 0.0;
        // [0]: the first craft's cone about the second, [1]: the second's about the first.
        std::array<double, 2> margin{};
        std::array<double, 2> distance{};
        bool mutual() const { return margin[0] >= 0.0 && margin[1] >= 0.0; }
    };

    // The two craft of a pair over a step of h seconds.
    PairSighting(const StepMotion& first, const StepMotion& second, double h);

    // At s seconds into the step, by the step's motion.
    Sample at(double s);
    // At the step's end, from the craft as the formation stepped them: the grid's own verdict there.
    Sample atEnd(const Spacecraft& first, const Spacecraft& second) const;

    // The first moment in [from.s, to.s] at which both cones hold the other craft: from.s itself when from is
    // mutual, else a moment after it.
    std::optional<double> firstMutual(const Sample& from, const Sample& to) { return first(from, to, true); }
    // The first moment in (from.s, to.s] at which they no longer do; from must be mutual.
    std::optional<double> firstApart(const Sample& from, const Sample& to) { return first(from, to, false); }

    // The budget ran out: an answer of nothing then means "not proven", not "none".
    bool exhausted() const { return evaluations_ > budget; }

private:
    struct Bounds {
        double lipschitz;
        double curvature;
    };

    std::optional<double> first(const Sample& a, const Sample& b, bool entering);
    // Direction k's margin at s; with distance, the apex-to-target distance too.
    double margin(int k, double s, double* distance = nullptr) const;
    // The rate of change of direction k's margin at s.
    double slope(int k, double s);
    Bounds bounds(int k, const Sample& a, const Sample& b) const;
    // Direction k's margin certainly stays >= 0 over [a, b].
    bool staysInside(int k, const Sample& a, const Sample& b, const Bounds& bound) const;
    // Direction k's margin crosses zero once over [a, b]: its slope at the middle outweighs the curvature.
    bool crossesOnce(int k, const Sample& a, const Sample& b, const Bounds& bound);
    // Where direction k's margin changes sign over [a, b], to the resolution: the first moment on the far side.
    double crossing(int k, const Sample& a, const Sample& b);

    std::array<const StepMotion*, 2> motion_;
    double h_;
    double relativeSpeed_;
    int evaluations_ = 0;
};

}  // namespace velmora
