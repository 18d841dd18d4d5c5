#pragma once

#include "view/display_lists.h"

namespace velmora {

class GLMatrix;

// The shapes of a glyph, as display lists and meshes know them.
enum GlyphShape { coneStubShape = 1, rayFanShape, ringShape, sphereShape };

// How a glyph's shapes reach OpenGL (see DrawingStrategy). Each shape is drawn at the current modelview, which
// `modelview` repeats on the CPU, or is null where the view's camera is not known.
class GlyphShapes {
public:
    // Cone stub from the sensor apex: length 0.25 r, end radius 0.25 r t.
    virtual void coneStub(double r, double t, const GLMatrix* modelview) = 0;
    // Twelve rays of length 10 r at half-angle theta about +z.
    virtual void rayFan(double r, double theta) = 0;
    // Open tube of radius r and length 0.25 r along +z.
    virtual void ring(double r, const GLMatrix* modelview) = 0;
    virtual void sphere(double r, const GLMatrix* modelview) = 0;

protected:
    ~GlyphShapes() = default;
};

// Every vertex at every drawing, through GLU.
class StraightShapes final : public GlyphShapes {
public:
    void coneStub(double r, double t, const GLMatrix* modelview) override;
    void rayFan(double r, double theta) override;
    void ring(double r, const GLMatrix* modelview) override;
    void sphere(double r, const GLMatrix* modelview) override;
};

// Each shape replayed from the rendering's display lists, compiled from GLU the first time.
class ListedShapes final : public GlyphShapes {
public:
    void coneStub(double r, double t, const GLMatrix* modelview) override;
    void rayFan(double r, double theta) override;
    void ring(double r, const GLMatrix* modelview) override;
    void sphere(double r, const GLMatrix* modelview) override;

    DisplayLists* lists = nullptr;
};

}  // namespace velmora
