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
// Between sightings it costs next to nothing. From the angle by which a cone misses its target, how fast the
// observer's axis can turn (its segment's rate while the segment lasts, its plan's fastest after) and how fast the
// line of sight can swing (the relative speed and the apex's swing over half the distance, for as long as the
// distance cannot halve), it knows how long the pair certainly cannot see each other, and looks at the pair again
// only once that time has come. Then the same bound, run back over the step just taken, clears most pairs without
// solving anything. Allocation-free while it steps, but for a step with more sightings than pairs.
class SightingScan {
public:
    SightingScan();

    // Follows f from its current state (as set up) on.
    void start(const Formation& f, Sighting mode);

    // Formation::step(dt), and what the step brought: the return value is the formation's. Throws
    // std::logic_error if a pair links in a step its bound said could bring none (a fault of the bound). Inline:
    // most steps have no pair due, and cost the formation's step and a look at its seen marks.
    bool step(Formation& f, double dt)
    {
        if (nextDue_ <= f.time() + dt)
            return watchedStep(f, dt);
        links_.clear();
        missed_.clear();
        const bool changed = f.step(dt);
        if (seenSum(f) != seenSum_)
            unforeseenLink();
        return changed;
    }

    // Some pair linked in the last step.
    bool linked() const { return !links_.empty(); }
    // The pairs first linked in the last step, in pair order, each with its exact moment. The moments are worked
    // out here, when first asked for after a step (a batch needs only those of the step that joins its formation).
    std::span<const ExactLink> links(const Formation& f);
    // On the grid, the last step's missed sightings, in pair order.
    std::span<const MissedSighting> missed() const { return missed_; }

    // The moment within the last step at which every craft in use came into one group: the last step's links
    // taken in the order of their exact moments. Only after a step that joined the formation.
    double joinTime(const Formation& f);

private:
    static constexpr int capacity = Formation::capacity;

    // Grows exactly when some pair is seen for the first time: the marks only ever gain bits.
    static std::uint64_t seenSum(const Formation& f)
    {
        std::uint64_t sum = 0;
        for (int i = 0; i < f.craftCount(); ++i)
            sum += f.seen(i);
        return sum;
    }

    bool watchedStep(Formation& f, double dt);
    [[noreturn]] static void unforeseenLink();

    // How craft o's cone stands towards craft t now.
    struct Sight {
        bool inside = false;
        // At most the angle by which the cone misses t (radians).
        double gap = 0.0;
        // From the apex to t's centre.
        double distance = 0.0;
    };

    Sight sight(const Formation& f, int o, int t) const;
    // The fastest the line of sight from o's apex to t can move, with o's axis turning at turn.
    double sightSpeed(int o, int t, double turn) const;
    // How long from now o's cone certainly does not hold t.
    double clearTime(const Formation& f, int o, int t, const Sight& now) const;
    // The earliest formation time at which craft i and j may be in mutual view, from f as it is now and how each
    // cone stands towards the other.
    double earliestSighting(const Formation& f, int i, int j, const Sight& ij, const Sight& ji) const;
    // o's cone certainly did not hold t at any moment of the step of h seconds just taken from t0.
    bool clearThroughStep(const Formation& f, int o, int t, const Sight& end, double t0, double h) const;
    const StepMotion& motion(const Formation& f, int i);
    // The first moment at which the pair the grid linked in the last step saw each other.
    double linkTime(const Formation& f, int i, int j);
    // The sightings of a pair the grid did not link in the last step.
    void examine(const Formation& f, int i, int j);

    Sighting mode_ = Sighting::Grid;
    int craftCount_ = 0;
    // Per craft: its plan's fastest turn, how far its apex swings per radian its axis turns, the cosine its cone
    // test works with (1 / sqrt(1 + tan^2): the supplement's above 90 degrees) and the sine of the half-angle that
    // cosine gives its sensor axis (for an axis of length other than 1, the widened or narrowed one).
    std::array<double, capacity> fastestTurn_{};
    std::array<double, capacity> apexSwing_{};
    std::array<double, capacity> cosHalf_{};
    std::array<double, capacity> sinHalf_{};
    // Per pair (i * capacity + j, i < j): the relative speed, and when the two may next see each other (infinite
    // once linked).
    std::array<double, capacity * capacity> relativeSpeed_{};
    std::array<double, capacity * capacity> due_{};
    double nextDue_ = 0.0;
    std::uint64_t seenSum_ = 0;
    // The formation at the start of a step that some pair was due in: centres, sensor axes, who had seen whom,
    // and each craft's motion through the step, made when first needed.
    std::array<Vec3, capacity> startPosition_{};
    std::array<Vec3, capacity> startAxis_{};
    std::array<std::uint32_t, capacity> seenBefore_{};
    std::array<StepMotion, capacity> motions_{};
    std::array<bool, capacity> hasMotion_{};
    double stepStart_ = 0.0;
    double stepLength_ = 0.0;
    // The last step's links; those the grid made wait for their moments until links() is asked.
    std::vector<ExactLink> links_;
    bool timesPending_ = false;
    std::vector<MissedSighting> missed_;
    // Continuous mode: the pairs of the step that saw each other only within it, to link after its own links.
    std::vector<ExactLink> insideOnly_;
};

}  // namespace velmora
