#pragma once

#include "trials/batch_run.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace velmora {

// Two plans compared trial by trial on the same formations: McNemar's exact test on initialized or not (the
// trials where exactly one initialized), and the sign test on which was faster where both initialized. A
// p-value is two-sided; with no discordant trials there is nothing against equality and it is 1.
struct PairedComparison {
    std::size_t a = 0;
    std::size_t b = 0;
    std::uint64_t bothInitialized = 0;
    std::uint64_t onlyA = 0;
    std::uint64_t onlyB = 0;
    std::uint64_t neither = 0;
    double mcnemarP = 1.0;
    std::uint64_t aFaster = 0;
    std::uint64_t bFaster = 0;
    std::uint64_t ties = 0;
    double signP = 1.0;
};

PairedComparison compareOutcomes(std::span<const std::int64_t> a, std::span<const std::int64_t> b);

// Every two cells that ran the same trials with the same parameters but their plan, a before b in the cells'
// order. Nothing when some cell kept no outcomes.
std::vector<PairedComparison> pairedComparisons(std::span<const BatchRun> cells);

}  // namespace velmora
