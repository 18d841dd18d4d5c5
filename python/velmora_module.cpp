// The `velmora` Python module: single runs, formations stepped from Python, Monte Carlo batches, sweeps and
// replays, over the same engine and option readers as velmora-sim, so both give the same numbers and the same
// one-line messages for bad input.

#include "cli/trial_options.h"
#include "scenario/scenario_file.h"
#include "scenario/scenario_run.h"
#include "sim/plan_algorithm.h"
#include "text/json_writer.h"
#include "text/message_text.h"
#include "text/provenance.h"
#include "trials/batch_report.h"
#include "trials/batch_run.h"
#include "trials/trial_parameters.h"
#include "trials/trial_runner.h"

#include <CLI/CLI.hpp>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <unistd.h>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace py = pybind11;

namespace velmora {
namespace {

// A keyword argument and the velmora-sim option it stands for; None leaves the option at its default.
struct Argument {
    const char* option;
    py::object value;
};

// A value as the text of an option; a list or tuple becomes a comma-separated list, as sweep takes it.
std::string optionText(const py::object& value)
{
    if (!py::isinstance<py::str>(value) && (py::isinstance<py::list>(value) || py::isinstance<py::tuple>(value) ||
                                            py::hasattr(value, "tolist"))) {
        py::object items = py::hasattr(value, "tolist") ? value.attr("tolist")() : value;
        if (py::isinstance<py::list>(items) || py::isinstance<py::tuple>(items)) {
            std::string text;
            for (const py::handle item : items) {
                if (!text.empty())
                    text += ',';
                text += py::str(item).cast<std::string>();
            }
            return text;
        }
        return py::str(items).cast<std::string>();
    }
    // str() of a float is its shortest round-trip text, which reads back as the same double.
    return py::str(value).cast<std::string>();
}

// Reads the arguments with the command's own options. Each goes as "--option=value", so that no value, such
// as a negative number or "--help", is ever taken for an option.
void parseArguments(CLI::App& command, const std::vector<Argument>& arguments)
{
    std::vector<std::string> args;
    for (const Argument& a : arguments)
        if (!a.value.is_none())
            args.push_back(std::string("--") + a.option + "=" + optionText(a.value));
    // CLI11 takes a vector of arguments last first.
    std::reverse(args.begin(), args.end());
    command.parse(args);
}

// What every document says made it: here the Python program's sys.argv.
std::vector<std::string> pythonCommand()
{
    std::vector<std::string> command;
    const py::module_ sys = py::module_::import("sys");
    if (py::hasattr(sys, "argv"))
        for (const py::handle arg : sys.attr("argv"))
            command.push_back(py::str(arg).cast<std::string>());
    return command;
}

py::object jsonLoads(const nlohmann::ordered_json& doc)
{
    return py::module_::import("json").attr("loads")(toJsonText(doc));
}

// fovDeg -> fov_deg, initializedInterval95 -> initialized_interval95: the summaries read like Python.
std::string snakeCase(const std::string& key)
{
    std::string out;
    for (const char c : key) {
        if (std::isupper(static_cast<unsigned char>(c))) {
            out += '_';
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        } else {
            out += c;
        }
    }
    return out;
}

nlohmann::ordered_json snakeKeys(const nlohmann::ordered_json& doc)
{
    if (doc.is_object()) {
        nlohmann::ordered_json out = nlohmann::ordered_json::object();
        for (const auto& [key, value] : doc.items())
            out[snakeCase(key)] = snakeKeys(value);
        return out;
    }
    if (doc.is_array()) {
        nlohmann::ordered_json out = nlohmann::ordered_json::array();
        for (const auto& value : doc)
            out.push_back(snakeKeys(value));
        return out;
    }
    return doc;
}

// A dict goes through Python's json module, so the scenario reader sees the same text a file would hold; a
// str or path names a scenario file.
Scenario scenarioFrom(const py::object& scenario)
{
    if (py::isinstance<py::dict>(scenario)) {
        const auto text = py::module_::import("json").attr("dumps")(scenario).cast<std::string>();
        return parseScenarioText(text, "the scenario");
    }
    if (py::isinstance<py::str>(scenario) || py::hasattr(scenario, "__fspath__"))
        return loadScenarioFile(py::module_::import("os").attr("fspath")(scenario).cast<std::string>());
    throw py::type_error("scenario must be a dict or the path of a scenario file, not " +
                         py::str(py::type::of(scenario).attr("__name__")).cast<std::string>());
}

py::object run(const py::object& scenario, const py::object& steps, const py::object& duration,
               const py::object& sighting)
{
    std::int64_t stepCount = -1;
    double seconds = 0.0;
    std::string rule = std::string(sightingName(Sighting::Grid));
    CLI::App command;
    auto* stepsOption = command.add_option("--steps", stepCount)
                            ->transform(wholeNumber())
                            ->check(CLI::Range(std::int64_t{0}, maxRunSteps));
    auto* durationOption = command.add_option("--duration", seconds);
    stepsOption->excludes(durationOption);
    addSightingOption(command, rule);
    parseArguments(command, {{"steps", steps}, {"duration", duration}, {"sighting", sighting}});

    const Scenario s = scenarioFrom(scenario);
    std::optional<std::int64_t> n;
    if (stepCount >= 0)
        n = stepCount;
    else if (durationOption->count() > 0)
        n = stepsForDuration(seconds);
    std::optional<ScenarioResult> result;
    {
        py::gil_scoped_release release;
        result.emplace(runScenario(s, n, nullptr, *sightingFromName(rule)));
    }
    return jsonLoads(runResultJson(s, *result, pythonCommand()));
}

// Called on the caller's thread about ten times a second while trials run: a Ctrl+C turns into a
// KeyboardInterrupt here, and the batch stops.
void checkSignals(std::uint64_t)
{
    py::gil_scoped_acquire gil;
    if (PyErr_CheckSignals() != 0)
        throw py::error_already_set();
}

// The trial file's columns, kept as the trials arrive: each trial's cell (the index of the run that made it,
// whose parameters lead every row) and its own columns.
struct TrialColumns {
    std::vector<std::uint64_t> trial;
    std::vector<std::uint32_t> seedState;
    std::vector<bool> initialized;
    std::vector<std::int64_t> stepsToInitialize;
    std::vector<double> timeToInitialize;
    std::vector<double> exactTimeToInitialize;
    std::vector<std::int32_t> links;
    std::vector<std::int32_t> groups;
    std::vector<std::int32_t> missedSightings;
    std::vector<std::size_t> cell;

