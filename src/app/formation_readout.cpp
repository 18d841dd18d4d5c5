#include "app/formation_readout.h"

#include <array>
#include <bit>
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

int linkCount(const Formation& f)
{
    int marks = 0;
    for (int i = 0; i < f.craftCount; ++i)
        marks += std::popcount(f.seen[i]);
    return marks / 2;
}

int groupCount(const Formation& f)
{
    int roots = 0;
    for (int i = 0; i < f.craftCount; ++i)
        roots += f.findGroup(i) == i ? 1 : 0;
    return roots;
}

void FormationReadout::reset(const Formation& f)
{
    initializedAt_.reset();
    noteStepped(f);
}

void FormationReadout::noteStepped(const Formation& f)
{
    if (!initializedAt_ && f.craftCount > 0 && groupCount(f) == 1)
        initializedAt_ = f.time;
}

std::string FormationReadout::text(const Formation& f) const
{
    const std::string head = "t = " + seconds(f.time) + "   links " + std::to_string(linkCount(f)) + "   ";
    if (initializedAt_)
        return head + "initialized at " + seconds(*initializedAt_);
    return head + "groups " + std::to_string(groupCount(f));
}

}  // namespace velmora
