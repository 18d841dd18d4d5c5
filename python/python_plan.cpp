#include "python_plan.h"

#include "files/replacing_file.h"
#include "geometry/angles.h"
#include "keyword_arguments.h"
#include "python_arguments.h"
#include "python_documents.h"
#include "text/json_writer.h"

#include <pybind11/numpy.h>

#include <string>

namespace py = pybind11;

namespace velmora {
namespace {

std::string typeName(py::handle value) { return py::str(py::type::of(value).attr("__name__")).cast<std::string>(); }

bool isSequence(py::handle value) { return py::isinstance<py::list>(value) || py::isinstance<py::tuple>(value); }

std::string fileName(const py::object& path)
{
    return py::module_::import("os").attr("fsencode")(path).cast<std::string>();
}

// A Python value as the JSON a plan file would hold for it; what JSON has no form for is refused under at.
nlohmann::json jsonOf(py::handle value, const std::string& at)
{
    if (!py::isinstance<py::str>(value) && py::hasattr(value, "tolist"))
        return jsonOf(value.attr("tolist")(), at);
    if (value.is_none())
        return nullptr;
    if (py::isinstance<py::bool_>(value))
        return value.cast<bool>();
    if (py::isinstance<py::int_>(value)) {
        // Beyond 64 bits the number is read as the double a file's digits would give.
        const long long whole = PyLong_AsLongLong(value.ptr());
        if (!PyErr_Occurred())
            return whole;
        PyErr_Clear();
        return PyLong_AsDouble(value.ptr());
    }
    if (py::isinstance<py::float_>(value))
        return value.cast<double>();
    if (py::isinstance<py::str>(value))
        return value.attr("encode")("utf-8", "surrogateescape").cast<std::string>();
    if (isSequence(value)) {
        nlohmann::json out = nlohmann::json::array();
        for (const py::handle item : value)
            out.push_back(jsonOf(item, at));
        return out;
    }
    if (py::isinstance<py::dict>(value)) {
        nlohmann::json out = nlohmann::json::object();
        for (const auto& [key, item] : value.cast<py::dict>())
            out[py::str(key).cast<std::string>()] = jsonOf(item, at);
        return out;
    }
    throw py::type_error(at + ": a " + typeName(value) + " is no number, text or list");
}

// A segment as (duration, axis, rate), or as a plan file's segment object.
nlohmann::json segmentJson(py::handle segment, const std::string& at)
{
    if (py::isinstance<py::dict>(segment))
        return jsonOf(segment, at);
    if (!isSequence(segment))
        throw py::type_error(at + ": a segment is (duration, axis, rate), not a " + typeName(segment));
    if (py::len(segment) != 3)
        throw py::value_error(at + ": a segment is (duration, axis, rate), not " + std::to_string(py::len(segment)) +
                              " values");
    const py::sequence s = py::reinterpret_borrow<py::sequence>(segment);
    return {{"duration", jsonOf(s[0], at)}, {"axis", jsonOf(s[1], at)}, {"rate", jsonOf(s[2], at)}};
}

}  // namespace

PythonPlan::PythonPlan(const py::object& name, const py::object& roles, const py::object& description)
{
    static const std::string source = "the plan";
    if (!py::isinstance<py::str>(name))
        throw py::type_error("name must be a str, not " + typeName(name));
    if (!isSequence(roles))
        throw py::type_error("roles must be a list of roles, each a list of (duration, axis, rate), not " +
                             typeName(roles));
    nlohmann::json doc{{"velmoraPlan", 1}, {"name", jsonOf(name, source)}};
    if (!description.is_none())
        doc["description"] = jsonOf(description, source);
    nlohmann::json roleList = nlohmann::json::array();
    std::size_t r = 0;
    for (const py::handle role : roles) {
        const std::string roleAt = source + ", role " + std::to_string(r++);
        if (py::isinstance<py::dict>(role)) {
            roleList.push_back(jsonOf(role, roleAt));
            continue;
        }
        if (!isSequence(role))
            throw py::type_error(roleAt + ": a role is a list of (duration, axis, rate), not a " + typeName(role));
        nlohmann::json segments = nlohmann::json::array();
        std::size_t k = 0;
        for (const py::handle segment : role)
            segments.push_back(segmentJson(segment, roleAt + ", segment " + std::to_string(k++)));
        roleList.push_back({{"segments", std::move(segments)}});
    }
    doc["roles"] = std::move(roleList);
    plan_ = std::make_shared<const PlanFile>(PlanFile::fromJson(doc, source));
}

PythonPlan PythonPlan::load(const py::object& path)
{
    return PythonPlan(std::make_shared<const PlanFile>(PlanFile::load(fileName(path))));
}

std::string PythonPlan::json() const { return toJsonText(plan_->canonical()); }

void PythonPlan::save(const py::object& path) const
{
    ReplacingFile file(fileName(path));
    file.write(json() + '\n');
    file.commit();
}

py::object PythonPlan::table(const py::object& tilt, const py::object& fov) const
{
    // velmora-sim plan's defaults.
    const double tiltDeg = tilt.is_none() ? 45.0 : coneAngleRule.real("tilt", givenReal("tilt", tilt));
    const double fovDeg = fov.is_none() ? 70.0 : coneAngleRule.real("fov", givenReal("fov", fov));
    const std::vector<ManeuverPlan> tables = plan_->tables(degreesToRadians(tiltDeg), degreesToRadians(fovDeg));
    std::vector<int> role;
    std::vector<int> segment;
    std::vector<double> start;
    std::vector<double> end;
    py::list axis;
    std::vector<double> rate;
    for (std::size_t r = 0; r < tables.size(); ++r) {
        const ManeuverPlan& t = tables[r];
        for (int k = 0; k < t.count(); ++k) {
            role.push_back(static_cast<int>(r));
            segment.push_back(k);
            start.push_back(k == 0 ? 0.0 : t.endTime(k - 1));
            end.push_back(t.endTime(k));
            const Vec3& a = t.segment(k).axis;
            axis.append(py::make_tuple(a.x, a.y, a.z));
            rate.push_back(t.segment(k).rate);
        }
    }
    py::dict columns;
    columns["role"] = py::array_t<int>(static_cast<py::ssize_t>(role.size()), role.data());
    columns["segment"] = py::array_t<int>(static_cast<py::ssize_t>(segment.size()), segment.data());
    columns["start"] = py::array_t<double>(static_cast<py::ssize_t>(start.size()), start.data());
    columns["end"] = py::array_t<double>(static_cast<py::ssize_t>(end.size()), end.data());
    py::array axes(py::dtype("O"), std::vector<py::ssize_t>{static_cast<py::ssize_t>(axis.size())});
    for (std::size_t i = 0; i < axis.size(); ++i)
        axes[py::int_(i)] = axis[i];
    columns["axis"] = axes;
    columns["rate"] = py::array_t<double>(static_cast<py::ssize_t>(rate.size()), rate.data());
    return dataFrame(columns);
}

std::optional<std::vector<AlgorithmChoice>> algorithmChoices(py::handle value, const TrialNames& names)
{
    std::vector<py::object> items;
    if (isSequence(value))
        for (const py::handle item : value)
            items.push_back(py::reinterpret_borrow<py::object>(item));
    else
        items.push_back(py::reinterpret_borrow<py::object>(value));
    bool objects = false;
    for (const py::object& item : items)
        objects = objects || py::isinstance<PythonPlan>(item) || py::hasattr(item, "__fspath__");
    if (!objects)
        return std::nullopt;
    std::vector<AlgorithmChoice> choices;
    for (const py::object& item : items) {
        if (py::isinstance<PythonPlan>(item)) {
            choices.push_back({-1, item.cast<const PythonPlan&>().plan()});
        } else if (!py::isinstance<py::str>(item) && py::hasattr(item, "__fspath__")) {
            choices.push_back({-1, std::make_shared<const PlanFile>(PlanFile::load(fileName(item)))});
        } else {
            // A name, an index, "all" or a plan file's path, read as the request reads it.
            TrialRequest request(names);
            request.setAlgorithms(givenTexts(item));
            for (const TrialSetup& cell : request.sweepCells())
                choices.push_back({cell.scenario.algorithm, cell.scenario.plan});
        }
    }
    return choices;
}

void bindPlan(py::module_& m)
{
    using py::arg;
    py::class_<PythonPlan>(m, "Plan", R"(A maneuver plan: the roles a formation's craft fly, craft i flying role i mod
the number of roles, each a list of constant-rate turns (duration, axis, rate).

Plan(name, roles, description=None) states one in Python; Plan.load(path) reads a plan file. A duration or
rate is a number or an expression in pi, tilt, fov (radians) and g; an axis is "x", "y", "z", "-x", "-y",
"-z" or three numbers. A Plan goes wherever an algorithm does (batch, sweep, replay, a scenario's
"algorithm"). Raises ValueError with the words a plan file of it would get.)")
        .def(py::init([](const py::args& args, const py::kwargs& kwargs) {
                 static constexpr std::string_view names[] = {"name", "roles", "description"};
                 const KeywordArguments a("Plan", names, 2, args, kwargs);
                 return PythonPlan(a["name"], a["roles"], a["description"]);
             }),
             "Plan(name, roles, description=None)")
        .def_static("load", &PythonPlan::load, arg("path"), "Read a plan file (FILE.plan.json).")
        .def_property_readonly(
            "name", [](const PythonPlan& p) { return p.plan()->name(); }, "The plan's name, as results name it.")
        .def_property_readonly(
            "description", [](const PythonPlan& p) { return p.plan()->description(); }, "Its free text.")
        .def_property_readonly(
            "roles", [](const PythonPlan& p) { return p.plan()->roleCount(); }, "Number of roles.")
        .def_property_readonly(
            "sha256", [](const PythonPlan& p) { return p.plan()->sha256(); },
            "SHA-256 of its canonical text (to_json()), in hex: its identity in every result.")
        .def("to_json", &PythonPlan::json, "The plan's canonical text, as a plan file.")
        .def("save", &PythonPlan::save, arg("path"),
             "Write it as a plan file; the file is replaced only once the whole plan is written.")
        .def(
            "table",
            [](const PythonPlan& p, const py::args& args, const py::kwargs& kwargs) {
                static constexpr std::string_view names[] = {"tilt", "fov"};
                const KeywordArguments a("table", names, 0, args, kwargs);
                return p.table(a["tilt"], a["fov"]);
            },
             R"(table(tilt=None, fov=None): each role's segments at a tilt angle and FOV half-angle in degrees (45
and 70 when not given), as `velmora-sim plan` prints them: columns role, segment, start, end (seconds), axis
(unit 3-tuple), rate (rad/s). Raises ValueError for a duration or rate that is not a finite number there.)")
        // Two plans are the same plan when they state the same thing: their identities agree.
        .def("__eq__",
             [](const PythonPlan& a, const py::object& b) {
                 return py::isinstance<PythonPlan>(b) &&
                        a.plan()->sha256() == b.cast<const PythonPlan&>().plan()->sha256();
             })
        .def("__hash__", [](const PythonPlan& p) { return py::hash(py::str(p.plan()->sha256())); })
        .def("__repr__", [](const PythonPlan& p) {
            const int roles = p.plan()->roleCount();
            return "<velmora.Plan " + p.plan()->name() + ": " + std::to_string(roles) +
                   (roles == 1 ? " role" : " roles") + ", sha256 " + p.plan()->sha256().substr(0, 12) + ">";
        });
}

}  // namespace velmora
