// The glyph's meshes must be GLU's sphere and cylinders to the bit, or leaving parts of them out would not
// give GLU's pixels. This program defines the four OpenGL calls GLU makes for them, so that gluSphere and
// gluCylinder, linked from the system's GLU, hand their vertices to the test instead of to a context.
#include "scene/cylinder_mesh.h"
#include "scene/sphere_mesh.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>
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

// Vertices whose position or normal differs in any bit from what GLU sent.
int mismatches(const float* positions, const float* normals, int count)
{
    int n = 0;
    for (int v = 0; v < count; ++v)
        for (int k = 0; k < 3; ++k)
            if (bits(sent[v].position[k]) != bits(positions[3 * v + k]) ||
                bits(sent[v].normal[k]) != bits(normals[3 * v + k]))
                ++n;
    return n;
}

TEST(SphereMesh, IsGluSphereToTheBit)
{
    for (const double radius : {1.0, 10.0, 0.37, 2.5, 123.456, 1e-3, 7.1e5}) {
        sent.clear();
        GLUquadric* quadric = gluNewQuadric();
        gluSphere(quadric, radius, SphereMesh::slices, SphereMesh::stacks);
        gluDeleteQuadric(quadric);
        ASSERT_EQ(static_cast<std::size_t>(SphereMesh::vertexCount), sent.size()) << radius;

        const SphereMesh mesh(radius);
        for (int v = 0; v < SphereMesh::vertexCount; ++v)
            ASSERT_EQ(v < SphereMesh::firstStripVertex ? GL_TRIANGLE_FAN : GL_QUAD_STRIP, sent[v].mode) << v;
        EXPECT_EQ(0, mismatches(mesh.positions(), mesh.normals(), SphereMesh::vertexCount)) << "radius " << radius;
    }
}

TEST(CylinderMesh, IsGluCylinderToTheBit)
{
    // Cone stubs (no base radius) over the range of sensor angles, and rings, at several craft radii.
    for (const double r : {10.0, 1.0, 0.37, 123.456, 1e-3})
        for (const double t : {0.0, 0.1763, 1.0, 2.7475, 57.29}) {
            for (const bool ring : {false, true}) {
                const double base = ring ? r : 0.0;
                const double top = ring ? r : 0.25 * r * t;
                sent.clear();
                GLUquadric* quadric = gluNewQuadric();
                gluCylinder(quadric, base, top, 0.25 * r, CylinderMesh::slices, CylinderMesh::stacks);
                gluDeleteQuadric(quadric);
                ASSERT_EQ(static_cast<std::size_t>(CylinderMesh::vertexCount), sent.size()) << r << " " << t;
                for (const Sent& s : sent)
                    ASSERT_EQ(static_cast<GLenum>(GL_QUAD_STRIP), s.mode);
                const CylinderMesh mesh(base, top, 0.25 * r);
                EXPECT_EQ(0, mismatches(mesh.positions(), mesh.normals(), CylinderMesh::vertexCount))
                    << (ring ? "ring " : "stub ") << r << " " << t;
            }
        }
    // And any other frustum of a cone.
    for (const auto& [base, top, height] : {std::array<double, 3>{3.3, 1.2, 0.7}, {0.5, 2.0, 5.0}, {1.0, 0.0, 0.3},
             {7.25, 7.0, 123.0}, {0.01, 0.37, 0.003}}) {
        sent.clear();
        GLUquadric* quadric = gluNewQuadric();
        gluCylinder(quadric, base, top, height, CylinderMesh::slices, CylinderMesh::stacks);
        gluDeleteQuadric(quadric);
        ASSERT_EQ(static_cast<std::size_t>(CylinderMesh::vertexCount), sent.size());
        const CylinderMesh mesh(base, top, height);
        EXPECT_EQ(0, mismatches(mesh.positions(), mesh.normals(), CylinderMesh::vertexCount))
            << base << " " << top << " " << height;
    }
}

}  // namespace
}  // namespace velmora
