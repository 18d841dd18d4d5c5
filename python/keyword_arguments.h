#pragma once

#include <pybind11/pybind11.h>

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// The arguments of one call of a module function, taken by name: positional ones in the order of names, the
// rest by keyword. What Python itself would refuse is refused in its words, as a TypeError, and an unknown
// keyword is answered with the name it most likely meant ("got an unexpected keyword argument 'trails'
// (did you mean 'trials'?)").
class KeywordArguments {
public:
    // The first required names must be given.
    KeywordArguments(std::string_view function, std::span<const std::string_view> names, std::size_t required,
                     const pybind11::args& args, const pybind11::kwargs& kwargs);

    // The value given for name, or None.
    pybind11::object operator[](std::string_view name) const;
    // The same, and None for a name the function does not take: for what several functions share.
    pybind11::object optional(std::string_view name) const;

private:
    std::span<const std::string_view> names_;
    std::vector<pybind11::object> values_;
};

}  // namespace velmora
