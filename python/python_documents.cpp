#include "python_documents.h"

#include "text/message_text.h"

#include <cmath>
#include <cstdint>

namespace py = pybind11;

namespace velmora {

py::object pythonDocument(const nlohmann::ordered_json& doc)
{
    using Type = nlohmann::json::value_t;
    switch (doc.type()) {
    case Type::object: {
        py::dict out;
        for (const auto& [key, value] : doc.items())
            out[py::str(key)] = pythonDocument(value);
        return out;
    }
    case Type::array: {
        py::list out(doc.size());
        for (std::size_t i = 0; i < doc.size(); ++i)
            out[i] = pythonDocument(doc[i]);
        return out;
    }
    // As velmora-sim writes strings: bytes that are not UTF-8 (a file name) as \xNN.
    case Type::string: return py::str(utf8Text(doc.get_ref<const std::string&>()));
    case Type::boolean: return py::bool_(doc.get<bool>());
    case Type::number_integer: return py::int_(doc.get<std::int64_t>());
    case Type::number_unsigned: return py::int_(doc.get<std::uint64_t>());
    case Type::number_float: {
        const double value = doc.get<double>();
        return std::isfinite(value) ? py::object(py::float_(value)) : py::object(py::none());
    }
    case Type::null:
    case Type::binary:
    case Type::discarded: break;
    }
    return py::none();
}

py::object dataFrame(const py::dict& columns)
{
    try {
        return py::module_::import("pandas").attr("DataFrame")(columns);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_ImportError))
            throw;
        return columns;
    }
}

std::vector<std::string> pythonCommand()
{
    std::vector<std::string> command;
    const py::module_ sys = py::module_::import("sys");
    // Arguments the system's encoding could not decode reach Python as lone surrogates; os.fsencode gives
    // back their bytes, which the JSON writer then escapes where they are not UTF-8.
    const py::object fsencode = py::module_::import("os").attr("fsencode");
    if (py::hasattr(sys, "argv"))
        for (const py::handle arg : sys.attr("argv"))
            command.push_back(fsencode(py::str(arg)).cast<std::string>());
    return command;
}

}  // namespace velmora
