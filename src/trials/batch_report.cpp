#include "trials/batch_report.h"

#include "scenario/scenario_run.h"
#include "sim/plan_algorithm.h"
#include "text/json_writer.h"
#include "text/provenance.h"
#include "trials/trial_parameters.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <vector>

namespace velmora {
namespace {

using nlohmann::ordered_json;

std::string fixed(double v, int decimals)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
    return buffer;
}

std::string percent(double fraction) { return fixed(100.0 * fraction, 1) + " %"; }


std::string sharedParameters(const Scenario& s)
{
    return std::to_string(s.count) + " craft, tilt " + numberText(s.tiltDeg) + "°, max speed " +
           numberText(s.maxSpeed) + ", craft radius " + numberText(s.craftRadius) + ", box ±" +
           numberText(s.boxHalfSize);
}

// Said only of the rule that is not the default.
std::string sightingNote(const BatchRun& run)
{
    return run.setup.sighting == Sighting::Continuous ? ", continuous sighting" : "";
}

std::string trialRange(const BatchRun& run)
{
    return "trials " + std::to_string(run.firstTrial) + " to " + std::to_string(run.firstTrial + run.trials - 1) +
           " of seed " + std::to_string(run.setup.seed);
}

// The parameters every cell of a sweep shares.
ordered_json sharedParametersJson(const BatchRun& run)
{
    const Scenario& s = run.setup.scenario;
    ordered_json out;
    out["count"] = s.count;
    out["tiltDeg"] = s.tiltDeg;
    out["maxSpeed"] = s.maxSpeed;
    out["craftRadius"] = s.craftRadius;
    out["boxHalfSize"] = s.boxHalfSize;
    out["seed"] = run.setup.seed;
    out["firstTrial"] = run.firstTrial;
    out["trials"] = run.trials;
    out["sighting"] = sightingName(run.setup.sighting);
    return out;
}

ordered_json spreadJson(const std::optional<TimeSpread>& spread)
{
    if (!spread)
        return nullptr;
    const TimeSpread& t = *spread;
    return {{"min", t.min}, {"p25", t.p25}, {"median", t.median}, {"p75", t.p75},
            {"p90", t.p90}, {"max", t.max}, {"mean", t.mean}};
}

ordered_json resultJson(const BatchRun& run)
{
    const BatchSummary& s = run.summary;
    ordered_json out;
    out["initialized"] = s.initialized;
    out["initializedFraction"] = s.initializedFraction;
    out["initializedInterval95"] = {s.initializedInterval.low, s.initializedInterval.high};
    out["timeToInitialize"] = spreadJson(s.timeToInitialize);
    out["gridDelay"] = spreadJson(s.gridDelay);
    out["meanLinks"] = s.meanLinks;
    out["meanGroups"] = s.meanGroups;
    out["trialsWithMissedSightings"] =
        s.trialsWithMissedSightings ? ordered_json(*s.trialsWithMissedSightings) : ordered_json(nullptr);
    return out;
}

// How the grid changed a batch's trials, for people: the delay in milliseconds, and the sightings it missed.
void addSightingRows(std::vector<std::pair<std::string, std::string>>& rows, const BatchRun& run)
{
    const BatchSummary& s = run.summary;
    if (s.gridDelay) {
        const TimeSpread& d = *s.gridDelay;
        rows.emplace_back("grid delay (ms)", "min " + fixed(1e3 * d.min, 3) + "  median " + fixed(1e3 * d.median, 3) +
                                                 "  90th percentile " + fixed(1e3 * d.p90, 3) + "  max " +
                                                 fixed(1e3 * d.max, 3) + "  mean " + fixed(1e3 * d.mean, 3));
    }
    if (run.setup.sighting == Sighting::Continuous)
        rows.emplace_back("missed sightings", "none: continuous sighting links every pair at its first sighting");
    else if (s.trialsWithMissedSightings)
        rows.emplace_back("missed sightings", "in " + std::to_string(*s.trialsWithMissedSightings) + " trials (" +
                                                  percent(static_cast<double>(*s.trialsWithMissedSightings) /
                                                          static_cast<double>(s.trials)) +
                                                  ")");
    else
        rows.emplace_back("missed sightings", "not recorded (trial files of an older Velmora)");
}

ordered_json timingJson(const BatchRun& run)
{
    return {{"threads", run.threads}, {"wallSeconds", run.wallSeconds}, {"trialsPerSecond", run.trialsPerSecond()}};
}

// Column widths count characters, not bytes: "°" and "±" take two bytes each.
std::size_t charCount(const std::string& text)
{
    const auto startsCharacter = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; };
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), startsCharacter));
}

std::string padded(const std::string& text, std::size_t width, bool right)
{
    const std::size_t length = charCount(text);
    const std::string fill(width > length ? width - length : 0, ' ');
    return right ? fill + text : text + fill;
}

}  // namespace

