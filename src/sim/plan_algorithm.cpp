#include "sim/plan_algorithm.h"

namespace velmora {

std::string planAlgorithmNameList()
{
    std::string list;
    for (const std::string_view name : planAlgorithmNames)
        list.append(list.empty() ? "" : ", ").append(name);
    return list;
}

std::optional<int> planAlgorithmFromName(std::string_view name)
{
    for (int i = 0; i < planAlgorithmCount; ++i)
        if (planAlgorithmNames[i] == name)
            return i;
    return std::nullopt;
}

}  // namespace velmora
