#include "scenario/scenario.h"

#include "geometry/angles.h"
#include "sim/plan_algorithm.h"
#include "text/json_writer.h"
#include "text/message_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace velmora {
namespace {

using nlohmann::json;

const json* member(const json& doc, const char* key)
{
    const auto it = doc.find(key);
    return it == doc.end() ? nullptr : &*it;
}

double numberAt(const json& value, const std::string& where)
{
    if (!value.is_number())
        throw ScenarioError(where + " must be a number, not " + value.type_name());
    return value.get<double>();
}

// A short, printable excerpt of a value for a message: never the whole of it, which may be megabytes.
std::string valueExcerpt(const json& value) { return excerpt(value.dump(), 40); }

// A key the program does not know is most likely a misspelt one, which would otherwise be ignored in
// silence and leave its parameter at the default.
void requireKnownKeys(const json& object, std::span<const std::string_view> known, const std::string& where)
{
    for (const auto& [key, value] : object.items()) {
        if (std::find(known.begin(), known.end(), key) != known.end())
            continue;
        std::string message = where + "unknown key '" + excerpt(key) + "'";
        if (const auto name = closestName(key, known)) {
            message += " (did you mean '" + std::string(*name) + "'?)";
        } else {
            message += " (the keys are";
            for (std::size_t i = 0; i < known.size(); ++i)
                message += (i == 0 ? " " : ", ") + std::string(known[i]);
            message += ")";
        }
        throw ScenarioError(message);
    }
}

bool integerFits(const json& value, long long lo, long long hi, long long& out)
{
    if (value.is_number_unsigned()) {
        const auto u = value.get<unsigned long long>();
        if (u > static_cast<unsigned long long>(hi))
            return false;
        out = static_cast<long long>(u);
        return out >= lo;
    }
    out = value.get<long long>();
    return out >= lo && out <= hi;
}

Vec3 vectorAt(const json& value, const std::string& where)
{
    if (!value.is_array() || value.size() != 3)
        throw ScenarioError(where + " must be a list of 3 numbers");
    return {numberAt(value[0], where + "[0]"), numberAt(value[1], where + "[1]"),
            numberAt(value[2], where + "[2]")};
}

Mat3 matrixAt(const json& value, const std::string& where)
{
    if (!value.is_array() || value.size() != 9)
        throw ScenarioError(where + " must be a list of 9 numbers (column by column)");
    Mat3 m;
    for (int i = 0; i < 9; ++i)
        m.m[i] = numberAt(value[i], where + "[" + std::to_string(i) + "]");
    return m;
}

bool endsWithJson(const std::string& text)
{
    return text.size() > 5 && std::equal(text.end() - 5, text.end(), ".json", [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           });
}

// A built-in plan by name or index, a plan file by its path, or the plan itself as an object.
void algorithmAt(const json& value, const std::string& planFolder, Scenario& s)
{
    try {
        if (value.is_object()) {
            s.algorithm = -1;
            s.plan = std::make_shared<const PlanFile>(PlanFile::fromJson(value, "the scenario's plan"));
            return;
        }
        if (value.is_string()) {
            const std::string text = value.get<std::string>();
            if (const auto index = planAlgorithmFromName(text)) {
                s.algorithm = *index;
                return;
            }
            if (endsWithJson(text)) {
                s.algorithm = -1;
                const bool absolute = !text.empty() && text.front() == '/';
                s.plan = std::make_shared<const PlanFile>(
                    PlanFile::load(absolute || planFolder.empty() ? text : planFolder + "/" + text));
                return;
            }
            throw ScenarioError("\"algorithm\": unknown name \"" + excerpt(text) + "\" (use " +
                                planAlgorithmNameList() + ", an index, a plan file's path or a plan)");
        }
    } catch (const PlanError& e) {
        throw ScenarioError(std::string("\"algorithm\": ") + e.what());
    }
    if (!value.is_number_integer())
        throw ScenarioError("\"algorithm\" must be a name, an integer, a plan file's path or a plan, not " +
                            std::string(value.type_name()));
    // Any index outside 0..4 means no algorithm: the plans stay empty.
    long long index = 0;
    s.algorithm = integerFits(value, 0, planAlgorithmCount - 1, index) ? static_cast<int>(index) : -1;
}

CraftState craftAt(const json& value, const std::string& where)
{
    if (!value.is_object())
        throw ScenarioError(where + " must be an object with position, velocity and optional attitude");
    requireKnownKeys(value, craftKeys, where + ": ");
    CraftState c;
    const json* position = member(value, "position");
    const json* velocity = member(value, "velocity");
    if (!position || !velocity)
        throw ScenarioError(where + " needs both \"position\" and \"velocity\"");
    c.position = vectorAt(*position, where + ".position");
    c.velocity = vectorAt(*velocity, where + ".velocity");
    if (const json* attitude = member(value, "attitude"))
        c.attitude = matrixAt(*attitude, where + ".attitude");
    return c;
}

bool finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

Scenario parseScenario(const json& doc, const std::string& planFolder)
{
    if (!doc.is_object())
        throw ScenarioError("a scenario must be a JSON object, not " + std::string(doc.type_name()));
    requireKnownKeys(doc, scenarioKeys, "");
    Scenario s;
    if (const json* v = member(doc, "algorithm"))
        algorithmAt(*v, planFolder, s);
    if (const json* v = member(doc, "maxSpeed"))
        s.maxSpeed = numberAt(*v, "\"maxSpeed\"");
    if (const json* v = member(doc, "fovDeg"))
        s.fovDeg = numberAt(*v, "\"fovDeg\"");
    if (const json* v = member(doc, "tiltDeg"))
        s.tiltDeg = numberAt(*v, "\"tiltDeg\"");
    if (const json* v = member(doc, "craftRadius"))
        s.craftRadius = numberAt(*v, "\"craftRadius\"");
    if (const json* v = member(doc, "boxHalfSize"))
        s.boxHalfSize = numberAt(*v, "\"boxHalfSize\"");
    if (const json* v = member(doc, "craft")) {
        if (!v->is_array())
            throw ScenarioError("\"craft\" must be a list of craft objects");
        for (std::size_t i = 0; i < v->size(); ++i)
            s.craft.push_back(craftAt((*v)[i], "\"craft\"[" + std::to_string(i) + "]"));
    }
    s.count = s.craft.empty() && !member(doc, "craft") ? 6 : static_cast<int>(s.craft.size());
    if (const json* v = member(doc, "count")) {
        long long count = 0;
        if (!v->is_number_integer() || !integerFits(*v, 0, Formation::capacity, count))
            throw ScenarioError("\"count\" must be an integer from 0 to " + std::to_string(Formation::capacity) +
                                ", not " + valueExcerpt(*v));
        s.count = static_cast<int>(count);
    }
    if (s.count > Formation::capacity)
        throw ScenarioError("\"craft\" lists " + std::to_string(s.craft.size()) + " craft; at most " +
                            std::to_string(Formation::capacity) + " fit");
    if (static_cast<int>(s.craft.size()) > s.count)
        throw ScenarioError("\"craft\" lists " + std::to_string(s.craft.size()) + " craft but \"count\" is " +
                            std::to_string(s.count));
    if (const json* v = member(doc, "counterexample")) {
        if (!v->is_boolean())
            throw ScenarioError("\"counterexample\" must be true or false");
        s.counterexample = v->get<bool>();
    }
    if (const json* v = member(doc, "seed")) {
        long long seed = 0;
        if (!v->is_number_integer() || !integerFits(*v, 0, 0xFFFFFFFFll, seed))
            throw ScenarioError("\"seed\" must be an integer from 0 to 4294967295, not " + valueExcerpt(*v));
        s.seed = static_cast<std::uint32_t>(seed);
    }
    if (const json* v = member(doc, "origin")) {
        if (!v->is_object())
            throw ScenarioError("\"origin\" must be an object, not " + valueExcerpt(*v));
        s.origin = nlohmann::ordered_json(*v);
    }
    if (s.counterexample && s.count < 2)
        throw ScenarioError("the counterexample needs at least 2 craft (\"count\" is " + std::to_string(s.count) +
                            ")");
    return s;
}

bool hasFiniteState(const Formation& f)
{
    for (int i = 0; i < f.craftCount(); ++i) {
        const Spacecraft& c = f.spacecraft(i);
        if (!finite(c.position) || !finite(c.velocity) ||
            !std::all_of(std::begin(c.attitude.m), std::end(c.attitude.m), [](double x) { return std::isfinite(x); }))
            return false;
    }
    return true;
}

void requireFiniteState(const Formation& f, const char* when)
{
    for (int i = 0; i < f.craftCount(); ++i) {
        const Spacecraft& c = f.spacecraft(i);
        const char* what = !finite(c.position) ? "position" : !finite(c.velocity) ? "velocity"
                           : !std::all_of(std::begin(c.attitude.m), std::end(c.attitude.m),
                                          [](double x) { return std::isfinite(x); })
                               ? "attitude"
                               : nullptr;
        if (what)
            throw ScenarioError(std::string(when) + " craft " + std::to_string(i) + " has a " + what +
                                " that is not a finite number: the scenario's sizes or speeds are too large");
    }
}

FormationParams formationParams(const Scenario& s)
{
    FormationParams p(s.maxSpeed, s.boxHalfSize);
    p.craftRadius = s.craftRadius;
    p.ThetaFOV = degreesToRadians(s.fovDeg);
    p.ThetaTilt = degreesToRadians(s.tiltDeg);
    return p;
}

std::string algorithmName(const Scenario& s)
{
    if (s.plan)
        return s.plan->name();
    if (s.algorithm >= 0 && s.algorithm < planAlgorithmCount)
        return std::string(planAlgorithmNames[static_cast<std::size_t>(s.algorithm)]);
    return "none";
}

std::string planIdentity(const Scenario& s) { return s.plan ? s.plan->sha256() : std::string(); }

std::vector<ManeuverPlan> planTables(const Scenario& s)
{
    if (!s.plan)
        return {};
    return s.plan->tables(degreesToRadians(s.tiltDeg), degreesToRadians(s.fovDeg));
}

void setUpFormation(const Scenario& s, Formation& f, Rand15& rng, const std::vector<ManeuverPlan>* tables)
{
    f.setParams(formationParams(s));
    f.setAlgorithm(s.plan ? -1 : s.algorithm);
    f.setup(s.count, rng);
    if (s.plan)
        f.assignPlans(tables ? *tables : planTables(s));
    for (std::size_t i = 0; i < s.craft.size(); ++i)
        f.placeCraft(static_cast<int>(i), s.craft[i].position, s.craft[i].velocity, s.craft[i].attitude);
    if (s.counterexample)
        f.setupCounterexample();
}

nlohmann::ordered_json scenarioParametersJson(const Scenario& s)
{
    nlohmann::ordered_json out;
    if (s.plan)
        out["algorithm"] = s.plan->name();
    else if (s.algorithm >= 0 && s.algorithm < planAlgorithmCount)
        out["algorithm"] = planAlgorithmNames[s.algorithm];
    else
        out["algorithm"] = -1;
    out["maxSpeed"] = s.maxSpeed;
    out["fovDeg"] = s.fovDeg;
    out["tiltDeg"] = s.tiltDeg;
    out["craftRadius"] = s.craftRadius;
    out["boxHalfSize"] = s.boxHalfSize;
    out["count"] = s.count;
    return out;
}

nlohmann::ordered_json scenarioToJson(const Scenario& s, bool withSeed)
{
    nlohmann::ordered_json out = scenarioParametersJson(s);
    // The plan itself, so the scenario flies the same without the file it came from.
    if (s.plan)
        out["algorithm"] = s.plan->canonical();
    auto craft = nlohmann::ordered_json::array();
    for (const CraftState& c : s.craft) {
        nlohmann::ordered_json entry;
        entry["position"] = vectorJson(c.position);
        entry["velocity"] = vectorJson(c.velocity);
        if (c.attitude)
            entry["attitude"] = c.attitude->m;
        craft.push_back(entry);
    }
    if (!s.craft.empty())
        out["craft"] = craft;
    if (s.counterexample)
        out["counterexample"] = true;
    if (withSeed || s.seed != Rand15::firstState)
        out["seed"] = s.seed;
    if (!s.origin.is_null())
        out["origin"] = s.origin;
    return out;
}

}  // namespace velmora
