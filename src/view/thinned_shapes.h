#pragma once

#include "scene/cylinder_mesh.h"
#include "scene/pixel_coverage.h"
#include "scene/sphere_mesh.h"
#include "view/glyph_shapes.h"

#include <array>
#include <cstddef>
#include <memory>
#include <utility>

namespace velmora {

struct ViewFrustum;

// A glyph's stub, ring and sphere kept in arrays, vertex for vertex as GLU sends them, and sent without what
// cannot change a pixel: the triangles that cover no pixel centre, and the sphere's quads deep behind its own
// front. The rest go as the triangles Mesa makes of GLU's quad strips, in the same order; the OpenGL standard
// leaves that split to the driver, so this serves Mesa's software renderers only (strategyForRenderer). A
// shape whose place in the window cannot be told, and the ray fan, are replayed whole from display lists.
class ThinnedShapes final : public GlyphShapes {
public:
    // Triangles left out, over every rendering so far.
    struct Counters {
        long long sphereTrianglesHidden = 0;       // behind the sphere's own front
        long long sphereTrianglesUncovered = 0;    // covering no pixel centre
        long long cylinderTrianglesUncovered = 0;  // of stubs and rings, covering no pixel centre

        Counters& operator+=(const Counters& more)
        {
            sphereTrianglesHidden += more.sphereTrianglesHidden;
            sphereTrianglesUncovered += more.sphereTrianglesUncovered;
            cylinderTrianglesUncovered += more.cylinderTrianglesUncovered;
            return *this;
        }
    };

    // Takes up a rendering: its display lists, for shapes sent whole; frustum's projection and viewport; and
    // what the context's state lets be left out, read here once.
    void begin(DisplayLists& lists, const ViewFrustum& frustum);

    void coneStub(double r, double t, const GLMatrix* modelview) override;
    void rayFan(double r, double theta) override;
    void ring(double r, const GLMatrix* modelview) override;
    void sphere(double r, const GLMatrix* modelview) override;

    const Counters& counters() const { return counters_; }

private:
    // Meshes of the last few sizes, found by the same key as the shape's display list.
    template <typename Mesh, std::size_t N>
    class MeshCache {
    public:
        template <typename Make>
        Mesh& find(const DisplayLists::Key& key, Make&& make)
        {
            for (const auto& [k, mesh] : entries_)
                if (mesh && k == key)
                    return *mesh;
            auto& slot = entries_[next_];
            next_ = (next_ + 1) % N;
            slot = {key, make()};
            return *slot.second;
        }

    private:
        std::array<std::pair<DisplayLists::Key, std::unique_ptr<Mesh>>, N> entries_;
        std::size_t next_ = 0;
    };

    // Where count vertices land in the window under modelview; false when that cannot be told, or when pixel
    // centres do not decide what a triangle covers.
    bool project(const float* positions, int count, const std::array<double, 16>& modelview);
    bool sendThinned(CylinderMesh& mesh, const GLMatrix& modelview);

    ListedShapes whole_;
    std::array<double, 16> projection_{};
    int viewport_[4] = {0, 0, 0, 0};
    int depthBits_ = 0;
    // Triangles are filled, one sample a pixel at its centre, so one that covers no centre makes no fragment.
    bool plainFill_ = false;
    // The nearest fragment of a pixel decides it alone, whatever is drawn before or after.
    bool nearestWins_ = false;
    MeshCache<SphereMesh, 4> spheres_;
    MeshCache<CylinderMesh, 8> cylinders_;  // stubs and rings alike, told apart by their keys' shapes
    PixelCoverage coverage_;
    Counters counters_;
};

}  // namespace velmora
