#include "geometry/rand15.h"

namespace velmora {

Rand15& processRand15()
{
    static Rand15 instance;
    return instance;
}

double uniformRandom(Rand15& rng, double a, double b)
{
    // 1 / maxValue is 3.051850947599719e-05 exactly, the factor the sequence has always been scaled by.
    constexpr double scale = 1.0 / Rand15::maxValue;
    const int r = rng.next();
    return a + (r * scale) * (b - a);
}

double uniformRandom(double a, double b) { return uniformRandom(processRand15(), a, b); }

}  // namespace velmora
