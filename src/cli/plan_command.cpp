#include "cli/plan_command.h"

#include "cli/trial_options.h"
#include "geometry/angles.h"
#include "scenario/plan_file.h"
#include "sim/maneuver_plan.h"
#include "text/json_writer.h"
#include "text/provenance.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

namespace velmora {
namespace {

struct PlanOptions {
    std::string path;
    double tiltDeg = 45.0;
    double fovDeg = 70.0;
    bool json = false;
};

std::string fixed(double v)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.6g", v);
    return buffer;
}

// An axis as a plan file may write it: a letter for a coordinate axis, else its three numbers.
std::string axisText(const Vec3& a)
{
    const char* names[] = {"x", "y", "z"};
    for (int k = 0; k < 3; ++k) {
        const Vec3 unit{k == 0 ? 1.0 : 0.0, k == 1 ? 1.0 : 0.0, k == 2 ? 1.0 : 0.0};
        if (a == unit)
            return names[k];
        if (a == scale(unit, -1.0))
            return std::string("-") + names[k];
    }
    return "[" + numberText(a.x) + ", " + numberText(a.y) + ", " + numberText(a.z) + "]";
}

// Which craft fly role r of n: "0, 2, 4, ..." for two roles.
std::string craftOfRole(int r, int n)
{
    std::string text;
    for (int i = r; i < r + 3 * n; i += n)
        text += std::to_string(i) + ", ";
    return text + "...";
}

void printTable(const PlanFile& plan, const std::vector<ManeuverPlan>& tables, const PlanOptions& o)
{
    std::cout << plan.name() << ": " << tables.size() << (tables.size() == 1 ? " role" : " roles") << " at tilt "
              << numberText(o.tiltDeg) << "° and FOV " << numberText(o.fovDeg) << "° (g = "
              << fixed(waitFactor(degreesToRadians(o.fovDeg))) << ")\n";
    if (!plan.description().empty())
        std::cout << plan.description() << "\n";
    for (std::size_t r = 0; r < tables.size(); ++r) {
        const ManeuverPlan& t = tables[r];
        std::cout << "\nrole " << r << " (craft " << craftOfRole(static_cast<int>(r), static_cast<int>(tables.size()))
                  << "), " << fixed(t.totalDuration()) << " s in all\n";
        std::printf("  %-8s %12s %12s  %-18s %12s\n", "segment", "start (s)", "end (s)", "axis", "rate (rad/s)");
        std::fflush(stdout);
        for (int k = 0; k < t.count(); ++k) {
            const double start = k == 0 ? 0.0 : t.endTime(k - 1);
            std::printf("  %-8d %12s %12s  %-18s %12s\n", k, fixed(start).c_str(), fixed(t.endTime(k)).c_str(),
                        axisText(t.segment(k).axis).c_str(), fixed(t.segment(k).rate).c_str());
        }
        std::fflush(stdout);
    }
    std::cout << "\nidentity (SHA-256 of its canonical text): " << plan.sha256() << "\n";
}

nlohmann::ordered_json tableJson(const PlanFile& plan, const std::vector<ManeuverPlan>& tables, const PlanOptions& o)
{
    nlohmann::ordered_json out = provenanceJson(commandLine());
    out["algorithm"] = plan.name();
    out["plan"] = plan.sha256();
    out["tiltDeg"] = o.tiltDeg;
    out["fovDeg"] = o.fovDeg;
    nlohmann::ordered_json roles = nlohmann::ordered_json::array();
    for (const ManeuverPlan& t : tables) {
        nlohmann::ordered_json segments = nlohmann::ordered_json::array();
        for (int k = 0; k < t.count(); ++k) {
            const ManeuverSegment& s = t.segment(k);
            segments.push_back({{"start", k == 0 ? 0.0 : t.endTime(k - 1)},
                                {"end", t.endTime(k)},
                                {"axis", vectorJson(s.axis)},
                                {"rate", s.rate}});
        }
        roles.push_back({{"segments", segments}, {"duration", t.totalDuration()}});
    }
    out["roles"] = roles;
    out["definition"] = plan.canonical();
    return out;
}

}  // namespace

void addPlanCommand(CLI::App& app)
{
    auto o = std::make_shared<PlanOptions>();
    CLI::App* command = app.add_subcommand(
        "plan", "Check a plan file and print each role's segments (start, end, axis, rate) at a tilt and FOV.");
    command->footer(
        "A plan file gives 1 to 8 roles of 1 to 64 segments; craft i flies role i mod the number of roles.\n"
        "Durations and rates are numbers or expressions in pi, tilt, fov and g (Wait and Check's wait factor\n"
        "at the FOV) with + - * / and parentheses. See docs/plans.md.\n"
        "Example: velmora-sim plan plans/orlo.plan.json --tilt 25");
    command->add_option("file", o->path, "Plan file (FILE.plan.json)")->required();
    addNumberOption(*command, "--tilt", coneAngleRule, "Tilt angle, degrees (0 to 90)",
                    [o](const std::string& text) { o->tiltDeg = coneAngleRule.real("--tilt", {text}); })
        ->default_str(numberText(o->tiltDeg));
    addNumberOption(*command, "--fov", coneAngleRule, "Sensor field-of-view half-angle, degrees (0 to 90)",
                    [o](const std::string& text) { o->fovDeg = coneAngleRule.real("--fov", {text}); })
        ->default_str(numberText(o->fovDeg));
    command->add_flag("--json", o->json, "Print the tables as one JSON document");
    command->callback([o] {
        const PlanFile plan = PlanFile::load(o->path);
        const std::vector<ManeuverPlan> tables = plan.tables(degreesToRadians(o->tiltDeg), degreesToRadians(o->fovDeg));
        if (o->json)
            std::cout << toJsonText(tableJson(plan, tables, *o)) << '\n';
        else
            printTable(plan, tables, *o);
    });
}

}  // namespace velmora
