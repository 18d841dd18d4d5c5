#include "trials/coverage_map.h"

#include "files/file_names.h"
#include "files/replacing_file.h"
#include "text/argument_error.h"
#include "text/json_writer.h"
#include "text/message_text.h"
#include "text/provenance.h"
#include "trials/parallel_work.h"
#include "trials/sample_statistics.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <numeric>

namespace velmora {

using nlohmann::ordered_json;

std::int64_t RoleMap::sightedCount() const
{
    return std::count_if(sightingStep.begin(), sightingStep.end(), [](std::int64_t k) { return k > 0; });
}

std::int64_t RoleMap::sightedByHalfPlan() const
{
    const double half = planEnd / 2.0;
    std::int64_t n = 0;
    for (std::size_t p = 0; p < sightingStep.size(); ++p)
        n += sightingStep[p] > 0 && sightingTime[p] <= half ? 1 : 0;
    return n;
}

std::vector<RolePair> rolePairsNamed(const Scenario& s, const std::vector<std::string>& names, std::string_view optionName)
{
    std::vector<RolePair> pairs;
    for (const std::string& name : names) {
        const std::optional<RolePair> pair = rolePairFromName(s, name);
        if (!pair) {
            std::string known;
            for (const RolePair& p : rolePairs(s))
                known += (known.empty() ? "" : ", ") + rolePairName(s, p);
            throw ArgumentError(std::string(optionName) + ": \"" + excerpt(name) + "\" is not a role pair of this plan; it has " + known);
        }
        pairs.push_back(*pair);
    }
    return pairs;
}

Vec3 CoverageMap::placement(std::int64_t pixel) const { return scale(grid.direction(pixel), request.distance); }

CoverageMap computeCoverage(const CoverageRequest& request, const CoverageProgress& progress)
{
    if (!std::isfinite(request.distance) || request.distance <= 0.0)
        throw InputError("the distance must be a finite number above 0");
    const auto start = std::chrono::steady_clock::now();
    CoverageMap result{request, SkyGrid(request.nside), {}, 0.0};
    const std::vector<RolePair> roles = request.roles.empty() ? rolePairs(request.scenario) : request.roles;
    std::vector<RolePairSighting> pairs;
    const std::int64_t pixels = result.grid.pixelCount();
    for (const RolePair& r : roles) {
        pairs.emplace_back(request.scenario, r, request.steps);
        RoleMap m;
        m.roles = r;
        m.name = rolePairName(request.scenario, r);
        m.steps = pairs.back().steps();
        m.planEnd = pairs.back().planEnd();
        m.sightingStep.assign(static_cast<std::size_t>(pixels), 0);
        m.sightingTime.assign(static_cast<std::size_t>(pixels), 0.0);
        for (int which = 0; which < 2; ++which) {
            m.axisTrack[which].push_back(Vec3{0.0, 0.0, 1.0});
            for (std::int64_t k = 10; k <= m.steps; k += 10)
                m.axisTrack[which].push_back(pairs.back().axisAfter(which, k));
        }
        result.maps.push_back(std::move(m));
    }

    const std::int64_t total = pixels * static_cast<std::int64_t>(roles.size());
    // Small chunks: a never-sighted pixel costs the whole plan, a pixel seen at once a step.
    ParallelWork(std::max(1, request.threads), 16)
        .run(
            total,
            [&](std::int64_t begin, std::int64_t end) {
                const Vec3 origin{};
                for (std::int64_t item = begin; item < end; ++item) {
                    const auto m = static_cast<std::size_t>(item / pixels);
                    const std::int64_t pixel = item % pixels;
                    const RolePairSighting& pair = pairs[m];
                    const std::int64_t k = pair.firstSighting(origin, Vec3{}, result.placement(pixel), Vec3{});
                    RoleMap& map = result.maps[m];
                    map.sightingStep[static_cast<std::size_t>(pixel)] = k;
                    map.sightingTime[static_cast<std::size_t>(pixel)] = k > 0 ? pair.timeAfter(k) : 0.0;
                }
            },
            [&](std::int64_t done) {
                if (progress)
                    progress(done, total);
            });
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}

namespace {

struct MapSummary {
    std::int64_t sighted = 0;
    std::int64_t byHalf = 0;
    std::optional<double> median;
    std::optional<double> latest;
    // Never-sighted pixels first, in pixel order, then the latest sighted.
    std::vector<std::int64_t> worst;
};

MapSummary summarize(const RoleMap& m)
{
    MapSummary s;
    s.sighted = m.sightedCount();
    s.byHalf = m.sightedByHalfPlan();
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(s.sighted));
    std::vector<std::int64_t> order(m.sightingStep.size());
    std::iota(order.begin(), order.end(), 0);
    for (std::size_t p = 0; p < m.sightingStep.size(); ++p)
        if (m.sightingStep[p] > 0)
            times.push_back(m.sightingTime[p]);
    std::sort(times.begin(), times.end());
    if (!times.empty()) {
        s.median = percentile(times, 0.5);
        s.latest = times.back();
    }
    const auto rank = [&m](std::int64_t p) {
        const std::int64_t k = m.sightingStep[static_cast<std::size_t>(p)];
        return k == 0 ? m.steps + 1 : k;
    };
    const auto n = std::min<std::size_t>(worstListed, order.size());
    std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(n), order.end(),
                      [&](std::int64_t a, std::int64_t b) { return rank(a) != rank(b) ? rank(a) > rank(b) : a < b; });
    order.resize(n);
    s.worst = order;
    return s;
}

