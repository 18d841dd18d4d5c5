#pragma once

#include <cstdint>
#include <functional>

namespace velmora {

// Work split into numbered items that threads take in chunks, for maps and searches whose items are
// independent: the results depend on the items alone, never on the thread count.
class ParallelWork {
public:
    // Does items [begin, end); may be called on any thread.
    using Chunk = std::function<void(std::int64_t begin, std::int64_t end)>;
    // Called on the caller's thread about ten times a second with the items done so far.
    using Progress = std::function<void(std::int64_t done)>;

    // threads and chunkSize must be positive.
    ParallelWork(int threads, std::int64_t chunkSize) : threads_(threads), chunkSize_(chunkSize) {}

    // Returns when every item is done. When a chunk or progress throws, the threads take no new chunk, all are
    // joined, and the first exception goes on.
    void run(std::int64_t items, const Chunk& chunk, const Progress& progress = {}) const;

private:
    int threads_;
    std::int64_t chunkSize_;
};

}  // namespace velmora