    void add(std::span<const TrialResult> block, std::size_t cellIndex = 0)
    {
        for (const TrialResult& r : block) {
            trial.push_back(r.trial);
            seedState.push_back(r.seedState);
            initialized.push_back(r.initialized);
            // Steps count from 1, so 0 says "never", as NaN does for the time.
            stepsToInitialize.push_back(r.initialized ? r.stepsToInitialize : 0);
            timeToInitialize.push_back(r.initialized ? r.timeToInitialize : std::nan(""));
            exactTimeToInitialize.push_back(r.initialized ? r.exactTimeToInitialize : std::nan(""));
            links.push_back(r.links);
            groups.push_back(r.groups);
            missedSightings.push_back(r.missedSightings);
            cell.push_back(cellIndex);
        }
    }

    template <typename T>
    static py::array_t<T> array(const std::vector<T>& values)
    {
        return py::array_t<T>(static_cast<py::ssize_t>(values.size()), values.data());
    }

    // Each row's value of one parameter of its cell.
    template <typename T>
    py::array_t<T> perRow(const std::vector<TrialOrigin>& cells, T (*of)(const TrialOrigin&)) const
    {
        std::vector<T> values;
        values.reserve(cell.size());
        for (const std::size_t c : cell)
            values.push_back(of(cells[c]));
        return array(values);
    }

    // Each row's object (a name, an identity) of its cell, as a column of Python objects.
    template <typename Of>
    py::array perRowObject(const std::vector<TrialOrigin>& cells, Of of) const
    {
        std::vector<py::object> values;
        for (const TrialOrigin& o : cells)
            values.push_back(of(o));
        const auto rows = static_cast<py::ssize_t>(cell.size());
        py::array out(py::dtype("O"), std::vector<py::ssize_t>{rows});
        auto** objects = static_cast<PyObject**>(out.mutable_data());
        for (py::ssize_t i = 0; i < rows; ++i) {
            // The array's slots start as None; each takes a new reference to its cell's object.
            Py_XDECREF(objects[i]);
            objects[i] = values[cell[static_cast<std::size_t>(i)]].inc_ref().ptr();
        }
        return out;
    }

