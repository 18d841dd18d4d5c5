#pragma once

#include "trials/trial_request.h"

#include <pybind11/pybind11.h>

namespace velmora {

// velmora.read_trials: a trial file (JSON Lines or CSV) as the table velmora.batch gives, every row checked
// against the parameters it names, as velmora-sim merge checks them. Throws TrialFileError naming the file
// and line of a bad row.
pybind11::object readTrials(const pybind11::object& path);

// velmora.merge: the summary velmora-sim merge --json prints for these files (one path or a list of them).
// Files from before rows named their parameters need the run's options, which only velmora-sim merge takes.
pybind11::object mergeTrials(const pybind11::object& paths);

}  // namespace velmora
