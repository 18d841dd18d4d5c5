#pragma once

#include "scenario/scenario.h"
#include "sim/formation.h"

#include <array>

namespace velmora {

// The formation as it was last set up, in scenario form: parameters in the user's units, the algorithm and
// every craft's starting state. Craft the user drags are moved here too, so saving it and running the file
// replays what the dialog shows.
class SetupRecord {
public:
    // Takes the parameters of the scenario f was set up from, and f's craft right after that set-up (f.time()
    // must still be 0).
    void recordSetup(const Scenario& s, const Formation& f);

    // Folds craft moved since the last call into the record. Before the first step a dragged craft starts
    // where it was dropped; once the formation has run, its start moves by the same displacement.
    void noteMovedCraft(const Formation& f);

    // Keeps track of where the craft are after a step, so stepping is not mistaken for dragging.
    void noteStepped(const Formation& f);

    const Scenario& scenario() const { return scenario_; }

private:
    Scenario scenario_;
    std::array<Vec3, Formation::capacity> lastPositions_{};
};

}  // namespace velmora
