#pragma once

#include <GL/gl.h>

namespace velmora {

// Pushes the current OpenGL matrix for the life of the scope, and pops it on every way out.
class MatrixScope {
public:
    MatrixScope() { glPushMatrix(); }
    ~MatrixScope() { glPopMatrix(); }
    MatrixScope(const MatrixScope&) = delete;
    MatrixScope& operator=(const MatrixScope&) = delete;
};

}  // namespace velmora
