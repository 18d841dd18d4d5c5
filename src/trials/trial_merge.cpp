#include "trials/trial_merge.h"

#include "sim/plan_algorithm.h"
#include "text/json_writer.h"
#include "text/message_text.h"
#include "trials/batch_statistics.h"
#include "trials/step_clock.h"
#include "trials/trial_file_reader.h"

#include <algorithm>

namespace velmora {
namespace {

// The trials of one cell that one file holds without a break: first to last.
struct Stretch {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::size_t file = 0;
};

struct CellMerge {
    std::optional<TrialCell> cell;
    TrialSetup setup;
    BatchStatistics statistics;
    std::vector<Stretch> stretches;
};

std::string range(std::uint64_t first, std::uint64_t last)
{
    return first == last ? "trial " + std::to_string(first)
                         : "trials " + std::to_string(first) + " to " + std::to_string(last);
}

std::string cellName(const CellMerge& c)
{
    return c.cell ? std::string(planAlgorithmNames[c.cell->algorithm]) + " at FOV " + numberText(c.cell->fovDeg) + "°: "
                  : std::string();
}

// The span the cell's stretches cover, checked against whole: every trial once, none missing.
TrialSpan joinedSpan(CellMerge& c, const std::vector<std::string>& paths, TrialSpan whole)
{
    auto& s = c.stretches;
    std::sort(s.begin(), s.end(), [](const Stretch& a, const Stretch& b) { return a.first < b.first; });
    const std::uint64_t first = whole.first;
    const std::uint64_t end = whole.first + whole.count;
    const auto file = [&](std::size_t i) { return "\"" + excerpt(paths[i], 200) + "\""; };
    for (const Stretch& x : s)
        if (x.first < first || x.last >= end)
            throw TrialFileError(cellName(c) + file(x.file) + " holds " + range(x.first, x.last) + ", outside the " +
                                range(first, end - 1) + " of --first-trial and --trials");
    std::vector<std::string> missing;
    std::uint64_t next = first;
    const Stretch* previous = nullptr;
    for (const Stretch& x : s) {
        if (x.first > next)
            missing.push_back(range(next, x.first - 1));
        else if (x.first < next)
            throw TrialFileError(cellName(c) + range(x.first, std::min(next - 1, x.last)) + " appear twice, in " +
                                file(previous->file) + " and " + file(x.file) +
                                " (two shards overlap, or one file was given twice)");
        if (x.last + 1 > next) {
            next = x.last + 1;
            previous = &x;
        }
    }
    if (next < end)
        missing.push_back(range(next, end - 1));
    if (!missing.empty()) {
        std::string list;
        for (std::size_t i = 0; i < missing.size() && i < 5; ++i)
            list += (i == 0 ? "" : i + 1 == missing.size() ? " and " : ", ") + missing[i];
        if (missing.size() > 5)
            list += " and " + std::to_string(missing.size() - 5) + " more ranges";
        const bool one = missing.size() == 1 && missing.front().rfind("trial ", 0) == 0;
        throw TrialFileError(cellName(c) + list + (one ? " is" : " are") +
                            " missing: no file holds them (a shard that did not finish?)");
    }
    return {first, next - first};
}

}  // namespace

MergedTrials mergeTrialFiles(const std::vector<std::string>& paths, const TrialSetup& setup,
                             std::optional<std::int64_t> steps, TrialSpan whole)
{
    if (paths.empty())
        throw TrialFileError("merge needs at least one trial file");
    std::vector<CellMerge> cells;
    std::optional<bool> sweep;
    StepClock clock;
    const int pairs = setup.scenario.count * (setup.scenario.count - 1) / 2;
    for (std::size_t p = 0; p < paths.size(); ++p) {
        TrialFileReader reader(paths[p]);
        while (const auto row = reader.next()) {
            if (sweep && *sweep != row->cell.has_value())
                reader.fail(*sweep ? "a batch's trial file among a sweep's" : "a sweep's trial file among a batch's");
            sweep = row->cell.has_value();
            auto it = std::find_if(cells.begin(), cells.end(), [&](const CellMerge& c) {
                return !c.cell || (c.cell->algorithm == row->cell->algorithm && c.cell->fovDeg == row->cell->fovDeg);
            });
            if (it == cells.end()) {
                if (cells.size() >= 10000)
                    reader.fail("more than 10000 sweep cells");
                CellMerge c;
                c.cell = row->cell;
                c.setup = setup;
                if (row->cell) {
                    c.setup.scenario.algorithm = row->cell->algorithm;
                    c.setup.scenario.fovDeg = row->cell->fovDeg;
                }
                c.setup.steps = trialSteps(c.setup.scenario, steps);
                it = cells.insert(cells.end(), std::move(c));
            }
            TrialResult r = row->result;
            if (r.seedState != trialSeedState(setup.seed, r.trial))
                reader.fail(range(r.trial, r.trial) + " has seedState " + std::to_string(r.seedState) + ", but seed " +
                            std::to_string(setup.seed) + " gives it " +
                            std::to_string(trialSeedState(setup.seed, r.trial)) +
                            ": the file comes from a batch with another --seed");
            if (r.links > pairs || r.groups < 1 || r.groups > setup.scenario.count)
                reader.fail(range(r.trial, r.trial) + " has " + std::to_string(r.links) + " links and " +
                            std::to_string(r.groups) + " groups, impossible for " +
                            std::to_string(setup.scenario.count) + " craft: the file comes from a batch with "
                            "another --count");
            if (r.initialized) {
                if (r.stepsToInitialize > it->setup.steps)
                    reader.fail(range(r.trial, r.trial) + " initialized after step " +
                                std::to_string(r.stepsToInitialize) + ", past the batch's last step " +
                                std::to_string(it->setup.steps) +
                                ": the file comes from a batch with other parameters");
                const double t = clock.timeAfter(r.stepsToInitialize);
                if (row->csvTime.empty() ? r.timeToInitialize != t : row->csvTime != stepTimeText(t))
                    reader.fail(range(r.trial, r.trial) + ": the time to initialize is not the time after step " +
                                std::to_string(r.stepsToInitialize));
                r.timeToInitialize = t;
            }
            it->statistics.add(r);
            auto& s = it->stretches;
            if (!s.empty() && s.back().file == p && s.back().last != r.trial && s.back().last + 1 == r.trial)
                s.back().last = r.trial;
            else
                s.push_back({r.trial, r.trial, p});
        }
    }
    if (cells.empty())
        throw TrialFileError("the trial files hold no rows");

    MergedTrials merged;
    merged.sweep = *sweep;
    for (CellMerge& c : cells) {
        const TrialSpan s = joinedSpan(c, paths, whole);
        BatchRun run;
        run.setup = c.setup;
        run.firstTrial = s.first;
        run.trials = s.count;
        run.summary = c.statistics.summary();
        merged.cells.push_back(run);
    }
    return merged;
}

}  // namespace velmora
