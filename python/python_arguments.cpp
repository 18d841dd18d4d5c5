#include "python_arguments.h"

#include <optional>
#include <sstream>
#include <utility>

namespace py = pybind11;

namespace velmora {
namespace {

// numpy scalars and arrays as Python numbers and lists.
py::object plain(py::handle value)
{
    if (!py::isinstance<py::str>(value) && py::hasattr(value, "tolist"))
        return value.attr("tolist")();
    return py::reinterpret_borrow<py::object>(value);
}

bool isSequence(py::handle value)
{
    return !py::isinstance<py::str>(value) && (py::isinstance<py::list>(value) || py::isinstance<py::tuple>(value));
}

std::string joined(const std::vector<std::string>& texts)
{
    std::string out;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i > 0)
            out += ',';
        out += texts[i];
    }
    return out;
}

std::optional<double> realOf(py::handle value)
{
    if (PyFloat_CheckExact(value.ptr()))
        return PyFloat_AS_DOUBLE(value.ptr());
    return std::nullopt;
}

// The values in a list's text, split as velmora-sim's CLI11 splits a list option's: "[a,b]" holds a and b;
// other text splits at every comma, leaving out empty parts, unless it has no comma at all (an empty text
// stays one value, which every option refuses).
void splitList(const std::string& text, std::vector<std::string>& values)
{
    const bool bracketed = text.size() >= 2 && text.front() == '[' && text.back() == ']';
    if (!bracketed && text.find(',') == std::string::npos) {
        values.push_back(text);
        return;
    }
    std::istringstream parts(bracketed ? text.substr(1, text.size() - 2) : text);
    for (std::string part; std::getline(parts, part, ',');) {
        if (part.empty())
            continue;
        if (bracketed)
            splitList(part, values);
        else
            values.push_back(part);
    }
}

// The text of a value as bytes: lone surrogates (from bytes the system could not decode) become the bytes
// they stand for, as os.fsencode gives them, rather than failing to convert.
std::string textOf(py::handle value)
{
    return py::str(value).attr("encode")("utf-8", "surrogateescape").cast<std::string>();
}

// A sweep's list as the texts of its values, each with the item it came from when that item is one value
// (no comma or bracket in its text).
std::vector<std::pair<std::string, py::object>> listItems(py::handle value)
{
    const py::object v = plain(value);
    std::vector<py::object> items;
    if (isSequence(v))
        for (const py::handle item : v)
            items.push_back(py::reinterpret_borrow<py::object>(item));
    else
        items.push_back(v);
    std::vector<std::string> texts;
    for (const py::object& item : items)
        texts.push_back(textOf(item));
    std::vector<std::string> values;
    splitList(joined(texts), values);
    const bool itemByItem = values == texts;
    std::vector<std::pair<std::string, py::object>> list;
    for (std::size_t i = 0; i < values.size(); ++i)
        list.emplace_back(values[i], itemByItem ? items[i] : py::none());
    return list;
}

}  // namespace

std::string argumentText(py::handle value)
{
    const py::object v = plain(value);
    if (!isSequence(v))
        return textOf(v);
    std::vector<std::string> texts;
    for (const py::handle item : v)
        texts.push_back(textOf(item));
    return joined(texts);
}

Given<double> givenReal(py::handle value) { return {argumentText(value), realOf(plain(value))}; }

Given<std::uint64_t> givenWhole(py::handle value)
{
    const py::object v = plain(value);
    Given<std::uint64_t> given{argumentText(v)};
    // A negative int or one past 64 bits is refused in the words its text gets.
    if (PyLong_CheckExact(v.ptr())) {
        const unsigned long long whole = PyLong_AsUnsignedLongLong(v.ptr());
        if (PyErr_Occurred())
            PyErr_Clear();
        else
            given.value = whole;
    }
    return given;
}

std::vector<std::string> givenTexts(py::handle value)
{
    std::vector<std::string> texts;
    for (const auto& [text, item] : listItems(value))
        texts.push_back(text);
    return texts;
}

std::vector<Given<double>> givenReals(py::handle value)
{
    std::vector<Given<double>> reals;
    for (const auto& [text, item] : listItems(value))
        reals.push_back({text, realOf(item)});
    return reals;
}

}  // namespace velmora
