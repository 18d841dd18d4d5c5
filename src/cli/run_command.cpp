#include "cli/run_command.h"

#include "cli/trial_options.h"
#include "scenario/history_writer.h"
#include "scenario/run_request.h"
#include "scenario/scenario_file.h"
#include "scenario/scenario_run.h"
#include "sim/plan_algorithm.h"
#include "text/json_writer.h"
#include "text/provenance.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>
#include <memory>

namespace velmora {
namespace {

struct RunOptions {
    std::string scenarioPath;
    RunRequest request{runCommandLineNames};
    bool summary = false;
    std::string history;
    std::int64_t every = 1;
};

// Every K'th step for the history: any whole number from 1. A K past the largest step count records what the
// largest does, so it is clamped to it.
constexpr NumberRule everyRule = NumberRule::whole(1);

// A history larger than this is announced before the run.
constexpr std::uint64_t largeHistoryBytes = 1'000'000'000;

// The result as a few lines a person reads at a glance.
void printSummary(std::ostream& out, const Scenario& scenario, const ScenarioResult& result)
{
    out << scenario.count << " craft, algorithm " << algorithmName(scenario) << ", field of view " << scenario.fovDeg
        << " deg, tilt " << scenario.tiltDeg << " deg, speed up to " << scenario.maxSpeed
        << (result.sighting == Sighting::Continuous ? ", continuous sighting" : "") << "\n";
    const Formation& f = result.formation;
    out << "ran " << result.steps << " steps to t = " << stepTimeText(f.time()) << " s, " << result.segmentChangeSteps.size()
        << " steps changed a plan segment\n";
    out << result.links.size() << " link(s):\n";
    for (const ScenarioLink& link : result.links)
        out << "  craft " << link.i << " and " << link.j << " at t = " << stepTimeText(link.time) << " s (step " << link.step
            << ")\n";
    for (const ScenarioMissedSighting& m : result.missedSightings)
        out << "  craft " << m.i << " and " << m.j << " in view from t = " << m.start << " to " << m.end
            << " s, missed by the grid (step " << m.step << ")\n";
    out << "groups: [";
    for (int i = 0; i < f.craftCount(); ++i)
        out << (i > 0 ? "," : "") << f.findGroup(i);
    out << "]\n";
    if (result.initializedAt)
        out << "initialized at t = " << stepTimeText(*result.initializedAt) << " s: every craft is in one group\n";
    else
        out << "not initialized: the craft are in more than one group\n";
}

}  // namespace

void addRunCommand(CLI::App& app)
{
    auto options = std::make_shared<RunOptions>();
    CLI::App* run = app.add_subcommand(
        "run", "Set a scenario up, step it in 0.01 s steps and print the result as one JSON document.");
    run->footer(
        "Scenario keys (all optional): algorithm (" + planAlgorithmNameList() + " or an\n"
        "index; outside 0..4 the plans are empty), maxSpeed (5), fovDeg (70), tiltDeg (45), craftRadius (10),\n"
        "boxHalfSize (500), count (6, or the length of craft; 0..20), craft (list of {position, velocity,\n"
        "attitude?} overwriting the first random craft), counterexample (false), seed (1: the first state of\n"
        "the sequence the random craft are drawn from), origin (what made the scenario, such as a search; set-up\n"
        "ignores it). Any other key is refused.\n"
        "Without --steps or --duration the run lasts until the longest plan in use has ended.\n"
        "--history writes a row for step 0 (the set-up), every --every'th step, the last step and every step\n"
        "in which a pair first saw each other: step, time, each craft's position and sensor axis (CSV columns\n"
        "x0,y0,z0,axisX0,axisY0,axisZ0, ...; JSON Lines lists position and axis), and the pairs linked in that\n"
        "step (CSV column links: \"0-1 2-3\"; JSON Lines: [{\"i\":0,\"j\":1}]). The file appears once the run\n"
        "is complete.\n"
        "Every link also gives exactTime, the first moment within its step at which the pair was in mutual view\n"
        "(0 for a pair in view at the set-up); missedSightings lists the mutual sightings that began and ended\n"
        "between two steps' ends, which the grid never sees. --sighting continuous links pairs at that first\n"
        "moment instead, the missed ones too.\n"
        "Example: velmora-sim run examples/counterexample.json --duration 60 --history t.csv --every 10");
    run->add_option("scenario", options->scenarioPath, "Scenario file (JSON)")->required();
    RunRequest& r = options->request;
    auto* steps = addNumberOption(*run, runCommandLineNames.steps, runStepsRule, "Number of 0.01 s steps to run",
                                  [&r](const std::string& text) { r.setSteps({text}); });
    auto* duration = addNumberOption(*run, runCommandLineNames.duration, runDurationRule,
                                     "Simulated seconds to run (rounded to whole 0.01 s steps)",
                                     [&r](const std::string& text) { r.setDuration({text}); });
    steps->excludes(duration);
    run->add_flag("--summary", options->summary, "Print a short readable summary instead of JSON");
    auto* history = run->add_option("--history", options->history,
                                    "Also write the run step by step to FILE.csv or FILE.jsonl (JSON Lines)")
                        ->type_name("FILE");
    addNumberOption(
        *run, "--every", everyRule, "Record every K'th step in the history (default 1: every step)",
        [&every = options->every](const std::string& text) {
            every = static_cast<std::int64_t>(
                std::min<std::uint64_t>(everyRule.whole("--every", {text}), std::numeric_limits<std::int64_t>::max()));
        },
        "K")
        ->needs(history);
    addSightingOption(*run, [&r](const std::string& text) { r.setSighting(text); });
    run->callback([options, history] {
        const NamedFile outputs[] = {{"--history", options->history}};
        const NamedFile inputs[] = {{"the scenario file", options->scenarioPath}};
        refuseSharedFiles(outputs, inputs);
        const Scenario scenario = loadScenarioFile(options->scenarioPath);
        const std::optional<std::int64_t> steps = options->request.steps();
        std::optional<HistoryWriter> historyFile;
        if (history->count() > 0)
            historyFile.emplace(options->history, options->every);
        // A long history at every step can outgrow a disk: on a terminal its size is said before the run.
        const RunCheck sayHistorySize = [&historyFile](std::int64_t step, std::int64_t lastStep) {
            if (step == 0 && historyFile && ::isatty(STDERR_FILENO) == 1)
                if (const std::uint64_t bytes = historyFile->expectedBytes(lastStep); bytes > largeHistoryBytes)
                    std::cerr << "velmora-sim: --history will take about " << numberText(std::round(static_cast<double>(bytes) / 1e8) / 10)
                              << " GB; Ctrl+C stops the run and leaves no file\n";
        };
        const auto result = runScenario(scenario, steps, historyFile ? &*historyFile : nullptr, sayHistorySize,
                                        options->request.sighting());
        if (historyFile)
            historyFile->commit();
        if (options->summary)
            printSummary(std::cout, scenario, result);
        else
            std::cout << toJsonText(runResultJson(scenario, result, commandLine())) << '\n';
    });
}

}  // namespace velmora
