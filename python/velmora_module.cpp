// The `velmora` Python module: single runs, formations stepped from Python, Monte Carlo batches, sweeps and
// replays, over the same engine and requests as velmora-sim, so both give the same numbers and the same
// one-line messages for bad input.

#include "files/replacing_file.h"
#include "keyword_arguments.h"
#include "python_arguments.h"
#include "python_documents.h"
#include "progress_bar.h"
#include "python_plan.h"
#include "scenario/run_request.h"
#include "scenario/scenario_file.h"
#include "scenario/scenario_run.h"
#include "sim/plan_algorithm.h"
#include "sim/sighting_scan.h"
#include "text/json_writer.h"
#include "text/message_text.h"
#include "text/provenance.h"
#include "trial_files.h"
#include "trial_table.h"
#include "trials/batch_report.h"
#include "trials/adversary_search.h"
#include "trials/batch_run.h"
#include "trials/coverage_map.h"
#include "trials/trial_request.h"
#include "trials/trial_runner.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace py = pybind11;

namespace velmora {
namespace {

// Refusals name the keyword argument, in Python's words.
constexpr TrialNames trialNames{"algorithm", "fov",  "count",    "tilt",        "max_speed", "radius",  "box",
                                "seed",      "duration", "trials", "first_trial", "shard",  "threads", "trial",
                                "sighting"};
constexpr RunNames runNames{"steps", "duration", "sighting"};

// A dict goes through Python's json module, so the scenario reader sees the same text a file would hold; a
// str or path names a scenario file.
Scenario scenarioFrom(const py::object& scenario)
{
    if (py::isinstance<py::dict>(scenario)) {
        py::dict doc = scenario.attr("copy")();
        // A Plan as its plan file's object, a path object as its text.
        if (doc.contains("algorithm")) {
            const py::object algorithm = doc["algorithm"];
            if (py::isinstance<PythonPlan>(algorithm))
                doc["algorithm"] =
                    py::module_::import("json").attr("loads")(algorithm.cast<const PythonPlan&>().json());
            else if (!py::isinstance<py::str>(algorithm) && py::hasattr(algorithm, "__fspath__"))
                doc["algorithm"] = py::module_::import("os").attr("fspath")(algorithm);
        }
        const auto text = py::module_::import("json").attr("dumps")(doc).cast<std::string>();
        return parseScenarioText(text, "the scenario");
    }
    if (py::isinstance<py::str>(scenario) || py::hasattr(scenario, "__fspath__"))
        // The file name as the system's bytes, whatever they are.
        return loadScenarioFile(py::module_::import("os").attr("fsencode")(scenario).cast<std::string>());
    throw py::type_error("scenario must be a dict or the path of a scenario file, not " +
                         py::str(py::type::of(scenario).attr("__name__")).cast<std::string>());
}

// Called on the caller's thread while a run goes (every 65536 steps): a Ctrl+C turns into a
// KeyboardInterrupt here, and the run stops.
void checkSignals(std::uint64_t)
{
    py::gil_scoped_acquire gil;
    if (PyErr_CheckSignals() != 0)
        throw py::error_already_set();
}

// The one algorithm of a batch or replay: a Plan, a plan file's path object, or what velmora-sim's
// --algorithm takes.
void setAlgorithm(TrialRequest& request, const py::object& algorithm)
{
    auto choices = algorithmChoices(algorithm, trialNames);
    if (!choices) {
        request.setAlgorithm(argumentText(algorithm));
        return;
    }
    if (choices->size() != 1)
        throw InputError(std::string(trialNames.algorithm) + ": " + std::to_string(choices->size()) +
                         " algorithms given where one runs; velmora.sweep races several");
    request.setAlgorithmChoices(std::move(*choices));
}

// The keyword arguments of each function, in the order they may also be given by position.
constexpr std::string_view runArguments[] = {"scenario", "steps", "duration", "sighting"};
constexpr std::string_view batchArguments[] = {"algorithm", "count",    "trials", "seed",     "first_trial",
                                               "fov",       "tilt",     "max_speed", "radius", "box",
                                               "duration",  "threads",  "shard",  "sighting", "per_trial",
                                               "progress"};
constexpr std::string_view sweepArguments[] = {"algorithm", "fov",    "count",   "trials", "seed",
                                               "first_trial", "tilt", "max_speed", "radius", "box",
                                               "duration",  "threads", "shard",  "sighting", "per_trial",
                                               "progress"};
constexpr std::string_view readTrialsArguments[] = {"path"};
constexpr std::string_view mergeArguments[] = {"paths"};
constexpr std::string_view replayArguments[] = {"trial", "algorithm", "count", "seed", "fov",
                                                "tilt",  "max_speed", "radius", "box"};

// per_trial and progress: True, False or None (their default).
bool flag(const KeywordArguments& a, std::string_view name, bool byDefault)
{
    const py::object value = a[name];
    if (value.is_none())
        return byDefault;
    if (!py::isinstance<py::bool_>(value))
        throw py::type_error(std::string(name) + " must be True or False, not " + py::repr(value).cast<std::string>());
    return value.cast<bool>();
}

// sighting: "grid" or "continuous", as velmora-sim's --sighting takes it.
std::string sightingText(std::string_view name, const py::object& value)
{
    if (!py::isinstance<py::str>(value))
        throw py::type_error(std::string(name) + " must be a str, \"grid\" or \"continuous\", not " +
                             py::repr(value).cast<std::string>());
    return argumentText(value);
}

py::object run(const py::args& args, const py::kwargs& kwargs)
{
    const KeywordArguments a("run", runArguments, 1, args, kwargs);
    RunRequest request(runNames);
    if (!a["steps"].is_none())
        request.setSteps(givenWhole(runNames.steps, a["steps"]));
    if (!a["duration"].is_none())
        request.setDuration(givenReal(runNames.duration, a["duration"]));
    if (!a["sighting"].is_none())
        request.setSighting(sightingText(runNames.sighting, a["sighting"]));
    const Scenario s = scenarioFrom(a["scenario"]);
    const std::optional<std::int64_t> n = request.steps();
    std::optional<ScenarioResult> result;
    {
        py::gil_scoped_release release;
        // A long run stays stoppable with Ctrl+C, as a batch is.
        result.emplace(runScenario(s, n, nullptr, [](std::int64_t step, std::int64_t) { checkSignals(step); },
                                   request.sighting()));
    }
    return pythonDocument(runResultJson(s, *result, pythonCommand()));
}

// The parameters batch, sweep and replay share (all but the algorithm and field of view), in the order
// velmora-sim checks its options. A sweep takes a list for each, a batch or replay one value.
void setParameters(TrialRequest& request, const KeywordArguments& a, bool lists)
{
    const TrialNames& n = trialNames;
    if (const py::object v = a.optional("count"); !v.is_none()) {
        if (lists)
            request.setCounts(givenWholes(n.count, v));
        else
            request.setCount(givenWhole(n.count, v));
    }
    const auto reals = [&](std::string_view name, void (TrialRequest::*one)(const Given<double>&),
                           void (TrialRequest::*many)(std::span<const Given<double>>)) {
        const py::object v = a.optional(name);
        if (v.is_none())
            return;
        if (lists)
            (request.*many)(givenReals(name, v));
        else
            (request.*one)(givenReal(name, v));
    };
    reals(n.tilt, &TrialRequest::setTilt, &TrialRequest::setTilts);
    reals(n.maxSpeed, &TrialRequest::setMaxSpeed, &TrialRequest::setMaxSpeeds);
    reals(n.radius, &TrialRequest::setRadius, &TrialRequest::setRadii);
    reals(n.box, &TrialRequest::setBox, &TrialRequest::setBoxes);
    if (const py::object v = a.optional("seed"); !v.is_none())
        request.setSeed(givenWhole(n.seed, v));
}

// One algorithm, one FOV and one value of each other parameter the function takes: batch, replay, coverage and
// search.
void setOneCell(TrialRequest& request, const KeywordArguments& a)
{
    if (!a["algorithm"].is_none())
        setAlgorithm(request, a["algorithm"]);
    if (!a["fov"].is_none())
        request.setFov(givenReal(trialNames.fov, a["fov"]));
    setParameters(request, a, false);
}

// The duration, the trial range and the threads batch and sweep share.
void setRange(TrialRequest& request, const KeywordArguments& a, bool lists)
{
    const TrialNames& n = trialNames;
    if (const py::object v = a["duration"]; !v.is_none()) {
        if (lists)
            request.setDurations(givenReals(n.duration, v));
        else
            request.setDuration(givenReal(n.duration, v));
    }
    if (const py::object v = a["sighting"]; !v.is_none())
        request.setSighting(sightingText(n.sighting, v));
    if (const py::object v = a["trials"]; !v.is_none())
        request.setTrials(givenWhole(n.trials, v));
    if (const py::object v = a["first_trial"]; !v.is_none())
        request.setFirstTrial(givenWhole(n.firstTrial, v));
    if (const py::object v = a["shard"]; !v.is_none()) {
        if (!py::isinstance<py::str>(v))
            throw py::type_error("shard must be a str such as \"3/8\", not " + py::repr(v).cast<std::string>());
        request.setShard(argumentText(v));
    }
    if (const py::object v = a["threads"]; !v.is_none())
        request.setThreads(givenWhole(n.threads, v));
}

py::object batch(const py::args& args, const py::kwargs& kwargs)
{
    const KeywordArguments a("batch", batchArguments, 0, args, kwargs);
    TrialRequest request(trialNames);
    setOneCell(request, a);
    setRange(request, a, false);
    const bool perTrial = flag(a, "per_trial", true);
    const TrialSpan span = request.trials();
    const TrialSetup setup = request.batchSetup();
    if (perTrial)
        TrialTable::checkSize(span.count);

    TrialTable table;
    std::optional<BatchRun> result;
    ProgressBar progress(flag(a, "progress", true), span.count, "batch " + algorithmName(setup.scenario));
    {
        py::gil_scoped_release release;
        result.emplace(runBatch(
            setup, span.first, span.count, request.threads(),
            [&](std::span<const TrialResult> block) {
                if (perTrial)
                    table.add(block);
            },
            [&](std::uint64_t done) { progress.update(done); }));
    }
    progress.close();
    py::dict out = pythonDocument(batchRunJson(*result, pythonCommand()));
    if (perTrial)
        out["perTrial"] = table.table(std::vector<TrialOrigin>{{setup, request.askedTrials()}});
    return out;
}

py::object sweep(const py::args& args, const py::kwargs& kwargs)
{
    const KeywordArguments a("sweep", sweepArguments, 0, args, kwargs);
    TrialRequest request(trialNames);
    if (const py::object algorithm = a["algorithm"]; !algorithm.is_none()) {
        if (auto choices = algorithmChoices(algorithm, trialNames))
            request.setAlgorithmChoices(std::move(*choices));
        else
            request.setAlgorithms(givenTexts(algorithm));
    }
    if (!a["fov"].is_none())
        request.setFovs(givenReals(trialNames.fov, a["fov"]));
    setParameters(request, a, true);
    setRange(request, a, true);
    const bool perTrial = flag(a, "per_trial", true);
    const TrialSpan span = request.trials();
    const std::vector<TrialSetup> setups = request.sweepCells();
    if (perTrial)
        TrialTable::checkSize(span.count * setups.size());

    std::vector<BatchRun> cells;
    TrialTable table;
    ProgressBar progress(flag(a, "progress", true), span.count * setups.size(),
                         "sweep of " + std::to_string(setups.size()) + " cells");
    {
        py::gil_scoped_release release;
        cells = runSweep(
            setups, span.first, span.count, request.threads(),
            [&](std::size_t c, std::span<const TrialResult> block) {
                if (perTrial)
                    table.add(block, c);
            },
            [&](std::uint64_t done) { progress.update(done); });
    }
    progress.close();
    py::dict out = pythonDocument(sweepJson(cells, pythonCommand()));
    if (perTrial) {
        std::vector<TrialOrigin> origins;
        for (const TrialSetup& setup : setups)
            origins.push_back({setup, request.askedTrials()});
        out["perTrial"] = table.table(origins);
    }
    return out;
}

py::object replay(const py::args& args, const py::kwargs& kwargs)
{
    const KeywordArguments a("replay", replayArguments, 0, args, kwargs);
    TrialRequest request(trialNames);
    if (!a["trial"].is_none())
        request.setTrial(givenWhole(trialNames.trial, a["trial"]));
    setOneCell(request, a);
    return pythonDocument(scenarioToJson(replayScenario(request.setup(), request.trial())));
}

constexpr std::string_view coverageArguments[] = {"algorithm", "fov",   "tilt",     "radius", "distance",
                                                   "nside",     "roles", "duration", "threads"};
constexpr std::string_view searchArguments[] = {"algorithm", "fov",    "tilt", "max_speed", "radius",
                                                "box",       "budget", "seed", "duration",  "threads"};

// The parameters coverage and search share with a batch: the algorithm, the FOV and the rest they take, a
// duration and the threads.
TrialRequest pairRequest(const KeywordArguments& a)
{
    TrialRequest request(trialNames);
    setOneCell(request, a);
    if (!a["duration"].is_none())
        request.setDuration(givenReal(trialNames.duration, a["duration"]));
    if (!a["threads"].is_none())
        request.setThreads(givenWhole(trialNames.threads, a["threads"]));
    return request;
}

py::object coverage(const py::args& args, const py::kwargs& kwargs)
{
    const KeywordArguments a("coverage", coverageArguments, 0, args, kwargs);
    const TrialRequest request = pairRequest(a);
    CoverageRequest r;
    r.scenario = request.setup().scenario;
    r.steps = request.steps();
    r.threads = request.threads();
    if (!a["distance"].is_none())
        r.distance = NumberRule::moreThanZero().real("distance", givenReal("distance", a["distance"]));
    if (!a["nside"].is_none())
        r.nside = static_cast<int>(
            NumberRule::wholeIn(1, SkyGrid::maxNside).whole("nside", givenWhole("nside", a["nside"])));
    if (!a["roles"].is_none())
        r.roles = rolePairsNamed(r.scenario, givenTexts(a["roles"]), "roles");
    std::optional<CoverageMap> map;
    {
        py::gil_scoped_release release;
        map.emplace(computeCoverage(r, [](std::int64_t done, std::int64_t) {
            checkSignals(static_cast<std::uint64_t>(done));
        }));
    }
    py::dict out = pythonDocument(coverageJson(*map, pythonCommand()));
    py::dict times;
    py::dict steps;
    for (const RoleMap& m : map->maps) {
        const auto n = static_cast<py::ssize_t>(m.sightingStep.size());
        py::array_t<double> time(n);
        py::array_t<std::int64_t> step(n);
        auto t = time.mutable_unchecked<1>();
        auto k = step.mutable_unchecked<1>();
        for (py::ssize_t p = 0; p < n; ++p) {
            const auto i = static_cast<std::size_t>(p);
            k(p) = m.sightingStep[i];
            t(p) = m.sightingStep[i] > 0 ? m.sightingTime[i] : std::numeric_limits<double>::quiet_NaN();
        }
        times[py::str(m.name)] = time;
        steps[py::str(m.name)] = step;
    }
    out["time"] = times;
    out["step"] = steps;
    return out;
}

py::object search(const py::args& args, const py::kwargs& kwargs)
{
    const KeywordArguments a("search", searchArguments, 0, args, kwargs);
    const TrialRequest request = pairRequest(a);
    SearchRequest r;
    const TrialSetup setup = request.setup();
    r.scenario = setup.scenario;
    r.seed = setup.seed;
    r.steps = request.steps();
    r.threads = request.threads();
    if (!a["budget"].is_none())
        r.budget = NumberRule::wholeIn(searchStarts, 1'000'000'000).whole("budget", givenWhole("budget", a["budget"]));
    std::optional<SearchResult> result;
    {
        py::gil_scoped_release release;
        result.emplace(searchWorstCase(r, [](std::uint64_t evaluations, std::int64_t, std::int64_t) { checkSignals(evaluations); }));
    }
    py::dict out = pythonDocument(searchJson(*result, pythonCommand()));
    // The scenario keeps a scenario file's keys, so velmora.run takes it as it is.
    out["scenario"] = pythonDocument(worstScenarioJson(*result, pythonCommand()));
    return out;
}

// A formation set up from a scenario, stepped from Python. Its arrays are copies: they stay as they were when
// taken, however the formation steps on or goes away.
class PyFormation {
public:
    explicit PyFormation(const py::object& scenario) : scenario_(scenarioFrom(scenario))
    {
        setUp();
        requireFiniteState(f_, "after set-up");
    }

    bool step(std::int64_t steps)
    {
        if (steps < 0 || steps > maxRunSteps)
            throw InputError("steps must be from 0 to " + std::to_string(maxRunSteps));
        bool changed = false;
        for (std::int64_t k = 0; k < steps; ++k) {
            changed = advance() || changed;
            if (!hasFiniteState(f_))
                refuseLastStep();
            // A long stretch stays stoppable with Ctrl+C; the formation keeps the steps it has taken.
            if (k % 65536 == 65535 && PyErr_CheckSignals() != 0)
                throw py::error_already_set();
        }
        return changed;
    }

    // Each pair that has seen each other, in the order they did, as a run's result lists them.
    py::list links() const
    {
        py::list out;
        for (const ScenarioLink& link : links_) {
            py::dict pair;
            pair["i"] = link.i;
            pair["j"] = link.j;
            pair["step"] = link.step;
            pair["time"] = link.time;
            pair["exactTime"] = link.exactTime;
            out.append(pair);
        }
        return out;
    }

    py::array_t<bool> seen() const
    {
        const int n = f_.craftCount();
        py::array_t<bool> out({n, n});
        auto view = out.mutable_unchecked<2>();
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                view(i, j) = (f_.seen(i) >> j) & 1U;
        return out;
    }

    // Each craft's sensor axis: its body z axis in the world, the third column of its attitude.
    py::array_t<double> axes() const
    {
        py::array_t<double> out({f_.craftCount(), 3});
        auto view = out.mutable_unchecked<2>();
        for (int i = 0; i < f_.craftCount(); ++i)
            for (int k = 0; k < 3; ++k)
                view(i, k) = f_.spacecraft(i).attitude(k, 2);
        return out;
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
    // From the scenario's seed, as velmora-sim run sets it up.
    void setUp()
    {
        Rand15 rng(scenario_.seed);
        setUpFormation(scenario_, f_, rng);
        scan_.start(f_, Sighting::Grid);
        links_.clear();
        taken_ = 0;
    }

    // One step, with the pairs it linked, as velmora-sim run records them.
    bool advance()
    {
        const bool changed = scan_.step(f_, stepSeconds);
        ++taken_;
        if (scan_.linked())
            for (const ExactLink& link : scan_.links(f_))
                links_.push_back({link.i, link.j, taken_, f_.time(), link.time});
        return changed;
    }

    // A step that left some craft without a finite position or attitude is refused with the message the
    // desktop program gives, and the formation goes back to where it was before it: stepping is
    // deterministic, so the steps taken are flown again from the set-up rather than every step paying for
    // a copy.
    [[noreturn]] void refuseLastStep()
    {
        std::string message;
        try {
            requireFiniteState(f_, ("at t = " + stepTimeText(f_.time()) + " s").c_str());
        } catch (const ScenarioError& e) {
            message = e.what();
        }
        const std::int64_t keep = taken_ - 1;
        setUp();
        while (taken_ < keep)
            advance();
        throw ScenarioError(message);
    }

    Scenario scenario_;
    Formation f_;
    std::int64_t taken_ = 0;
    std::vector<ScenarioLink> links_;
    // Finds each link's moment within its step, as run does.
    SightingScan scan_;
};

}  // namespace
}  // namespace velmora

PYBIND11_MODULE(velmora, m)
{
    using namespace velmora;
    using py::arg;

    m.doc() = "Spacecraft formation initialization: single runs, formations stepped from Python, Monte Carlo "
              "batches and sweeps, with the same engine, numbers and messages as velmora-sim.";

    // Bad input reads as velmora-sim says it, in one line.
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p)
                std::rethrow_exception(p);
        } catch (const InputError& e) {
            PyErr_SetString(PyExc_ValueError, printable(e.what()).c_str());
        } catch (const FileError& e) {
            PyErr_SetString(PyExc_OSError, printable(e.what()).c_str());
        }
    });

    m.attr("ALGORITHMS") = [] {
        py::list names;
        for (const auto name : planAlgorithmNames)
            names.append(std::string(name));
        return py::tuple(names);
    }();
    m.attr("STEP_SECONDS") = stepSeconds;
    m.attr("__version__") = velmoraVersion();
    bindPlan(m);

    // Functions that take their arguments by name say their own signature (the text before "--"), which
    // help() and inspect.signature read.
    py::options options;
    options.disable_function_signatures();

    m.def("run", &run,
          R"(run(scenario, steps=None, duration=None, sighting=None)
--

Run a scenario as `velmora-sim run` does and return its result document.

scenario: a dict with the scenario keys (algorithm, maxSpeed, fovDeg, tiltDeg, craftRadius, boxHalfSize,
    count, craft, counterexample, seed, origin), or the path of a scenario file; its algorithm may be a Plan.
steps: number of 0.01 s steps; duration: simulated seconds (not both). Without either the run lasts until
    the longest plan in use has ended.
sighting: "grid" (the default: pairs link when in mutual view at the end of a step) or "continuous" (at their
    first moment in mutual view within a step). Either way every link has its exactTime, and on the grid
    "missedSightings" lists the sightings that began and ended between two steps' ends.

Returns the same dict as json.loads of velmora-sim run's output, whose "command" is sys.argv here. Raises
ValueError on bad input, TypeError on a wrong type or an unknown keyword.)");
    options.enable_function_signatures();

    py::class_<PyFormation>(m, "Formation", "A formation set up from a scenario and stepped in 0.01 s steps.")
        .def(py::init([](const py::args& args, const py::kwargs& kwargs) {
                 static constexpr std::string_view names[] = {"scenario"};
                 return PyFormation(KeywordArguments("Formation", names, 1, args, kwargs)["scenario"]);
             }),
             "Formation(scenario): set up from a scenario dict or file, exactly as velmora.run and velmora-sim run "
             "set it up.")
        .def(
            "step",
            [](PyFormation& f, const py::args& args, const py::kwargs& kwargs) {
                static constexpr std::string_view names[] = {"steps"};
                const py::object steps = KeywordArguments("step", names, 0, args, kwargs)["steps"];
                if (steps.is_none())
                    return f.step(1);
                if (!PyLong_Check(steps.ptr()) || PyBool_Check(steps.ptr()))
                    throw py::type_error("steps must be an int, not " + py::repr(steps).cast<std::string>());
                int overflow = 0;
                const long long n = PyLong_AsLongLongAndOverflow(steps.ptr(), &overflow);
                // Past 64 bits is past the most steps a run takes, and refused as such.
                return f.step(overflow != 0 ? maxRunSteps + 1 : n);
            },
             "step(steps=1): advance by steps steps of 0.01 s; True when some craft entered another plan segment on "
             "the way.")
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
        .def_property_readonly("links", &PyFormation::links,
                               "Pairs of craft that have seen each other, in the order they did, as run's result "
                               "lists them: dicts of i, j, step and time (seconds).")
        .def_property_readonly("seen", &PyFormation::seen,
                               "Who has seen whom: an (n, n) bool array, symmetric, [i, j] set once craft i and j "
                               "have seen each other (a copy).")
        .def_property_readonly("axes", &PyFormation::axes,
                               "Each craft's sensor axis (its body z axis) in the world, an (n, 3) array of unit "
                               "vectors (a copy).")
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

    options.disable_function_signatures();
    m.def("batch", &batch,
          R"(batch(algorithm=None, count=None, trials=None, seed=None, first_trial=None, fov=None, tilt=None, max_speed=None, radius=None, box=None, duration=None, threads=None, shard=None, sighting=None, per_trial=True, progress=True)
--

Run Monte Carlo trials as `velmora-sim batch` does and summarize them.

Every argument is optional and means what the velmora-sim batch option of that name means (first_trial is
--first-trial, max_speed --max-speed, shard "i/n" --shard); None keeps velmora-sim's default. algorithm is a
built-in plan's name or index, a Plan or a plan file's path. Trial k draws its formation from its own
sequence derived from seed and k, so the results are the same for any threads.

Returns velmora-sim batch --json's summary (its keys camelCase as in the files: initializedFraction,
timeToInitialize, ...) and, unless per_trial is False, "perTrial": the trial file's columns (the parameters
algorithm ... steps and sighting, then trial, seedState, initialized, stepsToInitialize, timeToInitialize and
exactTimeToInitialize (NaN for a formation that did not initialize), links, groups, missedSightings) as a pandas
DataFrame, or a dict of numpy arrays when pandas is not installed. sighting="continuous" links pairs at their
first moment in mutual view within a step instead of at the steps' ends. A run that lasts more than a second shows a tqdm progress bar when tqdm is
installed, unless progress is False. The GIL is released while the trials run; Ctrl+C stops them and raises
KeyboardInterrupt. Raises ValueError on bad values, naming the argument, and TypeError on a wrong type or an
unknown keyword.)");

    m.def("sweep", &sweep,
          R"(sweep(algorithm=None, fov=None, count=None, trials=None, seed=None, first_trial=None, tilt=None, max_speed=None, radius=None, box=None, duration=None, threads=None, shard=None, sighting=None, per_trial=True, progress=True)
--

Run one batch per cell as `velmora-sim sweep` does: every combination of the values given.

algorithm: a name, an index, a Plan, a plan file's path, "all" (the default) or a list of them; fov, count,
tilt, max_speed, radius, box and duration: a number or a list of numbers. The other arguments are those of
velmora.batch. Every cell runs the same trials.

Returns velmora-sim sweep --json's document, whose "cells" hold one summary each, and, unless per_trial is
False, "perTrial": every cell's trials with their parameters, as a pandas DataFrame or a dict of numpy
arrays.)");

    m.def("coverage", &coverage,
          R"(coverage(algorithm=None, fov=None, tilt=None, radius=None, distance=None, nside=None, roles=None, duration=None, threads=None)
--

The sighting-time map of a pair at rest, as `velmora-sim coverage` computes it.

Arguments mean what the velmora-sim coverage options of their names mean; roles is a list of role pair names
("even-odd", ...). Returns velmora-sim coverage --json's summary (its keys camelCase, as the file writes them), and "time" and
"step": for each role pair, a numpy array over the HEALPix pixels in RING order of the seconds (NaN: never)
and the 1-based step (0: never) of the first mutual sighting; healpy.mollview(result["time"]["even-odd"])
draws one. Ctrl+C stops the work and raises KeyboardInterrupt.)");

    m.def("search", &search,
          R"(search(algorithm=None, fov=None, tilt=None, max_speed=None, radius=None, box=None, budget=None, seed=None, duration=None, threads=None)
--

Search the two-craft configuration that delays the first mutual sighting the longest, as `velmora-sim
search` does; the same seed and budget give the same result.

Returns velmora-sim search --json's summary (its keys camelCase, as the file writes them); "scenario" is the worst configuration
as a scenario dict (with what made it under "origin") that velmora.run replays, or that json.dump saves for
velmora-sim run and the desktop program.)");

    m.def("replay", &replay,
          R"(replay(trial, algorithm=None, count=None, seed=None, fov=None, tilt=None, max_speed=None, radius=None, box=None)
--

The scenario of one batch trial with every craft explicit, as `velmora-sim replay` prints it.

Give the batch's parameters. The dict runs with velmora.run, or saved with json.dump opens in the desktop
program (velmora FILE.json) and in velmora-sim run.)");

    m.def(
        "read_trials",
        [](const py::args& args, const py::kwargs& kwargs) {
            return readTrials(KeywordArguments("read_trials", readTrialsArguments, 1, args, kwargs)["path"]);
        },
        R"(read_trials(path)
--

A trial file (FILE.jsonl or FILE.csv, as batch and sweep write with --trials-out) as the table velmora.batch
gives in "perTrial": a pandas DataFrame, or a dict of numpy arrays without pandas. Every row is checked
against the parameters it names; a CSV file's times are the exact times after their steps. Raises
ValueError naming the file and line of a row that cannot be read.)");

    m.def(
        "merge",
        [](const py::args& args, const py::kwargs& kwargs) {
            return mergeTrials(KeywordArguments("merge", mergeArguments, 1, args, kwargs)["paths"]);
        },
        R"(merge(paths)
--

The summary `velmora-sim merge --json` prints for the trial files of one batch or sweep run in shards
(a path or a list of paths, in any order): the unsplit run's, without its timing. Raises ValueError naming
the parameter in which two files differ, or the trials missing or doubled.)");
    options.enable_function_signatures();
}
