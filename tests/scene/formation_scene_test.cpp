// What a view shows of a formation, checked without any window: links and their group colours, selection,
// what can show in a view volume, and picking.
#include "scene/formation_scene.h"
#include "scene/ray.h"
#include "scene/view_volume.h"
#include "sim/default_scene.h"
#include "support/formation_editor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <limits>
#include <utility>
#include <vector>

namespace velmora {
namespace {

constexpr SceneColour blue{0, 0, 1};
constexpr SceneColour magenta{1, 0, 1};
constexpr SceneColour cyan{0, 1, 1};
constexpr SceneColour white{1, 1, 1};

TEST(GroupColour, FollowsTheLowTwoBitsOfTheRoot)
{
    const SceneColour expected[] = {blue, magenta, cyan, white, blue, magenta, cyan, white, blue};
    for (int root = 0; root < 9; ++root)
        EXPECT_EQ(expected[root], groupColour(root)) << root;
}

struct ExpectedLink {
    int from;
    int to;
    SceneColour colour;
};

struct LinkCase {
    const char* name;
    int craft;
    std::vector<std::pair<int, int>> parents;  // craft, parent; the rest are their own roots
    std::vector<std::pair<int, int>> seen;     // craft j marks craft k
    std::vector<ExpectedLink> links;
    std::vector<int> flattened;                // every parent entry after flattenGroups
};

TEST(FormationScene, LinksAreDrawnOnceFromTheLowerIndexInTheRootsColour)
{
    const LinkCase cases[] = {
        {"fresh", 3, {}, {}, {}, {0, 1, 2}},
        {"pair rooted at 1", 2, {{0, 1}}, {{0, 1}, {1, 0}}, {{0, 1, magenta}}, {1, 1}},
        {"through a third craft", 3, {{0, 2}, {2, 1}}, {{0, 2}, {2, 0}}, {{0, 2, magenta}}, {1, 1, 1}},
        {"2 and 5 rooted at 5 through 3", 6, {{2, 3}, {3, 5}}, {{2, 5}, {5, 2}, {3, 5}, {5, 3}},
            {{2, 5, magenta}, {3, 5, magenta}}, {0, 1, 5, 5, 4, 5}},
        {"a mark only on the higher index", 4, {{1, 3}}, {{3, 1}}, {}, {0, 3, 2, 3}},
        {"roots 2, 3 and 4", 6, {{0, 2}, {1, 3}, {5, 4}}, {{0, 2}, {2, 0}, {1, 3}, {3, 1}, {4, 5}, {5, 4}},
            {{0, 2, cyan}, {1, 3, white}, {4, 5, blue}}, {2, 3, 2, 3, 4, 4}},
    };
    for (const LinkCase& c : cases) {
        Formation formation;
        FormationEditor(formation).craftCount() = c.craft;
        for (int j = 0; j < c.craft; ++j) {
            FormationEditor(formation).parent(j) = j;
            FormationEditor(formation).craft(j).position = {10.0 * j, -3.0 * j, 1.0};
        }
        for (const auto& [j, p] : c.parents)
            FormationEditor(formation).parent(j) = p;
        for (const auto& [j, k] : c.seen)
            FormationEditor(formation).seen(j) |= 1u << k;

        FormationScene scene;
        scene.build(formation, std::nullopt);
        ASSERT_EQ(static_cast<int>(c.links.size()), scene.linkCount) << c.name;
        for (int i = 0; i < scene.linkCount; ++i) {
            const SceneLink& link = scene.links[i];
            EXPECT_EQ(c.links[i].from, link.from) << c.name;
            EXPECT_EQ(c.links[i].to, link.to) << c.name;
            EXPECT_EQ(c.links[i].colour, link.colour) << c.name;
            EXPECT_EQ(formation.spacecraft(link.from).position, link.fromPosition) << c.name;
            EXPECT_EQ(formation.spacecraft(link.to).position, link.toPosition) << c.name;
        }
        formation.flattenGroups();
        for (int j = 0; j < c.craft; ++j)
            EXPECT_EQ(c.flattened[j], formation.parent(j)) << c.name << ", craft " << j;
    }
}

TEST(FormationScene, CarriesEveryCraftsPoseSizeConeAndSelection)
{
    Formation formation;
    Rand15 rng;
    formation.setParams(FormationParams(5.0, 500.0));
    formation.setup(6, rng);
    FormationEditor(formation).craft(4).craftRadius = 3.5;
    FormationScene scene;
    for (const std::optional<int> selected : {std::optional<int>(3), std::optional<int>(), std::optional<int>(6)}) {
        scene.build(formation, selected);
        ASSERT_EQ(6, scene.craftCount);
        for (int j = 0; j < 6; ++j) {
            const Spacecraft& s = formation.spacecraft(j);
            const SceneCraft& c = scene.craft[j];
            EXPECT_EQ(s.poseMatrix(), c.pose);
            EXPECT_EQ(s.position, c.position);
            EXPECT_EQ(s.craftRadius, c.radius);
            EXPECT_EQ(s.fovHalfAngle, c.coneHalfAngle);
            EXPECT_EQ(s.tanFov, c.tanConeHalfAngle);
            EXPECT_EQ(selected == j, c.selected) << j;
        }
    }
    FormationEditor(formation).craftCount() = 0;
    scene.build(formation, 0);
    EXPECT_EQ(0, scene.craftCount);
    EXPECT_EQ(0, scene.linkCount);
}

// An orthographic view of 200 by 200 pixels keeping -100..100 on every axis; with the edge margin the sides
// sit at +-104 in x and y.
ViewVolume boxVolume(int width = 200)
{
    const std::array<double, 16> projection{0.01, 0, 0, 0, 0, 0.01, 0, 0, 0, 0, -0.01, 0, 0, 0, 0, 1};
    const std::array<double, 16> identity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    return ViewVolume::fromMatrices(projection, identity, width, 200);
}

TEST(CraftVisibility, BodyAndRaysEachShowWhileTheyCanReachTheView)
{
    // Radius 10 and a 70 degree cone: the body reaches 14.3 from the centre, the rays 110.
    struct Case {
        const char* name;
        Vec3 position;
        double attitudeScale;
        bool body;
        bool rays;
    } const cases[] = {
        {"inside", {0, 0, 0}, 1, true, true},
        {"body just over the side", {114, 0, 0}, 1, true, true},
        {"only the rays reach in", {200, 0, 0}, 1, false, true},
        {"below, only the rays", {0, -200, 0}, 1, false, true},
        {"far off", {500, 0, 0}, 1, false, false},
        {"behind the far plane", {0, 0, -300}, 1, false, false},
        {"a stretching attitude reaches further", {150, 0, 0}, 3, true, true},
        {"not a number", {std::numeric_limits<double>::quiet_NaN(), 0, 0}, 1, true, true},
    };
    const double tan70 = std::tan(defaultScene::fovHalfAngle);
    for (const Case& c : cases) {
        SceneCraft craft;
        craft.position = c.position;
        for (double& e : craft.attitude.m)
            e *= c.attitudeScale;
        craft.radius = 10.0;
        craft.tanConeHalfAngle = tan70;
        const CraftVisibility shown = craftVisibility(craft, boxVolume());
        EXPECT_EQ(c.body, shown.body) << c.name;
        EXPECT_EQ(c.rays, shown.rays) << c.name;
    }
    // A view of no width can decide nothing, so it hides nothing.
    SceneCraft far;
    far.position = {5000, 0, 0};
    far.radius = 10.0;
    const CraftVisibility shown = craftVisibility(far, boxVolume(0));
    EXPECT_TRUE(shown.body && shown.rays);
}

TEST(FormationScene, PicksTheNearestCraftTheRayPassesWithin)
{
    // The eye at (0, 0, 750) looking down -z through the origin; every craft of radius 10.
    struct Case {
        const char* name;
        std::vector<Vec3> positions;
        std::optional<int> picked;
    } const cases[] = {
        {"nearer of two", {{0, 0, 0}, {0, 3, 300}, {200, 0, 0}}, 1},
        {"equally near: lower index", {{0, 0, -300}, {0, -3, 0}, {0, 3, 0}}, 1},
        {"exactly at the radius", {{10, 0, 0}}, std::nullopt},
        {"just inside the radius", {{9.999, 0, 0}}, 0},
        {"behind the eye on the ray's line", {{0, 0, 1000}}, 0},
        {"none", {}, std::nullopt},
    };
    Ray ray;
    ray.origin = {0, 0, 750};
    ray.direction = {0, 0, -1};
    for (const Case& c : cases) {
        FormationScene scene;
        scene.craftCount = static_cast<int>(c.positions.size());
        for (int j = 0; j < scene.craftCount; ++j) {
            scene.craft[j].position = c.positions[j];
            scene.craft[j].radius = 10.0;
        }
        EXPECT_EQ(c.picked, scene.pick(ray)) << c.name;
    }
}

}  // namespace
}  // namespace velmora
