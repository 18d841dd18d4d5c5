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

std::uint64_t seenSum(const Formation& f)
{
    std::uint64_t sum = 0;
    for (int i = 0; i < f.craftCount(); ++i)
        sum += f.seen(i);
    return sum;
}

bool linked(std::uint32_t seen, int j) { return ((seen >> j) & 1u) != 0; }

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
    for (int i = 0; i < craftCount_; ++i)
        fastestTurn_[i] = f.plan(i).fastestTurn();
    nextDue_ = never;
    for (int i = 0; i < craftCount_; ++i) {
        for (int j = i + 1; j < craftCount_; ++j) {
            double& due = due_[i * capacity + j];
            due = linked(f.seen(i), j) ? never : earliestSighting(f, i, j);
            nextDue_ = std::min(nextDue_, due);
        }
    }
    seenSum_ = seenSum(f);
}

double SightingScan::clearTime(const Formation& f, int o, int t) const
{
    const Spacecraft& observer = f.spacecraft(o);
    const Spacecraft& target = f.spacecraft(t);
    const SensorCone cone = observer.sensorCone();
    if (cone.contains(target.position))
        return 0.0;
    // The cone test holds exactly where |axis| cos(angle off the axis) >= cos(half-angle) (the supplement's above
    // 90 degrees), so the angle off the axis must come down to acos(cos(half-angle) / |axis|).
    const double axisLength = length(cone.axis);
    const double cosHalf = 1.0 / std::sqrt(1.0 + cone.tanHalfAngle * cone.tanHalfAngle);
    if (!(axisLength > cosHalf))
        return never;
    const Vec3 sight = subtract(target.position, cone.apex);
    const double distance = length(sight);
    const double gap = std::atan2(length(cross(cone.axis, sight)), dot(cone.axis, sight)) - std::acos(cosHalf / axisLength);
    if (!(gap > 0.0) || !(distance > 0.0))
        return 0.0;
    // The axis turns at the rate of the segment in force until that segment ends, then at most at the plan's
    // fastest. The line of sight turns at most at its end's speed over the distance, which is at least half the
    // present one for distance / (2 speed) seconds.
    const double sightSpeed = length(subtract(target.velocity, observer.velocity)) +
                              std::fabs(observer.craftRadius) * axisLength * fastestTurn_[o];
    const double sightTurn = 2.0 * sightSpeed / distance;
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
    const double laterRate = fastestTurn_[o] + sightTurn;
    double clear = nowRate > 0.0 ? gap / nowRate : never;
    if (clear > until)
        clear = laterRate > 0.0 ? until + (gap - nowRate * until) / laterRate : never;
    return sightSpeed > 0.0 ? std::min(clear, 0.5 * distance / sightSpeed) : clear;
}

double SightingScan::earliestSighting(const Formation& f, int i, int j) const
{
    // Both cones must hold their targets at once: neither can before its own clear time.
    const double clear = std::max(clearTime(f, i, j), clearTime(f, j, i));
    // A little early, so that no rounding in the bound or in the stepped state can make a pair late.
    return f.time() + (clear - (1e-6 * clear + 1e-9));
}

bool SightingScan::step(Formation& f, double dt)
{
    links_.clear();
    missed_.clear();
    const double t0 = f.time();
    const double t1 = t0 + dt;
    const bool watched = nextDue_ <= t1;
    if (watched) {
        for (int i = 0; i < craftCount_; ++i) {
            motions_[i] = StepMotion(f.spacecraft(i), f.plan(i), t0);
            seenBefore_[i] = f.seen(i);
        }
    }
    const bool changed = f.step(dt);
    const std::uint64_t sum = seenSum(f);
    if (!watched) {
        if (sum != seenSum_)
            throw std::logic_error("a pair linked in a step its sighting bound said could bring no sighting");
        return changed;
    }
    // The step's length as the craft were propagated over it.
    const double h = f.time() - t0;
    insideOnly_.clear();
    nextDue_ = never;
    for (int i = 0; i < craftCount_; ++i) {
        for (int j = i + 1; j < craftCount_; ++j) {
            double& due = due_[i * capacity + j];
            if (linked(seenBefore_[i], j))
                continue;
            const bool gridLinked = linked(f.seen(i), j);
            if (gridLinked || due <= t1) {
                const std::size_t before = insideOnly_.size();
                examine(f, i, j, t0, h, gridLinked);
                due = gridLinked || insideOnly_.size() > before ? never : earliestSighting(f, i, j);
            }
            nextDue_ = std::min(nextDue_, due);
        }
    }
    for (const ExactLink& link : insideOnly_)
        f.link(link.i, link.j);
    seenSum_ = seenSum(f);
    return changed;
}

void SightingScan::examine(Formation& f, int i, int j, double t0, double h, bool gridLinked)
{
    PairSighting pair(motions_[i], motions_[j], h);
    const PairSighting::Sample start = pair.at(0.0);
    const PairSighting::Sample end = pair.atEnd(f.spacecraft(i), f.spacecraft(j));
    if (gridLinked) {
        // In view from the step's start only at the set-up, which the grid never looks at; where nothing earlier
        // can be proven, the grid's own moment stands.
        double s = h;
        if (start.mutual())
            s = 0.0;
        else if (const auto found = pair.firstMutual(start, end))
            s = *found;
        links_.push_back({i, j, t0 + s});
        return;
    }
    PairSighting::Sample from = start;
    while (!pair.exhausted()) {
        double enter = from.s;
        if (!from.mutual()) {
            const auto found = pair.firstMutual(from, end);
            if (!found)
                return;
            enter = *found;
        }
        if (mode_ == Sighting::Continuous) {
            const ExactLink link{i, j, t0 + enter};
            links_.push_back(link);
            insideOnly_.push_back(link);
            return;
        }
        const PairSighting::Sample inside = enter == from.s ? from : pair.at(enter);
        double leave = enter;
        if (inside.mutual())
            leave = pair.firstApart(inside, end).value_or(enter);
        missed_.push_back({i, j, t0 + enter, t0 + leave});
        if (!(leave > enter) || leave >= h)
            return;
        from = pair.at(leave);
        if (from.mutual())
            return;
    }
}

double SightingScan::joinTime() const
{
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
            if (linked(seenBefore_[i], j))
                join(i, j);
    std::array<int, pairCapacity> order{};
    const int count = static_cast<int>(std::min<std::size_t>(links_.size(), pairCapacity));
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
