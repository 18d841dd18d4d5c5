#pragma once

#include "geometry/mat3.h"
#include "geometry/vec3.h"
#include "sim/formation.h"

#include <array>
#include <optional>

namespace velmora {

struct Ray;
class ViewVolume;

// A colour as the views draw it, each channel 0 to 1.
struct SceneColour {
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
    friend bool operator==(const SceneColour&, const SceneColour&) = default;
};

// One craft as a view shows it, in simulation coordinates.
struct SceneCraft {
    Vec3 position;
    Mat3 attitude;
    std::array<double, 16> pose{};  // attitude and position, column-major as OpenGL takes it
    double radius = 0.0;
    double coneHalfAngle = 0.0;     // the sensor cone's half-angle, radians
    double tanConeHalfAngle = 0.0;
    bool selected = false;
};

// A line between two craft that have seen each other, drawn from the lower-index craft in its group's colour.
struct SceneLink {
    int from = 0;
    int to = 0;
    Vec3 fromPosition;
    Vec3 toPosition;
    SceneColour colour;
};

// Which parts of a craft can show in a view: its body (sphere, ring and cone stub) and its sensor rays.
struct CraftVisibility {
    bool body = true;
    bool rays = true;
};

// The colour of a group, from the index of its root craft: blue, magenta, cyan, white, and round again.
SceneColour groupColour(int root);

// Whether a craft's body and rays can reach into a view volume given in simulation coordinates.
CraftVisibility craftVisibility(const SceneCraft& craft, const ViewVolume& volume);

// What one view shows of a formation: every craft with its selection state and every link with its colour,
// read from the formation without changing it. Fixed capacity, so building one per rendering allocates nothing.
class FormationScene {
public:
    static constexpr int maxLinks = Formation::capacity * (Formation::capacity - 1) / 2;

    // The scene of formation with craft selected (if any) drawn as picked.
    void build(const Formation& formation, std::optional<int> selected);

    // The craft whose sphere the line of ray passes strictly within, nearest to the ray's origin; of equally
    // near ones the lowest index. Nothing when it passes none.
    std::optional<int> pick(const Ray& ray) const;

    int craftCount = 0;
    std::array<SceneCraft, Formation::capacity> craft{};
    int linkCount = 0;
    // In drawing order: by lower index, then by higher index.
    std::array<SceneLink, maxLinks> links{};
};

}  // namespace velmora
