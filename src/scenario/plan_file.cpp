#include "scenario/plan_file.h"

#include "geometry/angles.h"
#include "text/json_reader.h"
#include "text/json_writer.h"
#include "text/message_text.h"

#include <muParser.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cmath>
#include <span>

namespace velmora {
namespace {

using nlohmann::json;

constexpr std::string_view planKeys[] = {"velmoraPlan", "name", "description", "roles"};
constexpr std::string_view roleKeys[] = {"segments"};
constexpr std::string_view segmentKeys[] = {"duration", "axis", "rate"};
constexpr std::size_t maxNameBytes = 64;

const JsonBounds& planBounds()
{
    static const JsonBounds bounds{PlanFile::maxBytes, 8, 1000, "plan file",
                                   "a plan is a few kilobytes", "a plan needs five",
                                   "a plan's longest list holds " + std::to_string(PlanFile::maxSegments) +
                                       " segments"};
    return bounds;
}

double add(double a, double b) { return a + b; }
double subtract(double a, double b) { return a - b; }
double multiply(double a, double b) { return a * b; }
double divide(double a, double b) { return a / b; }
double negate(double a) { return -a; }
double keep(double a) { return a; }

// An expression of a plan: numbers, pi, tilt, fov and g, with + - * / and parentheses, and nothing else
// the library knows (no functions, no constants of its own, no comparisons or assignments). Evaluated as
// written, without the library's rewriting, so "2*tilt" is the very product a built-in plan forms.
class Expression {
public:
    Expression(const std::string& text, const double& tilt, const double& fov, const double& g)
    {
        parser_.EnableBuiltInOprt(false);
        parser_.EnableOptimizer(false);
        parser_.ClearFun();
        parser_.ClearConst();
        parser_.ClearInfixOprt();
        parser_.ClearPostfixOprt();
        parser_.ClearOprt();
        parser_.DefineOprt("+", add, mu::prADD_SUB);
        parser_.DefineOprt("-", subtract, mu::prADD_SUB);
        parser_.DefineOprt("*", multiply, mu::prMUL_DIV);
        parser_.DefineOprt("/", divide, mu::prMUL_DIV);
        parser_.DefineInfixOprt("-", negate);
        parser_.DefineInfixOprt("+", keep);
        parser_.DefineConst("pi", pi);
        // The library reads variables through pointers and never writes them: assignment is not an operator.
        parser_.DefineVar("tilt", const_cast<double*>(&tilt));
        parser_.DefineVar("fov", const_cast<double*>(&fov));
        parser_.DefineVar("g", const_cast<double*>(&g));
        parser_.SetExpr(text);
    }

