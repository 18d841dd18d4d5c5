// Any text typed into the dialog's number boxes: read or refused, never a crash or undefined behaviour.
#include "app/text_number.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto d = velmora::scanDouble(text);
    const auto i = velmora::scanInt(text);
    // Whatever reads as an int also reads as a double, unless the number runs on into a magnitude no double
    // holds ("1e400": the int reads its 1, the double box refuses it).
    if (i && !d && std::isfinite(std::strtod(text.c_str(), nullptr)))
        std::abort();
    return 0;
}
