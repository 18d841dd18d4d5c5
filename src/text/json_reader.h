#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora {

// What a JSON input may hold at most, and how messages say what a real one holds: input far beyond any of
// these is refused before it takes memory or stack.
struct JsonBounds {
    std::size_t maxBytes = 0;
    int maxDepth = 0;
    std::size_t maxItems = 0;
    // Completes "cannot read ... \"f\"", "... \"f\" is a directory": "scenario file".
    std::string fileKind;
    // Completes "... holds more than 16 MiB; ...": "a scenario is a few kilobytes".
    std::string bytesNeeded;
    // Completes "... deeper than 64 levels; ...": "a scenario needs three".
    std::string depthNeeded;
    // Completes "... more than 1000 items; ...": "a scenario's longest holds 20 craft".
    std::string itemsNeeded;
};

// The document in text, within bounds; name (quoted) stands for it in messages, which say the line and column
// of a syntax error. Throws InputError.
nlohmann::json readJsonText(std::string_view text, const std::string& name, const JsonBounds& bounds);

// At most bounds.maxBytes of the file at path, of any kind that reads (a pipe too). Throws InputError.
std::string readBoundedFile(const std::string& path, const JsonBounds& bounds);

}  // namespace velmora
