#pragma once

#include "text/input_error.h"

namespace velmora {

// A value an option does not take, said under the option's name ("--fov: \"95\" is not an angle of a cone:
// ..."). velmora-sim points to its --help after it, where every option says what it takes.
class ArgumentError : public InputError {
public:
    using InputError::InputError;
};

}  // namespace velmora
