#include "trials/batch_report.h"

#include "scenario/scenario_run.h"
#include "text/json_writer.h"
#include "text/provenance.h"
#include "trials/paired_comparison.h"
#include "trials/report_text.h"

#include <algorithm>
#include <vector>

namespace velmora {

using namespace report;

namespace {

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
