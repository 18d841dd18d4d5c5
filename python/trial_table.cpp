#include "trial_table.h"

#include "python_documents.h"
#include "scenario/scenario.h"
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
constexpr double tableBytesPerTrial = 256.0;

template <typename T>
py::array_t<T> array(const std::vector<T>& values)
{
    return py::array_t<T>(static_cast<py::ssize_t>(values.size()), values.data());
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
    for (const TrialResult& r : block)
        add(r, cell);
}

void TrialTable::add(const TrialResult& r, std::size_t cell)
{
    trial_.push_back(r.trial);
    seedState_.push_back(r.seedState);
    initialized_.push_back(r.initialized);
    // A formation that never initialized has no step and no time: NaN for both, as pandas says missing.
    stepsToInitialize_.push_back(r.initialized ? static_cast<double>(r.stepsToInitialize) : std::nan(""));
    timeToInitialize_.push_back(r.initialized ? r.timeToInitialize : std::nan(""));
    exactTimeToInitialize_.push_back(r.initialized ? r.exactTimeToInitialize : std::nan(""));
    links_.push_back(r.links);
    groups_.push_back(r.groups);
    missedSightings_.push_back(r.missedSightings);
    cell_.push_back(cell);
}

template <typename T, typename Of>
py::object TrialTable::perRow(std::span<const TrialOrigin> cells, Of of) const
{
    std::vector<T> values;
    values.reserve(cell_.size());
    for (const std::size_t c : cell_)
        values.push_back(of(cells[c]));
    return array(values);
}

template <typename Of>
py::object TrialTable::perRowObject(std::span<const TrialOrigin> cells, Of of) const
{
    std::vector<py::object> values;
    for (const TrialOrigin& o : cells)
        values.push_back(of(o));
    const auto rows = static_cast<py::ssize_t>(cell_.size());
    py::array out(py::dtype("O"), std::vector<py::ssize_t>{rows});
    auto** objects = static_cast<PyObject**>(out.mutable_data());
    for (py::ssize_t i = 0; i < rows; ++i) {
        // The array's slots start as None; each takes a new reference to its cell's object.
        Py_XDECREF(objects[i]);
        objects[i] = values[cell_[static_cast<std::size_t>(i)]].inc_ref().ptr();
    }
    return out;
}

py::object TrialTable::table(std::span<const TrialOrigin> cells) const
{
    py::dict columns;
    columns["algorithm"] =
        perRowObject(cells, [](const TrialOrigin& o) { return py::object(py::str(algorithmName(o.setup.scenario))); });
    columns["plan"] = perRowObject(cells, [](const TrialOrigin& o) {
        return o.setup.scenario.plan ? py::object(py::str(o.setup.scenario.plan->sha256())) : py::object(py::none());
    });
    columns["maxSpeed"] = perRow<double>(cells, [](const TrialOrigin& o) { return o.setup.scenario.maxSpeed; });
    columns["fovDeg"] = perRow<double>(cells, [](const TrialOrigin& o) { return o.setup.scenario.fovDeg; });
    columns["tiltDeg"] = perRow<double>(cells, [](const TrialOrigin& o) { return o.setup.scenario.tiltDeg; });
    columns["craftRadius"] = perRow<double>(cells, [](const TrialOrigin& o) { return o.setup.scenario.craftRadius; });
    columns["boxHalfSize"] = perRow<double>(cells, [](const TrialOrigin& o) { return o.setup.scenario.boxHalfSize; });
    columns["count"] = perRow<std::int32_t>(cells, [](const TrialOrigin& o) { return o.setup.scenario.count; });
    columns["seed"] = perRow<std::uint64_t>(cells, [](const TrialOrigin& o) { return o.setup.seed; });
    columns["firstTrial"] = perRow<std::uint64_t>(cells, [](const TrialOrigin& o) { return o.range.first; });
    columns["trials"] = perRow<std::uint64_t>(cells, [](const TrialOrigin& o) { return o.range.count; });
    columns["duration"] = perRow<double>(cells, [](const TrialOrigin& o) {
        return o.setup.duration ? *o.setup.duration : std::nan("");
    });
    columns["steps"] = perRow<std::int64_t>(cells, [](const TrialOrigin& o) { return o.setup.steps; });
    columns["sighting"] = perRowObject(
        cells, [](const TrialOrigin& o) { return py::object(py::str(std::string(sightingName(o.setup.sighting)))); });
    py::array_t<bool> init(static_cast<py::ssize_t>(initialized_.size()));
    auto view = init.mutable_unchecked<1>();
    for (std::size_t i = 0; i < initialized_.size(); ++i)
        view(static_cast<py::ssize_t>(i)) = initialized_[i];
    columns["trial"] = array(trial_);
    columns["seedState"] = array(seedState_);
    columns["initialized"] = init;
    columns["stepsToInitialize"] = array(stepsToInitialize_);
    columns["timeToInitialize"] = array(timeToInitialize_);
    columns["exactTimeToInitialize"] = array(exactTimeToInitialize_);
    columns["links"] = array(links_);
    columns["groups"] = array(groups_);
    columns["missedSightings"] = array(missedSightings_);
    return dataFrame(columns);
}

}  // namespace velmora
