#include "sim/maneuver_plan.h"

#include "geometry/angles.h"
#include "geometry/mat3.h"
#include "sim/plan_algorithm.h"

#include <algorithm>
#include <cmath>

namespace velmora {
namespace {

constexpr Vec3 xAxis{1.0, 0.0, 0.0};
constexpr Vec3 yAxis{0.0, 1.0, 0.0};

}  // namespace

void ManeuverPlan::build(std::uint32_t algorithm, int parity, double tiltAngle, double fovHalfAngle)
{
    count_ = 0;
    // An index outside the list builds an empty plan.
    switch (static_cast<PlanAlgorithm>(algorithm)) {
    case PlanAlgorithm::Orlo: buildOrlo(parity, tiltAngle); break;
    case PlanAlgorithm::Simple: buildSimple(parity, tiltAngle); break;
    case PlanAlgorithm::SimpleLowFov: buildSimpleLowFov(parity, tiltAngle); break;
    case PlanAlgorithm::HalfTwist: buildHalfTwist(parity, tiltAngle); break;
    case PlanAlgorithm::WaitAndCheck: buildWaitAndCheck(parity, fovHalfAngle); break;
    default: break;
    }
    computeEndTimes();
}

void ManeuverPlan::assign(std::span<const ManeuverSegment> segments)
{
    count_ = static_cast<std::int32_t>(std::min(segments.size(), static_cast<std::size_t>(capacity)));
    std::copy_n(segments.begin(), count_, segments_.begin());
    computeEndTimes();
}

double ManeuverPlan::fastestTurn() const
{
    double fastest = 0.0;
    for (int i = 0; i < count_; ++i)
        if (turnsAbout(segments_[i].axis))
            fastest = std::max(fastest, std::fabs(segments_[i].rate));
    return fastest;
}

void ManeuverPlan::computeEndTimes()
{
    double sum = 0.0;
    for (int i = 0; i < count_; ++i) {
        sum += segments_[i].duration;
        endTimes_[i] = sum;
    }
}

void ManeuverPlan::beginPlan(int n, int parity)
{
    count_ = n;
    set(0, pi, xAxis, parity != 0 ? 1.0 : 0.0);
}

void ManeuverPlan::set(int i, double duration, const Vec3& axis, double rate)
{
    segments_[i] = ManeuverSegment{duration, axis, rate};
}

void ManeuverPlan::buildOrlo(int parity, double x)
{
    beginPlan(6, parity);
    set(1, 3 * pi, xAxis, 1);
    set(2, x, yAxis, 1);
    set(3, 2 * x, yAxis, -1);
    set(4, pi, xAxis, 1);
    set(5, 2 * x, yAxis, -1);
}

void ManeuverPlan::buildSimple(int parity, double x)
{
    beginPlan(7, parity);
    set(1, x, yAxis, 1);
    set(2, 3 * pi, xAxis, 1);
    set(3, 2 * x, yAxis, 1);
    set(4, 3 * pi, xAxis, 1);
    set(5, 2 * x, yAxis, 1);
    set(6, 3 * pi, xAxis, 1);
}

void ManeuverPlan::buildSimpleLowFov(int parity, double x)
{
    beginPlan(12, parity);
    set(1, 3 * pi, xAxis, 1);
    set(2, x, yAxis, 1);
    set(3, 3 * pi, xAxis, 1);
    set(4, 2 * x, yAxis, 1);
    set(5, 3 * pi, xAxis, 1);
    set(6, x, yAxis, 1);
    set(7, 3 * pi, xAxis, 1);
    set(8, x, yAxis, -1);
    set(9, 3 * pi, xAxis, 1);
    set(10, 2 * x, yAxis, -1);
    set(11, 3 * pi, xAxis, 1);
}

void ManeuverPlan::buildHalfTwist(int parity, double x)
{
    beginPlan(11, parity);
    set(1, x, yAxis, -1);
    set(2, 2 * pi, xAxis, 1);
    set(3, 2 * x, yAxis, 1);
    set(4, 2 * pi, xAxis, 1);
    set(5, 2 * x, yAxis, -1);
    set(6, 2 * pi, xAxis, 1);
    set(7, 2 * x, yAxis, 1);
    set(8, pi, xAxis, 1);
    set(9, 2 * x, yAxis, 1);
    set(10, pi, xAxis, -1);
}

double waitFactor(double fovHalfAngle)
{
    double b = fovHalfAngle - quarterPi;
    if (b < 0.05)
        b = 0.05;
    return std::tan(halfPi - b) / b;
}

void ManeuverPlan::buildWaitAndCheck(int parity, double x)
{
    const double g = waitFactor(x);
    beginPlan(9, parity);
    set(1, quarterPi, yAxis, 1);
    set(2, 2 * pi, xAxis, 1);
    set(3, 2 * pi * g, xAxis, 0);
    set(4, halfPi, yAxis, 1);
    set(5, 3 * pi, xAxis, 1);
    set(6, 4 * pi * g, xAxis, 0);
    set(7, halfPi, yAxis, 1);
    set(8, 2 * pi, xAxis, 1);
}

}  // namespace velmora
