#pragma once

#include "geometry/vec3.h"
#include "sim/maneuver_plan.h"
#include "text/input_error.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// A plan file that cannot be used: the message names the file and, for a bad segment, its role and segment.
class PlanError : public InputError {
public:
    using InputError::InputError;
};

// A maneuver plan as data: up to eight roles of up to 64 constant-rate segments each, craft i flying role
// i mod (number of roles). A duration or rate is a number or an expression in pi, tilt (the tilt angle),
// fov (the FOV half-angle, both radians) and g (Wait and Check's wait factor at that FOV) with + - * / and
// parentheses; an axis is "x", "y", "z", "-x", "-y", "-z" or three numbers. A plan is read once and checked
// whole; its roles' tables are worked out for each run's parameters.
class PlanFile {
public:
    static constexpr int maxRoles = 8;
    static constexpr int maxSegments = ManeuverPlan::capacity;
    static constexpr std::size_t maxBytes = 1024 * 1024;

    // The plan a JSON document states; source (quoted) names it in messages. Throws PlanError.
    static PlanFile fromJson(const nlohmann::json& doc, const std::string& source);
    static PlanFile fromText(std::string_view text, const std::string& source);
    // Reads at most maxBytes of the file at path. Throws PlanError.
    static PlanFile load(const std::string& path);
    // A plan known only by its name and identity, as a trial file's rows name it: enough to name and compare
    // it, not to fly it (tables() refuses).
    static PlanFile named(std::string name, std::string sha256);

    const std::string& name() const { return name_; }
    const std::string& description() const { return description_; }
    int roleCount() const { return static_cast<int>(roles_.size()); }

    // Each role's segment table at a run's tilt angle and FOV half-angle (radians). Throws PlanError naming
    // the role and segment of a duration or rate that is not a finite number there.
    std::vector<ManeuverPlan> tables(double tilt, double fov) const;

    // The plan as a file states it, in one order with nothing left out or added: the same plan gives the
    // same text whatever the spacing or key order of its file.
    const nlohmann::ordered_json& canonical() const { return canonical_; }
    // The SHA-256 of the canonical text, in hex: the plan's identity in every output.
    const std::string& sha256() const { return sha256_; }

private:
    struct Segment {
        nlohmann::json duration;
        Vec3 axis;
        nlohmann::json rate;
    };

    std::string source_;
    std::string name_;
    std::string description_;
    std::vector<std::vector<Segment>> roles_;
    nlohmann::ordered_json canonical_;
    std::string sha256_;
};

}  // namespace velmora
