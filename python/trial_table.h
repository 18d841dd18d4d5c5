#pragma once

#include "trials/trial_parameters.h"
#include "trials/trial_runner.h"

#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace velmora {

// The columns of a trial file, kept as the trials arrive, and in a sweep each trial's cell: the per_trial table
// of velmora.batch and velmora.sweep.
class TrialTable {
public:
    // Throws InputError when a table of trials rows would take more than half of this machine's memory, before
    // any trial runs rather than in the system's out-of-memory killer hours later.
    static void checkSize(std::uint64_t trials);

    void add(std::span<const TrialResult> block, std::size_t cell = 0);
    void add(const TrialResult& row, std::size_t cell);

    // A pandas DataFrame when pandas is there, else a dict of numpy arrays, with a trial file's columns: each row
    // starts with the parameters of its cell, cells[cell].
    pybind11::object table(std::span<const TrialOrigin> cells) const;

private:
    template <typename T, typename Of>
    pybind11::object perRow(std::span<const TrialOrigin> cells, Of of) const;
    template <typename Of>
    pybind11::object perRowObject(std::span<const TrialOrigin> cells, Of of) const;

    std::vector<std::uint64_t> trial_;
    std::vector<std::uint32_t> seedState_;
    std::vector<bool> initialized_;
    std::vector<double> stepsToInitialize_;
    std::vector<double> timeToInitialize_;
    std::vector<double> exactTimeToInitialize_;
    std::vector<std::int32_t> links_;
    std::vector<std::int32_t> groups_;
    std::vector<std::int32_t> missedSightings_;
    std::vector<std::size_t> cell_;
};

}  // namespace velmora
