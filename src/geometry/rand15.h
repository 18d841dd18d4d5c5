#pragma once

#include <cstdint>

namespace velmora {

// The C standard's sample rand(): 15-bit values from a 32-bit linear congruential state. Every run starts
// from the same state, so a fresh start reproduces the same placements.
class Rand15 {
public:
    static constexpr std::uint32_t firstState = 1;
    static constexpr int maxValue = 32767;

    constexpr Rand15() = default;
    constexpr explicit Rand15(std::uint32_t seedState) : state_(seedState) {}

    constexpr int next()
    {
        state_ = state_ * 1103515245u + 12345u;
        return static_cast<int>((state_ / 65536u) % 32768u);
    }

    constexpr std::uint32_t state() const { return state_; }

private:
    std::uint32_t state_ = firstState;
};

// The one sequence that feeds the desktop program and single scenario runs; never reseeded.
Rand15& processRand15();

// a + (r / 32767) * (b - a) for the next r of rng, in exactly that order of operations.
double uniformRandom(Rand15& rng, double a, double b);
double uniformRandom(double a, double b);

}  // namespace velmora
