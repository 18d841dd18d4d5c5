// The `velmora` Python module: single runs, formations stepped from Python, Monte Carlo batches, sweeps and
// replays, over the same engine and requests as velmora-sim, so both give the same numbers and the same
// one-line messages for bad input.

#include "python_arguments.h"
#include "python_documents.h"
#include "scenario/run_request.h"
#include "scenario/scenario_file.h"
#include "scenario/scenario_run.h"
#include "sim/plan_algorithm.h"
#include "text/json_writer.h"
#include "text/message_text.h"
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

// Python says velmora-sim's option names in its refusals, so that each reads as velmora-sim's line for it.
const TrialNames& trialNames = commandLineNames;
const RunNames& runNames = runCommandLineNames;

// A dict goes through Python's json module, so the scenario reader sees the same text a file would hold; a
// str or path names a scenario file.
Scenario scenarioFrom(const py::object& scenario)
{
    if (py::isinstance<py::dict>(scenario)) {
        const auto text = py::module_::import("json").attr("dumps")(scenario).cast<std::string>();
        return parseScenarioText(text, "the scenario");
    }
    if (py::isinstance<py::str>(scenario) || py::hasattr(scenario, "__fspath__"))
        // The file name as the system's bytes, whatever they are.
        return loadScenarioFile(py::module_::import("os").attr("fsencode")(scenario).cast<std::string>());
    throw py::type_error("scenario must be a dict or the path of a scenario file, not " +
                         py::str(py::type::of(scenario).attr("__name__")).cast<std::string>());
}

// Called on the caller's thread while trials or a run go (about ten times a second, or every 65536 steps): a
// Ctrl+C turns into a KeyboardInterrupt here, and the work stops.
void checkSignals(std::uint64_t)
{
    py::gil_scoped_acquire gil;
    if (PyErr_CheckSignals() != 0)
        throw py::error_already_set();
}

py::object run(const py::object& scenario, const py::object& steps, const py::object& duration)
{
    RunRequest request(runNames);
    if (!steps.is_none())
        request.setSteps(givenWhole(steps));
    if (!duration.is_none())
        request.setDuration(givenReal(duration));
    const Scenario s = scenarioFrom(scenario);
    const std::optional<std::int64_t> n = request.steps();
    std::optional<ScenarioResult> result;
    {
        py::gil_scoped_release release;
        // A long run stays stoppable with Ctrl+C, as a batch is.
        result.emplace(runScenario(s, n, nullptr, [](std::int64_t step, std::int64_t) { checkSignals(step); }));
    }
    return pythonDocument(runResultJson(s, *result, pythonCommand()));
}

// The parameters batch, sweep and replay share (all but the algorithm and field of view), in the order
// velmora-sim checks its options.
void setParameters(TrialRequest& request, const py::object& count, const py::object& tilt,
                   const py::object& maxSpeed, const py::object& radius, const py::object& box, const py::object& seed)
{
    if (!count.is_none())
        request.setCount(givenWhole(count));
    if (!tilt.is_none())
        request.setTilt(givenReal(tilt));
    if (!maxSpeed.is_none())
        request.setMaxSpeed(givenReal(maxSpeed));
    if (!radius.is_none())
        request.setRadius(givenReal(radius));
    if (!box.is_none())
        request.setBox(givenReal(box));
    if (!seed.is_none())
        request.setSeed(givenWhole(seed));
}

// The duration and the trial range batch and sweep share.
void setRange(TrialRequest& request, const py::object& duration, const py::object& trials,
              const py::object& firstTrial, const py::object& shard, const py::object& threads)
{
    if (!duration.is_none())
        request.setDuration(givenReal(duration));
    if (!trials.is_none())
        request.setTrials(givenWhole(trials));
    if (!firstTrial.is_none())
        request.setFirstTrial(givenWhole(firstTrial));
    if (!shard.is_none())
        request.setShard(argumentText(shard));
    if (!threads.is_none())
        request.setThreads(givenWhole(threads));
}

