#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Text from input made safe to show in a one-line message on a terminal: control characters (line breaks,
// escape sequences, C1 controls) and bytes that are not UTF-8 are written as \n, \t, \r, \xNN or \uNNNN.
std::string printable(std::string_view text);

// At most about max bytes of text, made printable, with "..." when it was cut.
std::string excerpt(std::string_view text, std::size_t max = 40);

}  // namespace velmora
