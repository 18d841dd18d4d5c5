#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <string>

namespace velmora {

// The progress of a batch's or sweep's trials as a tqdm bar (tqdm.auto: a widget in Jupyter, a line on the
// terminal), shown only once the trials have taken a second, so short runs stay quiet; nothing at all when
// not wanted or tqdm is not installed. It also turns a Ctrl+C into a KeyboardInterrupt while the trials run.
class ProgressBar {
public:
    // With the GIL held.
    ProgressBar(bool wanted, std::uint64_t total, const std::string& description);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // From the thread that runs the trials, the GIL released: done trials of all. Throws
    // pybind11::error_already_set for a KeyboardInterrupt.
    void update(std::uint64_t done);
    // With the GIL held, once every trial has run.
    void close();

private:
    pybind11::object bar_;
    std::uint64_t shown_ = 0;
};

}  // namespace velmora
