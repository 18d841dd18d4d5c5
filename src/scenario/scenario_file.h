#pragma once

#include "scenario/scenario.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora {

// A scenario is a few kilobytes, three levels deep, and its longest list holds 20 craft; input far beyond
// any of these is refused, not read.
inline constexpr std::size_t maxScenarioBytes = 16 * 1024 * 1024;
inline constexpr int maxScenarioDepth = 64;
inline constexpr std::size_t maxScenarioItems = 1000;

// Reads a scenario from JSON text; name (quoted) stands for it in messages, and a plan file it names by a
// relative path is read from planFolder. Throws ScenarioError.
Scenario parseScenarioText(std::string_view text, const std::string& name, const std::string& planFolder = {});

// Reads at most maxScenarioBytes from any kind of file (a pipe too). Throws ScenarioError.
Scenario loadScenarioFile(const std::string& path);

}  // namespace velmora