    // Throws mu::ParserError for an expression that does not parse.
    double value()
    {
        const double v = parser_.Eval();
        if (parser_.GetNumResults() != 1)
            throw std::invalid_argument("one expression, without commas");
        return v;
    }

private:
    mu::Parser parser_;
};

std::string where(const std::string& source, std::size_t role, std::size_t segment)
{
    return source + ", role " + std::to_string(role) + ", segment " + std::to_string(segment);
}

// Why the library refused an expression, in the plan's own terms.
std::string problem(const mu::ParserError& e)
{
    if (e.GetCode() == mu::ecUNASSIGNABLE_TOKEN) {
        std::string token = e.GetToken();
        const auto end = std::find_if(token.begin(), token.end(), [](unsigned char c) {
            return !(std::isalnum(c) || c == '_');
        });
        if (end != token.begin())
            return "unknown name \"" + excerpt(std::string(token.begin(), end)) + "\" (the names are pi, tilt, fov "
                                                                                   "and g)";
        return "\"" + excerpt(token.substr(0, 1)) + "\" at position " + std::to_string(e.GetPos() + 1) +
               " is not one of + - * / ( )";
    }
    return excerpt(e.GetMsg(), 120);
}

void requireKnownKeys(const json& object, std::span<const std::string_view> known, const std::string& where)
{
    for (const auto& [key, value] : object.items()) {
        if (std::find(known.begin(), known.end(), key) != known.end())
            continue;
        std::string message = where + ": unknown key \"" + excerpt(key) + "\"";
        if (const auto name = closestName(key, known))
            message += " (did you mean \"" + std::string(*name) + "\"?)";
        throw PlanError(message);
    }
}

// A duration or rate as the file writes it, checked: a finite number, or an expression that parses.
json quantityAt(const json& object, const char* key, const std::string& at)
{
    const auto it = object.find(key);
    if (it == object.end())
        throw PlanError(at + ": no \"" + key + "\"");
    if (it->is_number()) {
        const double v = it->get<double>();
        if (!std::isfinite(v))
            throw PlanError(at + ": " + key + " is not a finite number");
        return v;
    }
    if (!it->is_string())
        throw PlanError(at + ": " + key + " must be a number or an expression, not " + it->type_name());
    const std::string text = it->get<std::string>();
    const double one = 1.0;
    try {
        Expression(text, one, one, one).value();
    } catch (const mu::ParserError& e) {
        throw PlanError(at + ": " + key + " \"" + excerpt(text) + "\": " + problem(e));
    } catch (const std::invalid_argument& e) {
        throw PlanError(at + ": " + key + " \"" + excerpt(text) + "\": " + e.what());
    }
    return text;
}

// An axis as "x", "-y", ... or three numbers; the canonical form keeps what the file wrote.
Vec3 axisAt(const json& object, const std::string& at, json& written)
{
    const auto it = object.find("axis");
    if (it == object.end())
        throw PlanError(at + ": no \"axis\"");
    written = *it;
    if (it->is_string()) {
        const std::string name = it->get<std::string>();
        const bool minus = name.size() == 2 && name[0] == '-';
        const std::string letter = minus ? name.substr(1) : name;
        const double sign = minus ? -1.0 : 1.0;
        if (letter == "x")
            return {sign, 0.0, 0.0};
        if (letter == "y")
            return {0.0, sign, 0.0};
        if (letter == "z")
            return {0.0, 0.0, sign};
        throw PlanError(at + ": axis \"" + excerpt(name) + "\" is not x, y, z, -x, -y, -z or three numbers");
    }
    if (!it->is_array() || it->size() != 3 || !std::all_of(it->begin(), it->end(), [](const json& v) {
            return v.is_number() && std::isfinite(v.get<double>());
        }))
        throw PlanError(at + ": axis must be x, y, z, -x, -y, -z or a list of three finite numbers");
    const Vec3 axis{(*it)[0].get<double>(), (*it)[1].get<double>(), (*it)[2].get<double>()};
    written = json::array({axis.x, axis.y, axis.z});
    // A turn about an axis this short is no turn at all (see axisAngle).
    if (dot(axis, axis) < 1e-9)
        throw PlanError(at + ": the axis is zero, or too short to turn about (its squared length is below 1e-9)");
    return axis;
}

std::string hexSha256(const std::string& text)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(text.data(), text.size(), digest, &length, EVP_sha256(), nullptr) != 1)
        throw PlanError("cannot compute a plan's SHA-256");
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < length; ++i) {
        out += hex[digest[i] >> 4];
        out += hex[digest[i] & 15];
    }
    return out;
}

bool nameCharacter(unsigned char c) { return std::isalnum(c) || std::string_view(" _.+-()").find(c) != std::string_view::npos; }

}  // namespace

