#include "trials/batch_report.h"

#include "scenario/scenario_run.h"
#include "text/json_writer.h"
#include "text/provenance.h"
#include "trials/report_text.h"

#include <array>
#include <vector>

namespace velmora {

using namespace report;

namespace {

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
    // The fixed times are round; the run's end, the last, is the sum of its steps.
    for (std::size_t k = 0; k < a.initializedBy.size(); ++k) {
        const auto& [time, fraction] = a.initializedBy[k];
        const bool end = k + 1 == a.initializedBy.size();
        by += (by.empty() ? "" : ", ") + (end ? "the end, " + fixed(time, 2) : numberText(time)) + " s " +
              percent(fraction);
    }
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

}  // namespace velmora
