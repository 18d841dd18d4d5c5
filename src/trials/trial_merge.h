#pragma once

#include "trials/batch_run.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

struct MergedTrials {
    bool sweep = false;
    std::vector<BatchRun> cells;
};

// Joins the trial files of the shards of one batch, or of one sweep, into the summaries the unsplit run
// prints: one BatchRun per cell, in the order the cells first appear (a batch has one). setup gives the
// parameters the rows do not carry (a sweep's rows carry their algorithm and field of view), steps the
// batch's step count (by default until the longest plan has ended). Every row must belong to setup's seed,
// and the files must hold each trial of whole once, in every cell. Throws TrialFileError naming the file and
// line of a bad row, or the missing or doubled trial range.
MergedTrials mergeTrialFiles(const std::vector<std::string>& paths, const TrialSetup& setup,
                             std::optional<std::int64_t> steps, TrialSpan whole);

}  // namespace velmora
