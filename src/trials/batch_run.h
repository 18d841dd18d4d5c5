#pragma once

#include "trials/batch_runner.h"
#include "trials/batch_statistics.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace velmora {

// Each trial's outcome in a batch, by its number from the batch's first: the steps it took to initialize, or
// notInitialized (also for a trial capped by the run's end). Eight bytes a trial, kept only for comparisons.
class TrialOutcomes {
public:
    static constexpr std::int64_t notInitialized = -1;
    // Outcomes are kept for at most this many trials over all cells of a sweep (128 MB): beyond it a sweep
    // leaves its comparisons out rather than exhaust the memory.
    static constexpr std::uint64_t maxKept = std::uint64_t{1} << 24;

    TrialOutcomes() = default;
    TrialOutcomes(std::uint64_t firstTrial, std::uint64_t trials);

    void add(const TrialResult& r);
    bool empty() const { return steps_.empty(); }
    std::span<const std::int64_t> steps() const { return steps_; }

private:
    std::uint64_t first_ = 0;
    std::vector<std::int64_t> steps_;
};

// One finished batch: what ran, its summary and how long it took.
struct BatchRun {
    TrialSetup setup;
    std::uint64_t firstTrial = 0;
    std::uint64_t trials = 0;
    int threads = 1;
    BatchSummary summary;
    double wallSeconds = 0.0;
    // Kept by a sweep, for its paired comparisons; empty otherwise.
    TrialOutcomes outcomes;

    double trialsPerSecond() const;
};

// Runs trials firstTrial .. firstTrial + trials - 1 and summarizes them. onBlock, when given, also sees
// every block of results in trial order (to write them out); onProgress gets the trials done so far.
BatchRun runBatch(const TrialSetup& setup, std::uint64_t firstTrial, std::uint64_t trials, int threads,
                  const BatchRunner::BlockSink& onBlock, const BatchRunner::ProgressSink& onProgress);

using SweepBlockSink = std::function<void(std::size_t cell, std::span<const TrialResult>)>;

// Runs the same trials for every cell in turn, keeping each trial's outcome (for the paired comparisons)
// while all cells' fit in TrialOutcomes::maxKept. onBlock sees each cell's blocks in trial order; onProgress
// the trials done over all cells.
std::vector<BatchRun> runSweep(std::span<const TrialSetup> cells, std::uint64_t firstTrial, std::uint64_t trials,
                               int threads, const SweepBlockSink& onBlock, const BatchRunner::ProgressSink& onProgress);

}  // namespace velmora
