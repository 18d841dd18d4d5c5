#include "trials/batch_report.h"

#include "scenario/scenario_run.h"
#include "sim/plan_algorithm.h"
#include "text/json_writer.h"
#include "text/provenance.h"
#include "trials/paired_comparison.h"
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

// A p-value to four decimals, or a bound below the smallest of them.
std::string pValue(double p) { return p < 0.0001 ? "< 0.0001" : fixed(p, 4); }

// The sweep axes as parameter columns, and how a table heads each.
struct Axis {
    TrialParameter key;
    const char* heading;
};
constexpr Axis tableAxes[] = {{algorithmKey, "algorithm"}, {fovDegKey, "FOV (°)"},      {tiltDegKey, "tilt (°)"},
                              {countKey, "craft"},         {maxSpeedKey, "max speed"},  {craftRadiusKey, "radius"},
                              {boxHalfSizeKey, "box ±"},   {durationKey, "duration (s)"}};

TrialParameterTexts parameterTexts(const BatchRun& run)
{
    return trialParameterTexts({run.setup, {run.firstTrial, run.trials}});
}

// Whether the cells hold more than one value of a parameter (a plan by its name and identity).
bool varies(std::span<const BatchRun> cells, TrialParameter key)
{
    const TrialParameterTexts first = parameterTexts(cells.front());
    return std::any_of(cells.begin(), cells.end(), [&](const BatchRun& c) {
        const TrialParameterTexts texts = parameterTexts(c);
        return texts[key] != first[key] || (key == algorithmKey && texts[planKey] != first[planKey]);
    });
}

// A parameter's value as a table cell: the plan by its name, a duration not given as "plan".
std::string axisValue(const BatchRun& run, TrialParameter key)
{
    if (key == algorithmKey)
        return algorithmName(run.setup.scenario);
    if (key == durationKey && !run.setup.duration)
        return "plan";
    return parameterTexts(run)[key];
}


