#pragma once

#include <cstdint>
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

// The p-quantile (0 <= p <= 1) of sorted values, interpolating linearly between neighbouring order
// statistics (the common default of R and NumPy); the median of an even count is the mean of the middle two.
// values must not be empty.
double percentile(std::span<const double> sorted, double p);

}  // namespace velmora