py::object batch(const py::object& algorithm, const py::object& count, const py::object& trials,
                 const py::object& seed, const py::object& firstTrial, const py::object& fov, const py::object& tilt,
                 const py::object& maxSpeed, const py::object& radius, const py::object& box,
                 const py::object& duration, const py::object& threads, const py::object& shard, bool perTrial)
{
    TrialRequest request(trialNames);
    if (!algorithm.is_none())
        request.setAlgorithm(argumentText(algorithm));
    if (!fov.is_none())
        request.setFov(givenReal(fov));
    setParameters(request, count, tilt, maxSpeed, radius, box, seed);
    setRange(request, duration, trials, firstTrial, shard, threads);
    const TrialSpan span = request.trials();
    const TrialSetup setup = request.batchSetup();
    if (perTrial)
        TrialTable::checkSize(span.count);

    TrialTable table;
    std::optional<BatchRun> result;
    {
        py::gil_scoped_release release;
        result.emplace(runBatch(
            setup, span.first, span.count, request.threads(),
            [&](std::span<const TrialResult> block) {
                if (perTrial)
                    table.add(block);
            },
            checkSignals));
    }
    py::dict out = pythonDocument(batchRunJson(*result, pythonCommand()), true);
    if (perTrial)
        out["per_trial"] = table.table(std::vector<TrialOrigin>{{setup, request.askedTrials()}});
    return out;
}

py::object sweep(const py::object& algorithm, const py::object& fov, const py::object& count,
                 const py::object& trials, const py::object& seed, const py::object& firstTrial,
                 const py::object& tilt, const py::object& maxSpeed, const py::object& radius, const py::object& box,
                 const py::object& duration, const py::object& threads, const py::object& shard, bool perTrial)
{
    TrialRequest request(trialNames);
    if (!algorithm.is_none())
        request.setAlgorithms(givenTexts(algorithm));
    if (!fov.is_none())
        request.setFovs(givenReals(fov));
    setParameters(request, count, tilt, maxSpeed, radius, box, seed);
    setRange(request, duration, trials, firstTrial, shard, threads);
    const TrialSpan span = request.trials();
    const std::vector<TrialSetup> setups = request.sweepCells();
    if (perTrial)
        TrialTable::checkSize(span.count * setups.size());

    std::vector<BatchRun> cells;
    TrialTable table;
    {
        py::gil_scoped_release release;
        for (std::size_t c = 0; c < setups.size(); ++c) {
            cells.push_back(runBatch(
                setups[c], span.first, span.count, request.threads(),
                [&](std::span<const TrialResult> block) {
                    if (perTrial)
                        table.add(block, c);
                },
                checkSignals));
        }
    }
    py::dict out = pythonDocument(sweepJson(cells, pythonCommand()), true);
    if (perTrial) {
        std::vector<TrialOrigin> origins;
        for (const TrialSetup& setup : setups)
            origins.push_back({setup, request.askedTrials()});
        out["per_trial"] = table.table(origins);
    }
    return out;
}

py::object replay(const py::object& trial, const py::object& algorithm, const py::object& count,
                  const py::object& seed, const py::object& fov, const py::object& tilt, const py::object& maxSpeed,
                  const py::object& radius, const py::object& box)
{
    TrialRequest request(trialNames);
    if (!trial.is_none())
        request.setTrial(givenWhole(trial));
    if (!algorithm.is_none())
        request.setAlgorithm(argumentText(algorithm));
    if (!fov.is_none())
        request.setFov(givenReal(fov));
    setParameters(request, count, tilt, maxSpeed, radius, box, seed);
    return pythonDocument(scenarioToJson(replayScenario(request.setup(), request.trial())));
}

