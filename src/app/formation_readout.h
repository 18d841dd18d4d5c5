#pragma once

#include "sim/formation.h"

#include <optional>
#include <string>

namespace velmora {

// The one-line account of a formation the dialog shows: its clock, how many pairs have linked, how many
// groups there are, and when every craft first came to be in one group.
class FormationReadout {
public:
    // Starts over for a formation just set up (at time 0 a formation may already be one group).
    void reset(const Formation& f);

    // After a step: notes the moment the formation first became one group.
    void noteStepped(const Formation& f);

    std::string text(const Formation& f) const;

    std::optional<double> initializedAt() const { return initializedAt_; }

private:
    std::optional<double> initializedAt_;
};

}  // namespace velmora
