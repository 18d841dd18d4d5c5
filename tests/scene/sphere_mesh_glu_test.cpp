// The sphere mesh must be GLU's sphere to the bit, or leaving parts of it out would not give GLU's pixels.
// This program defines the four OpenGL calls GLU makes for a sphere, so that gluSphere, linked from the
// system's GLU, hands its vertices to the test instead of to a context.
#include "scene/sphere_mesh.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <vector>

namespace {

struct Sent {
    GLenum mode;
    std::array<float, 3> normal;
    std::array<float, 3> position;
};

std::vector<Sent> sent;
GLenum currentMode = 0;
std::array<float, 3> currentNormal{};

}  // namespace

extern "C" {
void GLAPIENTRY glBegin(GLenum mode) { currentMode = mode; }
void GLAPIENTRY glEnd() { currentMode = 0; }
void GLAPIENTRY glNormal3f(GLfloat x, GLfloat y, GLfloat z) { currentNormal = {x, y, z}; }
void GLAPIENTRY glVertex3f(GLfloat x, GLfloat y, GLfloat z) { sent.push_back({currentMode, currentNormal, {x, y, z}}); }
}

namespace velmora {
namespace {

std::uint32_t bits(float f) { return std::bit_cast<std::uint32_t>(f); }

TEST(SphereMesh, IsGluSphereToTheBit)
{
    for (const double radius : {1.0, 10.0, 0.37, 2.5, 123.456, 1e-3, 7.1e5}) {
        sent.clear();
        GLUquadric* quadric = gluNewQuadric();
        gluSphere(quadric, radius, SphereMesh::slices, SphereMesh::stacks);
        gluDeleteQuadric(quadric);
        ASSERT_EQ(static_cast<std::size_t>(SphereMesh::vertexCount), sent.size()) << radius;

        const SphereMesh mesh(radius);
        int mismatches = 0;
        for (int v = 0; v < SphereMesh::vertexCount; ++v) {
            const GLenum mode = v < SphereMesh::firstStripVertex ? GL_TRIANGLE_FAN : GL_QUAD_STRIP;
            EXPECT_EQ(mode, sent[v].mode) << "vertex " << v;
            for (int k = 0; k < 3; ++k)
                if (bits(sent[v].position[k]) != bits(mesh.positions()[3 * v + k]) ||
                    bits(sent[v].normal[k]) != bits(mesh.normals()[3 * v + k]))
                    ++mismatches;
        }
        EXPECT_EQ(0, mismatches) << "radius " << radius;
    }
}

}  // namespace
}  // namespace velmora
