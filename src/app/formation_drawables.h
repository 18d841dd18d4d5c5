#pragma once

#include "view/formation_drawable.h"

namespace velmora {

// The two formation drawables of a main dialog, the left view's and the right view's. Their owner keeps them
// for as long as the dialog's views may draw: the program holds one pair for its whole run, made before the
// dialog and outliving it; the dialog points them at its formation and views.
struct FormationDrawables {
    FormationDrawable left;
    FormationDrawable right;
};

}  // namespace velmora
