#include "trials/batch_runner.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace velmora {

void BatchRunner::run(std::uint64_t firstTrial, std::uint64_t trials, const BlockSink& onBlock,
                      const ProgressSink& onProgress) const
{
    std::vector<TrialResult> block;
    std::uint64_t done = 0;
    while (done < trials) {
        const std::uint64_t size = std::min(blockSize_, trials - done);
        block.assign(size, TrialResult{});
        std::atomic<std::uint64_t> next{0};
        std::atomic<std::uint64_t> finished{0};
        std::mutex mutex;
        std::condition_variable allDone;
        const auto workerCount =
            static_cast<int>(std::min<std::uint64_t>(static_cast<std::uint64_t>(threads_), size));
        int running = workerCount;

        std::vector<std::jthread> workers;
        workers.reserve(static_cast<std::size_t>(workerCount));
        for (int w = 0; w < workerCount; ++w) {
            try {
                workers.emplace_back([&, start = firstTrial + done] {
                    TrialRunner runner(setup_);
                    for (std::uint64_t i = next++; i < size; i = next++) {
                        block[i] = runner.run(start + i);
                        finished.fetch_add(1, std::memory_order_relaxed);
                    }
                    const std::lock_guard lock(mutex);
                    if (--running == 0)
                        allDone.notify_one();
                });
            } catch (const std::system_error& e) {
                // The system refused a thread (a process limit, no memory for its stack): stop the ones
                // started, which take no new trial once next is past the block, and say how far it got.
                next = size;
                workers.clear();
                throw std::runtime_error("could not start " + std::to_string(workerCount) +
                                         " worker threads, only " + std::to_string(w) + " (" + e.what() +
                                         "); try a smaller --threads");
            }
        }
        {
            std::unique_lock lock(mutex);
            while (!allDone.wait_for(lock, std::chrono::milliseconds(100), [&] { return running == 0; })) {
                if (onProgress) {
                    lock.unlock();
                    try {
                        onProgress(done + finished.load(std::memory_order_relaxed));
                    } catch (...) {
                        // The caller wants to stop (Ctrl+C in Python): each worker ends its current trial,
                        // takes no new one, and is joined before the reason travels on.
                        next = size;
                        workers.clear();
                        throw;
                    }
                    lock.lock();
                }
            }
        }
        workers.clear();
        done += size;
        onBlock(block);
        if (onProgress)
            onProgress(done);
    }
}

int defaultThreadCount()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(cores);
}

}  // namespace velmora
