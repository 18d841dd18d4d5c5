#include "app/formation_readout.h"
#include "app/setup_record.h"
#include "geometry/angles.h"
#include "sim/default_scene.h"
#include "support/formation_editor.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

// Two still craft 200 apart on the z axis, looking at each other, and a third looking away.
Formation facingPairAndOne()
{
    Formation f;
    f.setParams(FormationParams(0.0, 500.0));
    f.setAlgorithm(-1);
    Rand15 rng;
    f.setup(3, rng);
    FormationEditor(f).craft(0).position = {0, 0, 0};
    FormationEditor(f).craft(1).position = {0, 0, 200};
    FormationEditor(f).craft(1).attitude = axisAngle({1, 0, 0}, pi);
    FormationEditor(f).craft(2).position = {400, 0, 0};
    return f;
}

TEST(FormationReadout, CountsLinksAndGroupsAndKeepsTheFirstMomentOfOneGroup)
{
    Formation f = facingPairAndOne();
    FormationReadout readout;
    readout.reset(f);
    EXPECT_EQ(readout.text(f), "t = 0.00 s   links 0   groups 3");
    f.step(0.01);
    readout.noteStepped(f);
    EXPECT_EQ(readout.text(f), "t = 0.01 s   links 1   groups 2");

    // Craft 2 moves onto the axis looking back down it, and craft 1 turns to face it: 2 sees both others,
    // and both see 2.
    FormationEditor(f).craft(2).position = {0, 0, 400};
    FormationEditor(f).craft(2).attitude = axisAngle({1, 0, 0}, pi);
    FormationEditor(f).craft(1).attitude = Mat3{};
    for (int k = 0; k < 3; ++k) {
        f.step(0.01);
        readout.noteStepped(f);
    }
    EXPECT_EQ(f.linkCount(), 3);
    EXPECT_EQ(f.groupCount(), 1);
    ASSERT_TRUE(readout.initializedAt().has_value());
    EXPECT_EQ(*readout.initializedAt(), (0.01 + 0.01));
    EXPECT_EQ(readout.text(f), "t = 0.04 s   links 3   initialized at 0.02 s");

    readout.reset(f);  // a new set-up that is already one group counts from its start
    EXPECT_EQ(readout.initializedAt(), f.time());
}

TEST(SetupRecord, DraggedCraftStartWhereTheyWereDroppedOrMoveByTheDrag)
{
    Formation f = facingPairAndOne();
    FormationEditor(f).craft(2).velocity = {1, 0, 0};
    Scenario typed;
    typed.algorithm = -1;
    typed.fovDeg = 45.5;  // saved as typed, not as degrees worked back from radians
    SetupRecord record;
    record.recordSetup(typed, f);
    const Scenario& s = record.scenario();
    EXPECT_EQ(s.count, 3);
    EXPECT_EQ(s.algorithm, -1);
    EXPECT_EQ(s.fovDeg, 45.5);
    EXPECT_EQ(s.boxHalfSize, 500.0);
    ASSERT_EQ(s.craft.size(), 3u);
    EXPECT_EQ(*s.craft[1].attitude, f.spacecraft(1).attitude);

    FormationEditor(f).craft(0).position = {0.1, 0.2, 0.3};
    record.noteMovedCraft(f);
    EXPECT_EQ(s.craft[0].position, Vec3(0.1, 0.2, 0.3));

    // After running, stepping is not a drag, and a drag moves the start by as much as the craft moved.
    for (int k = 0; k < 100; ++k)
        f.step(0.01);
    record.noteStepped(f);
    record.noteMovedCraft(f);
    EXPECT_EQ(s.craft[2].position, Vec3(400, 0, 0));
    FormationEditor(f).craft(2).position.y += 50;
    record.noteMovedCraft(f);
    EXPECT_EQ(s.craft[2].position, Vec3(400, 50, 0));
}

}  // namespace
}  // namespace velmora
