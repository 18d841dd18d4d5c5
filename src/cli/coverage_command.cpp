#include "cli/coverage_command.h"

#include "cli/plot_options.h"
#include "cli/progress_bar.h"
#include "cli/trial_options.h"
#include "text/argument_error.h"
#include "text/json_writer.h"
#include "text/provenance.h"
#include "trials/coverage_map.h"
#if VELMORA_PLOT
#include "plot/sky_map_plot.h"
#endif

#include <iostream>
#include <memory>

namespace velmora {
namespace {

constexpr const char* coverageFooter =
    "Craft a sits at the origin and craft b at --distance in one direction, both at rest and starting at the\n"
    "identity attitude; each flies its role's plan in 0.01 s steps as velmora-sim run steps it, until the pair\n"
    "has first seen each other or the plans end. The directions are the centres of HEALPix's equal-area pixels\n"
    "in RING order (12 nside^2 of them). A pair's roles follow its craft's indexes: for the built-in plans\n"
    "even-odd, even-even and odd-odd, for a plan file 0-1, 0-0 and so on.\n"
    "--map writes every pixel's step and time (empty or null: never) as FILE.csv or FILE.jsonl, or its\n"
    "seconds as a HEALPix FITS map, FILE.fits, one column per role pair (never: HEALPix's unseen value).\n"
    "--plot draws each role pair's map in Mollweide's projection (+x in the middle, +y to the left, +z up),\n"
    "coloured by the time to sight, red where never, with both sensors' axes over the plan on top.\n"
    "Example: velmora-sim coverage --algorithm Orlo --fov 70 --tilt 25 --map orlo.csv";

constexpr NumberRule nsideRule = NumberRule::wholeIn(1, SkyGrid::maxNside);

struct CoverageOptions {
    TrialRequest request{commandLineNames};
    double distance = 500.0;
    int nside = 32;
    std::vector<std::string> roles;
    std::string map;
    std::string output;
    bool json = false;
    PlotOptions plot;
};

#if VELMORA_PLOT
// The figure names what made it: the version, the plan and every parameter the map depends on.
void savePlot(const CoverageMap& map, const PlotOptions& options, ReplacingFile& file)
{
    const Scenario& s = map.request.scenario;
    double end = 0.0;
    for (const RoleMap& m : map.maps)
        end = std::max(end, static_cast<double>(m.steps) * 0.01);
    SkyMapPlot plot("velmora " + std::string(velmoraVersion()) + " coverage: " +
                        algorithmName(s) + ", FOV " + numberText(s.fovDeg) +
                        "°, tilt " + numberText(s.tiltDeg) + "°, radius " + numberText(s.craftRadius) +
                        ", distance " + numberText(map.request.distance) + ", nside " +
                        std::to_string(map.grid.nside()),
                    end);
    for (const RoleMap& m : map.maps) {
        const double covered = 100.0 * static_cast<double>(m.sightedCount()) / static_cast<double>(map.grid.pixelCount());
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", covered);
        plot.addPanel({"roles " + m.name + ": " + text + " % of directions sighted",
                       [&map, &m](const Vec3& d) -> std::optional<double> {
                           const auto p = static_cast<std::size_t>(map.grid.pixelAt(d));
                           if (m.sightingStep[p] == 0)
                               return std::nullopt;
                           return m.sightingTime[p];
                       },
                       {{"craft a's sensor axis", m.axisTrack[0]},
                        {"craft b's sensor axis", m.axisTrack[1]}}});
    }
    nlohmann::ordered_json provenance = provenanceJson(commandLine());
    provenance["figure"] = "coverage";
    plot.setMetadata(toJsonText(provenance));
    file.write(plot.encode(*plotFormatOf(options.path), {options.widthInches, options.heightInches, options.dpi}));
    file.commit();
}
#endif

void runCoverageCommand(const CoverageOptions& o)
{
    const NamedFile outputs[] = {{"--map", o.map}, {"--output", o.output}, {"--plot", o.plot.path}};
    refuseSharedFiles(outputs);
    // The plot's file is created before the map is computed, so a target that cannot be written is said at once.
    std::optional<ReplacingFile> plotFile;
    if (!o.plot.path.empty()) {
        if (!VELMORA_PLOT)
            throw OptionError("--plot: this build of velmora-sim has no plotting (it was built with VELMORA_PLOT=OFF)");
        o.plot.check();
        try {
            plotFile.emplace(o.plot.path);
        } catch (const FileError& e) {
            throw OptionError("--plot: " + std::string(e.what()));
        }
    }
    CoverageRequest request;
    request.scenario = o.request.setup().scenario;
    request.distance = o.distance;
    request.nside = o.nside;
    request.steps = o.request.steps();
    request.threads = o.request.threads();
    request.roles = rolePairsNamed(request.scenario, o.roles, "--roles");
    if (!o.map.empty())
        checkCoverageMapPath(o.map);
    SummaryOutput output(o.output);
    const std::size_t maps = request.roles.empty() ? rolePairs(request.scenario).size() : request.roles.size();
    ProgressBar progress(12u * static_cast<std::uint64_t>(o.nside) * static_cast<std::uint64_t>(o.nside) * maps, stderr,
                         "directions");
    const CoverageMap map = computeCoverage(
        request, [&](std::int64_t done, std::int64_t) { progress.update(static_cast<std::uint64_t>(done)); });
    progress.finish();
    if (!o.map.empty())
        writeCoverageMap(map, o.map, commandLine());
    output.write(o.json ? toJsonText(coverageJson(map, commandLine())) + '\n' : coverageTable(map));
#if VELMORA_PLOT
    if (plotFile)
        savePlot(map, o.plot, *plotFile);
#endif
}

}  // namespace

void addCoverageCommand(CLI::App& app)
{
    auto o = std::make_shared<CoverageOptions>();
    CLI::App* coverage = app.add_subcommand(
        "coverage", "Map, over every direction between two craft at rest, when the pair first sees each other.");
    coverage->footer(coverageFooter);
    TrialRequest& r = o->request;
    addAlgorithmAndFovOptions(*coverage, r);
    addNumberOption(*coverage, commandLineNames.tilt, coneAngleRule, "Sensor tilt angle, degrees (0 to 90)",
                    [&r](const std::string& text) { r.setTilt({text}); })
        ->default_str(numberText(r.setup().scenario.tiltDeg));
    addNumberOption(*coverage, commandLineNames.radius, nonNegativeRule,
                    "Craft radius (sensor apex distance from the centre)",
                    [&r](const std::string& text) { r.setRadius({text}); })
        ->default_str(numberText(r.setup().scenario.craftRadius));
    addNumberOption(*coverage, "--distance", positiveRule, "Distance between the two craft",
                    [&d = o->distance](const std::string& text) { d = positiveRule.real("--distance", {text}); })
        ->default_str(numberText(o->distance));
    addNumberOption(
        *coverage, "--nside", nsideRule, "HEALPix resolution, a power of two: 12 N^2 directions",
        [&n = o->nside](const std::string& text) {
            const std::uint64_t value = nsideRule.whole("--nside", {text});
            if (!SkyGrid::validNside(static_cast<std::int64_t>(value)))
                throw ArgumentError("--nside: " + std::to_string(value) + " is not a power of two (1, 2, 4, ... " +
                                    std::to_string(SkyGrid::maxNside) + ")");
            n = static_cast<int>(value);
        },
        "N")
        ->default_str(std::to_string(o->nside));
    coverage
        ->add_option("--roles", o->roles, "Comma-separated role pairs to map, such as even-odd,odd-odd (default: all)")
        ->type_name("PAIRS")
        ->delimiter(',');
    addNumberOption(*coverage, commandLineNames.duration, nonNegativeRule,
                    "Simulated seconds to look at most (default: until the plans have ended)",
                    [&r](const std::string& text) { r.setDuration({text}); });
    addNumberOption(*coverage, commandLineNames.threads, threadCountRule, "Worker threads (default: all cores)",
                    [&r](const std::string& text) { r.setThreads({text}); });
    coverage->add_option("--map", o->map, "Write every pixel's sighting step and time to FILE.csv, FILE.jsonl or FILE.fits")
        ->type_name("FILE");
    coverage->add_flag("--json", o->json, "Print the summary as one JSON document instead of a table");
    addOutputOption(*coverage, o->output);
    // Three panels of a map twice as wide as tall, and the colour scale.
    o->plot.widthInches = 5.0;
    o->plot.heightInches = 8.0;
    addPlotOptions(*coverage, o->plot, "Also draw each role pair's map in Mollweide's projection");
    coverage->callback([o] { runCoverageCommand(*o); });
}

}  // namespace velmora