// A map's request from Python's arguments, checked as velmora-sim coverage checks its options.
CoverageRequest coverageRequest(const py::object& algorithm, const py::object& fov, const py::object& tilt,
                                const py::object& radius, const py::object& distance, const py::object& nside,
                                const py::object& roles, const py::object& duration, const py::object& threads)
{
    TrialRequest request(trialNames);
    if (!algorithm.is_none())
        request.setAlgorithm(argumentText(algorithm));
    if (!fov.is_none())
        request.setFov(givenReal(fov));
    setParameters(request, py::none(), tilt, py::none(), radius, py::none(), py::none());
    if (!duration.is_none())
        request.setDuration(givenReal(duration));
    if (!threads.is_none())
        request.setThreads(givenWhole(threads));
    CoverageRequest r;
    r.scenario = request.setup().scenario;
    r.steps = request.steps();
    r.threads = request.threads();
    if (!distance.is_none())
        r.distance = NumberRule::moreThanZero().real("distance", givenReal(distance));
    if (!nside.is_none()) {
        const std::uint64_t n = NumberRule::wholeIn(1, SkyGrid::maxNside).whole("nside", givenWhole(nside));
        r.nside = static_cast<int>(n);
    }
    if (!roles.is_none())
        r.roles = rolePairsNamed(r.scenario, givenTexts(roles), "roles");
    return r;
}

