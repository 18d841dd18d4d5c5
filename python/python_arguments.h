#pragma once

#include "text/number_rule.h"

#include <pybind11/pybind11.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Keyword arguments as the requests take them. A number is a Python int or float (numpy values first become
// Python ones, tolist()); anything else given for a number, text and bools among them, is refused with a
// TypeError under the argument's name. Names and shards are text; a list or tuple given for one name reads
// as the comma-separated text of its items, and a sweep's list of names splits as velmora-sim splits its list
// options, so "Orlo,Simple" is two algorithms.

// The text a refusal quotes.
std::string argumentText(pybind11::handle value);

Given<double> givenReal(std::string_view name, pybind11::handle value);
Given<std::uint64_t> givenWhole(std::string_view name, pybind11::handle value);

// A sweep's list of values: a list, tuple or array of them, or one value.
std::vector<std::string> givenTexts(pybind11::handle value);
std::vector<Given<double>> givenReals(std::string_view name, pybind11::handle value);
std::vector<Given<std::uint64_t>> givenWholes(std::string_view name, pybind11::handle value);

}  // namespace velmora
