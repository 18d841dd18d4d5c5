#pragma once

#include <cstdint>
#include <map>
#include <vector>

namespace velmora {

// The formation time after k steps of 0.01 s, to the last bit: the sum the simulation forms, one step at
// a time. Remembers what it has summed, so a file's rows cost little each.
class StepClock {
public:
    double timeAfter(std::int64_t steps);

private:
    // Every 4096th step's time, from step 0.
    std::vector<double> checkpoints_{0.0};
    std::map<std::int64_t, double> known_;
};

}  // namespace velmora
