#include "keyword_arguments.h"

#include "text/message_text.h"

#include <algorithm>
#include <stdexcept>

namespace py = pybind11;

namespace velmora {

KeywordArguments::KeywordArguments(std::string_view function, std::span<const std::string_view> names,
                                   std::size_t required, const py::args& args, const py::kwargs& kwargs)
    : names_(names), values_(names.size(), py::none())
{
    const std::string called = std::string(function) + "()";
    if (args.size() > names.size())
        throw py::type_error(called + " takes at most " + std::to_string(names.size()) + " positional arguments (" +
                             std::to_string(args.size()) + " given)");
    std::vector<bool> given(names.size(), false);
    for (std::size_t i = 0; i < args.size(); ++i) {
        values_[i] = args[i];
        given[i] = true;
    }
    for (const auto& [key, value] : kwargs) {
        const std::string name = py::str(key).cast<std::string>();
        const auto it = std::find(names.begin(), names.end(), name);
        if (it == names.end()) {
            std::string message = called + " got an unexpected keyword argument '" + name + "'";
            if (const auto closest = closestName(name, names))
                message += " (did you mean '" + std::string(*closest) + "'?)";
            throw py::type_error(message);
        }
        const auto i = static_cast<std::size_t>(it - names.begin());
        if (given[i])
            throw py::type_error(called + " got multiple values for argument '" + name + "'");
        values_[i] = py::reinterpret_borrow<py::object>(value);
        given[i] = true;
    }
    for (std::size_t i = 0; i < required; ++i)
        if (!given[i])
            throw py::type_error(called + " missing required argument '" + std::string(names[i]) + "'");
}

py::object KeywordArguments::operator[](std::string_view name) const
{
    const auto it = std::find(names_.begin(), names_.end(), name);
    if (it == names_.end())
        throw std::logic_error("no argument " + std::string(name));
    return values_[static_cast<std::size_t>(it - names_.begin())];
}

py::object KeywordArguments::optional(std::string_view name) const
{
    const auto it = std::find(names_.begin(), names_.end(), name);
    return it == names_.end() ? py::none() : values_[static_cast<std::size_t>(it - names_.begin())];
}

}  // namespace velmora
