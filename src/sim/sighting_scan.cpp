#include "sim/sighting_scan.h"

#include "sim/pair_sighting.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace velmora {
namespace {

constexpr double never = std::numeric_limits<double>::infinity();
constexpr int pairCapacity = Formation::capacity * (Formation::capacity - 1) / 2;
// Taken off every angle by which a cone misses its target: more than the rounding of the angle, and of a sensor
// axis's length drifting through the rounding of many steps' turns.
constexpr double angleSlack = 1e-7;

bool hasSeen(std::uint32_t seen, int j) { return ((seen >> j) & 1u) != 0; }

// How fast the segment in force at t turns a craft flying plan.
double turnRateAt(const ManeuverPlan& plan, double t)
{
    const int segment = plan.segmentIndexAt(t);
    return segment >= 0 && turnsAbout(plan.segment(segment).axis) ? std::fabs(plan.segment(segment).rate) : 0.0;
}

}  // namespace

SightingScan::SightingScan()
{
    links_.reserve(pairCapacity);
    missed_.reserve(pairCapacity);
    insideOnly_.reserve(pairCapacity);
}

void SightingScan::start(const Formation& f, Sighting mode)
{
    mode_ = mode;
    craftCount_ = f.craftCount();
    links_.clear();
    missed_.clear();
    timesPending_ = false;
    for (int i = 0; i < craftCount_; ++i) {
        const Spacecraft& craft = f.spacecraft(i);
        const double axisLength = length(column(craft.attitude, 2));
        cosHalf_[i] = 1.0 / std::sqrt(1.0 + craft.tanFov * craft.tanFov);
        const double cosAxisHalf = std::min(1.0, cosHalf_[i] / axisLength);
        sinHalf_[i] = std::sqrt(1.0 - cosAxisHalf * cosAxisHalf);
        fastestTurn_[i] = f.plan(i).fastestTurn();
        apexSwing_[i] = std::fabs(craft.craftRadius) * axisLength;
        for (int j = i + 1; j < craftCount_; ++j)
            relativeSpeed_[i * capacity + j] = length(subtract(f.spacecraft(j).velocity, craft.velocity));
    }
    nextDue_ = never;
    for (int i = 0; i < craftCount_; ++i) {
        for (int j = i + 1; j < craftCount_; ++j) {
            double& due = due_[i * capacity + j];
            due = hasSeen(f.seen(i), j) ? never : earliestSighting(f, i, j, sight(f, i, j), sight(f, j, i));
            nextDue_ = std::min(nextDue_, due);
        }
    }
    seenSum_ = seenSum(f);
}

SightingScan::Sight SightingScan::sight(const Formation& f, int o, int t) const
{
    const SensorCone cone = f.spacecraft(o).sensorCone();
    const Vec3& target = f.spacecraft(t).position;
    const Vec3 v = subtract(target, cone.apex);
    Sight out;
    out.inside = cone.contains(target);
    out.distance = length(v);
    // The cone test holds exactly where |axis| cos(phi) >= cos(half), phi the angle off the axis; with h the
    // half-angle that gives the axis, cos(h) - cos(phi) = sin(x) (phi - h) for some x between them, so
    // (cos(h) - cos(phi)) / (the largest sine between them) is at most phi - h, and needs no arc tangent.
    const double axisLength = length(cone.axis);
    const double sinPhi = length(cross(cone.axis, v)) / (axisLength * out.distance);
    const double largestSine = dot(cone.axis, v) <= 0.0 ? 1.0 : std::max(sinHalf_[o], sinPhi);
    out.gap = (cosHalf_[o] - dot(cone.axis, v) / out.distance) / (axisLength * largestSine) - angleSlack;
    return out;
}

double SightingScan::sightSpeed(int o, int t, double turn) const
{
    return relativeSpeed_[std::min(o, t) * capacity + std::max(o, t)] + apexSwing_[o] * turn;
}

