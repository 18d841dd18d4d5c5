#include "scenario/run_request.h"

#include "text/argument_error.h"
#include "text/input_error.h"
#include "text/message_text.h"

#include <string>

namespace velmora {

Sighting sightingRule(std::string_view name, const std::string& text)
{
    if (const auto rule = sightingFromName(text))
        return *rule;
    throw ArgumentError(std::string(name) + ": unknown sighting rule \"" + excerpt(text) + "\" (use grid or continuous)");
}

void RunRequest::setSighting(const std::string& text) { sighting_ = sightingRule(names_.sighting, text); }

void RunRequest::setSteps(const Given<std::uint64_t>& steps)
{
    steps_ = static_cast<std::int64_t>(runStepsRule.whole(names_.steps, steps));
}

void RunRequest::setDuration(const Given<double>& seconds)
{
    duration_ = runDurationRule.real(names_.duration, seconds);
}

std::optional<std::int64_t> RunRequest::steps() const
{
    if (steps_ && duration_)
        throw InputError(std::string(names_.steps) + " excludes " + std::string(names_.duration));
    if (duration_)
        return stepsForDuration(*duration_, names_.duration);
    return steps_;
}

}  // namespace velmora
