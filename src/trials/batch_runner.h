#pragma once

#include "trials/trial_runner.h"

#include <cstdint>
#include <functional>
#include <span>
#include <utility>

namespace velmora {

// Runs a range of trials on worker threads. Results reach the caller in trial order, a block at a time,
// so memory stays bounded however many trials a run has, and every result is the same for any thread count.
class BatchRunner {
public:
    using BlockSink = std::function<void(std::span<const TrialResult>)>;
    // Called on the caller's thread, about ten times a second, with the number of trials done so far. When it
    // throws, the run stops within a trial per thread, with no thread left running, and the exception goes on.
    using ProgressSink = std::function<void(std::uint64_t done)>;

    // Large enough that starting the threads of a block costs nothing next to its trials.
    static constexpr std::uint64_t defaultBlockSize = 16384;

    // threads and blockSize must be positive.
    BatchRunner(TrialSetup setup, int threads, std::uint64_t blockSize = defaultBlockSize)
        : setup_(std::move(setup)), threads_(threads), blockSize_(blockSize)
    {
    }

    void run(std::uint64_t firstTrial, std::uint64_t trials, const BlockSink& onBlock,
             const ProgressSink& onProgress = {}) const;

private:
    TrialSetup setup_;
    int threads_;
    std::uint64_t blockSize_;
};

// All cores, or one when the count is unknown.
int defaultThreadCount();

}  // namespace velmora
