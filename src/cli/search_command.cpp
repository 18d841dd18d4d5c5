#include "cli/search_command.h"

#include "cli/progress_bar.h"
#include "cli/trial_options.h"
#include "files/replacing_file.h"
#include "text/json_writer.h"
#include "trials/adversary_search.h"

#include <iostream>
#include <memory>

namespace velmora {
namespace {

constexpr const char* searchFooter =
    "Craft 0 starts at the origin and craft 1 anywhere in the placement box (--box), the two moving apart\n"
    "at any relative velocity whose share keeps each craft within --max-speed. The objective is the step of\n"
    "the pair's first mutual sighting under velmora-sim run's rules, and never is worse than any step.\n"
    "The budget is split over 16 starts, each an NLopt multi-level single linkage search from Sobol points\n"
    "with a subplex polish; the result depends on --seed and --budget alone, not on --threads. The best\n"
    "value so far is said after each tenth of the budget.\n"
    "--out writes the worst configuration as a scenario that velmora-sim run and velmora replay exactly.\n"
    "Example: velmora-sim search --algorithm Orlo --fov 70 --tilt 25 --max-speed 35 --out worst.json";

constexpr NumberRule budgetRule = NumberRule::wholeIn(searchStarts, 1'000'000'000);

struct SearchOptions {
    TrialRequest request{commandLineNames};
    std::uint64_t budget = SearchRequest{}.budget;
    std::string out;
    std::string output;
    bool json = false;
};

std::string objectiveText(std::int64_t value, std::int64_t steps)
{
    if (value > steps)
        return "never sighted";
    return "first sighting at step " + std::to_string(value) + " (t = " + stepTimeText(static_cast<double>(value) * 0.01) +
           " s)";
}

void runSearchCommand(const SearchOptions& o)
{
    const NamedFile outputs[] = {{"--out", o.out}, {"--output", o.output}};
    refuseSharedFiles(outputs);
    SearchRequest request;
    const TrialSetup setup = o.request.setup();
    request.scenario = setup.scenario;
    request.budget = o.budget;
    request.seed = setup.seed;
    request.steps = o.request.steps();
    request.threads = o.request.threads();
    std::optional<ReplacingFile> out;
    if (!o.out.empty()) {
        try {
            out.emplace(o.out);
        } catch (const FileError& e) {
            throw OptionError("--out: " + std::string(e.what()));
        }
    }
    SummaryOutput output(o.output);
    ProgressBar bar(request.budget, stderr, "evaluations");
    std::uint64_t nextTenth = 1;
    const SearchResult result = searchWorstCase(request, [&](std::uint64_t evaluations, std::int64_t best,
                                                             std::int64_t steps) {
        bar.update(std::min(evaluations, request.budget));
        while (nextTenth <= 10 && evaluations >= request.budget * nextTenth / 10) {
            bar.finish();
            std::cerr << "search: " << nextTenth * 10 << " % (" << evaluations << " evaluations), worst so far: "
                      << (best > 0 ? objectiveText(best, steps) : "-")
                      << '\n';
            ++nextTenth;
        }
    });
    bar.finish();
    const std::int64_t objective = result.neverSighted() ? result.steps + 1 : result.sightingStep;
    std::cerr << "search: done, " << result.evaluations << " evaluations; worst: " << objectiveText(objective, result.steps)
              << " of " << result.steps << " steps\n";
    if (out) {
        out->write(toJsonText(worstScenarioJson(result, commandLine())) + '\n');
        out->commit();
    }
    if (o.json) {
        output.write(toJsonText(searchJson(result, commandLine())) + '\n');
        return;
    }
    std::string text = "worst configuration: " + objectiveText(objective, result.steps) + " within " +
                       std::to_string(result.steps) + " steps\n";
    for (std::size_t i = 0; i < result.worst.craft.size(); ++i) {
        const CraftState& c = result.worst.craft[i];
        text += "  craft " + std::to_string(i) + ": position " + vectorJson(c.position).dump() + ", velocity " +
                vectorJson(c.velocity).dump() + "\n";
    }
    text += std::to_string(result.evaluations) + " evaluations in " + numberText(std::round(result.seconds * 100) / 100) +
            " s with " + std::to_string(request.threads) + (request.threads == 1 ? " thread\n" : " threads\n");
    output.write(text);
}

}  // namespace

void addSearchCommand(CLI::App& app)
{
    auto o = std::make_shared<SearchOptions>();
    CLI::App* search = app.add_subcommand(
        "search", "Search the two-craft configuration that delays the first mutual sighting the longest, or "
                  "prevents it.");
    search->footer(searchFooter);
    TrialRequest& r = o->request;
    addAlgorithmAndFovOptions(*search, r);
    const Scenario defaults = r.setup().scenario;
    addNumberOption(*search, commandLineNames.tilt, coneAngleRule, "Sensor tilt angle, degrees (0 to 90)",
                    [&r](const std::string& text) { r.setTilt({text}); })
        ->default_str(numberText(defaults.tiltDeg));
    addNumberOption(*search, commandLineNames.maxSpeed, nonNegativeRule, "Largest craft speed",
                    [&r](const std::string& text) { r.setMaxSpeed({text}); })
        ->default_str(numberText(defaults.maxSpeed));
    addNumberOption(*search, commandLineNames.radius, nonNegativeRule,
                    "Craft radius (sensor apex distance from the centre)",
                    [&r](const std::string& text) { r.setRadius({text}); })
        ->default_str(numberText(defaults.craftRadius));
    addNumberOption(*search, commandLineNames.box, positiveRule, "Half size of the placement box",
                    [&r](const std::string& text) { r.setBox({text}); })
        ->default_str(numberText(defaults.boxHalfSize));
    addNumberOption(*search, "--budget", budgetRule, "Evaluations of the objective the search may spend",
                    [&b = o->budget](const std::string& text) { b = budgetRule.whole("--budget", {text}); }, "N")
        ->default_str(std::to_string(o->budget));
    addNumberOption(*search, commandLineNames.seed, wholeNumberRule, "Seed of the search's starting points",
                    [&r](const std::string& text) { r.setSeed({text}); })
        ->default_str("1");
    addNumberOption(*search, commandLineNames.duration, nonNegativeRule,
                    "Simulated seconds a run looks at most (default: until the plans have ended)",
                    [&r](const std::string& text) { r.setDuration({text}); });
    addNumberOption(*search, commandLineNames.threads, threadCountRule, "Worker threads (default: all cores)",
                    [&r](const std::string& text) { r.setThreads({text}); });
    search->add_option("--out", o->out, "Write the worst configuration as a scenario file, FILE.json")->type_name("FILE");
    search->add_flag("--json", o->json, "Print the summary as one JSON document instead of text");
    addOutputOption(*search, o->output);
    search->callback([o] { runSearchCommand(*o); });
}

}  // namespace velmora
