#include "sim/plan_algorithm.h"

namespace velmora {

std::optional<int> planAlgorithmFromName(std::string_view name)
{
    for (int i = 0; i < planAlgorithmCount; ++i)
        if (planAlgorithmNames[i] == name)
            return i;
    return std::nullopt;
}

}  // namespace velmora
