#pragma once

#include "sim/formation.h"

namespace velmora {

// Writes a formation's state directly, for tests that need a state no set-up and step reach in one move: a
// craft at a chosen pose, a given forest of groups, or a broken one for the checks that must catch it.
class FormationEditor {
public:
    explicit FormationEditor(Formation& f) : f_(f) {}

    Spacecraft& craft(int i) { return f_.spacecraft_[i]; }
    int& parent(int i) { return f_.parent_[i]; }
    std::uint32_t& seen(int i) { return f_.seen_[i]; }
    int& craftCount() { return f_.craftCount_; }

private:
    Formation& f_;
};

}  // namespace velmora
