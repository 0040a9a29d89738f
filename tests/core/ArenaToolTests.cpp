#include "SimulationTestSupport.h"

#include "foundations/Random.h"

#include <utility>

namespace kova::test {
namespace {

using Strings = std::vector<std::string>;
using Points = std::vector<std::pair<Extended, Extended>>;

class ArenaTools : public SimulationFixture {
protected:
    Points PositionsOf(const TBugGroup& group) const {
        Points points;
        for (const auto& member : group.Members)
            points.emplace_back(member->Position[0], member->Position[1]);
        return points;
    }
};

TEST_F(ArenaTools, DensityBrushFillsEveryCellColumnByColumn) {
    TBugGroup& group = AddGroup();
    sim.BeginBugCreation();
    ASSERT_TRUE(sim.BugCreationMode);
    const Points expected{{0, 0}, {0, 5}, {5, 0}, {5, 5}, {10, 0}, {10, 5}};

    ClearLogs();
    sim.ApplyDrag(&group, 100, 0, 0, 12, 7);
    EXPECT_EQ(PositionsOf(group), expected);
    EXPECT_EQ(group.Members[5]->Name, "Member_5");
    EXPECT_EQ(group.Members[5]->StartPosition[0], 10);
    EXPECT_EQ(host.Entries("BrowserAddBug").size(), 6u);
    // One repaint after the whole drag.
    EXPECT_EQ(ViewClears(), 1);

    // Dragged the other way round: the same cells in the same order.
    TBugGroup& reversed = AddGroup();
    sim.ApplyDrag(&reversed, 100, 12, 7, 0, 0);
    EXPECT_EQ(PositionsOf(reversed), expected);

    TBugGroup& none = AddGroup();
    sim.ApplyDrag(&none, 0, 0, 0, 12, 7);
    EXPECT_TRUE(none.Members.empty());
    EXPECT_EQ(sim.Obstacles.size(), 0u);
}

TEST_F(ArenaTools, DensityIsAChancePerCellAndCellsFollowTheDiameter) {
    TBugGroup& group = AddGroup();
    group.Template.DiameterVariantValue.SetBaseValue(10);
    sim.BeginBugCreation();
    sim.ApplyDrag(&group, 100, 15, 25, 30, 40);
    // Columns 1..3, rows 2..4 of a 10 m grid.
    EXPECT_EQ(PositionsOf(group), (Points{{10, 20},
                                          {10, 30},
                                          {10, 40},
                                          {20, 20},
                                          {20, 30},
                                          {20, 40},
                                          {30, 20},
                                          {30, 30},
                                          {30, 40}}));

    // Half the cells of a 20 x 20 grid on average; all or none is out of reach.
    TBugGroup& half = AddGroup();
    sim.ApplyDrag(&half, 50, 0, 0, 99, 99);
    EXPECT_GT(half.Members.size(), 100u);
    EXPECT_LT(half.Members.size(), 300u);
}

TEST_F(ArenaTools, NonPositiveDiameterCreatesNoBugs) {
    TBugGroup& group = AddGroup();
    sim.BeginBugCreation();
    group.Template.DiameterVariantValue.SetBaseValue(0);
    sim.ApplyDrag(&group, 100, 0, 0, 50, 50);
    group.Template.DiameterVariantValue.SetBaseValue(-5);
    sim.ApplyDrag(&group, 100, 0, 0, 50, 50);
    EXPECT_TRUE(group.Members.empty());
    // It still repaints.
    EXPECT_EQ(ViewClears(), 2);
}

TEST_F(ArenaTools, ClickPlacesExactlyOneBugAtThePoint) {
    TBugGroup& group = AddGroup();
    // Without the bug tool a click only repaints.
    sim.PlaceBug(&group, 33, 44);
    EXPECT_TRUE(group.Members.empty());
    EXPECT_EQ(ViewClears(), 1);

    sim.BeginBugCreation();
    ClearLogs();
    sim.PlaceBug(&group, 33, 44);
    ASSERT_EQ(group.Members.size(), 1u);
    EXPECT_EQ(PositionsOf(group), (Points{{33, 44}}));
    EXPECT_EQ(host.Log, Strings{"BrowserAddBug Member_0 Group_0"});
    EXPECT_EQ(ViewClears(), 1);

    // A line tool click creates nothing either.
    sim.EndBugCreation();
    sim.SelectObstacleLine(true);
    sim.PlaceBug(&group, 1, 1);
    EXPECT_EQ(group.Members.size(), 1u);
    EXPECT_TRUE(sim.Obstacles.empty());
}

TEST_F(ArenaTools, DragsMakeLineAndCircleObstacles) {
    sim.SelectObstacleLine(true);
    ClearLogs();
    sim.ApplyDrag(nullptr, 10, 10, 20, 50, 20);
    ASSERT_EQ(sim.Obstacles.size(), 1u);
    const TObstacle& line = *sim.Obstacles[0];
    EXPECT_EQ(line.Name, "Obstacle_0_Line");
    EXPECT_EQ(line.Kind, TObstacle::kLine);
    EXPECT_EQ(line.P1[0], 10);
    EXPECT_EQ(line.P1[1], 20);
    EXPECT_EQ(line.P2[0], 50);
    EXPECT_EQ(line.P2[1], 20);
    EXPECT_EQ(host.Log, Strings{"BrowserAddObstacle Obstacle_0_Line"});
    EXPECT_EQ(ViewClears(), 1);

    // The circle's bounding square starts at the drag's start and grows toward
    // the pointer by the longer side.
    sim.SelectObstacleEllipse(true);
    sim.ApplyDrag(nullptr, 10, 100, 100, 130, 90);
    sim.ApplyDrag(nullptr, 10, 100, 100, 95, 120);
    ASSERT_EQ(sim.Obstacles.size(), 3u);
    const TObstacle& circle = *sim.Obstacles[1];
    EXPECT_EQ(circle.Name, "Obstacle_1_Circle");
    EXPECT_EQ(circle.Kind, TObstacle::kCircle);
    EXPECT_EQ(circle.P1[0], 100);
    EXPECT_EQ(circle.P1[1], 100);
    EXPECT_EQ(circle.P2[0], 130);
    EXPECT_EQ(circle.P2[1], 70);
    EXPECT_EQ(circle.Radius, 15);
    const TObstacle& other = *sim.Obstacles[2];
    EXPECT_EQ(other.P2[0], 80);
    EXPECT_EQ(other.P2[1], 120);
}

TEST_F(ArenaTools, ToolModesAreExclusive) {
    sim.SelectObstacleLine(true);
    EXPECT_TRUE(sim.LineMode);
    EXPECT_FALSE(sim.EllipseMode);
    sim.SelectObstacleEllipse(true);
    EXPECT_TRUE(sim.EllipseMode);
    EXPECT_FALSE(sim.LineMode);

    // The bug tool switches the obstacle tools off.
    TBugGroup& group = AddGroup();
    ClearLogs();
    sim.BeginBugCreation();
    EXPECT_TRUE(sim.BugCreationMode);
    EXPECT_FALSE(sim.LineMode);
    EXPECT_FALSE(sim.EllipseMode);
    EXPECT_EQ(host.Log, Strings{"SetArenaCursor Cross"});

    // The line button ends bug creation before it selects the line: a drag
    // then makes a line and no bugs.
    ClearLogs();
    sim.EndBugCreation();
    sim.SelectObstacleLine(true);
    EXPECT_EQ(host.Log, (Strings{"ToolsReleaseBugButton", "SetArenaCursor Arrow"}));
    EXPECT_FALSE(sim.BugCreationMode);
    sim.ApplyDrag(&group, 100, 0, 0, 20, 20);
    EXPECT_TRUE(group.Members.empty());
    ASSERT_EQ(sim.Obstacles.size(), 1u);
    EXPECT_EQ(sim.Obstacles[0]->Kind, TObstacle::kLine);
}

TEST_F(ArenaTools, BugToolSpringsBackWithoutGroups) {
    sim.BeginBugCreation();
    EXPECT_FALSE(sim.BugCreationMode);
    EXPECT_EQ(host.Log, (Strings{"ToolsReleaseBugButton", "SetArenaCursor Arrow"}));

    // Nothing to place then, with or without a group handed in.
    sim.PlaceBug(nullptr, 5, 5);
    sim.ApplyDrag(nullptr, 100, 0, 0, 20, 20);
    EXPECT_TRUE(sim.Groups.empty());
}

TEST_F(ArenaTools, ToolsDoNothingWhileRunning) {
    TBugGroup& group = AddGroup();
    sim.BeginBugCreation();
    sim.Running = true;
    SetRandSeed(0xFFFFFFFFu);
    ClearLogs();
    sim.PlaceBug(&group, 10, 10);
    sim.ApplyDrag(&group, 100, 0, 0, 20, 20);
    sim.EndBugCreation();
    sim.SelectObstacleLine(true);
    sim.ApplyDrag(&group, 100, 0, 0, 20, 20);
    EXPECT_TRUE(group.Members.empty());
    EXPECT_TRUE(sim.Obstacles.empty());
    EXPECT_TRUE(drawing.empty());
    // The drag re-seeds the generator from the time of day before it looks at
    // the run.
    EXPECT_LT(RandSeed(), 86400000u);
}

} // namespace
} // namespace kova::test
