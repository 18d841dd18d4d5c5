#include "trials/trial_merge.h"

#include "text/message_text.h"
#include "trials/batch_statistics.h"
#include "trials/step_clock.h"
#include "trials/trial_file_reader.h"

#include <algorithm>
#include <map>

namespace velmora {
namespace {

constexpr std::size_t maxCells = 10000;

std::string quoted(const std::string& path)
{
    std::string out(1, '"');
    out += excerpt(path, 200);
    out += '"';
    return out;
}

std::string range(std::uint64_t first, std::uint64_t last)
{
    return first == last ? "trial " + std::to_string(first)
                         : "trials " + std::to_string(first) + " to " + std::to_string(last);
}

// A parameter's text in a message; an empty one (no plan file, no duration) says so.
std::string shown(const std::string& text) { return text.empty() ? "none" : text; }

// The texts that tell cells apart: every parameter but the trial range, which shards of one run may state
// differently.
TrialParameterTexts cellKey(const TrialOrigin& origin)
{
    TrialParameterTexts texts = trialParameterTexts(origin);
    texts[firstTrialKey].clear();
    texts[trialsKey].clear();
    return texts;
}

struct CellMerge {
    TrialParameterTexts key;
    TrialOrigin origin;
    BatchStatistics statistics;
    // The trials read so far, as runs of consecutive numbers (first -> last): one entry per gap, not per row.
    std::map<std::uint64_t, std::uint64_t> read;
    // The ranges the rows state, joined the same way.
    std::uint64_t declaredFirst = 0;
    std::uint64_t declaredEnd = 0;
    std::string firstSeenIn;
    // Each row's outcome, for the paired comparisons a sweep prints, while the rows of all cells fit.
    std::vector<std::pair<std::uint64_t, std::int64_t>> outcomes;
};

// A cell named by the parameters in which the cells differ, for a message about it: "HalfTwist at FOV 25°: ".
std::string cellName(const CellMerge& c, const std::vector<CellMerge>& cells)
{
    std::string name;
    // The step limit follows from the plan and the duration, and a plan file's identity from its name.
    for (std::size_t k = 0; k < trialParameterCount; ++k) {
        if (k == stepsKey || k == planKey || k == durationKey)
            continue;
        const bool varies =
            std::any_of(cells.begin(), cells.end(), [&](const CellMerge& other) { return other.key[k] != c.key[k]; });
        if (!varies)
            continue;
        if (k == algorithmKey)
            name += c.key[k];
        else if (k == fovDegKey)
            name += (name.empty() ? "FOV " : " at FOV ") + c.key[k] + "°";
        else
            name += (name.empty() ? "" : ", ") + std::string(trialParameterKeys[k]) + " " + c.key[k];
    }
    return name.empty() ? name : name + ": ";
}

// Adds trial t to the runs of trials read; false when it was read before.
bool addTrial(std::map<std::uint64_t, std::uint64_t>& runs, std::uint64_t t)
{
    auto next = runs.upper_bound(t);
    if (next != runs.begin()) {
        auto before = std::prev(next);
        if (t <= before->second)
            return false;
        if (before->second + 1 == t) {
            before->second = t;
            if (next != runs.end() && next->first == t + 1) {
                before->second = next->second;
                runs.erase(next);
            }
            return true;
        }
    }
    if (next != runs.end() && next->first == t + 1) {
        const std::uint64_t last = next->second;
        runs.erase(next);
        runs.emplace(t, last);
        return true;
    }
    runs.emplace(t, t);
    return true;
}

// The file and line where a cell's trial t was read first: looked up only to name a doubled trial.
std::string firstReading(const std::vector<std::string>& paths, std::size_t upTo, std::uint64_t uptoLine,
                         const TrialParameterTexts& key, std::uint64_t t, const MergeRequest& request)
{
    for (std::size_t p = 0; p <= upTo; ++p) {
        TrialFileReader reader(paths[p]);
        while (const auto row = reader.next()) {
            if (p == upTo && reader.lineNumber() >= uptoLine)
                break;
            TrialOrigin origin = row->origin ? *row->origin : request.options;
            if (!row->origin && row->cell) {
                origin.setup.scenario.algorithm = row->cell->algorithm;
                origin.setup.scenario.fovDeg = row->cell->fovDeg;
            }
            if (row->result.trial == t && (row->origin ? cellKey(origin) : key) == key)
                return quoted(paths[p]) + ", line " + std::to_string(reader.lineNumber());
        }
    }
    return "an earlier row";
}

std::string missingText(const std::vector<std::pair<std::uint64_t, std::uint64_t>>& gaps)
{
    std::string list;
    for (std::size_t i = 0; i < gaps.size() && i < 5; ++i)
        list += (i == 0 ? "" : i + 1 == gaps.size() ? " and " : ", ") + range(gaps[i].first, gaps[i].second);
    if (gaps.size() > 5)
        list += " and " + std::to_string(gaps.size() - 5) + " more ranges";
    const bool one = gaps.size() == 1 && gaps.front().first == gaps.front().second;
    return list + (one ? " is" : " are") + " missing: no file holds them (a shard that did not finish?)";
}

}  // namespace

MergedTrials mergeTrialFiles(const MergeRequest& request)
{
    const std::vector<std::string>& paths = request.paths;
    if (paths.empty())
        throw TrialFileError("merge needs at least one trial file");
    const bool rangeGiven = request.given[trialsKey];
    const TrialSpan givenRange = request.options.range;
    std::vector<CellMerge> cells;
    std::vector<std::vector<std::size_t>> cellsOfFile(paths.size());
    bool olderSweep = false;
    StepClock clock;
    std::uint64_t keptOutcomes = 0;
    for (std::size_t p = 0; p < paths.size(); ++p) {
        TrialFileReader reader(paths[p]);
        while (const auto row = reader.next()) {
            TrialOrigin origin;
            std::string hint;
            if (row->origin) {
                origin = *row->origin;
                const TrialParameterTexts texts = trialParameterTexts(origin);
                const TrialParameterTexts asked = trialParameterTexts(request.options);
                for (std::size_t k = 0; k < trialParameterCount; ++k)
                    if (request.given[k] && k != firstTrialKey && k != trialsKey && texts[k] != asked[k])
                        reader.fail(request.optionNames[k] + " gives " + std::string(trialParameterKeys[k]) + " " +
                                    shown(asked[k]) + ", but the row was made with " + shown(excerpt(texts[k])));
            } else {
                if (!rangeGiven)
                    reader.fail("the file does not state the parameters that made its rows (it was written by an "
                                "older Velmora): give merge the run's parameter options and its --trials");
                origin = request.options;
                if (row->cell) {
                    olderSweep = true;
                    origin.setup.scenario.algorithm = row->cell->algorithm;
                    origin.setup.scenario.fovDeg = row->cell->fovDeg;
                }
                if (!request.given[durationKey])
                    origin.setup.steps = trialSteps(origin.setup.scenario, std::nullopt);
                hint = " (the file does not state its parameters: are merge's options the run's?)";
            }
            if (rangeGiven)
                origin.range = {givenRange.first, givenRange.count};
            const TrialParameterTexts key = cellKey(origin);
            auto it = std::find_if(cells.begin(), cells.end(), [&](const CellMerge& c) { return c.key == key; });
            if (it == cells.end()) {
                if (cells.size() >= maxCells)
                    reader.fail("more than " + std::to_string(maxCells) + " sweep cells");
                CellMerge c;
                c.key = key;
                c.origin = origin;
                c.declaredFirst = origin.range.first;
                c.declaredEnd = origin.range.first + origin.range.count;
                c.firstSeenIn = quoted(paths[p]);
                it = cells.insert(cells.end(), std::move(c));
            }
            const auto cell = static_cast<std::size_t>(it - cells.begin());
            if (std::find(cellsOfFile[p].begin(), cellsOfFile[p].end(), cell) == cellsOfFile[p].end())
                cellsOfFile[p].push_back(cell);
            if (rangeGiven && (row->result.trial < givenRange.first ||
                               row->result.trial - givenRange.first >= givenRange.count))
                reader.fail(range(row->result.trial, row->result.trial) + " lies outside the " +
                            range(givenRange.first, givenRange.first + givenRange.count - 1) +
                            " of --first-trial and --trials");
            reader.check(*row, origin, clock, hint);
            it->declaredFirst = std::min(it->declaredFirst, origin.range.first);
            it->declaredEnd = std::max(it->declaredEnd, origin.range.first + origin.range.count);
            if (!addTrial(it->read, row->result.trial))
                reader.fail(range(row->result.trial, row->result.trial) + " appears twice, here and in " +
                            firstReading(paths, p, reader.lineNumber(), key, row->result.trial, request) +
                            " (two shards overlap, or one file was given twice)");
            TrialResult r = row->result;
            if (r.initialized)
                r.timeToInitialize = clock.timeAfter(r.stepsToInitialize);
            it->statistics.add(r);
            if (keptOutcomes < TrialOutcomes::maxKept) {
                it->outcomes.emplace_back(r.trial, r.initialized ? r.stepsToInitialize : TrialOutcomes::notInitialized);
                ++keptOutcomes;
            } else if (keptOutcomes == TrialOutcomes::maxKept) {
                for (CellMerge& c : cells)
                    decltype(c.outcomes)().swap(c.outcomes);
                ++keptOutcomes;
            }
        }
    }
    if (cells.empty())
        throw TrialFileError("the trial files hold no rows");

    // Shards of one run hold the same cells; a file with another cell comes from another run.
    for (std::size_t p = 1; p < paths.size(); ++p) {
        for (const std::size_t c : cellsOfFile[p]) {
            if (std::find(cellsOfFile[0].begin(), cellsOfFile[0].end(), c) != cellsOfFile[0].end())
                continue;
            const std::string difference = cellsOfFile[0].empty()
                ? std::string()
                : " (" + firstDifference(cells[cellsOfFile[0].front()].key, cells[c].key) + ")";
            throw TrialFileError(quoted(paths[p]) + " and " + quoted(paths[0]) + " come from different runs" +
                                 difference + ": merge the shards of one batch or sweep");
        }
        if (cellsOfFile[p].size() < cellsOfFile[0].size())
            for (const std::size_t c : cellsOfFile[0])
                if (std::find(cellsOfFile[p].begin(), cellsOfFile[p].end(), c) == cellsOfFile[p].end())
                    throw TrialFileError(quoted(paths[p]) + " holds no row of " + quoted(paths[0]) + "'s cell " +
                                         cells[c].key[algorithmKey] + " at FOV " + cells[c].key[fovDegKey] +
                                         "°: merge the shards of one batch or sweep");
    }

    MergedTrials merged;
    merged.sweep = olderSweep || cells.size() > 1;
    for (CellMerge& c : cells) {
        const std::uint64_t first = rangeGiven ? givenRange.first : c.declaredFirst;
        const std::uint64_t end = rangeGiven ? givenRange.first + givenRange.count : c.declaredEnd;
        std::vector<std::pair<std::uint64_t, std::uint64_t>> gaps;
        std::uint64_t next = first;
        for (const auto& [from, to] : c.read) {
            if (from > next)
                gaps.emplace_back(next, from - 1);
            next = to + 1;
        }
        if (next < end)
            gaps.emplace_back(next, end - 1);
        if (!gaps.empty())
            throw TrialFileError(cellName(c, cells) + missingText(gaps));
        BatchRun run;
        run.setup = c.origin.setup;
        run.firstTrial = first;
        run.trials = end - first;
        run.summary = c.statistics.summary(c.origin.setup.steps);
        if (keptOutcomes <= TrialOutcomes::maxKept) {
            run.outcomes = TrialOutcomes(run.firstTrial, run.trials);
            for (const auto& [trial, steps] : c.outcomes)
                run.outcomes.add({.trial = trial, .initialized = steps >= 0, .stepsToInitialize = steps});
        }
        merged.cells.push_back(std::move(run));
    }
    return merged;
}

}  // namespace velmora
