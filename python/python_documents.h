#pragma once

#include <nlohmann/json.hpp>
#include <pybind11/pybind11.h>

#include <string>
#include <vector>

namespace velmora {

// A result document as the Python values json.loads would make of velmora-sim's output of it: objects as dicts
// in their order, lists, ints, floats (the same doubles), bools, strs, and None where JSON holds null (NaN and
// infinities among them). Its keys stay as the files write them.
pybind11::object pythonDocument(const nlohmann::ordered_json& doc);

// A pandas DataFrame of the columns when pandas is installed, else the dict of numpy arrays itself.
pybind11::object dataFrame(const pybind11::dict& columns);

// What every document says made it: here the Python program's sys.argv.
std::vector<std::string> pythonCommand();

}  // namespace velmora
