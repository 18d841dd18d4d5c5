#include "cli/run_command.h"

#include "cli/trial_options.h"
#include "scenario/history_writer.h"
#include "scenario/scenario_file.h"
#include "scenario/scenario_run.h"
#include "sim/plan_algorithm.h"
#include "text/json_writer.h"
#include "text/provenance.h"

#include <iostream>
#include <memory>

namespace velmora {
namespace {

struct RunOptions {
    std::string scenarioPath;
    std::int64_t steps = -1;
    double duration = 0.0;
    bool summary = false;
    std::string history;
    std::int64_t every = 1;
    std::string sighting = std::string(sightingName(Sighting::Grid));
};

// The result as a few lines a person reads at a glance.
void printSummary(std::ostream& out, const Scenario& scenario, const ScenarioResult& result)
{
    const auto algorithm = scenario.algorithm >= 0 ? std::string(planAlgorithmNames[scenario.algorithm]) : "none";
    out << scenario.count << " craft, algorithm " << algorithm << ", field of view " << scenario.fovDeg
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
    out << (f.allInOneGroup() ? "initialized: every craft is in one group\n"
                              : "not initialized: the craft are in more than one group\n");
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
        "the sequence the random craft are drawn from). Any other key is refused.\n"
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
    auto* steps = run->add_option("--steps", options->steps, "Number of 0.01 s steps to run")
                      ->transform(wholeNumber())
                      ->check(CLI::Range(std::int64_t{0}, maxRunSteps));
    auto* duration = run->add_option("--duration", options->duration,
                                     "Simulated seconds to run (rounded to whole 0.01 s steps)");
    steps->excludes(duration);
    run->add_flag("--summary", options->summary, "Print a short readable summary instead of JSON");
    auto* history = run->add_option("--history", options->history,
                                    "Also write the run step by step to FILE.csv or FILE.jsonl (JSON Lines)")
                        ->type_name("FILE");
    run->add_option("--every", options->every, "Record every K'th step in the history (default 1: every step)")
        ->type_name("K")
        ->transform(wholeNumber(1))
        ->needs(history);
    addSightingOption(*run, options->sighting);
    run->callback([options, duration, history] {
        const Scenario scenario = loadScenarioFile(options->scenarioPath);
        std::optional<std::int64_t> steps;
        if (options->steps >= 0)
            steps = options->steps;
        else if (duration->count() > 0)
            steps = stepsForDuration(options->duration);
        std::optional<HistoryWriter> historyFile;
        if (history->count() > 0)
            historyFile.emplace(options->history, options->every);
        const auto result = runScenario(scenario, steps, historyFile ? &*historyFile : nullptr,
                                        *sightingFromName(options->sighting));
        if (historyFile)
            historyFile->commit();
        if (options->summary)
            printSummary(std::cout, scenario, result);
        else
            std::cout << toJsonText(runResultJson(scenario, result, commandLine())) << '\n';
    });
}

}  // namespace velmora
