#include "trials/batch_run.h"

#include <chrono>
#include <utility>

namespace velmora {

double BatchRun::trialsPerSecond() const
{
    return wallSeconds > 0.0 ? static_cast<double>(trials) / wallSeconds : 0.0;
}

BatchRun runBatch(const TrialSetup& setup, std::uint64_t firstTrial, std::uint64_t trials, int threads,
                  const BatchRunner::BlockSink& onBlock, const BatchRunner::ProgressSink& onProgress)
{
    BatchRun run;
    run.setup = setup;
    run.firstTrial = firstTrial;
    run.trials = trials;
    run.threads = threads;
    BatchStatistics statistics;
    const auto start = std::chrono::steady_clock::now();
    BatchRunner(run.setup, threads)
        .run(
            firstTrial, trials,
            [&](std::span<const TrialResult> block) {
                for (const TrialResult& r : block)
                    statistics.add(r);
                if (onBlock)
                    onBlock(block);
            },
            onProgress);
    run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.summary = statistics.summary(setup.steps);
    return run;
}

std::vector<BatchRun> runSweep(std::span<const TrialSetup> cells, std::uint64_t firstTrial, std::uint64_t trials,
                               int threads, const SweepBlockSink& onBlock, const BatchRunner::ProgressSink& onProgress)
{
    // Each trial's outcome is kept for the paired comparisons while they fit in memory.
    const bool keepOutcomes = !cells.empty() && trials <= TrialOutcomes::maxKept / cells.size();
    std::vector<BatchRun> runs;
    for (std::size_t c = 0; c < cells.size(); ++c) {
        const std::uint64_t before = trials * c;
        TrialOutcomes outcomes = keepOutcomes ? TrialOutcomes(firstTrial, trials) : TrialOutcomes();
        runs.push_back(runBatch(
            cells[c], firstTrial, trials, threads,
            [&](std::span<const TrialResult> block) {
                if (onBlock)
                    onBlock(c, block);
                if (keepOutcomes)
                    for (const TrialResult& r : block)
                        outcomes.add(r);
            },
            [&](std::uint64_t done) {
                if (onProgress)
                    onProgress(before + done);
            }));
        runs.back().outcomes = std::move(outcomes);
    }
    return runs;
}

}  // namespace velmora