    // The columns of a trial file, the parameters first, as velmora-sim's files name them.
    void addTo(py::dict& columns, const std::vector<TrialOrigin>& cells) const
    {
        columns["algorithm"] = perRowObject(cells, [](const TrialOrigin& o) {
            return py::object(py::str(algorithmName(o.setup.scenario)));
        });
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
        columns["steps"] = perRow<std::int64_t>(cells, [](const TrialOrigin& o) { return o.setup.steps; });
        columns["sighting"] = perRowObject(cells, [](const TrialOrigin& o) {
            return py::object(py::str(std::string(sightingName(o.setup.sighting))));
        });
        py::array_t<bool> init(static_cast<py::ssize_t>(initialized.size()));
        auto view = init.mutable_unchecked<1>();
        for (std::size_t i = 0; i < initialized.size(); ++i)
            view(static_cast<py::ssize_t>(i)) = initialized[i];
        columns["trial"] = array(trial);
        columns["seedState"] = array(seedState);
        columns["initialized"] = init;
        columns["stepsToInitialize"] = array(stepsToInitialize);
        columns["timeToInitialize"] = array(timeToInitialize);
        columns["exactTimeToInitialize"] = array(exactTimeToInitialize);
        columns["links"] = array(links);
        columns["groups"] = array(groups);
        columns["missedSightings"] = array(missedSightings);
    }
};

// The trial table takes about this much per trial while it is built: the rows as they arrive, the numpy
// arrays made from them, and pandas' copy.
constexpr double tableBytesPerTrial = 256.0;

// Trials kept in a table must fit in memory with room to spare: past half of this machine's memory the call is
// refused before any trial runs, rather than ending in the system's out-of-memory killer hours later.
void checkTableSize(std::uint64_t trials)
{
    const double memory = static_cast<double>(sysconf(_SC_PHYS_PAGES)) * static_cast<double>(sysconf(_SC_PAGE_SIZE));
    const double bytes = static_cast<double>(trials) * tableBytesPerTrial;
    if (memory > 0.0 && bytes > memory / 2.0)
        throw OptionError("per_trial: a table of " + std::to_string(trials) + " trials needs about " +
                          std::to_string(static_cast<long long>(std::ceil(bytes / 1e9))) +
                          " GB, more than half of this machine's memory; pass per_trial=False to keep the summary only");
}

// A pandas DataFrame when pandas is there, else the dict of numpy arrays itself.
py::object table(const py::dict& columns)
{
    try {
        return py::module_::import("pandas").attr("DataFrame")(columns);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_ImportError))
            throw;
        return columns;
    }
}

// velmora-sim's options shared by batch, sweep and replay (all but the algorithm and FOV).
std::vector<Argument> trialArguments(const py::object& count, const py::object& seed, const py::object& tilt,
                                     const py::object& maxSpeed, const py::object& radius, const py::object& box)
{
    return {{"count", count}, {"seed", seed}, {"tilt", tilt}, {"max-speed", maxSpeed}, {"radius", radius},
            {"box", box}};
}

py::object batch(const py::object& algorithm, const py::object& count, const py::object& trials,
                 const py::object& seed, const py::object& firstTrial, const py::object& fov, const py::object& tilt,
                 const py::object& maxSpeed, const py::object& radius, const py::object& box,
                 const py::object& duration, const py::object& threads, const py::object& shard,
                 const py::object& sighting, bool perTrial)
{
    TrialOptions options;
    TrialRange range;
    CLI::App command;
    addAlgorithmAndFovOptions(command, options);
    addTrialOptions(command, options, true);
    addTrialRangeOptions(command, range, "", "");
    auto arguments = trialArguments(count, seed, tilt, maxSpeed, radius, box);
    arguments.insert(arguments.end(), {{"algorithm", algorithm}, {"fov", fov}, {"trials", trials},
                                       {"first-trial", firstTrial}, {"duration", duration}, {"threads", threads},
                                       {"shard", shard}, {"sighting", sighting}});
    parseArguments(command, arguments);
    // Rows name the whole range asked for, as a shard's trial file does.
    const TrialSpan asked{range.firstTrial, range.trials};
    range = range.resolved();
    TrialSetup setup = options.setup(algorithmIndex(options.algorithm), options.scenario.fovDeg);
    setup.steps = trialSteps(setup.scenario, options.steps());
    if (perTrial)
        checkTableSize(range.trials);

    TrialColumns columns;
    std::optional<BatchRun> result;
    {
        py::gil_scoped_release release;
        result.emplace(runBatch(
            setup, range.firstTrial, range.trials, range.threads,
            [&](std::span<const TrialResult> block) {
                if (perTrial)
                    columns.add(block);
            },
            checkSignals));
    }
    py::dict out = jsonLoads(snakeKeys(batchRunJson(*result, pythonCommand())));
    if (perTrial) {
        py::dict perTrialColumns;
        columns.addTo(perTrialColumns, {TrialOrigin{setup, asked}});
        out["per_trial"] = table(perTrialColumns);
    }
    return out;
}

