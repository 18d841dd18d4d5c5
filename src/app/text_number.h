#pragma once

#include <optional>
#include <string>

namespace velmora {

// Numbers typed into the dialog's boxes. Both readers skip leading white space, read the longest number at
// the start of the text and ignore whatever follows it ("70 degrees" reads as 70), and always use the C
// locale's "." whatever the user's locale says. Nothing when the text does not start with a number.

// A finite double as strtod reads it, decimal or hexadecimal; one too small in magnitude gives zero.
// Nothing for "inf", "nan" or a magnitude too large to hold: no craft can be placed or turned with those.
std::optional<double> scanDouble(const std::string& text);

// A decimal int; values beyond the int range are clamped to its nearest end.
std::optional<int> scanInt(const std::string& text);

}  // namespace velmora