std::string sharedParameters(const Scenario& s, std::span<const BatchRun> cells = {})
{
    const auto shared = [&](TrialParameter key) { return cells.empty() || !varies(cells, key); };
    std::vector<std::string> parts;
    if (shared(countKey))
        parts.push_back(std::to_string(s.count) + " craft");
    if (shared(tiltDegKey))
        parts.push_back("tilt " + numberText(s.tiltDeg) + "°");
    if (shared(maxSpeedKey))
        parts.push_back("max speed " + numberText(s.maxSpeed));
    if (shared(craftRadiusKey))
        parts.push_back("craft radius " + numberText(s.craftRadius));
    if (shared(boxHalfSizeKey))
        parts.push_back("box ±" + numberText(s.boxHalfSize));
    std::string out;
    for (const std::string& part : parts)
        out += (out.empty() ? "" : ", ") + part;
    return out;
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

// The parameters every cell of a sweep shares; the ones that vary are named in "varying" and given per cell.
ordered_json sharedParametersJson(std::span<const BatchRun> cells)
{
    const BatchRun& run = cells.front();
    const Scenario& s = run.setup.scenario;
    ordered_json out;
    const auto shared = [&](TrialParameter key, const char* name, const ordered_json& value) {
        if (!varies(cells, key))
            out[name] = value;
    };
    shared(countKey, "count", s.count);
    shared(tiltDegKey, "tiltDeg", s.tiltDeg);
    shared(maxSpeedKey, "maxSpeed", s.maxSpeed);
    shared(craftRadiusKey, "craftRadius", s.craftRadius);
    shared(boxHalfSizeKey, "boxHalfSize", s.boxHalfSize);
    out["seed"] = run.setup.seed;
    out["firstTrial"] = run.firstTrial;
    out["trials"] = run.trials;
    out["sighting"] = sightingName(run.setup.sighting);
    ordered_json varying = ordered_json::array();
    for (const Axis& axis : tableAxes)
        if (varies(cells, axis.key))
            varying.push_back(trialParameterKeys[axis.key]);
    out["varying"] = varying;
    return out;
}

ordered_json optionalTime(const std::optional<double>& t) { return t ? ordered_json(*t) : ordered_json(nullptr); }

// Times over every trial, the never-initialized ones counted as not initialized by the run's end.
ordered_json allTrialsJson(const AllTrialTimes& a)
{
    ordered_json out;
    out["runEnd"] = a.runEnd;
    ordered_json by = ordered_json::array();
    for (const auto& [time, fraction] : a.initializedBy)
        by.push_back({{"time", time}, {"fraction", fraction}});
    out["initializedBy"] = by;
    out["median"] = optionalTime(a.median);
    // null ends lie beyond the run; no interval at all for five trials or fewer.
    out["medianInterval95"] = a.medianIntervalExists
                                  ? ordered_json::array({optionalTime(a.medianLow), optionalTime(a.medianHigh)})
                                  : ordered_json(nullptr);
    out["restrictedMean"] = a.restrictedMean;
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
    out["allTrials"] = allTrialsJson(s.allTrials);
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

// The median over every trial with its interval, or why there is none.
std::string allTrialsMedian(const AllTrialTimes& a)
{
    if (!a.median)
        return "not reached (fewer than half initialized)";
    std::string out = fixed(*a.median, 2) + " s";
    if (a.medianIntervalExists)
        out += " (95 % interval " + fixed(*a.medianLow, 2) + " to " +
               (a.medianHigh ? fixed(*a.medianHigh, 2) + " s)" : "beyond the run)");
    return out;
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
    const AllTrialTimes& a = s.allTrials;
    std::string by;
    for (const auto& [time, fraction] : a.initializedBy)
        by += (by.empty() ? "" : ", ") + fixed(time, 2) + " s " + percent(fraction);
    rows.emplace_back("initialized by", by);
    rows.emplace_back("median, all trials", allTrialsMedian(a));
    rows.emplace_back("restricted mean time", fixed(a.restrictedMean, 2) + " s (a trial that never initialized counts " +
                                                  fixed(a.runEnd, 2) + " s)");
    if (s.timeToInitialize) {
        const TimeSpread& t = *s.timeToInitialize;
        rows.emplace_back("initialized only (s)", "min " + fixed(t.min, 2) + "  median " + fixed(t.median, 2) +
                                                      "  90th percentile " + fixed(t.p90, 2) + "  max " +
                                                      fixed(t.max, 2) + "  mean " + fixed(t.mean, 2));
    } else {
        rows.emplace_back("initialized only (s)", "none initialized");
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
    out.update(sharedParametersJson(cells));
    ordered_json list = ordered_json::array();
    double wallSeconds = 0.0;
    for (const BatchRun& run : cells) {
        // Every cell names all of its parameters, so one cell read alone says what made it.
        ordered_json cell = trialParameterJson({run.setup, {run.firstTrial, run.trials}});
        cell.update(resultJson(run));
        if (timed)
            cell["timing"] = timingJson(run);
        list.push_back(cell);
        wallSeconds += run.wallSeconds;
    }
    out["cells"] = list;
    if (cells.front().outcomes.empty()) {
        out["comparisons"] = nullptr;
    } else {
        ordered_json comparisons = ordered_json::array();
        for (const PairedComparison& c : pairedComparisons(cells))
            comparisons.push_back({{"a", c.a},
                                   {"b", c.b},
                                   {"algorithmA", algorithmName(cells[c.a].setup.scenario)},
                                   {"algorithmB", algorithmName(cells[c.b].setup.scenario)},
                                   {"bothInitialized", c.bothInitialized},
                                   {"onlyA", c.onlyA},
                                   {"onlyB", c.onlyB},
                                   {"neither", c.neither},
                                   {"mcnemarP", c.mcnemarP},
                                   {"aFaster", c.aFaster},
                                   {"bFaster", c.bFaster},
                                   {"ties", c.ties},
                                   {"signP", c.signP}});
        out["comparisons"] = comparisons;
    }
    if (timed)
        out["timing"] = {{"threads", cells.front().threads}, {"wallSeconds", wallSeconds}};
    return out;
}

namespace {

// A Markdown table, readable on a terminal and ready to paste into a document.
std::string markdownTable(const std::vector<std::string>& header, const std::vector<bool>& right,
                          const std::vector<std::vector<std::string>>& rows)
{
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
    std::string out = line(header);
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

// The parameters a table gives a column: the algorithm and FOV always, every other one that varies.
std::vector<Axis> columnAxes(std::span<const BatchRun> cells)
{
    std::vector<Axis> axes;
    for (const Axis& axis : tableAxes)
        if (axis.key == algorithmKey || axis.key == fovDegKey || varies(cells, axis.key))
            axes.push_back(axis);
    return axes;
}

std::string comparisonTable(std::span<const BatchRun> cells)
{
    const std::vector<PairedComparison> comparisons = pairedComparisons(cells);
    if (comparisons.empty())
        return {};
    std::vector<std::string> header;
    std::vector<bool> right;
    std::vector<Axis> axes;
    for (const Axis& axis : columnAxes(cells))
        if (axis.key != algorithmKey) {
            axes.push_back(axis);
            header.push_back(axis.heading);
            right.push_back(true);
        }
    for (const char* h : {"A", "B"}) {
        header.push_back(h);
        right.push_back(false);
    }
    for (const char* h : {"only A initialized", "only B initialized", "McNemar p", "A faster", "B faster", "tied",
                          "sign p"}) {
        header.push_back(h);
        right.push_back(true);
    }
    std::vector<std::vector<std::string>> rows;
    for (const PairedComparison& c : comparisons) {
        const BatchRun& a = cells[c.a];
        std::vector<std::string> row;
        for (const Axis& axis : axes)
            row.push_back(axisValue(a, axis.key));
        row.push_back(algorithmName(a.setup.scenario));
        row.push_back(algorithmName(cells[c.b].setup.scenario));
        for (const std::uint64_t n : {c.onlyA, c.onlyB})
            row.push_back(std::to_string(n));
        row.push_back(pValue(c.mcnemarP));
        for (const std::uint64_t n : {c.aFaster, c.bFaster, c.ties})
            row.push_back(std::to_string(n));
        row.push_back(pValue(c.signP));
        rows.push_back(std::move(row));
    }
    return "\nPaired on the same formations: McNemar's exact test on whether each initialized, the sign test on "
           "which was\nfaster where both did (p two-sided)\n\n" +
           markdownTable(header, right, rows);
}

}  // namespace

std::string sweepHeading(std::span<const BatchRun> cells)
{
    const BatchRun& first = cells.front();
    const std::string shared = sharedParameters(first.setup.scenario, cells);
    return shared + (shared.empty() ? "" : "; ") + trialRange(first) + " in every cell" + sightingNote(first);
}

std::string sweepTable(std::span<const BatchRun> cells)
{
    const std::vector<Axis> axes = columnAxes(cells);
    std::vector<std::string> header;
    std::vector<bool> right;
    for (const Axis& axis : axes) {
        header.push_back(axis.heading);
        right.push_back(axis.key != algorithmKey);
    }
    for (const char* h : {"initialized", "95 % interval", "median, all trials (s)", "restricted mean (s)",
                          "median if initialized (s)"}) {
        header.push_back(h);
        right.push_back(std::string_view(h) != "95 % interval");
    }
    std::vector<std::vector<std::string>> rows;
    for (const BatchRun& run : cells) {
        const BatchSummary& s = run.summary;
        std::vector<std::string> row;
        for (const Axis& axis : axes)
            row.push_back(axisValue(run, axis.key));
        const AllTrialTimes& a = s.allTrials;
        row.push_back(percent(s.initializedFraction));
        row.push_back(percent(s.initializedInterval.low) + " to " + percent(s.initializedInterval.high));
        row.push_back(a.median ? fixed(*a.median, 2) : "not reached");
        row.push_back(fixed(a.restrictedMean, 2));
        row.push_back(s.timeToInitialize ? fixed(s.timeToInitialize->median, 2) : "–");
        rows.push_back(std::move(row));
    }
    const BatchRun& first = cells.front();
    std::string out = sweepHeading(cells) + "\n\n";
    out += markdownTable(header, right, rows);
    out += comparisonTable(cells);
    if (first.outcomes.empty() && varies(cells, algorithmKey))
        out += "\nNo paired comparisons: more than " + std::to_string(TrialOutcomes::maxKept) +
               " trials over all cells.\n";
    return out;
}

std::string sweepCsv(std::span<const BatchRun> cells)
{
    std::string out;
    for (const std::string_view key : trialParameterKeys)
        out.append(key).append(",");
    out += "initialized,initializedFraction,initializedLow95,initializedHigh95,medianAllTrials,"
           "medianAllTrialsLow95,medianAllTrialsHigh95,restrictedMean,runEnd,medianIfInitialized,meanLinks,"
           "meanGroups,gridDelayMedian,gridDelayMax,trialsWithMissedSightings,velmora\n";
    // Missing values are empty, as pandas reads them: NaN.
    const auto optional = [](const std::optional<double>& v) { return v ? numberText(*v) : std::string(); };
    for (const BatchRun& run : cells) {
        for (const std::string& text : parameterTexts(run))
            out += text + ",";  // no parameter text holds a comma or a quote
        const BatchSummary& s = run.summary;
        const AllTrialTimes& a = s.allTrials;
        const std::string fields[] = {
            std::to_string(s.initialized),
            numberText(s.initializedFraction),
            numberText(s.initializedInterval.low),
            numberText(s.initializedInterval.high),
            optional(a.median),
            a.medianIntervalExists ? optional(a.medianLow) : std::string(),
            a.medianIntervalExists ? optional(a.medianHigh) : std::string(),
            numberText(a.restrictedMean),
            numberText(a.runEnd),
            s.timeToInitialize ? numberText(s.timeToInitialize->median) : std::string(),
            numberText(s.meanLinks),
            numberText(s.meanGroups),
            s.gridDelay ? numberText(s.gridDelay->median) : std::string(),
            s.gridDelay ? numberText(s.gridDelay->max) : std::string(),
            s.trialsWithMissedSightings ? std::to_string(*s.trialsWithMissedSightings) : std::string(),
            velmoraVersion()};
        for (std::size_t k = 0; k < std::size(fields); ++k)
            out += fields[k] + (k + 1 < std::size(fields) ? "," : "\n");
    }
    return out;
}

}  // namespace velmora
