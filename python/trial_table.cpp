#include "trial_table.h"

#include "sim/plan_algorithm.h"
#include "text/input_error.h"

#include <pybind11/numpy.h>

#include <cmath>
#include <string>
#include <unistd.h>

namespace py = pybind11;

namespace velmora {
namespace {

// The trial table takes about this much per trial while it is built: the rows as they arrive, the numpy
// arrays made from them, and pandas' copy.
constexpr double tableBytesPerTrial = 96.0;

template <typename T>
py::array_t<T> array(const std::vector<T>& values)
{
    return py::array_t<T>(static_cast<py::ssize_t>(values.size()), values.data());
}

py::object frame(const py::dict& columns)
{
    try {
        return py::module_::import("pandas").attr("DataFrame")(columns);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_ImportError))
            throw;
        return columns;
    }
}

}  // namespace

void TrialTable::checkSize(std::uint64_t trials)
{
    const double memory = static_cast<double>(sysconf(_SC_PHYS_PAGES)) * static_cast<double>(sysconf(_SC_PAGE_SIZE));
    const double bytes = static_cast<double>(trials) * tableBytesPerTrial;
    if (memory > 0.0 && bytes > memory / 2.0)
        throw InputError("per_trial: a table of " + std::to_string(trials) + " trials needs about " +
                         std::to_string(static_cast<long long>(std::ceil(bytes / 1e9))) +
                         " GB, more than half of this machine's memory; pass per_trial=False to keep the summary only");
}

void TrialTable::add(std::span<const TrialResult> block, std::size_t cell)
{
    for (const TrialResult& r : block) {
        trial_.push_back(r.trial);
        seedState_.push_back(r.seedState);
        initialized_.push_back(r.initialized);
        // Steps count from 1, so 0 says "never", as NaN does for the time.
        stepsToInitialize_.push_back(r.initialized ? r.stepsToInitialize : 0);
        timeToInitialize_.push_back(r.initialized ? r.timeToInitialize : std::nan(""));
        links_.push_back(r.links);
        groups_.push_back(r.groups);
        cell_.push_back(cell);
    }
}

void TrialTable::addColumns(py::dict& columns) const
{
    py::array_t<bool> init(static_cast<py::ssize_t>(initialized_.size()));
    auto view = init.mutable_unchecked<1>();
    for (std::size_t i = 0; i < initialized_.size(); ++i)
        view(static_cast<py::ssize_t>(i)) = initialized_[i];
    columns["trial"] = array(trial_);
    columns["seedState"] = array(seedState_);
    columns["initialized"] = init;
    columns["stepsToInitialize"] = array(stepsToInitialize_);
    columns["timeToInitialize"] = array(timeToInitialize_);
    columns["links"] = array(links_);
    columns["groups"] = array(groups_);
}

py::object TrialTable::table() const
{
    py::dict columns;
    addColumns(columns);
    return frame(columns);
}

py::object TrialTable::table(std::span<const BatchRun> cells) const
{
    const auto rows = static_cast<py::ssize_t>(cell_.size());
    py::array algorithm(py::dtype("O"), std::vector<py::ssize_t>{rows});
    py::array_t<double> fovDeg(rows);
    auto fovView = fovDeg.mutable_unchecked<1>();
    std::vector<py::str> names;
    for (const BatchRun& cell : cells)
        names.emplace_back(std::string(planAlgorithmNames[cell.setup.scenario.algorithm]));
    auto** objects = static_cast<PyObject**>(algorithm.mutable_data());
    for (py::ssize_t i = 0; i < rows; ++i) {
        const std::size_t c = cell_[static_cast<std::size_t>(i)];
        // The array's slots start as None; each takes a new reference to its cell's name.
        Py_XDECREF(objects[i]);
        objects[i] = names[c].inc_ref().ptr();
        fovView(i) = cells[c].setup.scenario.fovDeg;
    }
    py::dict columns;
    columns["algorithm"] = algorithm;
    columns["fovDeg"] = fovDeg;
    addColumns(columns);
    return frame(columns);
}

}  // namespace velmora