ordered_json batchRunJson(const BatchRun& run, const std::vector<std::string>& command, bool timed)
{
    // The summary keeps the order its readers know, the trial file's plan and duration where they read best.
    static constexpr std::array<const char*, trialParameterCount> summaryOrder = {
        "algorithm", "plan", "fovDeg", "count", "tiltDeg", "maxSpeed", "craftRadius",
        "boxHalfSize", "seed", "firstTrial", "trials", "duration", "steps", "sighting"};
    ordered_json out = provenanceJson(command);
    const ordered_json parameters = trialParameterJson({run.setup, {run.firstTrial, run.trials}});
    for (const char* key : summaryOrder)
        out[key] = parameters.at(key);
    out.update(resultJson(run));
    if (timed)
        out["timing"] = timingJson(run);
    return out;
}

std::string batchRunTable(const BatchRun& run, bool timed)
{
    const Scenario& sc = run.setup.scenario;
    const BatchSummary& s = run.summary;
    std::vector<std::pair<std::string, std::string>> rows;
    rows.emplace_back("trials", std::to_string(s.trials));
    rows.emplace_back("initialized", std::to_string(s.initialized) + " (" + percent(s.initializedFraction) +
                                         "; 95 % interval " + percent(s.initializedInterval.low) + " to " +
                                         percent(s.initializedInterval.high) + ")");
    if (s.timeToInitialize) {
        const TimeSpread& t = *s.timeToInitialize;
        rows.emplace_back("time to initialize (s)", "min " + fixed(t.min, 2) + "  median " + fixed(t.median, 2) +
                                                        "  90th percentile " + fixed(t.p90, 2) + "  max " +
                                                        fixed(t.max, 2) + "  mean " + fixed(t.mean, 2));
    } else {
        rows.emplace_back("time to initialize (s)", "none initialized");
    }
    rows.emplace_back("mean links", fixed(s.meanLinks, 2));
    rows.emplace_back("mean groups at the end", fixed(s.meanGroups, 2));
    addSightingRows(rows, run);
    if (timed)
        rows.emplace_back("wall time", fixed(run.wallSeconds, 2) + " s with " + std::to_string(run.threads) +
                                       (run.threads == 1 ? " thread" : " threads") + " (" +
                                       fixed(run.trialsPerSecond(), 0) + " trials/s)");

    std::string out = algorithmName(sc) + ", FOV " + numberText(sc.fovDeg) + "°, " +
                      sharedParameters(sc) + "\n" + trialRange(run) + ", at most " +
                      std::to_string(run.setup.steps) + " steps of " + numberText(stepSeconds) + " s each" +
                      sightingNote(run) + "\n\n";
    for (const auto& [label, value] : rows)
        out += padded(label, 24, false) + value + "\n";
    return out;
}

ordered_json sweepJson(std::span<const BatchRun> cells, const std::vector<std::string>& command, bool timed)
{
    ordered_json out = provenanceJson(command);
    out.update(sharedParametersJson(cells.front()));
    ordered_json list = ordered_json::array();
    double wallSeconds = 0.0;
    for (const BatchRun& run : cells) {
        ordered_json cell;
        cell["algorithm"] = algorithmName(run.setup.scenario);
        cell["fovDeg"] = run.setup.scenario.fovDeg;
        cell["steps"] = run.setup.steps;
        cell.update(resultJson(run));
        if (timed)
            cell["timing"] = timingJson(run);
        list.push_back(cell);
        wallSeconds += run.wallSeconds;
    }
    out["cells"] = list;
    if (timed)
        out["timing"] = {{"threads", cells.front().threads}, {"wallSeconds", wallSeconds}};
    return out;
}

std::string sweepTable(std::span<const BatchRun> cells)
{
    const std::vector<std::string> header{"algorithm", "FOV (°)", "initialized", "95 % interval",
                                          "median time to initialize (s)"};
    const std::vector<bool> right{false, true, true, false, true};
    std::vector<std::vector<std::string>> rows;
    for (const BatchRun& run : cells) {
        const BatchSummary& s = run.summary;
        rows.push_back({algorithmName(run.setup.scenario), numberText(run.setup.scenario.fovDeg),
                        percent(s.initializedFraction),
                        percent(s.initializedInterval.low) + " to " + percent(s.initializedInterval.high),
                        s.timeToInitialize ? fixed(s.timeToInitialize->median, 2) : "–"});
    }
    std::vector<std::size_t> widths(header.size(), 0);
    for (std::size_t c = 0; c < header.size(); ++c) {
        widths[c] = std::max<std::size_t>(charCount(header[c]), 3);
        for (const auto& row : rows)
            widths[c] = std::max(widths[c], charCount(row[c]));
    }
    const auto line = [&](const std::vector<std::string>& row) {
        std::string text = "|";
        for (std::size_t c = 0; c < row.size(); ++c) {
            text += ' ';
            text += padded(row[c], widths[c], right[c]);
            text += " |";
        }
        text += '\n';
        return text;
    };
    const BatchRun& first = cells.front();
    std::string out =
        sharedParameters(first.setup.scenario) + "; " + trialRange(first) + " in every cell" + sightingNote(first) + "\n\n";
    out += line(header);
    std::string rule = "|";
    for (std::size_t c = 0; c < header.size(); ++c) {
        // A colon on the right of the rule right-aligns the column in Markdown.
        rule += ' ';
        rule.append(right[c] ? widths[c] - 1 : widths[c], '-');
        rule += right[c] ? ": |" : " |";
    }
    out += rule;
    out += '\n';
    for (const auto& row : rows)
        out += line(row);
    return out;
}

}  // namespace velmora
