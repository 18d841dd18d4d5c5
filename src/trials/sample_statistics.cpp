#include "trials/sample_statistics.h"

#include <boost/math/distributions/binomial.hpp>

#include <algorithm>
#include <cmath>

namespace velmora {

ProportionInterval wilsonInterval(std::uint64_t successes, std::uint64_t trials, double z)
{
    const double n = static_cast<double>(trials);
    const double p = static_cast<double>(successes) / n;
    const double z2 = z * z;
    const double denominator = 1.0 + z2 / n;
    const double centre = (p + z2 / (2.0 * n)) / denominator;
    const double halfWidth = z / denominator * std::sqrt(p * (1.0 - p) / n + z2 / (4.0 * n * n));
    // At no or all successes the bound is 0 or 1 exactly; rounding must not move it.
    return {successes == 0 ? 0.0 : std::max(0.0, centre - halfWidth),
            successes == trials ? 1.0 : std::min(1.0, centre + halfWidth)};
}

std::optional<std::uint64_t> medianIntervalRank(std::uint64_t n)
{
    if (n == 0)
        return std::nullopt;
    const boost::math::binomial_distribution<double> below(static_cast<double>(n), 0.5);
    // The largest k with P(X <= k) <= 0.025; the interval's lower rank is k + 1.
    const auto tail = [&](std::uint64_t k) { return boost::math::cdf(below, static_cast<double>(k)); };
    if (tail(0) > 0.025)
        return std::nullopt;
    std::uint64_t low = 0;
    std::uint64_t high = n / 2;
    while (low < high) {
        const std::uint64_t mid = low + (high - low + 1) / 2;
        if (tail(mid) <= 0.025)
            low = mid;
        else
            high = mid - 1;
    }
    return low + 1;
}

double binomialTestP(std::uint64_t k, std::uint64_t n)
{
    if (n == 0)
        return 1.0;
    // Symmetric at 1/2: twice the smaller tail, the point itself counted in it.
    const boost::math::binomial_distribution<double> counts(static_cast<double>(n), 0.5);
    const std::uint64_t smaller = std::min(k, n - k);
    return std::min(1.0, 2.0 * boost::math::cdf(counts, static_cast<double>(smaller)));
}

double percentile(std::span<const double> sorted, double p)
{
    const double h = (static_cast<double>(sorted.size()) - 1.0) * p;
    const auto below = static_cast<std::size_t>(std::floor(h));
    if (below + 1 >= sorted.size())
        return sorted.back();
    const double fraction = h - static_cast<double>(below);
    return sorted[below] + fraction * (sorted[below + 1] - sorted[below]);
}

}  // namespace velmora
