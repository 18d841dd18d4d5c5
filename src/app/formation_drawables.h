#pragma once

#include "view/formation_drawable.h"

namespace velmora {

// The program's two formation drawables, the left view's and the right view's. They exist for the whole run,
// before the main dialog is built and after it is gone; the dialog points them at its formation and views.
extern FormationDrawable leftFormationDrawable;
extern FormationDrawable rightFormationDrawable;

}  // namespace velmora