double SightingScan::clearTime(const Formation& f, int o, int t, const Sight& now) const
{
    if (now.inside || !(now.gap > 0.0) || !(now.distance > 0.0))
        return 0.0;
    // The axis turns at its segment's rate until the segment ends, then at most at the plan's fastest; the line of
    // sight at most at its end's speed over half the present distance, while the distance cannot have halved.
    const double fastest = fastestTurn_[o];
    const double speed = sightSpeed(o, t, fastest);
    const double sightTurn = 2.0 * speed / now.distance;
    const ManeuverPlan& plan = f.plan(o);
    const int segment = plan.segmentIndexAt(f.time());
    double turn = 0.0;
    double until = never;
    if (segment >= 0) {
        if (turnsAbout(plan.segment(segment).axis))
            turn = std::fabs(plan.segment(segment).rate);
        until = plan.endTime(segment) - f.time();
    }
    const double nowRate = turn + sightTurn;
    const double laterRate = fastest + sightTurn;
    double clear = nowRate > 0.0 ? now.gap / nowRate : never;
    if (clear > until)
        clear = laterRate > 0.0 ? until + (now.gap - nowRate * until) / laterRate : never;
    return speed > 0.0 ? std::min(clear, 0.5 * now.distance / speed) : clear;
}

double SightingScan::earliestSighting(const Formation& f, int i, int j, const Sight& ij, const Sight& ji) const
{
    // Both cones must hold their targets at once: neither can before its own clear time.
    const double clear = std::max(clearTime(f, i, j, ij), clearTime(f, j, i, ji));
    // A little early, for the rounding of the stepped state.
    return clear == never ? never : f.time() + (clear - (1e-6 * clear + 1e-9));
}

bool SightingScan::clearThroughStep(const Formation& f, int o, int t, const Sight& end, double t0, double h) const
{
    if (end.inside || !(end.gap > 0.0) || !(end.distance > 0.0))
        return false;
    // The same bound, back over the step: its rate is that of the segment in force at its start.
    const double turn = turnRateAt(f.plan(o), t0);
    const double speed = sightSpeed(o, t, turn);
    return speed * h <= 0.5 * end.distance && end.gap > (turn + 2.0 * speed / end.distance) * h;
}

const StepMotion& SightingScan::motion(const Formation& f, int i)
{
    if (!hasMotion_[i]) {
        motions_[i] = StepMotion(f.spacecraft(i), startPosition_[i], startAxis_[i], f.plan(i), stepStart_);
        hasMotion_[i] = true;
    }
    return motions_[i];
}

void SightingScan::unforeseenLink()
{
    throw std::logic_error("a pair linked in a step its sighting bound said could bring no sighting");
}

bool SightingScan::watchedStep(Formation& f, double dt)
{
    links_.clear();
    missed_.clear();
    timesPending_ = false;
    const double t0 = f.time();
    for (int i = 0; i < craftCount_; ++i) {
        startPosition_[i] = f.spacecraft(i).position;
        startAxis_[i] = column(f.spacecraft(i).attitude, 2);
        seenBefore_[i] = f.seen(i);
        hasMotion_[i] = false;
    }
    const bool changed = f.step(dt);
    const double t1 = f.time();
    stepStart_ = t0;
    // The step's length as the craft were propagated over it.
    stepLength_ = t1 - t0;
    insideOnly_.clear();
    double nextDue = never;
    for (int i = 0; i < craftCount_; ++i) {
        for (int j = i + 1; j < craftCount_; ++j) {
            if (hasSeen(seenBefore_[i], j))
                continue;
            double& due = due_[i * capacity + j];
            if (hasSeen(f.seen(i), j)) {
                if (due > t1)
                    unforeseenLink();
                links_.push_back({i, j, std::numeric_limits<double>::quiet_NaN()});
                timesPending_ = true;
                due = never;
                continue;
            }
            if (due <= t1) {
                const std::size_t before = insideOnly_.size();
                const Sight ij = sight(f, i, j);
                const Sight ji = sight(f, j, i);
                if (!clearThroughStep(f, i, j, ij, t0, stepLength_) && !clearThroughStep(f, j, i, ji, t0, stepLength_))
                    examine(f, i, j);
                due = insideOnly_.size() > before ? never : earliestSighting(f, i, j, ij, ji);
            }
            nextDue = std::min(nextDue, due);
        }
    }
    nextDue_ = nextDue;
    for (const ExactLink& link : insideOnly_)
        f.link(link.i, link.j);
    seenSum_ = seenSum(f);
    return changed;
}

