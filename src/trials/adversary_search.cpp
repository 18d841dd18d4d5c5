#include "trials/adversary_search.h"

#include "text/json_writer.h"
#include "text/provenance.h"
#include "trials/parallel_work.h"

#include <nlopt.hpp>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>

namespace velmora {
namespace {

using nlohmann::ordered_json;

constexpr int dimensions = 6;

std::uint64_t splitmix64(std::uint64_t z)
{
    z += 0x9E3779B97F4A7C15;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
    return z ^ (z >> 31);
}

// A start's own view of the unit cube: each coordinate shifted by the seed's amount and folded back, so the
// map stays continuous (the polish needs that) and every start's Sobol points fall elsewhere.
struct CubeFold {
    std::array<double, dimensions> shift{};

    CubeFold(std::uint64_t seed, int start)
    {
        std::uint64_t state = splitmix64(seed) ^ static_cast<std::uint64_t>(start);
        for (double& s : shift) {
            state = splitmix64(state);
            s = static_cast<double>(state >> 11) * 0x1.0p-53;
        }
    }

    double at(const double* x, int i) const
    {
        const double y = x[i] + shift[static_cast<std::size_t>(i)];
        return y <= 1.0 ? y : 2.0 - y;
    }
};

struct Configuration {
    Vec3 pa;
    Vec3 va;
    Vec3 pb;
    Vec3 vb;
};

// Craft 0 starts at the origin, craft 1 anywhere in the box; the cube's last three coordinates give craft 1's
// velocity within the speed limit, and craft 0 moves the opposite way: every relative velocity up to twice
// the limit, with neither craft above it.
Configuration configurationAt(const double* x, const CubeFold& fold, double half, double maxSpeed)
{
    const Vec3 pb{half * (2.0 * fold.at(x, 0) - 1.0), half * (2.0 * fold.at(x, 1) - 1.0),
                  half * (2.0 * fold.at(x, 2) - 1.0)};
    const Vec3 c{2.0 * fold.at(x, 3) - 1.0, 2.0 * fold.at(x, 4) - 1.0, 2.0 * fold.at(x, 5) - 1.0};
    const double longest = length(c);
    const double largest = std::max({std::fabs(c.x), std::fabs(c.y), std::fabs(c.z)});
    // The cube onto the ball, radially: continuous, and every relative velocity is reached.
    const Vec3 w = longest > 0.0 ? scale(c, largest / longest * maxSpeed) : Vec3{};
    return {Vec3{}, scale(w, -1.0), pb, w};
}

struct SharedState {
    std::atomic<std::uint64_t> evaluations{0};
    std::atomic<std::int64_t> best{0};
    // The lowest start that found a never-sighted configuration: later starts cannot win, so they stop.
    std::atomic<int> neverStart{std::numeric_limits<int>::max()};
    std::atomic<bool> cancelled{false};
};

struct StartState {
    const RolePairSighting* pair = nullptr;
    CubeFold fold{0, 0};
    double half = 0.0;
    double maxSpeed = 0.0;
    std::int64_t never = 0;
    int start = 0;
    SharedState* shared = nullptr;
    std::uint64_t evaluations = 0;
    std::int64_t best = -1;
    std::array<double, dimensions> bestX{};
};

double objective(unsigned n, const double* x, double*, void* data)
{
    auto& s = *static_cast<StartState*>(data);
    if (s.shared->cancelled || s.shared->neverStart.load() < s.start)
        throw nlopt::forced_stop();
    const Configuration c = configurationAt(x, s.fold, s.half, s.maxSpeed);
    const std::int64_t k = s.pair->firstSighting(c.pa, c.va, c.pb, c.vb);
    const std::int64_t value = k > 0 ? k : s.never;
    ++s.evaluations;
    if (value > s.best) {
        s.best = value;
        std::copy(x, x + n, s.bestX.begin());
    }
    s.shared->evaluations.fetch_add(1, std::memory_order_relaxed);
    std::int64_t seen = s.shared->best.load(std::memory_order_relaxed);
    while (value > seen && !s.shared->best.compare_exchange_weak(seen, value))
        ;
    return static_cast<double>(value);
}

void runStart(StartState& s, std::uint64_t budget, std::uint64_t seed)
{
    nlopt::opt global(nlopt::GN_MLSL_LDS, dimensions);
    global.set_lower_bounds(std::vector<double>(dimensions, 0.0));
    global.set_upper_bounds(std::vector<double>(dimensions, 1.0));
    nlopt::opt polish(nlopt::LN_SBPLX, dimensions);
    // The objective counts whole steps: a polish stops once a step's worth of change is out of reach.
    polish.set_ftol_abs(0.5);
    polish.set_xtol_abs(1e-6);
    polish.set_maxeval(400);
    global.set_local_optimizer(polish);
    global.set_max_objective(objective, &s);
    global.set_maxeval(static_cast<int>(std::min<std::uint64_t>(budget, std::numeric_limits<int>::max())));
    global.set_stopval(static_cast<double>(s.never));
    nlopt::srand(splitmix64(seed + static_cast<std::uint64_t>(s.start)));
    std::vector<double> x(dimensions, 0.5);
    double value = 0.0;
    try {
        global.optimize(x, value);
    } catch (const nlopt::forced_stop&) {
        // Cancelled, or a lower start already found what this one could at best equal.
    } catch (const nlopt::roundoff_limited&) {
        // The best point so far stands.
    }
    if (s.best == s.never) {
        int lowest = s.shared->neverStart.load();
        while (s.start < lowest && !s.shared->neverStart.compare_exchange_weak(lowest, s.start))
            ;
    }
}

}  // namespace

SearchResult searchWorstCase(const SearchRequest& request, const SearchProgress& progress)
{
    if (request.budget < static_cast<std::uint64_t>(searchStarts))
        throw InputError("the budget must be at least " + std::to_string(searchStarts) + " evaluations, one per start");
    const auto begin = std::chrono::steady_clock::now();
    const RolePairSighting pair(request.scenario, {0, 1}, request.steps);
    SharedState shared;
    std::vector<StartState> starts(searchStarts);
    for (int k = 0; k < searchStarts; ++k) {
        StartState& s = starts[static_cast<std::size_t>(k)];
        s.pair = &pair;
        s.fold = CubeFold(request.seed, k);
        s.half = request.scenario.boxHalfSize;
        s.maxSpeed = request.scenario.maxSpeed;
        s.never = pair.steps() + 1;
        s.start = k;
        s.shared = &shared;
    }
    const std::uint64_t each = request.budget / searchStarts;
    const std::uint64_t extra = request.budget % searchStarts;
    ParallelWork(std::max(1, request.threads), 1)
        .run(
            searchStarts,
            [&](std::int64_t first, std::int64_t end) {
                for (std::int64_t k = first; k < end; ++k)
                    runStart(starts[static_cast<std::size_t>(k)], each + (static_cast<std::uint64_t>(k) < extra ? 1 : 0),
                             request.seed);
            },
            [&](std::int64_t) {
                if (!progress)
                    return;
                try {
                    progress(shared.evaluations.load(), shared.best.load(), pair.steps());
                } catch (...) {
                    shared.cancelled = true;
                    throw;
                }
            });

    SearchResult result;
    result.request = request;
    result.steps = pair.steps();
    for (int k = 0; k < searchStarts; ++k) {
        const StartState& s = starts[static_cast<std::size_t>(k)];
        result.starts.push_back({s.evaluations, s.best});
        result.evaluations += s.evaluations;
        if (s.best > starts[static_cast<std::size_t>(result.bestStart)].best)
            result.bestStart = k;
    }
    const StartState& best = starts[static_cast<std::size_t>(result.bestStart)];
    const Configuration c = configurationAt(best.bestX.data(), best.fold, best.half, best.maxSpeed);
    result.worst = pair.scenario(c.pa, c.va, c.pb, c.vb);
    result.sightingStep = pair.firstSighting(c.pa, c.va, c.pb, c.vb);
    if (result.sightingStep > 0)
        result.sightingTime = pair.timeAfter(result.sightingStep);
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    return result;
}

namespace {

ordered_json searchParameters(const SearchResult& r)
{
    ordered_json p = scenarioParametersJson(r.request.scenario);
    p.erase("count");
    if (r.request.scenario.plan)
        p["planSha256"] = r.request.scenario.plan->sha256();
    p["budget"] = r.request.budget;
    p["seed"] = r.request.seed;
    p["steps"] = r.steps;
    return p;
}

ordered_json objectiveJson(const SearchResult& r)
{
    ordered_json o;
    o["initializes"] = !r.neverSighted();
    o["step"] = r.neverSighted() ? ordered_json(nullptr) : ordered_json(r.sightingStep);
    o["time"] = r.sightingTime ? ordered_json(*r.sightingTime) : ordered_json(nullptr);
    o["steps"] = r.steps;
    return o;
}

}  // namespace

ordered_json searchJson(const SearchResult& r, const std::vector<std::string>& command)
{
    ordered_json out = provenanceJson(command);
    out["parameters"] = searchParameters(r);
    out["worst"] = objectiveJson(r);
    out["scenario"] = scenarioToJson(r.worst);
    ordered_json starts = ordered_json::array();
    for (const SearchStartResult& s : r.starts)
        starts.push_back({{"evaluations", s.evaluations},
                          {"objective", s.objective > r.steps ? ordered_json("never") : ordered_json(s.objective)}});
    out["search"] = {{"method", "NLopt GN_MLSL_LDS + LN_SBPLX"},
                     {"starts", searchStarts},
                     {"bestStart", r.bestStart},
                     {"evaluations", r.evaluations},
                     {"perStart", starts}};
    out["timing"] = {{"threads", r.request.threads}, {"wallSeconds", r.seconds}};
    return out;
}

ordered_json worstScenarioJson(const SearchResult& r, const std::vector<std::string>& command)
{
    ordered_json out = scenarioToJson(r.worst);
    ordered_json origin = provenanceJson(command);
    origin["parameters"] = searchParameters(r);
    origin["worst"] = objectiveJson(r);
    out["origin"] = origin;
    return out;
}

}  // namespace velmora
