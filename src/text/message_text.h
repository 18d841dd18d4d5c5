#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace velmora {

// Text from input made safe to show in a one-line message on a terminal: control characters (line breaks,
// escape sequences, C1 controls) and bytes that are not UTF-8 are written as \n, \t, \r, \xNN or \uNNNN.
std::string printable(std::string_view text);

// text with every byte that is not part of a well-formed UTF-8 sequence written as the four characters \xNN;
// valid UTF-8, control characters included, is kept as it is.
std::string utf8Text(std::string_view text);

// At most about max bytes of text, made printable, with "..." when it was cut.
std::string excerpt(std::string_view text, std::size_t max = 40);

// The name among known that a user most likely meant by text, for a "did you mean" hint: the nearest by
// edit distance (ignoring case) when it is within a third of the length, or a name that contains the text
// or is contained in it ("fov" for "fovDeg"). Nothing when no name is that close.
std::optional<std::string_view> closestName(std::string_view text, std::span<const std::string_view> known);

}  // namespace velmora