std::span<const ExactLink> SightingScan::links(const Formation& f)
{
    if (timesPending_) {
        for (ExactLink& link : links_)
            if (std::isnan(link.time))
                link.time = linkTime(f, link.i, link.j);
        timesPending_ = false;
    }
    return links_;
}

double SightingScan::linkTime(const Formation& f, int i, int j)
{
    PairSighting pair(motion(f, i), motion(f, j), stepLength_);
    // In view from the step's start only at the set-up, which the grid never looks at; where nothing earlier can
    // be proven, the grid's own moment stands.
    const auto found = pair.firstMutual(pair.at(0.0), pair.atEnd(f.spacecraft(i), f.spacecraft(j)));
    return stepStart_ + found.value_or(stepLength_);
}

void SightingScan::examine(const Formation& f, int i, int j)
{
    PairSighting pair(motion(f, i), motion(f, j), stepLength_);
    const PairSighting::Sample end = pair.atEnd(f.spacecraft(i), f.spacecraft(j));
    PairSighting::Sample from = pair.at(0.0);
    while (!pair.exhausted()) {
        double enter = from.s;
        if (!from.mutual()) {
            const auto found = pair.firstMutual(from, end);
            if (!found)
                return;
            enter = *found;
        }
        if (mode_ == Sighting::Continuous) {
            const ExactLink link{i, j, stepStart_ + enter};
            links_.push_back(link);
            insideOnly_.push_back(link);
            return;
        }
        // An end the budget cannot resolve is given as the start: the one moment proven in view.
        const PairSighting::Sample inside = enter == from.s ? from : pair.at(enter);
        double leave = enter;
        if (inside.mutual())
            leave = pair.firstApart(inside, end).value_or(enter);
        missed_.push_back({i, j, stepStart_ + enter, stepStart_ + leave});
        if (!(leave > enter) || leave >= stepLength_)
            return;
        from = pair.at(leave);
        if (from.mutual())
            return;
    }
}

double SightingScan::joinTime(const Formation& f)
{
    links(f);
    // The groups as the step found them, from who had seen whom.
    std::array<int, capacity> parent{};
    for (int i = 0; i < craftCount_; ++i)
        parent[i] = i;
    const auto root = [&parent](int k) {
        while (parent[k] != k)
            k = parent[k];
        return k;
    };
    int groups = craftCount_;
    const auto join = [&](int a, int b) {
        a = root(a);
        b = root(b);
        if (a != b) {
            parent[a] = b;
            --groups;
        }
    };
    for (int i = 0; i < craftCount_; ++i)
        for (int j = i + 1; j < craftCount_; ++j)
            if (hasSeen(seenBefore_[i], j))
                join(i, j);
    std::array<int, pairCapacity> order{};
    const int count = static_cast<int>(links_.size());
    for (int k = 0; k < count; ++k)
        order[k] = k;
    std::sort(order.begin(), order.begin() + count, [this](int a, int b) {
        return links_[a].time < links_[b].time || (links_[a].time == links_[b].time && a < b);
    });
    for (int k = 0; k < count; ++k) {
        const ExactLink& link = links_[order[k]];
        join(link.i, link.j);
        if (groups == 1)
            return link.time;
    }
    return std::numeric_limits<double>::quiet_NaN();
}

}  // namespace velmora
