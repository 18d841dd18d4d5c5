#include "sim/pair_sighting.h"

#include <boost/math/tools/toms748_solve.hpp>

#include <algorithm>
#include <cmath>
#include <limits>

namespace velmora {
namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();
// The negative margin nearest zero: what a moment the cone test calls outside gets when rounding puts its margin
// at or above zero.
constexpr double justOutside = -std::numeric_limits<double>::denorm_min();

// How far the cone (apex, axis) reaches past target, with the cone test's verdict as its sign: inside is >= 0.
// A target at the apex has no direction and is outside, as in the test.
double coneMargin(const Vec3& apex, const Vec3& axis, double tanFov, double cosHalfAngle, const Vec3& target,
                  double& distance)
{
    const SensorCone cone(apex.x, apex.y, apex.z, axis.x, axis.y, axis.z, tanFov);
    const Vec3 v = subtract(target, apex);
    distance = length(v);
    const double m = dot(v, axis) / distance - cosHalfAngle;
    if (cone.contains(target))
        return m > 0.0 ? m : 0.0;
    return m < justOutside ? m : justOutside;
}

}  // namespace

PairSighting::PairSighting(const StepMotion& first, const StepMotion& second, double h)
    : motion_{&first, &second}, h_(h), relativeSpeed_(length(subtract(second.velocity(), first.velocity())))
{
}

double PairSighting::margin(int k, double s, double* distance) const
{
    const StepMotion& observer = *motion_[k];
    const StepMotion& target = *motion_[1 - k];
    const Vec3 axis = observer.axis(s);
    const Vec3 apex = add(observer.position(s), scale(axis, observer.radius()));
    double d = 0.0;
    const double m = coneMargin(apex, axis, observer.tanFov(), observer.cosHalfAngle(), target.position(s), d);
    if (distance)
        *distance = d;
    return m;
}

PairSighting::Sample PairSighting::at(double s)
{
    ++evaluations_;
    Sample out;
    out.s = s;
    for (int k = 0; k < 2; ++k)
        out.margin[k] = margin(k, s, &out.distance[k]);
    return out;
}

PairSighting::Sample PairSighting::atEnd(const Spacecraft& first, const Spacecraft& second) const
{
    const std::array<const Spacecraft*, 2> craft{&first, &second};
    Sample out;
    out.s = h_;
    for (int k = 0; k < 2; ++k) {
        const SensorCone cone = craft[k]->sensorCone();
        out.margin[k] = coneMargin(cone.apex, cone.axis, cone.tanHalfAngle, motion_[k]->cosHalfAngle(),
                                   craft[1 - k]->position, out.distance[k]);
    }
    return out;
}

double PairSighting::slope(int k, double s)
{
    ++evaluations_;
    const StepMotion& observer = *motion_[k];
    const StepMotion& target = *motion_[1 - k];
    const Vec3 u = observer.axis(s);
    const Vec3 du = observer.axisVelocity(u);
    const Vec3 v = subtract(target.position(s), add(observer.position(s), scale(u, observer.radius())));
    const Vec3 dv = subtract(subtract(target.velocity(), observer.velocity()), scale(du, observer.radius()));
    const double rho = length(v);
    if (!(rho > 0.0))
        return 0.0;
    const Vec3 w = scale(v, 1.0 / rho);
    // d(u . w) = du . w + u . dw, with dw = (dv - w (w . dv)) / rho.
    return dot(du, w) + (dot(u, dv) - dot(u, w) * dot(w, dv)) / rho;
}

PairSighting::Bounds PairSighting::bounds(int k, const Sample& a, const Sample& b) const
{
    const StepMotion& observer = *motion_[k];
    const double w = observer.turnRate();
    const double length = observer.axisLength();
    const double radius = std::fabs(observer.radius());
    // The line of sight runs from the observer's apex, which swings at radius * w, to the target's centre.
    const double sightSpeed = relativeSpeed_ + radius * length * w;
    // Neither end of [a, b] is farther than sightSpeed * time from a moment inside it.
    const double nearest = 0.5 * (a.distance[k] + b.distance[k] - sightSpeed * (b.s - a.s));
    if (!(nearest > 0.0))
        return {infinity, infinity};
    const double turn = sightSpeed / nearest;
    return {length * (w + turn),
            length * (w * w + 2.0 * w * turn + radius * length * w * w / nearest + 3.0 * turn * turn)};
}

bool PairSighting::staysInside(int k, const Sample& a, const Sample& b, const Bounds& bound) const
{
    return a.margin[k] >= 0.0 && b.margin[k] >= 0.0 &&
           a.margin[k] + b.margin[k] - bound.lipschitz * (b.s - a.s) >= 0.0;
}

bool PairSighting::crossesOnce(int k, const Sample& a, const Sample& b, const Bounds& bound)
{
    if (bound.curvature == infinity)
        return false;
    const double half = 0.5 * (b.s - a.s);
    return std::fabs(slope(k, a.s + half)) > bound.curvature * half;
}

double PairSighting::crossing(int k, const Sample& a, const Sample& b)
{
    boost::uintmax_t iterations = 64;
    const auto bracket = boost::math::tools::toms748_solve(
        [this, k](double s) {
            ++evaluations_;
            return margin(k, s);
        },
        a.s, b.s, a.margin[k], b.margin[k],
        [](double lo, double hi) { return hi - lo <= resolution; }, iterations);
    // The solver keeps the sign change between the bracket's ends: the far end is on b's side.
    return bracket.second;
}

std::optional<double> PairSighting::first(const Sample& a, const Sample& b, bool entering)
{
    if (exhausted())
        return std::nullopt;
    const bool reached = b.mutual() == entering;
    const std::array<Bounds, 2> bound{bounds(0, a, b), bounds(1, a, b)};
    if (!reached) {
        if (entering) {
            // Each cone needs -margin / K seconds to come round to its target from either end.
            double lo = a.s;
            double hi = b.s;
            for (int k = 0; k < 2; ++k) {
                if (a.margin[k] < 0.0)
                    lo = std::max(lo, a.s - a.margin[k] / bound[k].lipschitz);
                if (b.margin[k] < 0.0)
                    hi = std::min(hi, b.s + b.margin[k] / bound[k].lipschitz);
            }
            if (lo > hi)
                return std::nullopt;
        } else if (staysInside(0, a, b, bound[0]) && staysInside(1, a, b, bound[1])) {
            return std::nullopt;
        }
    } else {
        // Where each cone either keeps its target throughout or changes its verdict once, the answer is the
        // last of the entries, or the first of the exits.
        double answer = entering ? a.s : b.s;
        bool direct = true;
        for (int k = 0; k < 2 && direct; ++k) {
            const bool insideAtA = a.margin[k] >= 0.0;
            const bool insideAtB = b.margin[k] >= 0.0;
            if (insideAtA && insideAtB) {
                direct = staysInside(k, a, b, bound[k]);
            } else if (insideAtA != insideAtB && crossesOnce(k, a, b, bound[k])) {
                const double at = crossing(k, a, b);
                answer = entering ? std::max(answer, at) : std::min(answer, at);
            } else {
                direct = false;
            }
        }
        if (direct)
            return answer;
    }
    const double length = b.s - a.s;
    if (length <= resolution)
        return reached ? std::optional<double>(b.s) : std::nullopt;
    const Sample middle = at(a.s + 0.5 * length);
    if (const auto found = first(a, middle, entering))
        return found;
    if (exhausted())
        return std::nullopt;
    return first(middle, b, entering);
}

}  // namespace velmora