PlanFile PlanFile::fromJson(const json& doc, const std::string& source)
{
    if (!doc.is_object())
        throw PlanError(source + ": a plan must be a JSON object, not " + std::string(doc.type_name()));
    requireKnownKeys(doc, planKeys, source);
    const auto version = doc.find("velmoraPlan");
    if (version == doc.end())
        throw PlanError(source + ": no \"velmoraPlan\": a plan file states its format's version, 1");
    if (!version->is_number_integer() || version->get<long long>() != 1)
        throw PlanError(source + ": \"velmoraPlan\" is " + excerpt(version->dump()) +
                        "; this Velmora reads plan files of version 1");
    PlanFile plan;
    plan.source_ = source;
    const auto name = doc.find("name");
    if (name == doc.end() || !name->is_string())
        throw PlanError(source + ": a plan needs a \"name\"");
    plan.name_ = name->get<std::string>();
    if (plan.name_.empty() || plan.name_.size() > maxNameBytes ||
        !std::all_of(plan.name_.begin(), plan.name_.end(), [](char c) { return nameCharacter(c); }))
        throw PlanError(source + ": the name \"" + excerpt(plan.name_) + "\" must be 1 to 64 letters, digits, "
                                                                         "blanks or _.+-()");
    if (const auto d = doc.find("description"); d != doc.end()) {
        if (!d->is_string())
            throw PlanError(source + ": \"description\" must be text");
        plan.description_ = d->get<std::string>();
    }
    const auto roles = doc.find("roles");
    if (roles == doc.end() || !roles->is_array() || roles->empty())
        throw PlanError(source + ": a plan needs \"roles\", a list of 1 to " + std::to_string(maxRoles) + " roles");
    if (roles->size() > static_cast<std::size_t>(maxRoles))
        throw PlanError(source + ": " + std::to_string(roles->size()) + " roles; a plan has at most " +
                        std::to_string(maxRoles));
    nlohmann::ordered_json canonicalRoles = nlohmann::ordered_json::array();
    for (std::size_t r = 0; r < roles->size(); ++r) {
        const json& role = (*roles)[r];
        const std::string roleAt = source + ", role " + std::to_string(r);
        if (!role.is_object())
            throw PlanError(roleAt + ": a role is an object with \"segments\"");
        requireKnownKeys(role, roleKeys, roleAt);
        const auto segments = role.find("segments");
        if (segments == role.end() || !segments->is_array() || segments->empty())
            throw PlanError(roleAt + ": a role needs \"segments\", a list of 1 to " + std::to_string(maxSegments));
        if (segments->size() > static_cast<std::size_t>(maxSegments))
            throw PlanError(roleAt + ": " + std::to_string(segments->size()) + " segments; a role has at most " +
                            std::to_string(maxSegments));
        std::vector<Segment> parsed;
        nlohmann::ordered_json canonicalSegments = nlohmann::ordered_json::array();
        for (std::size_t k = 0; k < segments->size(); ++k) {
            const json& segment = (*segments)[k];
            const std::string at = where(source, r, k);
            if (!segment.is_object())
                throw PlanError(at + ": a segment is an object with \"duration\", \"axis\" and \"rate\"");
            requireKnownKeys(segment, segmentKeys, at);
            Segment s;
            s.duration = quantityAt(segment, "duration", at);
            json axis;
            s.axis = axisAt(segment, at, axis);
            s.rate = quantityAt(segment, "rate", at);
            nlohmann::ordered_json entry;
            entry["duration"] = nlohmann::ordered_json::parse(s.duration.dump());
            entry["axis"] = nlohmann::ordered_json::parse(axis.dump());
            entry["rate"] = nlohmann::ordered_json::parse(s.rate.dump());
            canonicalSegments.push_back(std::move(entry));
            parsed.push_back(std::move(s));
        }
        plan.roles_.push_back(std::move(parsed));
        nlohmann::ordered_json canonicalRole;
        canonicalRole["segments"] = std::move(canonicalSegments);
        canonicalRoles.push_back(std::move(canonicalRole));
    }
    // In the file format's own order, numbers as doubles, so spacing, key order and "1" against "1.0" in a
    // file change nothing of it.
    plan.canonical_["velmoraPlan"] = 1;
    plan.canonical_["name"] = plan.name_;
    if (doc.contains("description"))
        plan.canonical_["description"] = plan.description_;
    plan.canonical_["roles"] = std::move(canonicalRoles);
    plan.sha256_ = hexSha256(toJsonText(plan.canonical_));
    return plan;
}

PlanFile PlanFile::fromText(std::string_view text, const std::string& source)
{
    try {
        return fromJson(readJsonText(text, source, planBounds()), source);
    } catch (const PlanError&) {
        throw;
    } catch (const InputError& e) {
        throw PlanError(e.what());
    }
}

PlanFile PlanFile::load(const std::string& path)
{
    std::string text;
    try {
        text = readBoundedFile(path, planBounds());
    } catch (const InputError& e) {
        throw PlanError(e.what());
    }
    return fromText(text, "plan file \"" + path + "\"");
}

PlanFile PlanFile::named(std::string name, std::string sha256)
{
    PlanFile plan;
    plan.source_ = "plan \"" + excerpt(name) + "\"";
    plan.name_ = std::move(name);
    plan.sha256_ = std::move(sha256);
    return plan;
}

std::vector<ManeuverPlan> PlanFile::tables(double tilt, double fov) const
{
    if (roles_.empty())
        throw PlanError(source_ + ": only its name and identity are known here, not its segments");
    const double g = waitFactor(fov);
    std::vector<ManeuverPlan> tables(roles_.size());
    std::vector<ManeuverSegment> segments;
    for (std::size_t r = 0; r < roles_.size(); ++r) {
        segments.clear();
        for (std::size_t k = 0; k < roles_[r].size(); ++k) {
            const Segment& s = roles_[r][k];
            const auto evaluate = [&](const json& value, const char* key) {
                const double v = value.is_string() ? Expression(value.get<std::string>(), tilt, fov, g).value()
                                                   : value.get<double>();
                if (!std::isfinite(v))
                    throw PlanError(where(source_, r, k) + ": " + key + " " + excerpt(value.dump()) +
                                    " is not a finite number at tilt " + numberText(tilt) + " and fov " +
                                    numberText(fov) + " (radians)");
                return v;
            };
            segments.push_back(ManeuverSegment{evaluate(s.duration, "duration"), s.axis, evaluate(s.rate, "rate")});
        }
        tables[r].assign(segments);
    }
    return tables;
}

}  // namespace velmora