py::object coverage(const py::object& algorithm, const py::object& fov, const py::object& tilt, const py::object& radius,
                    const py::object& distance, const py::object& nside, const py::object& roles,
                    const py::object& duration, const py::object& threads)
{
    const CoverageRequest request =
        coverageRequest(algorithm, fov, tilt, radius, distance, nside, roles, duration, threads);
    std::optional<CoverageMap> map;
    {
        py::gil_scoped_release release;
        map.emplace(computeCoverage(request, [](std::int64_t done, std::int64_t) {
            checkSignals(static_cast<std::uint64_t>(done));
        }));
    }
    py::dict out = pythonDocument(coverageJson(*map, pythonCommand()), true);
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

py::object search(const py::object& algorithm, const py::object& fov, const py::object& tilt,
                  const py::object& maxSpeed, const py::object& radius, const py::object& box, const py::object& budget,
                  const py::object& seed, const py::object& duration, const py::object& threads)
{
    TrialRequest request(trialNames);
    if (!algorithm.is_none())
        request.setAlgorithm(argumentText(algorithm));
    if (!fov.is_none())
        request.setFov(givenReal(fov));
    setParameters(request, py::none(), tilt, maxSpeed, radius, box, seed);
    if (!duration.is_none())
        request.setDuration(givenReal(duration));
    if (!threads.is_none())
        request.setThreads(givenWhole(threads));
    SearchRequest r;
    const TrialSetup setup = request.setup();
    r.scenario = setup.scenario;
    r.seed = setup.seed;
    r.steps = request.steps();
    r.threads = request.threads();
    if (!budget.is_none())
        r.budget = NumberRule::wholeIn(searchStarts, 1'000'000'000).whole("budget", givenWhole(budget));
    std::optional<SearchResult> result;
    {
        py::gil_scoped_release release;
        result.emplace(searchWorstCase(r, [](std::uint64_t evaluations, std::int64_t, std::int64_t) { checkSignals(evaluations); }));
    }
    py::dict out = pythonDocument(searchJson(*result, pythonCommand()), true);
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
            changed = f_.step(stepSeconds) || changed;
            ++taken_;
            if (!hasFiniteState(f_))
                refuseLastStep();
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
    // From the scenario's seed, as velmora-sim run sets it up.
    void setUp()
    {
        Rand15 rng(scenario_.seed);
        setUpFormation(scenario_, f_, rng);
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
        for (taken_ = 0; taken_ < keep; ++taken_)
            f_.step(stepSeconds);
        throw ScenarioError(message);
    }

    Scenario scenario_;
    Formation f_;
    std::int64_t taken_ = 0;
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
        }
    });

    m.attr("ALGORITHMS") = [] {
        py::list names;
        for (const auto name : planAlgorithmNames)
            names.append(std::string(name));
        return py::tuple(names);
    }();
    m.attr("STEP_SECONDS") = stepSeconds;

    m.def("run", &run, arg("scenario"), arg("steps") = none, arg("duration") = none,
          R"(Run a scenario as `velmora-sim run` does and return its result document.

scenario: a dict with the scenario keys (algorithm, maxSpeed, fovDeg, tiltDeg, craftRadius, boxHalfSize,
    count, craft, counterexample, seed, origin), or the path of a scenario file.
steps: number of 0.01 s steps; duration: simulated seconds (not both). Without either the run lasts until
    the longest plan in use has ended.

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
parameters algorithm ... steps, then trial, seedState, initialized, stepsToInitialize (0 when not
initialized), timeToInitialize (NaN then), links, groups) as a pandas DataFrame, or a dict of numpy arrays
when pandas is not installed. The GIL is released while the trials run; Ctrl+C stops
them and raises KeyboardInterrupt. Raises ValueError with velmora-sim's message on bad arguments.)";
    m.def("batch", &batch, arg("algorithm") = none, arg("count") = none, arg("trials") = none, arg("seed") = none,
          arg("first_trial") = none, arg("fov") = none, arg("tilt") = none, arg("max_speed") = none,
          arg("radius") = none, arg("box") = none, arg("duration") = none, arg("threads") = none,
          arg("shard") = none, arg("per_trial") = true, batchDoc);

    m.def("sweep", &sweep, arg("algorithm") = none, arg("fov") = none, arg("count") = none, arg("trials") = none,
          arg("seed") = none, arg("first_trial") = none, arg("tilt") = none, arg("max_speed") = none,
          arg("radius") = none, arg("box") = none, arg("duration") = none, arg("threads") = none,
          arg("shard") = none, arg("per_trial") = true,
          R"(Run one batch per algorithm and field of view as `velmora-sim sweep` does.

algorithm: a name, an index, "all" (the default) or a list of them; fov: a number or a list of numbers. The
other arguments are those of velmora.batch. Every cell runs the same trials.

Returns velmora-sim sweep --json's document with its keys in snake_case, whose "cells" hold one summary
each, and, unless per_trial is False, "per_trial": every cell's trials with its parameters, as a
pandas DataFrame or a dict of numpy arrays.)");

    m.def("coverage", &coverage, arg("algorithm") = none, arg("fov") = none, arg("tilt") = none, arg("radius") = none,
          arg("distance") = none, arg("nside") = none, arg("roles") = none, arg("duration") = none,
          arg("threads") = none,
          R"(The sighting-time map of a pair at rest, as `velmora-sim coverage` computes it.

Arguments mean what the velmora-sim coverage options of their names mean; roles is a list of role pair names
("even-odd", ...). Returns velmora-sim coverage --json's summary with its keys in snake_case, and "time" and
"step": for each role pair, a numpy array over the HEALPix pixels in RING order of the seconds (NaN: never)
and the 1-based step (0: never) of the first mutual sighting; healpy.mollview(result["time"]["even-odd"])
draws one. Ctrl+C stops the work and raises KeyboardInterrupt.)");

    m.def("search", &search, arg("algorithm") = none, arg("fov") = none, arg("tilt") = none, arg("max_speed") = none,
          arg("radius") = none, arg("box") = none, arg("budget") = none, arg("seed") = none, arg("duration") = none,
          arg("threads") = none,
          R"(Search the two-craft configuration that delays the first mutual sighting the longest, as `velmora-sim
search` does; the same seed and budget give the same result.

Returns velmora-sim search --json's summary with its keys in snake_case; "scenario" is the worst configuration
as a scenario dict (with what made it under "origin") that velmora.run replays, or that json.dump saves for
velmora-sim run and the desktop program.)");

    m.def("replay", &replay, arg("trial"), arg("algorithm") = none, arg("count") = none, arg("seed") = none,
          arg("fov") = none, arg("tilt") = none, arg("max_speed") = none, arg("radius") = none, arg("box") = none,
          R"(The scenario of one batch trial with every craft explicit, as `velmora-sim replay` prints it.

Give the batch's parameters. The dict runs with velmora.run, or saved with json.dump opens in the desktop
program (velmora FILE.json) and in velmora-sim run.)");
}
