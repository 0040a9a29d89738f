#include "SimulationTestSupport.h"

#include "foundations/NamedObject.h"

#include <algorithm>
#include <functional>
#include <memory>

namespace kova::test {
namespace {

using Strings = std::vector<std::string>;

class SimulationRemoval : public SimulationFixture {};

TEST_F(SimulationRemoval, RemovingABugClearsEveryBehaviourAimedAtIt) {
    TBugGroup& prey = AddGroup();
    TBug& target = AddBug(prey, 100, 100);
    TBug& other = AddBug(prey, 200, 100);
    TBugGroup& hunters = AddGroup();
    TBug& hunter = AddBug(hunters, 50, 50);
    TTrigger& trigger = AddTrigger();

    auto aim = [](TBehaviourList& list, TBug& bug) -> TSteeringBehaviour& {
        TSteeringBehaviour& seek = AddBehaviour(list, bkSeek);
        seek.SetTargetIsBug(true);
        seek.SetTargetBug(&bug);
        seek.SetTargetPoint(Vector(1, 2));
        return seek;
    };
    TSteeringBehaviour& inMember = aim(*hunter.Behaviours, target);
    TSteeringBehaviour& atOther = aim(*hunter.Behaviours, other);
    TSteeringBehaviour& inTemplate = aim(*hunters.Template.Behaviours, target);
    TSteeringBehaviour& inOwnTemplate = aim(*prey.Template.Behaviours, target);
    TSteeringBehaviour& inTrigger = aim(*trigger.Template.Behaviours, target);
    TSteeringBehaviour& inSibling = aim(*other.Behaviours, target);

    sim.RemoveReferences(target);
    for (TSteeringBehaviour* cleared :
         {&inMember, &inTemplate, &inOwnTemplate, &inTrigger, &inSibling}) {
        EXPECT_EQ(cleared->TargetBug, nullptr);
        EXPECT_FALSE(cleared->TargetIsBug);
        // It aims at its target point from now on.
        EXPECT_EQ(cleared->TargetPoint[0], 1);
    }
    EXPECT_EQ(atOther.TargetBug, &other);
    EXPECT_TRUE(atOther.TargetIsBug);
    EXPECT_EQ(prey.Members.size(), 2u);

    // RemoveBug: node, references, member list, drawing, repaint.
    aim(*hunter.Behaviours, target);
    const std::size_t elements = sim.Doc.Count();
    ClearLogs();
    sim.RemoveBug(target);
    EXPECT_EQ(host.Log, Strings{"BrowserDeleteNode Member_0"});
    EXPECT_EQ(ViewClears(), 1);
    ASSERT_EQ(prey.Members.size(), 1u);
    EXPECT_EQ(prey.Members[0].get(), &other);
    EXPECT_EQ(sim.Doc.Count(), elements - 1);
    EXPECT_EQ((*hunter.Behaviours)[2]->TargetBug, nullptr);
    // The next frame runs normally.
    sim.StepFrame();
    EXPECT_EQ(sim.CurrentFrame, 1u);
}

TEST_F(SimulationRemoval, RemovingAGroupClearsTargetsOnItsMembersElsewhere) {
    TBugGroup& prey = AddGroup();
    TBug& p0 = AddBug(prey, 100, 100);
    TBug& p1 = AddBug(prey, 120, 100);
    TBugGroup& hunters = AddGroup();
    TBug& hunter = AddBug(hunters, 50, 50);
    TTrigger& trigger = AddTrigger();
    TSteeringBehaviour& memberSeek = AddBehaviour(*hunter.Behaviours, bkSeek);
    memberSeek.SetTargetIsBug(true);
    memberSeek.SetTargetBug(&p0);
    TSteeringBehaviour& templateFlee = AddBehaviour(*hunters.Template.Behaviours, bkFlee);
    templateFlee.SetTargetIsBug(true);
    templateFlee.SetTargetBug(&p1);
    TSteeringBehaviour& triggerSeek = AddBehaviour(*trigger.Template.Behaviours, bkSeek);
    triggerSeek.SetTargetIsBug(true);
    triggerSeek.SetTargetBug(&p1);
    sim.BeginBugCreation();
    const std::size_t elements = sim.Doc.Count();

    ClearLogs();
    sim.RemoveGroup(prey);
    // Another group remains, so the bug tool stays on.
    EXPECT_EQ(host.Log, (Strings{"BrowserDeleteNode Group_0", "ToolsDeleteGroup Group_0"}));
    EXPECT_TRUE(sim.BugCreationMode);
    EXPECT_EQ(ViewClears(), 1);
    EXPECT_EQ(sim.Doc.Count(), elements - 2);
    ASSERT_EQ(sim.GroupCount(), 1);
    EXPECT_EQ(sim.Groups[0].get(), &hunters);
    for (TSteeringBehaviour* cleared : {&memberSeek, &templateFlee, &triggerSeek}) {
        EXPECT_EQ(cleared->TargetBug, nullptr);
        EXPECT_FALSE(cleared->TargetIsBug);
    }
    sim.StepFrame();

    // The last group gone: the bug tool ends.
    ClearLogs();
    sim.RemoveGroup(hunters);
    EXPECT_EQ(host.Log, (Strings{"BrowserDeleteNode Group_1", "ToolsDeleteGroup Group_1",
                                 "ToolsReleaseBugButton", "SetArenaCursor Arrow"}));
    EXPECT_FALSE(sim.BugCreationMode);
    EXPECT_EQ(sim.GroupCount(), 0);
}

TEST_F(SimulationRemoval, RemovingATriggerTakesItOutOfEveryTriggerList) {
    TBugGroup& a = AddGroup();
    TBugGroup& b = AddGroup();
    TTrigger& t = AddTrigger();
    TTrigger& u = AddTrigger();
    TBug& a0 = AddBug(a, 0, 0);
    TBug& b0 = AddBug(b, 0, 0);
    const std::vector<TTrigger*> twice{&t, &u, &t};
    for (TBasisBug* holder : std::initializer_list<TBasisBug*>{&a.Template, &b.Template, &a0, &b0})
        holder->Triggers = twice;

    // Only the first occurrence in each list goes.
    sim.RemoveReferences(t);
    for (TBasisBug* holder : std::initializer_list<TBasisBug*>{&a.Template, &b.Template, &a0, &b0})
        EXPECT_EQ(holder->Triggers, (std::vector<TTrigger*>{&u, &t}));

    ClearLogs();
    sim.RemoveReferences(t);
    sim.RemoveTrigger(u);
    EXPECT_EQ(host.Log, Strings{"BrowserDeleteNode Trigger_1"});
    EXPECT_EQ(sim.TriggerCount(), 1);
    EXPECT_EQ(sim.Triggers[0].get(), &t);
    for (TBasisBug* holder : std::initializer_list<TBasisBug*>{&a.Template, &b.Template, &a0, &b0})
        EXPECT_TRUE(holder->Triggers.empty());
}

TEST_F(SimulationRemoval, ATriggersLentListOutlivesTheTriggerWhileBugsUseIt) {
    TBug& bug = AddBug(AddGroup(), 100, 100);
    TTrigger& trigger = AddTrigger();
    trigger.SetSecond(0);
    trigger.SetFrame(1);
    trigger.SetChangeBehaviours(true);
    trigger.Template.SetCombinationMethod(cmPriority);
    TSteeringBehaviour& seek = AddBehaviour(*trigger.Template.Behaviours, bkSeek);
    seek.SetTargetPoint(Vector(100, 300));
    bug.Triggers = {&trigger};
    const std::weak_ptr<TBehaviourList> lent = trigger.Template.Behaviours;

    sim.StepFrame();
    sim.StepFrame();
    ASSERT_EQ(bug.Behaviours, lent.lock());
    sim.RemoveTrigger(trigger);
    EXPECT_EQ(sim.TriggerCount(), 0);
    EXPECT_TRUE(bug.Triggers.empty());
    ASSERT_FALSE(lent.expired());
    ASSERT_EQ(bug.Behaviours->size(), 1u);
    EXPECT_EQ((*bug.Behaviours)[0]->Kind, bkSeek);

    // The bug keeps steering with it towards the seek target (+y).
    const Extended y = bug.Position[1];
    for (int i = 0; i < 10; ++i)
        sim.StepFrame();
    EXPECT_GT(bug.Velocity[1], 0);
    EXPECT_GT(bug.Position[1], y);

    // Until it is reset to its own list; then nobody holds the lent list.
    sim.Rewind();
    EXPECT_EQ(bug.Behaviours, bug.OwnBehaviours());
    EXPECT_TRUE(lent.expired());
}

// However a behaviour list is held (a bug's own, lent by a trigger, handed
// from one holder to another), removing a reference visits it exactly once: a
// list visited twice would lose a second copy of an obstacle listed twice, a
// list missed would keep a target or an obstacle that is gone.
TEST_F(SimulationRemoval, EveryBehaviourListIsVisitedOnceHoweverItIsHeld) {
    struct THolding {
        const char* Name;
        std::function<void(TBugGroup&, TBug&, TBug&, TTrigger&)> Hold;
    };
    const std::vector<THolding> holdings = {
        {"own lists only", [](TBugGroup&, TBug&, TBug&, TTrigger&) {}},
        {"trigger's list as current",
         [](TBugGroup&, TBug& a, TBug&, TTrigger& t) { a.Behaviours = t.Template.Behaviours; }},
        {"trigger's list as start", [](TBugGroup&, TBug& a, TBug&,
                                       TTrigger& t) { a.StartBehaviours = t.Template.Behaviours; }},
        {"trigger's list lent to two bugs",
         [](TBugGroup&, TBug& a, TBug& b, TTrigger& t) {
             a.Behaviours = t.Template.Behaviours;
             b.Behaviours = t.Template.Behaviours;
             b.StartBehaviours = t.Template.Behaviours;
         }},
        {"another bug's own list as current",
         [](TBugGroup&, TBug& a, TBug& b, TTrigger&) { b.Behaviours = a.OwnBehaviours(); }},
        {"another bug's own list as start",
         [](TBugGroup&, TBug& a, TBug& b, TTrigger&) { b.StartBehaviours = a.OwnBehaviours(); }},
        {"group template's list as current",
         [](TBugGroup& g, TBug& a, TBug&, TTrigger&) { a.Behaviours = g.Template.Behaviours; }},
        {"a bug's own list as trigger's list",
         [](TBugGroup&, TBug& a, TBug&, TTrigger& t) {
             t.Template.Behaviours = a.OwnBehaviours();
         }},
    };
    for (const THolding& holding : holdings) {
        SCOPED_TRACE(holding.Name);
        sim.RemoveAll();
        TBugGroup& group = AddGroup();
        TBug& a = AddBug(group, 0, 0);
        TBug& b = AddBug(group, 10, 0);
        TBug& prey = AddBug(AddGroup(), 20, 0);
        TTrigger& trigger = AddTrigger();
        TObstacle& wall = *sim.CreateObstacle(TObstacle::kLine, 0, 50, 400, 50);
        holding.Hold(group, a, b, trigger);

        std::vector<TBehaviourList*> lists;
        auto add = [&](const TBehaviourListPtr& list) {
            if (std::find(lists.begin(), lists.end(), list.get()) == lists.end())
                lists.push_back(list.get());
        };
        add(group.Template.Behaviours);
        add(trigger.Template.Behaviours);
        for (TBug* bug : {&a, &b}) {
            add(bug->Behaviours);
            add(bug->StartBehaviours);
            add(bug->OwnBehaviours());
        }
        for (TBehaviourList* list : lists) {
            TSteeringBehaviour& avoid = AddBehaviour(*list, bkObstacleAvoidance);
            avoid.Obstacles = {&wall, &wall};
            TSteeringBehaviour& seek = AddBehaviour(*list, bkSeek);
            seek.SetTargetIsBug(true);
            seek.SetTargetBug(&prey);
        }

        sim.RemoveReferences(wall);
        sim.RemoveBug(prey);
        for (TBehaviourList* list : lists) {
            EXPECT_EQ((*list)[0]->Obstacles, std::vector<TObstacle*>{&wall});
            EXPECT_EQ((*list)[1]->TargetBug, nullptr);
            EXPECT_FALSE((*list)[1]->TargetIsBug);
        }
    }
}

TEST_F(SimulationRemoval, RemovingAnObstacleTakesItOutOfEveryBehaviour) {
    TBugGroup& group = AddGroup();
    TBug& bug = AddBug(group, 0, 0);
    TTrigger& trigger = AddTrigger();
    TObstacle& o1 = *sim.CreateObstacle(TObstacle::kLine, 0, 0, 10, 10);
    TObstacle& o2 = *sim.CreateObstacle(TObstacle::kCircle, 20, 20, 30, 30);
    std::vector<TSteeringBehaviour*> avoiders;
    for (TBehaviourList* list : {bug.Behaviours.get(), group.Template.Behaviours.get(),
                                 trigger.Template.Behaviours.get()}) {
        TSteeringBehaviour& avoid = AddBehaviour(*list, bkObstacleAvoidance);
        avoid.Obstacles = {&o1, &o2, &o1};
        avoiders.push_back(&avoid);
    }

    sim.RemoveReferences(o1);
    for (TSteeringBehaviour* avoid : avoiders)
        EXPECT_EQ(avoid->Obstacles, (std::vector<TObstacle*>{&o2, &o1}));

    // Objects of other classes refer to nothing.
    sim.RemoveReferences(group);
    sim.RemoveReferences(sim.Space);
    for (TSteeringBehaviour* avoid : avoiders)
        EXPECT_EQ(avoid->Obstacles, (std::vector<TObstacle*>{&o2, &o1}));

    const std::size_t elements = sim.Doc.Count();
    ClearLogs();
    sim.RemoveReferences(o1);
    sim.RemoveObstacle(o2);
    EXPECT_EQ(host.Log, Strings{"BrowserDeleteNode Obstacle_1_Circle"});
    EXPECT_EQ(ViewClears(), 1);
    EXPECT_EQ(sim.Doc.Count(), elements - 1);
    ASSERT_EQ(sim.Obstacles.size(), 1u);
    EXPECT_EQ(sim.Obstacles[0].get(), &o1);
    for (TSteeringBehaviour* avoid : avoiders)
        EXPECT_TRUE(avoid->Obstacles.empty());
}

// Lists read from a file can hold what the editors never produce: a trigger or
// an obstacle listed twice, or triggers in a trigger's template. Destroying the
// object must still leave no list pointing at it.
TEST_F(SimulationRemoval, DestroyedObjectsLeaveNoEntryInListsFromAFile) {
    TBugGroup& group = AddGroup();
    TBug& bug = AddBug(group, 100, 100);
    TTrigger& doomed = AddTrigger();
    TTrigger& keeper = AddTrigger();
    TObstacle& wall = *sim.CreateObstacle(TObstacle::kLine, 0, 50, 400, 50);
    bug.Triggers = {&doomed, &keeper, &doomed};
    group.Template.Triggers = {&doomed, &doomed};
    keeper.Template.Triggers = {&doomed};
    TSteeringBehaviour& avoid = AddBehaviour(*bug.Behaviours, bkObstacleAvoidance);
    avoid.Obstacles = {&wall, &wall};
    TSteeringBehaviour& lent = AddBehaviour(*keeper.Template.Behaviours, bkObstacleAvoidance);
    lent.Obstacles = {&wall, &wall};

    sim.RemoveTrigger(doomed);
    sim.RemoveObstacle(wall);

    EXPECT_EQ(bug.Triggers, std::vector<TTrigger*>{&keeper});
    EXPECT_TRUE(group.Template.Triggers.empty());
    EXPECT_TRUE(keeper.Template.Triggers.empty());
    EXPECT_TRUE(avoid.Obstacles.empty());
    EXPECT_TRUE(lent.Obstacles.empty());
    // Stepping reads every trigger of the bug and every obstacle it avoids.
    for (int i = 0; i < 3; ++i)
        sim.StepFrame();
    EXPECT_EQ(sim.CurrentFrame, 3u);
}

TEST_F(SimulationRemoval, ObstacleNamesFollowTheObstacleCount) {
    ClearLogs();
    TObstacle& first = *sim.CreateObstacle(TObstacle::kLine, 0, 0, 10, 0);
    TObstacle& second = *sim.CreateObstacle(TObstacle::kLine, 0, 5, 10, 5);
    TObstacle& circle = *sim.CreateObstacle(TObstacle::kCircle, 20, 20, 30, 30);
    EXPECT_EQ(first.Name, "Obstacle_0_Line");
    EXPECT_EQ(second.Name, "Obstacle_1_Line");
    EXPECT_EQ(circle.Name, "Obstacle_2_Circle");
    EXPECT_EQ(host.Log,
              (Strings{"BrowserAddObstacle Obstacle_0_Line", "BrowserAddObstacle Obstacle_1_Line",
                       "BrowserAddObstacle Obstacle_2_Circle"}));
    // Creating does not repaint.
    EXPECT_TRUE(drawing.empty());

    sim.RemoveObstacle(first);
    TObstacle& again = *sim.CreateObstacle(TObstacle::kLine, 0, 9, 10, 9);
    EXPECT_EQ(again.Name, "Obstacle_2_Line");
    EXPECT_EQ(sim.Obstacles.size(), 3u);
    EXPECT_EQ(sim.Obstacles.back().get(), &again);
}

TEST_F(SimulationRemoval, RemoveAllEmptiesTheListsFromLastToFirst) {
    TBugGroup& g0 = AddGroup();
    AddGroup();
    AddBug(g0, 10, 10);
    AddTrigger();
    AddTrigger();
    sim.CreateObstacle(TObstacle::kLine, 0, 0, 1, 1);
    sim.CreateObstacle(TObstacle::kLine, 0, 0, 2, 2);
    sim.SetLoop(true);
    sim.SetLoopSecond(3);
    sim.SetDelay(0);
    sim.SetCurrentSecond(2);
    sim.Space.SetWidth(640);
    const std::int32_t ids = IdCounter();

    ClearLogs();
    sim.RemoveAll();
    EXPECT_EQ(host.Log,
              (Strings{"BrowserDeleteNode Trigger_1", "BrowserDeleteNode Trigger_0",
                       "BrowserDeleteNode Group_1", "ToolsDeleteGroup Group_1",
                       "BrowserDeleteNode Group_0", "ToolsDeleteGroup Group_0",
                       "ToolsReleaseBugButton", "SetArenaCursor Arrow",
                       "BrowserDeleteNode Obstacle_1_Line", "BrowserDeleteNode Obstacle_0_Line"}));
    EXPECT_TRUE(sim.Groups.empty());
    EXPECT_TRUE(sim.Triggers.empty());
    EXPECT_TRUE(sim.Obstacles.empty());
    EXPECT_EQ(sim.Doc.Count(), 0u);
    // Settings, clock and the Id counter stay.
    EXPECT_TRUE(sim.Loop);
    EXPECT_EQ(sim.LoopSecond, 3u);
    EXPECT_EQ(sim.Delay, 0);
    EXPECT_EQ(sim.CurrentSecond, 2u);
    EXPECT_EQ(sim.Space.Width, 640);
    EXPECT_EQ(IdCounter(), ids);

    // The next objects are named from empty lists again.
    EXPECT_EQ(AddGroup().Name, "Group_0");
}

} // namespace
} // namespace kova::test
