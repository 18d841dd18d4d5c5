#pragma once

#include "trials/batch_runner.h"
#include "trials/batch_statistics.h"

#include <cstdint>

namespace velmora {

// One finished batch: what ran, its summary and how long it took.
struct BatchRun {
    TrialSetup setup;
    std::uint64_t firstTrial = 0;
    std::uint64_t trials = 0;
    int threads = 1;
    BatchSummary summary;
    double wallSeconds = 0.0;

    double trialsPerSecond() const;
};

// Runs trials firstTrial .. firstTrial + trials - 1 and summarizes them. onBlock, when given, also sees
// every block of results in trial order (to write them out); onProgress gets the trials done so far.
BatchRun runBatch(const TrialSetup& setup, std::uint64_t firstTrial, std::uint64_t trials, int threads,
                  const BatchRunner::BlockSink& onBlock, const BatchRunner::ProgressSink& onProgress);

}  // namespace velmora
