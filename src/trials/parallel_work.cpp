#include "trials/parallel_work.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace velmora {

void ParallelWork::run(std::int64_t items, const Chunk& chunk, const Progress& progress) const
{
    if (items <= 0)
        return;
    std::atomic<std::int64_t> next{0};
    std::atomic<std::int64_t> done{0};
    std::mutex mutex;
    std::condition_variable allDone;
    std::exception_ptr failure;
    const std::int64_t chunks = (items + chunkSize_ - 1) / chunkSize_;
    const int workerCount = static_cast<int>(std::min<std::int64_t>(threads_, chunks));
    int running = workerCount;

    const auto stop = [&] { next = items; };
    std::vector<std::jthread> workers;
    workers.reserve(static_cast<std::size_t>(workerCount));
    for (int w = 0; w < workerCount; ++w) {
        try {
            workers.emplace_back([&] {
                try {
                    for (std::int64_t begin = next.fetch_add(chunkSize_); begin < items;
                         begin = next.fetch_add(chunkSize_)) {
                        const std::int64_t end = std::min(items, begin + chunkSize_);
                        chunk(begin, end);
                        done.fetch_add(end - begin, std::memory_order_relaxed);
                    }
                } catch (...) {
                    const std::lock_guard lock(mutex);
                    if (!failure)
                        failure = std::current_exception();
                    stop();
                }
                const std::lock_guard lock(mutex);
                if (--running == 0)
                    allDone.notify_one();
            });
        } catch (const std::system_error& e) {
            stop();
            workers.clear();
            throw std::runtime_error("could not start " + std::to_string(workerCount) + " worker threads, only " +
                                     std::to_string(w) + " (" + e.what() + "); try a smaller --threads");
        }
    }
    {
        std::unique_lock lock(mutex);
        while (!allDone.wait_for(lock, std::chrono::milliseconds(100), [&] { return running == 0; })) {
            if (!progress)
                continue;
            lock.unlock();
            try {
                progress(done.load(std::memory_order_relaxed));
            } catch (...) {
                stop();
                workers.clear();
                throw;
            }
            lock.lock();
        }
    }
    workers.clear();
    if (failure)
        std::rethrow_exception(failure);
    if (progress)
        progress(items);
}

}  // namespace velmora
