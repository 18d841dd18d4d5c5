#pragma once

#include "scenario/plan_file.h"
#include "trials/trial_request.h"

#include <pybind11/pybind11.h>

#include <memory>
#include <optional>
#include <vector>

namespace velmora {

// velmora.Plan: a plan file's plan, read from a file or stated in Python, checked whole by the same reader
// as every plan file, so a plan refused here is refused with the words a file of it would get.
class PythonPlan {
public:
    // roles: a list of roles, each a list of segments, each (duration, axis, rate); a role or a segment may
    // also be the object a plan file holds for it, so a plan file's members make a Plan.
    PythonPlan(const pybind11::object& name, const pybind11::object& roles, const pybind11::object& description);
    explicit PythonPlan(std::shared_ptr<const PlanFile> plan) : plan_(std::move(plan)) {}

    static PythonPlan load(const pybind11::object& path);

    const std::shared_ptr<const PlanFile>& plan() const { return plan_; }
    // The canonical text, whose SHA-256 is the plan's identity.
    std::string json() const;
    void save(const pybind11::object& path) const;
    // Each role's segments at a tilt angle and FOV half-angle in degrees, as velmora-sim plan prints them.
    pybind11::object table(const pybind11::object& tilt, const pybind11::object& fov) const;

private:
    std::shared_ptr<const PlanFile> plan_;
};

void bindPlan(pybind11::module_& m);

// The algorithms an algorithm= argument names when one of them is a Plan or a path object (os.PathLike): a
// Plan as it is, a path object's plan file read, and names, indices, "all" and FILE.plan.json texts as the
// request reads them. Nothing when every item is text or a number, which the request reads as it stands.
std::optional<std::vector<AlgorithmChoice>> algorithmChoices(pybind11::handle value, const TrialNames& names);

}  // namespace velmora
