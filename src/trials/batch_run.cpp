#include "trials/batch_run.h"

#include <chrono>

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

}  // namespace velmora
