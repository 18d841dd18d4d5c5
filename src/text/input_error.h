#pragma once

#include <stdexcept>

namespace velmora {

// Input the program cannot use (a file, an option, a value): the message is one line a user can act on. The
// programs say it and exit with status 2; the Python module raises ValueError.
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace velmora
