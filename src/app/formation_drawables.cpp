#include "app/formation_drawables.h"

namespace velmora {

// Initialised at compile time, so they are ready before any other static object could reach them.
constinit FormationDrawable leftFormationDrawable;
constinit FormationDrawable rightFormationDrawable;

}  // namespace velmora
