#pragma once

#include <cstdint>

namespace velmora {

// Button and modifier bits of a mouse move, as the window system reports them with every move.
inline constexpr std::uint32_t MK_LBUTTON = 0x0001;
inline constexpr std::uint32_t MK_RBUTTON = 0x0002;
inline constexpr std::uint32_t MK_SHIFT = 0x0004;
inline constexpr std::uint32_t MK_CONTROL = 0x0008;
inline constexpr std::uint32_t MK_MBUTTON = 0x0010;

// Receives mouse moves over a view, normalised to the unit square (0 = left/top, 1 = right/bottom).
// Returns true when it consumed the event. Never deleted through this interface.
class MouseHandler {
public:
    virtual bool handleMouse(std::uint32_t flags, double x, double y) = 0;

protected:
    ~MouseHandler() = default;
};

}  // namespace velmora
