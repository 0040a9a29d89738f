#include "SimulationTestSupport.h"

#include "foundations/Random.h"

#include <cmath>
#include <stdexcept>

namespace kova::test {
namespace {

using Strings = std::vector<std::string>;

class SimulationClock : public SimulationFixture {
protected:
    // One bug without behaviours at (100, 100) heading along +x at 10 m/s.
    TBug& AddWalker() { return AddBug(AddGroup(), 100, 100); }

    // A trigger that sets the mass of the bugs that list it to 55 kg.
    TTrigger& AddMassTrigger(std::int32_t second, std::int32_t frame) {
        TTrigger& trigger = AddTrigger();
        trigger.SetSecond(second);
        trigger.SetFrame(frame);
        trigger.Template.MassVariantValue.BaseValue = 55;
        trigger.Template.MassVariantValue.Apply = true;
        return trigger;
    }
};

TEST_F(SimulationClock, NewSimulationHasDefaultSettings) {
    TSimulation fresh;
    EXPECT_EQ(fresh.FPS, 25);
    EXPECT_EQ(fresh.PixelsPerMeter, 1);
    EXPECT_EQ(fresh.Delay, 40);
    EXPECT_EQ(fresh.LoopSecond, 10u);
    EXPECT_EQ(fresh.LoopFrame, 0u);
    EXPECT_FALSE(fresh.Loop);
    EXPECT_EQ(fresh.Space.Width, 400);
    EXPECT_EQ(fresh.Space.Height, 300);
    EXPECT_EQ(fresh.Space.Color, 12572607u);
    EXPECT_FALSE(fresh.Running);
    EXPECT_FALSE(fresh.TimerTick);
    EXPECT_FALSE(fresh.BugCreationMode);
    EXPECT_FALSE(fresh.LineMode);
    EXPECT_FALSE(fresh.EllipseMode);
    EXPECT_EQ(fresh.CurrentSecond, 0u);
    EXPECT_EQ(fresh.CurrentFrame, 0u);
    EXPECT_TRUE(fresh.IsAtStart());
    EXPECT_TRUE(fresh.Groups.empty());
    EXPECT_TRUE(fresh.Triggers.empty());
    EXPECT_TRUE(fresh.Obstacles.empty());
    EXPECT_EQ(fresh.Name, "");
    // The simulation takes an Id from the shared counter; the arena does not.
    const std::int32_t before = IdCounter();
    TSimulation next;
    EXPECT_EQ(next.Id, before + 1);
    EXPECT_EQ(next.Space.Id, 0);
}

TEST_F(SimulationClock, FrameAdvancesWithinTheSecondAndRollsOverAtFpsMinusOne) {
    sim.SetCurrentFrame(23);
    sim.StepFrame();
    EXPECT_EQ(sim.CurrentSecond, 0u);
    EXPECT_EQ(sim.CurrentFrame, 24u);
    sim.StepFrame();
    EXPECT_EQ(sim.CurrentSecond, 1u);
    EXPECT_EQ(sim.CurrentFrame, 0u);
    EXPECT_FALSE(sim.IsAtStart());
    // Each frame shows the time it ends with.
    EXPECT_EQ(host.Entries("SetCurrentTime"),
              (Strings{"SetCurrentTime 0:24", "SetCurrentTime 1:0"}));

    sim.SetFPS(1);
    sim.SetCurrentSecond(0);
    sim.SetCurrentFrame(0);
    for (int i = 0; i < 3; ++i)
        sim.StepFrame();
    EXPECT_EQ(sim.CurrentSecond, 3u);
    EXPECT_EQ(sim.CurrentFrame, 0u);
}

TEST_F(SimulationClock, LoweredFrameRateKeepsCountingFramesWithoutNewSeconds) {
    sim.SetCurrentSecond(4);
    sim.SetCurrentFrame(20);
    sim.SetFPS(10);
    for (int i = 0; i < 300; ++i)
        sim.StepFrame();
    EXPECT_EQ(sim.CurrentSecond, 4u);
    EXPECT_EQ(sim.CurrentFrame, 320u);
    // Until the clock is reset; then the new rate holds.
    sim.ResetToStart();
    for (int i = 0; i < 10; ++i)
        sim.StepFrame();
    EXPECT_EQ(sim.CurrentSecond, 1u);
    EXPECT_EQ(sim.CurrentFrame, 0u);
}

TEST_F(SimulationClock, LoopPointResetsAfterTheFrameThatReachesIt) {
    TBug& bug = AddWalker();
    sim.SetLoop(true);
    sim.SetLoopSecond(10);
    sim.SetLoopFrame(0);
    sim.SetCurrentSecond(9);
    sim.SetCurrentFrame(23);

    sim.StepFrame();
    EXPECT_EQ(sim.CurrentSecond, 9u);
    EXPECT_EQ(sim.CurrentFrame, 24u);
    EXPECT_GT(bug.Position[0], 100);

    ClearLogs();
    sim.StepFrame();
    // The frame that starts at 9:24 ends back at the start.
    EXPECT_TRUE(sim.IsAtStart());
    EXPECT_EQ(bug.Position[0], 100);
    EXPECT_EQ(bug.Position[1], 100);
    EXPECT_EQ(bug.CurrentSpeed, 10);
    EXPECT_EQ(host.Entries("SetCurrentTime"), Strings{"SetCurrentTime 0:0"});
    // The frame drew the bug once, before the reset (which does not repaint).
    EXPECT_EQ(std::count(drawing.begin(), drawing.end(), "view:Ellipse"), 1);

    // The next frame starts from the start values at 0:0.
    sim.StepFrame();
    EXPECT_EQ(sim.CurrentFrame, 1u);
    EXPECT_GT(bug.Position[0], 100);
    EXPECT_LT(bug.Position[0], 101);
}

TEST_F(SimulationClock, LoopPointsTheClockNeverReachesAfterAdvancingNeverFire) {
    TBug& bug = AddWalker();
    sim.SetLoop(true);
    sim.SetLoopSecond(0);
    sim.SetLoopFrame(0);
    for (int i = 0; i < 60; ++i)
        sim.StepFrame();
    EXPECT_EQ(sim.CurrentSecond, 2u);
    EXPECT_EQ(sim.CurrentFrame, 10u);
    EXPECT_GT(bug.Position[0], 150);

    // A loop frame of FPS or more is never reached either.
    sim.SetLoopFrame(25);
    sim.ResetToStart();
    for (int i = 0; i < 60; ++i)
        sim.StepFrame();
    EXPECT_EQ(sim.CurrentSecond, 2u);
    EXPECT_EQ(sim.CurrentFrame, 10u);

    // Looping off: the loop point is ignored.
    sim.SetLoop(false);
    sim.SetLoopFrame(11);
    sim.StepFrame();
    EXPECT_EQ(sim.CurrentFrame, 11u);
}

TEST_F(SimulationClock, TriggersFireInTheFrameThatStartsAtTheirTime) {
    TBug& bug = AddWalker();
    TTrigger& atStart = AddMassTrigger(0, 0);
    TTrigger& later = AddMassTrigger(2, 5);
    later.Template.MassVariantValue.BaseValue = 77;

    // A trigger at 0:0 fires in the first frame after Rewind.
    bug.Triggers = {&atStart};
    sim.SetCurrentSecond(3);
    sim.Rewind();
    EXPECT_EQ(bug.Mass, 10);
    sim.StepFrame();
    EXPECT_EQ(bug.Mass, 55);

    bug.Triggers = {&later};
    sim.SetCurrentSecond(2);
    sim.SetCurrentFrame(4);
    sim.StepFrame();
    EXPECT_EQ(bug.Mass, 55);
    sim.StepFrame();
    EXPECT_EQ(bug.Mass, 77);
    EXPECT_EQ(sim.CurrentSecond, 2u);
    EXPECT_EQ(sim.CurrentFrame, 6u);
}

TEST_F(SimulationClock, TriggerActsBeforeTheMovementOfItsFrame) {
    TBug& bug = AddWalker();
    TTrigger& turn = AddTrigger();
    turn.SetSecond(0);
    turn.SetFrame(0);
    turn.Template.OrientationVariantValue.BaseValue = 90;
    turn.Template.OrientationVariantValue.Apply = true;
    bug.Triggers = {&turn};

    sim.StepFrame();
    // Turned to +y before it moved: x stays, y grows, the speed is kept apart
    // from the push of its own velocity (no behaviours).
    EXPECT_NEAR(static_cast<double>(bug.Position[0]), 100, 1e-9);
    EXPECT_GT(bug.Position[1], 100);
    EXPECT_NEAR(static_cast<double>(bug.Orientation()), 90, 1e-9);
}

TEST_F(SimulationClock, FramesRepaintTheArenaUnlessTrailsAreShown) {
    // No groups: the clock runs and the arena is cleared and drawn each frame.
    sim.StepFrame();
    sim.StepFrame();
    EXPECT_EQ(sim.CurrentFrame, 2u);
    EXPECT_EQ(ViewClears(), 2);

    TBugGroup& group = AddGroup();
    AddBug(group, 10, 10);
    ClearLogs();
    sim.StepFrame();
    EXPECT_EQ(drawing, (Strings{"view:FillRect", "view:Ellipse"}));

    host.Trails = true;
    ClearLogs();
    sim.StepFrame();
    EXPECT_EQ(drawing, Strings{"view:Ellipse"});

    // During a run with double buffering the frame goes through the buffer.
    host.Trails = false;
    sim.Running = true;
    ClearLogs();
    sim.StepFrame();
    EXPECT_EQ(drawing, (Strings{"buffer:FillRect", "buffer:Ellipse", "view:CopyRect"}));
}

TEST_F(SimulationClock, RewindAndCurrentToStartResetTheClockAndTellTheController) {
    TBug& bug = AddWalker();
    for (int i = 0; i < 30; ++i)
        sim.StepFrame();
    const Extended movedX = bug.Position[0];
    ASSERT_GT(movedX, 100);

    ClearLogs();
    sim.Rewind();
    EXPECT_TRUE(sim.IsAtStart());
    EXPECT_EQ(bug.Position[0], 100);
    EXPECT_EQ(host.Log, Strings{"SetCurrentTime 0:0"});
    EXPECT_EQ(drawing, (Strings{"view:FillRect", "buffer:FillRect", "view:Ellipse"}));

    for (int i = 0; i < 30; ++i)
        sim.StepFrame();
    ClearLogs();
    sim.CurrentToStart();
    EXPECT_TRUE(sim.IsAtStart());
    EXPECT_EQ(host.Log, Strings{"SetCurrentTime 0:0"});
    EXPECT_TRUE(drawing.empty());
    EXPECT_EQ(bug.StartPosition[0], bug.Position[0]);
    EXPECT_EQ(bug.StartPosition[0], movedX);

    // ResetToStart neither repaints nor reports the time, nor stops a run.
    sim.StepFrame();
    sim.Running = true;
    ClearLogs();
    sim.ResetToStart();
    EXPECT_TRUE(sim.IsAtStart());
    EXPECT_TRUE(sim.Running);
    EXPECT_TRUE(host.Log.empty());
    EXPECT_TRUE(drawing.empty());
    EXPECT_EQ(bug.Position[0], movedX);
}

class SimulationRun : public SimulationFixture {};

TEST_F(SimulationRun, BlockingRunStepsUntilPausedFromTheEventPump) {
    TBugGroup& group = AddGroup();
    TBug& bug = AddBug(group, 100, 100);
    sim.SetDelay(7);
    sim.BugCreationMode = true;
    sim.LineMode = true;
    ClearLogs();
    host.OnProcessEvents = [&](int frame) {
        // Running is on while the frames run, and the tools are off.
        EXPECT_TRUE(sim.Running);
        EXPECT_FALSE(sim.BugCreationMode);
        if (frame == 3)
            sim.Pause();
    };

    sim.Run();

    EXPECT_FALSE(sim.Running);
    EXPECT_EQ(host.FramesProcessed, 3);
    EXPECT_EQ(sim.CurrentFrame, 3u);
    EXPECT_GT(bug.Position[0], 100);
    EXPECT_EQ(host.Log, (Strings{"ToolsReleaseBugButton", "SetArenaCursor Arrow",
                                 "ToolsReleaseObstacleButtons", "SetCurrentTime 0:1",
                                 "ProcessEvents", "Sleep 7", "SetCurrentTime 0:2", "ProcessEvents",
                                 "Sleep 7", "SetCurrentTime 0:3", "ProcessEvents", "Sleep 7"}));
    // The obstacle buttons go up, the mode flags stay as they were.
    EXPECT_TRUE(sim.LineMode);
    EXPECT_FALSE(sim.EllipseMode);
}

TEST_F(SimulationRun, RunFromInsideTheLoopStartsNoSecondLoop) {
    // A Run from inside the frame loop's event processing neither steps nor
    // blocks; one Pause stops the loop.
    host.OnProcessEvents = [&](int frame) {
        if (frame == 1) {
            const std::size_t entries = host.Log.size();
            sim.Run();
            EXPECT_EQ(host.Log.size(), entries);
            EXPECT_EQ(sim.CurrentFrame, 1u);
        }
        if (frame == 4)
            sim.Pause();
    };
    sim.Run();
    EXPECT_EQ(host.FramesProcessed, 4);
    EXPECT_EQ(sim.CurrentFrame, 4u);
    EXPECT_EQ(host.Entries("ToolsReleaseObstacleButtons").size(), 1u);
    EXPECT_FALSE(sim.Running);
}

TEST_F(SimulationRun, RewindDuringARunKeepsRunningFromTheStart) {
    TBug& bug = AddBug(AddGroup(), 50, 50);
    host.OnProcessEvents = [&](int frame) {
        if (frame == 5)
            sim.Rewind();
        if (frame == 7)
            sim.Pause();
    };
    sim.Run();
    EXPECT_EQ(sim.CurrentSecond, 0u);
    EXPECT_EQ(sim.CurrentFrame, 2u);
    EXPECT_GT(bug.Position[0], 50);
    EXPECT_LT(bug.Position[0], 51);
}

TEST_F(SimulationRun, AFaultInAFrameEndsTheLoopAndANewRunStartsNormally) {
    host.OnProcessEvents = [&](int frame) {
        if (frame == 2)
            throw std::runtime_error("fault in a frame");
    };
    EXPECT_THROW(sim.Run(), std::runtime_error);
    // The fault leaves Running on until Pause is chosen.
    EXPECT_TRUE(sim.Running);
    EXPECT_EQ(sim.CurrentFrame, 2u);

    host.OnProcessEvents = [&](int frame) {
        if (frame == 5)
            sim.Pause();
    };
    sim.Run();
    EXPECT_EQ(host.FramesProcessed, 5);
    EXPECT_EQ(sim.CurrentFrame, 5u);
    EXPECT_FALSE(sim.Running);
}

TEST_F(SimulationRun, BeginRunEndsBugCreationAndReleasesTheObstacleButtons) {
    AddGroup();
    sim.BeginBugCreation();
    ASSERT_TRUE(sim.BugCreationMode);
    sim.EllipseMode = true;
    ClearLogs();
    sim.BeginRun();
    EXPECT_TRUE(sim.Running);
    EXPECT_FALSE(sim.BugCreationMode);
    EXPECT_TRUE(sim.EllipseMode);
    EXPECT_FALSE(sim.LineMode);
    EXPECT_EQ(host.Log, (Strings{"ToolsReleaseBugButton", "SetArenaCursor Arrow",
                                 "ToolsReleaseObstacleButtons"}));
    sim.Pause();
    EXPECT_FALSE(sim.Running);
    // Pause when not running changes nothing.
    sim.Pause();
    EXPECT_FALSE(sim.Running);
}

// Behaviours that refer to bugs and obstacles which are then deleted in the
// middle of a run, while some bugs steer with a trigger's list that is removed
// as well. Under AddressSanitizer any behaviour left pointing at a destroyed
// object fails this test when the next frame reads it.
TEST_F(SimulationRun, DeletingTargetsAndObstaclesMidRunLeavesNoDanglingReference) {
    TBugGroup& prey = AddGroup();
    for (int i = 0; i < 4; ++i)
        AddBug(prey, 50 + 40 * i, 60);
    TObstacle& wall = *sim.CreateObstacle(TObstacle::kLine, 10, 200, 390, 200);
    TObstacle& ring = *sim.CreateObstacle(TObstacle::kCircle, 180, 100, 220, 140);

    TTrigger& chase = AddTrigger();
    chase.SetSecond(0);
    chase.SetFrame(3);
    chase.SetChangeBehaviours(true);
    TSteeringBehaviour& lentSeek = AddBehaviour(*chase.Template.Behaviours, bkSeek);
    lentSeek.SetTargetIsBug(true);
    lentSeek.SetTargetBug(prey.Members[0].get());
    TSteeringBehaviour& lentAvoid = AddBehaviour(*chase.Template.Behaviours, bkObstacleAvoidance);
    lentAvoid.Obstacles = {&wall, &ring};

    TBugGroup& hunters = AddGroup();
    TSteeringBehaviour& seek = AddBehaviour(*hunters.Template.Behaviours, bkSeek);
    seek.SetTargetIsBug(true);
    seek.SetTargetBug(prey.Members[1].get());
    TSteeringBehaviour& avoid = AddBehaviour(*hunters.Template.Behaviours, bkObstacleAvoidance);
    avoid.Obstacles = {&ring, &wall};
    hunters.Template.Triggers = {&chase};
    for (int i = 0; i < 3; ++i)
        AddBug(hunters, 60 + 50 * i, 250);
    // The last hunter never receives the trigger: it keeps its own list.
    hunters.Members.back()->Triggers.clear();

    for (int i = 0; i < 5; ++i)
        sim.StepFrame();
    TBug& lent = *hunters.Members[0];
    ASSERT_EQ(lent.Behaviours, chase.Template.Behaviours);
    ASSERT_EQ(lent.StartBehaviours, lent.OwnBehaviours());

    sim.RemoveTrigger(chase);
    sim.StepFrame();
    sim.RemoveBug(*prey.Members[0]);
    sim.RemoveObstacle(ring);
    for (int i = 0; i < 5; ++i)
        sim.StepFrame();
    sim.RemoveGroup(prey);
    sim.RemoveObstacle(wall);
    for (int i = 0; i < 5; ++i)
        sim.StepFrame();
    // Back to their own lists, which were held aside all the while.
    sim.Rewind();
    for (int i = 0; i < 5; ++i)
        sim.StepFrame();

    for (const auto& hunter : hunters.Members)
        for (const TBehaviourList* list : ListsOf(*hunter))
            for (const auto& behaviour : *list) {
                EXPECT_EQ(behaviour->TargetBug, nullptr);
                EXPECT_FALSE(behaviour->TargetIsBug);
                EXPECT_TRUE(behaviour->Obstacles.empty());
            }
    for (const auto& behaviour : *hunters.Template.Behaviours) {
        EXPECT_EQ(behaviour->TargetBug, nullptr);
        EXPECT_TRUE(behaviour->Obstacles.empty());
    }
    EXPECT_EQ(sim.CurrentFrame, 5u);
}

bool isFiniteVector(const Vector& v) {
    return std::isfinite(v[0]) && std::isfinite(v[1]);
}

TEST(SimulationFlocking, TwoHundredBugsFlockForAMinuteWithFiniteValues) {
    TSimulation sim;
    TBugGroup* group = sim.NewGroup();
    ASSERT_NE(group, nullptr);
    TDefaultBug& tmpl = group->Template;
    tmpl.CurrentSpeedVariantValue.Difference = 50;
    tmpl.OrientationVariantValue.BaseValue = 180;
    tmpl.OrientationVariantValue.Difference = 100;
    tmpl.OrientationVariantValue.SetSignMode(vtplusminus);
    for (std::uint8_t kind : {bkCohesion, bkAlignment, bkSeparation}) {
        TSteeringBehaviour& behaviour = AddBehaviour(*tmpl.Behaviours, kind);
        behaviour.SetSensorRangeOn(true);
        behaviour.SetSensorRange(30);
        behaviour.SetAngleOn(true);
        behaviour.SetAngle(110);
    }
    SetRandSeed(20240611);
    for (int i = 0; i < 198; ++i)
        sim.CreateBug(*group, Vector(Random(400), Random(300)));
    // Two bugs on one spot, where the offsets between them are zero.
    sim.CreateBug(*group, Vector(200, 150));
    sim.CreateBug(*group, Vector(200, 150));
    ASSERT_EQ(group->Members.size(), 200u);

    const int frames = 60 * sim.FPS;
    for (int frame = 0; frame < frames; ++frame) {
        sim.StepFrame();
        for (const auto& bug : group->Members) {
            ASSERT_TRUE(isFiniteVector(bug->Position) && isFiniteVector(bug->Velocity))
                << bug->Name << " at frame " << frame;
            ASSERT_TRUE(bug->Position[0] >= 0 && bug->Position[0] <= sim.Space.Width &&
                        bug->Position[1] >= 0 && bug->Position[1] <= sim.Space.Height)
                << bug->Name << " left the arena at frame " << frame;
        }
    }
    EXPECT_EQ(sim.CurrentSecond, 60u);
    // The flock moved: not every bug is where it started.
    const auto moved =
        std::count_if(group->Members.begin(), group->Members.end(), [](const auto& bug) {
            return bug->Position[0] != bug->StartPosition[0] ||
                   bug->Position[1] != bug->StartPosition[1];
        });
    EXPECT_GT(moved, 150);
}

} // namespace
} // namespace kova::test