py::object sweep(const py::object& algorithm, const py::object& fov, const py::object& count,
                 const py::object& trials, const py::object& seed, const py::object& firstTrial,
                 const py::object& tilt, const py::object& maxSpeed, const py::object& radius, const py::object& box,
                 const py::object& duration, const py::object& threads, const py::object& shard,
                 const py::object& sighting, bool perTrial)
{
    TrialOptions options;
    TrialRange range;
    SweepGrid grid;
    CLI::App command;
    addSweepGridOptions(command, grid);
    addTrialOptions(command, options, true);
    addTrialRangeOptions(command, range, "", "");
    auto arguments = trialArguments(count, seed, tilt, maxSpeed, radius, box);
    arguments.insert(arguments.end(), {{"algorithm", algorithm}, {"fov", fov}, {"trials", trials},
                                       {"first-trial", firstTrial}, {"duration", duration}, {"threads", threads},
                                       {"shard", shard}, {"sighting", sighting}});
    parseArguments(command, arguments);
    // Rows name the whole range asked for, as a shard's trial file does.
    const TrialSpan asked{range.firstTrial, range.trials};
    range = range.resolved();

    const std::vector<TrialSetup> setups = grid.setups(options, range.trials);
    if (perTrial)
        checkTableSize(range.trials * setups.size());

    std::vector<BatchRun> cells;
    TrialColumns columns;
    {
        py::gil_scoped_release release;
        for (std::size_t c = 0; c < setups.size(); ++c) {
            cells.push_back(runBatch(
                setups[c], range.firstTrial, range.trials, range.threads,
                [&](std::span<const TrialResult> block) {
                    if (perTrial)
                        columns.add(block, c);
                },
                checkSignals));
        }
    }
    py::dict out = jsonLoads(snakeKeys(sweepJson(cells, pythonCommand())));
    if (perTrial) {
        std::vector<TrialOrigin> origins;
        for (const TrialSetup& setup : setups)
            origins.push_back({setup, asked});
        py::dict perTrialColumns;
        columns.addTo(perTrialColumns, origins);
        out["per_trial"] = table(perTrialColumns);
    }
    return out;
}

py::object replay(const py::object& trial, const py::object& algorithm, const py::object& count,
                  const py::object& seed, const py::object& fov, const py::object& tilt, const py::object& maxSpeed,
                  const py::object& radius, const py::object& box)
{
    TrialOptions options;
    std::uint64_t trialNumber = 0;
    CLI::App command;
    command.add_option("--trial", trialNumber)->transform(wholeNumber())->required();
    addAlgorithmAndFovOptions(command, options);
    addTrialOptions(command, options, false);
    auto arguments = trialArguments(count, seed, tilt, maxSpeed, radius, box);
    arguments.insert(arguments.end(), {{"trial", trial}, {"algorithm", algorithm}, {"fov", fov}});
    parseArguments(command, arguments);
    const TrialSetup setup = options.setup(algorithmIndex(options.algorithm), options.scenario.fovDeg);
    return jsonLoads(scenarioToJson(replayScenario(setup, trialNumber)));
}

// A formation set up from a scenario, stepped from Python. Its arrays are copies: they stay as they were when
// taken, however the formation steps on or goes away.
class PyFormation {
public:
    explicit PyFormation(const py::object& scenario)
    {
        const Scenario s = scenarioFrom(scenario);
        // From the scenario's seed, as velmora-sim run sets it up.
        Rand15 rng(s.seed);
        setUpFormation(s, f_, rng);
        requireFiniteState(f_, "after set-up");
    }

