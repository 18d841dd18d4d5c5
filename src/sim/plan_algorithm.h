#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The index of an algorithm is also its position in the dialog's list.
enum class PlanAlgorithm : int { Orlo = 0, Simple = 1, SimpleLowFov = 2, HalfTwist = 3, WaitAndCheck = 4 };

inline constexpr int planAlgorithmCount = 5;

// Texts of the dialog's list, leading blanks included.
inline constexpr std::array<std::string_view, planAlgorithmCount> planAlgorithmDisplayTexts{
    "Orlo", "Simple", " Simple (low FOV)", " Half-Twist", "Wait and Check"};

// Names used by scenario files and the command line.
inline constexpr std::array<std::string_view, planAlgorithmCount> planAlgorithmNames{
    "Orlo", "Simple", "SimpleLowFov", "HalfTwist", "WaitAndCheck"};

// Every name, in index order, separated by ", ": for help texts and messages.
std::string planAlgorithmNameList();

// The algorithm index of a name, matched exactly; nothing for an unknown name.
std::optional<int> planAlgorithmFromName(std::string_view name);

}  // namespace velmora
