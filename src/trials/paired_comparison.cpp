#include "trials/paired_comparison.h"

#include "trials/sample_statistics.h"
#include "trials/trial_parameters.h"

#include <algorithm>

namespace velmora {

TrialOutcomes::TrialOutcomes(std::uint64_t firstTrial, std::uint64_t trials)
    : first_(firstTrial), steps_(trials, notInitialized)
{
}

void TrialOutcomes::add(const TrialResult& r)
{
    // A row outside the range (a merge's caller checks ranges) is no trial of these outcomes.
    if (r.trial < first_ || r.trial - first_ >= steps_.size())
        return;
    steps_[r.trial - first_] = r.initialized ? r.stepsToInitialize : notInitialized;
}

PairedComparison compareOutcomes(std::span<const std::int64_t> a, std::span<const std::int64_t> b)
{
    PairedComparison c;
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t k = 0; k < n; ++k) {
        const bool aDone = a[k] != TrialOutcomes::notInitialized;
        const bool bDone = b[k] != TrialOutcomes::notInitialized;
        if (aDone && bDone) {
            ++c.bothInitialized;
            if (a[k] < b[k])
                ++c.aFaster;
            else if (b[k] < a[k])
                ++c.bFaster;
            else
                ++c.ties;
        } else if (aDone) {
            ++c.onlyA;
        } else if (bDone) {
            ++c.onlyB;
        } else {
            ++c.neither;
        }
    }
    // Under equal plans each discordant trial goes either way with probability 1/2: McNemar's exact test is
    // the binomial test on them, and the sign test the same on the untied times.
    c.mcnemarP = binomialTestP(c.onlyA, c.onlyA + c.onlyB);
    c.signP = binomialTestP(c.aFaster, c.aFaster + c.bFaster);
    return c;
}

std::vector<PairedComparison> pairedComparisons(std::span<const BatchRun> cells)
{
    std::vector<PairedComparison> out;
    if (std::any_of(cells.begin(), cells.end(), [](const BatchRun& c) { return c.outcomes.empty(); }))
        return out;
    // Cells pair when every parameter but the plan is the same, the trial range included; the step limit
    // follows the plan's length when no duration was asked for.
    std::vector<TrialParameterTexts> keys;
    for (const BatchRun& cell : cells) {
        TrialParameterTexts key = trialParameterTexts({cell.setup, {cell.firstTrial, cell.trials}});
        key[algorithmKey].clear();
        key[planKey].clear();
        key[stepsKey].clear();
        keys.push_back(std::move(key));
    }
    for (std::size_t i = 0; i < cells.size(); ++i)
        for (std::size_t j = i + 1; j < cells.size(); ++j)
            if (keys[i] == keys[j]) {
                PairedComparison c = compareOutcomes(cells[i].outcomes.steps(), cells[j].outcomes.steps());
                c.a = i;
                c.b = j;
                out.push_back(c);
            }
    // Read best grouped by the parameters they share, in the order the cells first give them.
    const auto group = [&](std::size_t i) {
        return static_cast<std::size_t>(std::find(keys.begin(), keys.end(), keys[i]) - keys.begin());
    };
    std::stable_sort(out.begin(), out.end(),
                     [&](const PairedComparison& x, const PairedComparison& y) { return group(x.a) < group(y.a); });
    return out;
}

}  // namespace velmora