ordered_json optionalNumber(const std::optional<double>& v) { return v ? ordered_json(*v) : ordered_json(nullptr); }

ordered_json coverageParameters(const CoverageMap& map)
{
    const Scenario& s = map.request.scenario;
    ordered_json p;
    p["algorithm"] = scenarioParametersJson(s)["algorithm"];
    if (s.plan)
        p["planSha256"] = s.plan->sha256();
    p["fovDeg"] = s.fovDeg;
    p["tiltDeg"] = s.tiltDeg;
    p["craftRadius"] = s.craftRadius;
    p["distance"] = map.request.distance;
    p["nside"] = map.grid.nside();
    p["ordering"] = "RING";
    p["pixels"] = map.grid.pixelCount();
    return p;
}

std::string fixed(double v, int digits)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, v);
    return text;
}

}  // namespace

ordered_json coverageJson(const CoverageMap& map, const std::vector<std::string>& command)
{
    ordered_json out = provenanceJson(command);
    out["parameters"] = coverageParameters(map);
    const auto pixels = static_cast<double>(map.grid.pixelCount());
    ordered_json maps = ordered_json::array();
    for (const RoleMap& m : map.maps) {
        const MapSummary s = summarize(m);
        ordered_json entry;
        entry["roles"] = m.name;
        entry["steps"] = m.steps;
        entry["planEnd"] = m.planEnd;
        entry["sighted"] = s.sighted;
        entry["never"] = map.grid.pixelCount() - s.sighted;
        entry["coveredFraction"] = static_cast<double>(s.sighted) / pixels;
        entry["coveredByHalfPlanFraction"] = static_cast<double>(s.byHalf) / pixels;
        entry["medianTime"] = optionalNumber(s.median);
        entry["latestTime"] = optionalNumber(s.latest);
        ordered_json worst = ordered_json::array();
        for (const std::int64_t p : s.worst) {
            const std::int64_t k = m.sightingStep[static_cast<std::size_t>(p)];
            worst.push_back({{"pixel", p},
                             {"direction", vectorJson(map.grid.direction(p))},
                             {"step", k > 0 ? ordered_json(k) : ordered_json(nullptr)},
                             {"time", k > 0 ? ordered_json(m.sightingTime[static_cast<std::size_t>(p)]) : ordered_json(nullptr)}});
        }
        entry["worst"] = worst;
        maps.push_back(entry);
    }
    out["maps"] = maps;
    out["timing"] = {{"threads", map.request.threads}, {"wallSeconds", map.seconds}};
    return out;
}

std::string coverageTable(const CoverageMap& map)
{
    const Scenario& s = map.request.scenario;
    std::string out = "sighting-time map of " + algorithmName(s) + ", FOV " +
                      numberText(s.fovDeg) + " deg, tilt " + numberText(s.tiltDeg) + " deg, radius " +
                      numberText(s.craftRadius) + ", distance " + numberText(map.request.distance) + ", nside " +
                      std::to_string(map.grid.nside()) + " (" + std::to_string(map.grid.pixelCount()) +
                      " directions)\n\n";
    out += "| roles | covered | by half plan | median s | latest s | never | plan ends s |\n";
    out += "|---|---|---|---|---|---|---|\n";
    const auto pixels = static_cast<double>(map.grid.pixelCount());
    std::string worstLines;
    for (const RoleMap& m : map.maps) {
        const MapSummary s = summarize(m);
        out += "| " + m.name + " | " + fixed(100.0 * static_cast<double>(s.sighted) / pixels, 1) + " % | " +
               fixed(100.0 * static_cast<double>(s.byHalf) / pixels, 1) + " % | " +
               (s.median ? fixed(*s.median, 2) : "-") + " | " + (s.latest ? stepTimeText(*s.latest) : "-") + " | " +
               std::to_string(map.grid.pixelCount() - s.sighted) + " | " + fixed(m.planEnd, 2) + " |\n";
        worstLines += "worst directions, " + m.name + ":";
        for (const std::int64_t p : s.worst) {
            const Vec3 u = map.grid.direction(p);
            const std::int64_t k = m.sightingStep[static_cast<std::size_t>(p)];
            worstLines += ' ';
            worstLines += std::to_string(p) + " (" + fixed(u.x, 3) + "," + fixed(u.y, 3) + "," + fixed(u.z, 3) +
                          ") " + (k > 0 ? stepTimeText(m.sightingTime[static_cast<std::size_t>(p)]) + " s" : "never") +
                          ";";
        }
        worstLines.back() = '\n';
    }
    out += "\n" + worstLines;
    out += "computed in " + fixed(map.seconds, 2) + " s with " + std::to_string(map.request.threads) +
           (map.request.threads == 1 ? " thread\n" : " threads\n");
    return out;
}

