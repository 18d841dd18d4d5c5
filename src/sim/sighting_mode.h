#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace velmora {

// When two craft count as having seen each other. Grid: in mutual view at the end of a step, the rule every
// step applies. Continuous: in mutual view at any moment of a step, under the step's own motion; a pair then
// links at its first such moment.
enum class Sighting : int { Grid = 0, Continuous = 1 };

// Names used by the command line, trial files and Python, in the order of the enumeration.
inline constexpr std::array<std::string_view, 2> sightingNames{"grid", "continuous"};

constexpr std::string_view sightingName(Sighting s) { return sightingNames[static_cast<std::size_t>(s)]; }

// The mode of a name, matched exactly; nothing for any other text.
constexpr std::optional<Sighting> sightingFromName(std::string_view name)
{
    for (std::size_t k = 0; k < sightingNames.size(); ++k)
        if (sightingNames[k] == name)
            return static_cast<Sighting>(k);
    return std::nullopt;
}

}  // namespace velmora
