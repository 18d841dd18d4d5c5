#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace velmora {

// One self-rewriting line on a terminal: a bar, the items (trials, directions, evaluations) done of all, the
// rate and the time left. Shown only
// while the stream is a terminal, so logs and pipes stay clean.
class ProgressBar {
public:
    // items names what is counted, in the plural.
    ProgressBar(std::uint64_t total, std::FILE* stream, const char* items = "trials");
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void update(std::uint64_t done);

    // Clears the line, so what follows on the terminal starts clean.
    void finish();

private:
    std::uint64_t total_;
    std::FILE* stream_;
    const char* items_;
    bool enabled_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace velmora
