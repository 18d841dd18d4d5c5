#pragma once

#include "sim/formation.h"
#include "sim/sighting_mode.h"
#include "sim/step_motion.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace velmora {

// A pair's first mutual sighting within the step that linked it: the exact moment, in formation time.
struct ExactLink {
    int i = 0;
    int j = 0;
    double time = 0.0;
};

// A mutual sighting that began and ended between two grid points, by a pair the grid had not linked: invisible to
// the grid. From start to end, in formation time; one that lasts from the set-up into the first step counts too,
// as the grid never looks at the set-up.
struct MissedSighting {
    int i = 0;
    int j = 0;
    double start = 0.0;
    double end = 0.0;
};

// Steps a formation and follows its pairs in continuous time: for every pair that links in a step, the exact
// moment within the step at which the two first saw each other; on the grid, the sightings it misses; in continuous
// mode, those pairs linked too, at their first moment, after the step's own links, in pair order.
// Between sightings it costs next to nothing. From the angle by which a cone misses its target, the fastest turn of
// the observer's plan and the fastest the line of sight can swing (the relative speed and the apex's swing over
// half the distance, within the time the distance needs to halve), it knows how long the pair certainly cannot see
// each other, and looks into a pair's steps only once that time has come. Allocation-free while it steps, but for
// a step with more sightings than pairs.
class SightingScan {
public:
    SightingScan();

    // Follows f from its current state (as set up) on.
    void start(const Formation& f, Sighting mode);

    // Formation::step(dt), and what the step brought: the return value is the formation's. Throws
    // std::logic_error if a pair links in a step its bound said could bring none (a fault of the bound).
    bool step(Formation& f, double dt);

    // The pairs first linked in the last step, in pair order, each with its exact moment.
    std::span<const ExactLink> links() const { return links_; }
    // On the grid, the last step's missed sightings, in pair order.
    std::span<const MissedSighting> missed() const { return missed_; }

    // The moment within the last step at which every craft in use came into one group: the last step's links
    // taken in the order of their exact moments. Only after a step that joined the formation.
    double joinTime() const;

private:
    static constexpr int capacity = Formation::capacity;

    // The earliest formation time at which craft i and j may be in mutual view, from f as it is now.
    double earliestSighting(const Formation& f, int i, int j) const;
    // How long from now the cone of craft o certainly does not hold craft t.
    double clearTime(const Formation& f, int o, int t) const;
    // The pair's sightings within the step just taken from t0, of h seconds.
    void examine(Formation& f, int i, int j, double t0, double h, bool gridLinked);

    Sighting mode_ = Sighting::Grid;
    int craftCount_ = 0;
    std::array<double, capacity> fastestTurn_{};
    // Per pair (i * capacity + j, i < j): when it may next see each other; infinite once linked.
    std::array<double, capacity * capacity> due_{};
    double nextDue_ = 0.0;
    std::uint64_t seenSum_ = 0;
    // The formation at the start of a step that some pair was due in.
    std::array<StepMotion, capacity> motions_{};
    std::array<std::uint32_t, capacity> seenBefore_{};
    std::vector<ExactLink> links_;
    std::vector<MissedSighting> missed_;
    // Continuous mode: the pairs of the step that saw each other only within it, to link after its own links.
    std::vector<ExactLink> insideOnly_;
};

}  // namespace velmora