void checkCoverageMapPath(const std::string& path)
{
    const std::string extension = lowerExtension(path);
    if (extension != ".csv" && extension != ".jsonl" && extension != ".fits")
        throw InputError("--map \"" + path + "\": name a .csv, .jsonl or .fits file");
}

namespace {

// One column of seconds per role pair, never as HEALPix's unseen value, and what made the map in the header.
std::string fitsBytes(const CoverageMap& map)
{
    std::vector<std::pair<std::string, std::vector<double>>> columns;
    for (const RoleMap& m : map.maps) {
        std::string name = m.name;
        std::replace(name.begin(), name.end(), '-', '_');
        std::vector<double> time(m.sightingTime.size());
        for (std::size_t p = 0; p < time.size(); ++p)
            time[p] = m.sightingStep[p] > 0 ? m.sightingTime[p] : SkyGrid::unseen;
        columns.emplace_back(name, std::move(time));
    }
    const Scenario& s = map.request.scenario;
    std::vector<std::pair<std::string, std::string>> keys{{"VELMORA", velmoraVersion()},
                                                          {"ALGO", algorithmName(s)},
                                                          {"FOVDEG", numberText(s.fovDeg)},
                                                          {"TILTDEG", numberText(s.tiltDeg)},
                                                          {"RADIUS", numberText(s.craftRadius)},
                                                          {"DISTANCE", numberText(map.request.distance)},
                                                          {"TUNIT", "s"}};
    if (s.plan)
        keys.emplace_back("PLANSHA", planIdentity(s));
    if (map.request.steps)
        keys.emplace_back("STEPS", std::to_string(*map.request.steps));
    return map.grid.fitsFile(columns, keys);
}

}  // namespace

void writeCoverageMap(const CoverageMap& map, const std::string& path, const std::vector<std::string>& command)
{
    checkCoverageMapPath(path);
    const std::string extension = lowerExtension(path);
    if (extension == ".fits") {
        const std::string bytes = fitsBytes(map);
        ReplacingFile file(path);
        file.write(bytes);
        file.commit();
        return;
    }
    ReplacingFile file(path);
    std::string text;
    if (extension == ".jsonl") {
        ordered_json head = provenanceJson(command);
        head["parameters"] = coverageParameters(map);
        file.write(toJsonText(head) + '\n');
    } else {
        // A CSV reader gets what made the map as columns of every row, as trial files do.
        file.write("velmora,algorithm,plan,fovDeg,tiltDeg,craftRadius,distance,nside,roles,pixel,x,y,z,step,time\n");
    }
    const Scenario& s = map.request.scenario;
    const std::string csvParameters = std::string(velmoraVersion()) + "," +
                                      algorithmName(s) + "," + planIdentity(s) + "," +
                                      numberText(s.fovDeg) + "," + numberText(s.tiltDeg) + "," +
                                      numberText(s.craftRadius) + "," + numberText(map.request.distance) + "," +
                                      std::to_string(map.grid.nside()) + ",";
    for (const RoleMap& m : map.maps) {
        for (std::int64_t p = 0; p < map.grid.pixelCount(); ++p) {
            const Vec3 u = map.grid.direction(p);
            const std::int64_t k = m.sightingStep[static_cast<std::size_t>(p)];
            text.clear();
            if (extension == ".jsonl") {
                text += "{\"roles\":\"" + m.name + "\",\"pixel\":" + std::to_string(p) + ",\"direction\":[";
                appendJsonDouble(text, u.x);
                text += ',';
                appendJsonDouble(text, u.y);
                text += ',';
                appendJsonDouble(text, u.z);
                text += "],\"step\":";
                if (k > 0) {
                    text += std::to_string(k) + ",\"time\":";
                    appendJsonDouble(text, m.sightingTime[static_cast<std::size_t>(p)]);
                } else {
                    text += "null,\"time\":null";
                }
                text += "}\n";
            } else {
                text += csvParameters + m.name + "," + std::to_string(p) + ",";
                appendNumberText(text, u.x);
                text += ',';
                appendNumberText(text, u.y);
                text += ',';
                appendNumberText(text, u.z);
                text += ',';
                if (k > 0) {
                    text += std::to_string(k) + ",";
                    appendStepTime(text, m.sightingTime[static_cast<std::size_t>(p)]);
                } else {
                    text += ',';
                }
                text += '\n';
            }
            file.write(text);
        }
    }
    file.commit();
}

}  // namespace velmora