    bool step(std::int64_t steps)
    {
        if (steps < 0 || steps > maxRunSteps)
            throw InputError("steps must be from 0 to " + std::to_string(maxRunSteps));
        bool changed = false;
        for (std::int64_t k = 0; k < steps; ++k) {
            changed = f_.step(stepSeconds) || changed;
            // A long stretch stays stoppable with Ctrl+C; the formation keeps the steps it has taken.
            if (k % 65536 == 65535 && PyErr_CheckSignals() != 0)
                throw py::error_already_set();
        }
        return changed;
    }

    py::array_t<double> vectors(Vec3 Spacecraft::*member) const
    {
        py::array_t<double> out({f_.craftCount(), 3});
        auto view = out.mutable_unchecked<2>();
        for (int i = 0; i < f_.craftCount(); ++i)
            for (int k = 0; k < 3; ++k)
                view(i, k) = (f_.spacecraft(i).*member)[k];
        return out;
    }

    py::array_t<double> attitudes() const
    {
        py::array_t<double> out({f_.craftCount(), 3, 3});
        auto view = out.mutable_unchecked<3>();
        for (int i = 0; i < f_.craftCount(); ++i)
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 3; ++c)
                    view(i, r, c) = f_.spacecraft(i).attitude(r, c);
        return out;
    }

    std::vector<int> groups() const
    {
        std::vector<int> out;
        for (int i = 0; i < f_.craftCount(); ++i)
            out.push_back(f_.findGroup(i));
        return out;
    }

    const Formation& formation() const { return f_; }

private:
    Formation f_;
};

}  // namespace
}  // namespace velmora

