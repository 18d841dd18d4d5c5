#include "trials/report_text.h"

#include "scenario/scenario_run.h"
#include "text/json_writer.h"

#include <algorithm>
#include <cstdio>

namespace velmora::report {

std::string fixed(double v, int decimals)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
    return buffer;
}

std::string percent(double fraction) { return fixed(100.0 * fraction, 1) + " %"; }

// A p-value to four decimals, or a bound below the smallest of them.
std::string pValue(double p) { return p < 0.0001 ? "< 0.0001" : fixed(p, 4); }

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

std::string sharedParameters(const Scenario& s, std::span<const BatchRun> cells)
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

}  // namespace velmora::report
