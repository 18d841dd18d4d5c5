#include "python_arguments.h"

#include <sstream>
#include <type_traits>

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

// The text of a value as bytes: lone surrogates (from bytes the system could not decode) become the bytes
// they stand for, as os.fsencode gives them, rather than failing to convert.
std::string textOf(py::handle value)
{
    return py::str(value).attr("encode")("utf-8", "surrogateescape").cast<std::string>();
}

// A number as the rules read it: an int by its digits (exact however large), a float as its value.
template <typename T>
Given<T> givenNumber(std::string_view name, py::handle value)
{
    const py::object v = plain(value);
    if (PyLong_Check(v.ptr()) && !PyBool_Check(v.ptr()))
        return {textOf(v)};
    if (PyFloat_Check(v.ptr())) {
        Given<T> given{textOf(v)};
        if constexpr (std::is_same_v<T, double>)
            given.value = PyFloat_AS_DOUBLE(v.ptr());
        return given;
    }
    throw py::type_error(std::string(name) + " must be a number, not " +
                         py::str(py::type::of(v).attr("__name__")).cast<std::string>() + " " +
                         py::repr(v).cast<std::string>());
}

// A list, tuple or array as its items; anything else as one item.
std::vector<py::object> itemsOf(py::handle value)
{
    const py::object v = plain(value);
    std::vector<py::object> items;
    if (isSequence(v))
        for (const py::handle item : v)
            items.push_back(py::reinterpret_borrow<py::object>(item));
    else
        items.push_back(v);
    return items;
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

Given<double> givenReal(std::string_view name, py::handle value) { return givenNumber<double>(name, value); }

Given<std::uint64_t> givenWhole(std::string_view name, py::handle value)
{
    return givenNumber<std::uint64_t>(name, value);
}

std::vector<std::string> givenTexts(py::handle value)
{
    std::vector<std::string> texts;
    for (const py::object& item : itemsOf(value))
        texts.push_back(textOf(item));
    std::vector<std::string> values;
    for (const std::string& text : texts)
        splitList(text, values);
    // An empty list says no more than an empty name.
    return texts.empty() ? texts : values;
}

std::vector<Given<double>> givenReals(std::string_view name, py::handle value)
{
    std::vector<Given<double>> reals;
    for (const py::object& item : itemsOf(value))
        reals.push_back(givenReal(name, item));
    return reals;
}

std::vector<Given<std::uint64_t>> givenWholes(std::string_view name, py::handle value)
{
    std::vector<Given<std::uint64_t>> wholes;
    for (const py::object& item : itemsOf(value))
        wholes.push_back(givenWhole(name, item));
    return wholes;
}

}  // namespace velmora
