#pragma once

#include "sim/maneuver_segment.h"

#include <array>
#include <cstdint>
#include <span>

namespace velmora {

// A timed list of constant-rate rotations: what one craft does under one initialization algorithm.
// Fixed capacity, held by value, never allocates. The five built-in plans use at most 12 segments; a plan
// file's role may use up to the capacity.
class ManeuverPlan {
public:
    static constexpr int capacity = 64;

    ManeuverPlan() = default;
    virtual ~ManeuverPlan() = default;

    // algorithm is the list index passed through unchanged: any value outside 0..4 leaves an empty plan.
    void build(std::uint32_t algorithm, int parity, double tiltAngle, double fovHalfAngle);

    // The segments in order, as a plan file's role gives them at a run's parameters; at most capacity.
    void assign(std::span<const ManeuverSegment> segments);

    void computeEndTimes();

    // The first segment whose end time is strictly greater than t, or -1 at or past the end of the plan.
    // Inline: each craft asks twice per step.
    int segmentIndexAt(double t) const
    {
        int lo = 0;
        int hi = count_;
        int mid = count_ / 2;
        while (lo < hi) {
            if (t < endTimes_[mid])
                hi = mid;
            else
                lo = mid + 1;
            mid = (lo + hi) / 2;
        }
        return lo < count_ ? lo : -1;
    }

    const ManeuverSegment& segment(int i) const { return segments_[i]; }
    int count() const { return count_; }
    double endTime(int i) const { return endTimes_[i]; }
    // End of the last segment; 0 for an empty plan.
    double totalDuration() const { return count_ > 0 ? endTimes_[count_ - 1] : 0.0; }

    // The largest |rate| of a segment that turns the craft (0 for a plan that never turns it): no sensor axis
    // flying this plan ever turns faster.
    double fastestTurn() const;

private:
    void beginPlan(int n, int parity);
    void set(int i, double duration, const Vec3& axis, double rate);
    void buildOrlo(int parity, double x);
    void buildSimple(int parity, double x);
    void buildSimpleLowFov(int parity, double x);
    void buildHalfTwist(int parity, double x);
    void buildWaitAndCheck(int parity, double x);

    // The count and the end times first: each lookup reads them together, and for the short tables of the
    // built-in plans they share the object's first cache lines whatever the capacity.
    std::int32_t count_ = 0;
    std::array<double, capacity> endTimes_{};
    std::array<ManeuverSegment, capacity> segments_{};
};

// The wait factor of the Wait-and-Check plan: cot(b) / b for the margin b = max(x - pi/4, 0.05).
double waitFactor(double fovHalfAngle);

}  // namespace velmora
