#pragma once

#include "trials/role_pair_sighting.h"
#include "trials/sky_grid.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// What a sighting-time map asks for: the plan and cone (a scenario's algorithm or plan file, FOV, tilt and
// craft radius), how far apart the pair is, the grid of directions, the role pairs (empty: every one the plan
// has), how long to look (by default until the plans end) and the threads.
struct CoverageRequest {
    Scenario scenario;
    double distance = 500.0;
    int nside = 32;
    std::vector<RolePair> roles;
    std::optional<std::int64_t> steps;
    int threads = 1;
};

// One role pair's map: for every pixel of the grid, the step after which craft a at the origin and craft b at
// distance along the pixel's direction, both at rest, have first seen each other (0: never), and its time.
struct RoleMap {
    RolePair roles;
    std::string name;
    std::int64_t steps = 0;
    double planEnd = 0.0;
    std::vector<std::int64_t> sightingStep;
    std::vector<double> sightingTime;
    // Where each craft's sensor points, at the start and every tenth of a second after it: craft a's, then
    // craft b's.
    std::vector<Vec3> axisTrack[2];

    // Pixels sighted within the steps.
    std::int64_t sightedCount() const;
    // Pixels sighted by half the plan's duration.
    std::int64_t sightedByHalfPlan() const;
};

// The maps of every role pair asked for, over one grid.
struct CoverageMap {
    CoverageRequest request;
    SkyGrid grid;
    std::vector<RoleMap> maps;
    double seconds = 0.0;

    // Where craft b sits for a pixel: distance times the direction, as the maps and their scenarios place it.
    Vec3 placement(std::int64_t pixel) const;
};

// Called on the caller's thread about ten times a second with the pixels done over all role pairs; a throw stops
// the work (every thread joined) and goes on.
using CoverageProgress = std::function<void(std::int64_t done, std::int64_t total)>;

// The role pairs names give (as rolePairName writes them, in either order); throws ArgumentError under
// optionName for a name the scenario's plan has no pair of.
std::vector<RolePair> rolePairsNamed(const Scenario& s, const std::vector<std::string>& names, std::string_view optionName);

// Throws InputError for a request no map can be made for (a bad nside or distance, a plan too long).
CoverageMap computeCoverage(const CoverageRequest& request, const CoverageProgress& progress = {});

// The summary: what made it, each role pair's covered fractions, median and worst times, and its worst pixels
// (never-sighted ones first, in pixel order, then the latest sighted), at most worstListed of them.
inline constexpr int worstListed = 10;
nlohmann::ordered_json coverageJson(const CoverageMap& map, const std::vector<std::string>& command);
std::string coverageTable(const CoverageMap& map);

// Throws InputError when path's extension names no map format (.csv, .jsonl or .fits).
void checkCoverageMapPath(const std::string& path);

// Writes every pixel of every map as CSV or JSON Lines (by path's extension, .csv or .jsonl), or as a HEALPix
// FITS map (.fits: one column of seconds per role pair, never as HEALPix's unseen value, which healpy masks);
// the file appears only when complete. Throws InputError for another extension, FileError when writing fails.
void writeCoverageMap(const CoverageMap& map, const std::string& path, const std::vector<std::string>& command);

}  // namespace velmora
