#include "app/formation_readout.h"

#include <array>
#include <charconv>

namespace velmora {
namespace {

// Seconds with two decimals and a dot, whatever the user's locale.
std::string seconds(double t)
{
    std::array<char, 400> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), t, std::chars_format::fixed, 2);
    return std::string(buffer.data(), result.ec == std::errc{} ? result.ptr : buffer.data()) + " s";
}

}  // namespace

void FormationReadout::reset(const Formation& f)
{
    initializedAt_.reset();
    noteStepped(f);
}

void FormationReadout::noteStepped(const Formation& f)
{
    if (!initializedAt_ && f.craftCount() > 0 && f.groupCount() == 1)
        initializedAt_ = f.time();
}

std::string FormationReadout::text(const Formation& f) const
{
    const std::string head = "t = " + seconds(f.time()) + "   links " + std::to_string(f.linkCount()) + "   ";
    if (initializedAt_)
        return head + "initialized at " + seconds(*initializedAt_);
    return head + "groups " + std::to_string(f.groupCount());
}

}  // namespace velmora
