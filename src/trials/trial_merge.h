#pragma once

#include "trials/batch_run.h"
#include "trials/trial_parameters.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

struct MergedTrials {
    bool sweep = false;
    std::vector<BatchRun> cells;
};

// What a merge knows besides its files: the values its options hold (their defaults where not given) and
// which of them the user gave. Files state their own parameters, and given ones must agree with them; an
// older file that states none takes them all from here.
struct MergeRequest {
    std::vector<std::string> paths;
    TrialOrigin options;
    std::array<bool, trialParameterCount> given{};
    // The option that stands for each parameter in messages ("--fov" for fovDeg).
    std::array<std::string, trialParameterCount> optionNames{};
};

// Joins the trial files of the shards of one batch, or of one sweep, into the summaries the unsplit run
// prints: one BatchRun per cell, in the order the cells first appear (a batch has one). Every file must hold
// the same cells, and every cell each trial of its run once: the range its rows name, or the one given.
// Throws TrialFileError naming the file and line of a bad row, the parameter in which two files differ, or
// the missing or doubled trials. Memory grows with the cells and the gaps between the trials read so far, and
// with the rows only while they are few enough (TrialOutcomes::maxKept) to keep for paired comparisons.
MergedTrials mergeTrialFiles(const MergeRequest& request);

}  // namespace velmora