PYBIND11_MODULE(velmora, m)
{
    using namespace velmora;
    using py::arg;
    const py::none none;

    m.doc() = "Spacecraft formation initialization: single runs, formations stepped from Python, Monte Carlo "
              "batches and sweeps, with the same engine, numbers and messages as velmora-sim.";

    // Bad input reads as velmora-sim says it, in one line.
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p)
                std::rethrow_exception(p);
        } catch (const InputError& e) {
            PyErr_SetString(PyExc_ValueError, printable(e.what()).c_str());
        } catch (const CLI::ParseError& e) {
            PyErr_SetString(PyExc_ValueError, printable(e.what()).c_str());
        }
    });

    m.attr("ALGORITHMS") = [] {
        py::list names;
        for (const auto name : planAlgorithmNames)
            names.append(std::string(name));
        return py::tuple(names);
    }();
    m.attr("STEP_SECONDS") = stepSeconds;

    m.def("run", &run, arg("scenario"), arg("steps") = none, arg("duration") = none, arg("sighting") = none,
          R"(Run a scenario as `velmora-sim run` does and return its result document.

scenario: a dict with the scenario keys (algorithm, maxSpeed, fovDeg, tiltDeg, craftRadius, boxHalfSize,
    count, craft, counterexample, seed), or the path of a scenario file.
steps: number of 0.01 s steps; duration: simulated seconds (not both). Without either the run lasts until
    the longest plan in use has ended.
sighting: "grid" (the default: pairs link when in mutual view at the end of a step) or "continuous" (at their
    first moment in mutual view within a step). Either way every link has its exactTime, and on the grid
    "missedSightings" lists the sightings that began and ended between two steps' ends.

Returns the same dict as json.loads of velmora-sim run's output, whose "command" is sys.argv here. Raises ValueError on bad input.)");

    py::class_<PyFormation>(m, "Formation", "A formation set up from a scenario and stepped in 0.01 s steps.")
        .def(py::init<const py::object&>(), arg("scenario"),
             "Set up from a scenario dict or file, exactly as velmora.run and velmora-sim run set it up.")
        .def("step", &PyFormation::step, arg("steps") = 1,
             "Advance by steps steps of 0.01 s; True when some craft entered another plan segment on the way.")
        .def_property_readonly(
            "positions", [](const PyFormation& f) { return f.vectors(&Spacecraft::position); },
            "Craft positions, an (n, 3) array (a copy).")
        .def_property_readonly(
            "velocities", [](const PyFormation& f) { return f.vectors(&Spacecraft::velocity); },
            "Craft velocities, an (n, 3) array (a copy).")
        .def_property_readonly("attitudes", &PyFormation::attitudes,
                               "Craft attitudes, an (n, 3, 3) array of body-to-world rotations, [craft, row, "
                               "column] (a copy).")
        .def("groups", &PyFormation::groups, "The root craft of each craft's group.")
        .def_property_readonly(
            "links", [](const PyFormation& f) { return f.formation().linkCount(); },
            "Pairs of craft that have seen each other.")
        .def_property_readonly(
            "initialized", [](const PyFormation& f) { return f.formation().allInOneGroup(); },
            "Every craft is in one group.")
        .def_property_readonly(
            "time", [](const PyFormation& f) { return f.formation().time(); }, "Simulated time, seconds.")
        .def_property_readonly(
            "count", [](const PyFormation& f) { return f.formation().craftCount(); }, "Number of craft.")
        .def("__repr__", [](const PyFormation& f) {
            const Formation& x = f.formation();
            return "<velmora.Formation: " + std::to_string(x.craftCount()) + " craft, t = " + numberText(x.time()) +
                   " s, links " + std::to_string(x.linkCount()) + ", groups " + std::to_string(x.groupCount()) + ">";
        });

    const char* batchDoc =
        R"(Run Monte Carlo trials as `velmora-sim batch` does and summarize them.

Every argument is optional and means what the velmora-sim batch option of that name means (first_trial is
--first-trial, max_speed --max-speed, shard "i/n" --shard); None keeps velmora-sim's default. Trial k draws its formation from its
own sequence derived from seed and k, so the results are the same for any threads.

Returns velmora-sim batch --json's summary with its keys in snake_case (initialized_fraction,
time_to_initialize, ...) and, unless per_trial is False, "per_trial": the trial file's columns (the
parameters algorithm ... steps and sighting, then trial, seedState, initialized, stepsToInitialize (0 when not
initialized), timeToInitialize and exactTimeToInitialize (NaN then), links, groups, missedSightings) as a pandas
DataFrame, or a dict of numpy arrays when pandas is not installed. sighting="continuous" links pairs at their
first moment in mutual view within a step instead of at the steps' ends. The GIL is released while the trials run; Ctrl+C stops
them and raises KeyboardInterrupt. Raises ValueError with velmora-sim's message on bad arguments.)";
    m.def("batch", &batch, arg("algorithm") = none, arg("count") = none, arg("trials") = none, arg("seed") = none,
          arg("first_trial") = none, arg("fov") = none, arg("tilt") = none, arg("max_speed") = none,
          arg("radius") = none, arg("box") = none, arg("duration") = none, arg("threads") = none,
          arg("shard") = none, arg("sighting") = none, arg("per_trial") = true, batchDoc);

    m.def("sweep", &sweep, arg("algorithm") = none, arg("fov") = none, arg("count") = none, arg("trials") = none,
          arg("seed") = none, arg("first_trial") = none, arg("tilt") = none, arg("max_speed") = none,
          arg("radius") = none, arg("box") = none, arg("duration") = none, arg("threads") = none,
          arg("shard") = none, arg("sighting") = none, arg("per_trial") = true,
          R"(Run one batch per algorithm and field of view as `velmora-sim sweep` does.

algorithm: a name, an index, "all" (the default) or a list of them; fov: a number or a list of numbers. The
other arguments are those of velmora.batch. Every cell runs the same trials.

Returns velmora-sim sweep --json's document with its keys in snake_case, whose "cells" hold one summary
each, and, unless per_trial is False, "per_trial": every cell's trials with its parameters, as a
pandas DataFrame or a dict of numpy arrays.)");

    m.def("replay", &replay, arg("trial"), arg("algorithm") = none, arg("count") = none, arg("seed") = none,
          arg("fov") = none, arg("tilt") = none, arg("max_speed") = none, arg("radius") = none, arg("box") = none,
          R"(The scenario of one batch trial with every craft explicit, as `velmora-sim replay` prints it.

Give the batch's parameters. The dict runs with velmora.run, or saved with json.dump opens in the desktop
program (velmora FILE.json) and in velmora-sim run.)");
}
