#include "view/view_rendering.h"

namespace velmora {
namespace {

// Renderings happen on the user-interface thread only, one at a time.
const ViewRendering* currentRendering = nullptr;

}  // namespace

const ViewRendering* ViewRendering::current() { return currentRendering; }

ViewRendering::Scope::Scope(const ViewRendering* rendering) : previous_(currentRendering)
{
    currentRendering = rendering;
}

ViewRendering::Scope::~Scope() { currentRendering = previous_; }

}  // namespace velmora
