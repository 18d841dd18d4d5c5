#include "scenario/scenario_run.h"

#include "scenario/history_writer.h"
#include "sim/sighting_scan.h"
#include "text/json_writer.h"
#include "text/provenance.h"

#include <cmath>
#include <span>
#include <string>
#include <vector>

namespace velmora {
namespace {

using nlohmann::ordered_json;

// In words, not digits: a step count from a huge duration or plan has hundreds of them.
void checkStepCount(double steps, const std::string& what)
{
    if (std::isnan(steps))
        throw InputError(what + " gives no number of steps (the plan or duration is not a finite number)");
    if (steps < 0.0)
        throw InputError(what + " gives a negative number of steps");
    if (steps > static_cast<double>(maxRunSteps))
        throw InputError(what + " is too long: more than ten days of simulated time (" +
                            std::to_string(maxRunSteps) + " steps) is not run");
}

}  // namespace

std::int64_t stepsToPlanEnd(const Formation& f)
{
    double end = 0.0;
    for (int i = 0; i < f.craftCount(); ++i) {
        const double planEnd = f.plan(i).totalDuration();
        if (std::isnan(planEnd) || planEnd > end)
            end = planEnd;
    }
    const double steps = std::ceil(end / stepSeconds) + 1.0;
    checkStepCount(steps, "running until the longest plan ends");
    return steps < 1.0 ? 1 : static_cast<std::int64_t>(steps);
}

std::int64_t stepsForDuration(double seconds, std::string_view name)
{
    const double steps = std::round(seconds / stepSeconds);
    checkStepCount(steps, std::string(name));
    return static_cast<std::int64_t>(steps);
}

ScenarioResult runScenario(const Scenario& s, std::optional<std::int64_t> steps, HistoryWriter* history,
                           const RunCheck& check, Sighting sighting)
{
    ScenarioResult result;
    result.sighting = sighting;
    Formation& f = result.formation;
    Rand15 rng(s.seed);
    setUpFormation(s, f, rng);
    requireFiniteState(f, "after set-up");
    const std::int64_t n = steps ? *steps : stepsToPlanEnd(f);
    if (n < 0 || n > maxRunSteps)
        throw InputError("--steps must be from 0 to " + std::to_string(maxRunSteps));

    result.steps = n;
    if (f.craftCount() > 0 && f.groupCount() == 1)
        result.initializedAt = f.time();
    if (history)
        history->start(f);
    if (check)
        check(0, n);
    SightingScan scan;
    scan.start(f, sighting);
    for (std::int64_t k = 1; k <= n; ++k) {
        if (check && k % stepsPerCheck == 0)
            check(k, n);
        const std::size_t linksBefore = result.links.size();
        if (scan.step(f, stepSeconds))
            result.segmentChangeSteps.push_back(k);
        for (const MissedSighting& m : scan.missed())
            result.missedSightings.push_back({m.i, m.j, k, m.start, m.end});
        if (scan.linked())
            for (const ExactLink& link : scan.links(f))
                result.links.push_back({link.i, link.j, k, f.time(), link.time});
        // Groups only ever join when a pair links.
        if (!result.initializedAt && result.links.size() > linksBefore && f.groupCount() == 1)
            result.initializedAt = f.time();
        if (history)
            history->stepped(f, k, n, std::span(result.links).subspan(linksBefore));
    }
    // JSON has no infinities: an overflow is said rather than printed as null.
    requireFiniteState(f, ("after step " + std::to_string(n)).c_str());
    return result;
}

ordered_json ScenarioResult::toJson() const
{
    const Formation& f = formation;
    ordered_json out;
    out["steps"] = steps;
    out["time"] = f.time();
    ordered_json craft = ordered_json::array();
    ordered_json parent = ordered_json::array();
    ordered_json groups = ordered_json::array();
    ordered_json seen = ordered_json::array();
    for (int i = 0; i < f.craftCount(); ++i) {
        const Spacecraft& c = f.spacecraft(i);
        ordered_json entry;
        entry["position"] = vectorJson(c.position);
        entry["velocity"] = vectorJson(c.velocity);
        entry["attitude"] = c.attitude.m;
        craft.push_back(entry);
        parent.push_back(f.parent(i));
        groups.push_back(f.findGroup(i));
        seen.push_back(f.seen(i));
    }
    out["craft"] = craft;
    out["parent"] = parent;
    out["groups"] = groups;
    out["seen"] = seen;
    ordered_json linkList = ordered_json::array();
    for (const ScenarioLink& link : links)
        linkList.push_back(
            {{"i", link.i}, {"j", link.j}, {"step", link.step}, {"time", link.time}, {"exactTime", link.exactTime}});
    out["links"] = linkList;
    ordered_json missedList = ordered_json::array();
    for (const ScenarioMissedSighting& m : missedSightings)
        missedList.push_back({{"i", m.i}, {"j", m.j}, {"step", m.step}, {"start", m.start}, {"end", m.end}});
    out["missedSightings"] = missedList;
    out["segmentChangeSteps"] = segmentChangeSteps;
    out["initialized"] = f.allInOneGroup();
    return out;
}

nlohmann::ordered_json runResultJson(const Scenario& scenario, const ScenarioResult& result,
                                     const std::vector<std::string>& command)
{
    nlohmann::ordered_json out = provenanceJson(command);
    out["parameters"] = scenarioToJson(scenario, true);
    out["sighting"] = sightingName(result.sighting);
    out.update(result.toJson());
    return out;
}

}  // namespace velmora
