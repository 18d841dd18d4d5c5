#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace velmora {

// The two-sided 95 % normal quantile.
inline constexpr double z95 = 1.959963984540054;

struct ProportionInterval {
    double low = 0.0;
    double high = 0.0;
};

// Wilson score interval for a success fraction. Unlike the normal approximation it stays inside [0, 1] and
// does not collapse to a point at 0 or all successes. trials must be positive.
ProportionInterval wilsonInterval(std::uint64_t successes, std::uint64_t trials, double z = z95);

// The rank r (from 1) of the order statistics whose interval [x(r), x(n - r + 1)] covers the median of n
// independent draws of any continuous distribution with probability at least 95 %: the largest r with
// 2 P(X <= r - 1) <= 0.05 for X ~ Binomial(n, 1/2). Nothing for n of 5 or fewer, where no such r exists.
std::optional<std::uint64_t> medianIntervalRank(std::uint64_t n);

// The two-sided p-value of k successes in n trials of probability 1/2 (the exact binomial test): the sign
// test, and McNemar's exact test on the discordant pairs. 1 when n is 0.
double binomialTestP(std::uint64_t k, std::uint64_t n);

// The p-quantile (0 <= p <= 1) of sorted values, interpolating linearly between neighbouring order
// statistics (the common default of R and NumPy); the median of an even count is the mean of the middle two.
// values must not be empty.
double percentile(std::span<const double> sorted, double p);

}  // namespace velmora
