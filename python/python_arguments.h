#pragma once

#include "text/number_rule.h"

#include <pybind11/pybind11.h>

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

// Keyword arguments as the requests take them. A Python int or float is taken as it is; numpy values first
// become Python ones (tolist()), and anything else is read from its str(), as velmora-sim reads its command
// line. A list or tuple given for one value reads as the comma-separated text of its items ([25] as 25); a
// sweep's lists split as velmora-sim splits its list options, so "Orlo,Simple" is two algorithms.

// The text a refusal quotes.
std::string argumentText(pybind11::handle value);

Given<double> givenReal(pybind11::handle value);
Given<std::uint64_t> givenWhole(pybind11::handle value);

// A sweep's list of values: a list, tuple or array of them, or one value.
std::vector<std::string> givenTexts(pybind11::handle value);
std::vector<Given<double>> givenReals(pybind11::handle value);

}  // namespace velmora
