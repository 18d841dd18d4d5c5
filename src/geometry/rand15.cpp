#include "geometry/rand15.h"

namespace velmora {

Rand15& processRand15()
{
    static Rand15 instance;
    return instance;
}

double uniformRandom(Rand15& rng, double a, double b)
{
    const int r = rng.next();
    return a + (r * 3.051850947599719e-05) * (b - a);
}

double uniformRandom(double a, double b) { return uniformRandom(processRand15(), a, b); }

}  // namespace velmora
