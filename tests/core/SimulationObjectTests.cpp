#include "SimulationTestSupport.h"

#include "foundations/Random.h"

namespace kova::test {
namespace {

using Strings = std::vector<std::string>;

class SimulationObjects : public SimulationFixture {};

TEST_F(SimulationObjects, NewGroupIsKeptAndAnnouncedOnlyOnOk) {
    host.AnswerOk = false;
    EXPECT_EQ(sim.NewGroup(), nullptr);
    EXPECT_EQ(sim.GroupCount(), 0);
    EXPECT_EQ(host.Log, Strings{"EditGroup Group_0"});

    host.AnswerOk = true;
    ClearLogs();
    TBugGroup* first = sim.NewGroup();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Name, "Group_0");
    EXPECT_EQ(first->Color, 255u);
    EXPECT_TRUE(first->Members.empty());
    EXPECT_EQ(first->Template.Name, "Member");
    EXPECT_EQ(sim.Groups.back().get(), first);
    EXPECT_EQ(host.Log,
              (Strings{"EditGroup Group_0", "BrowserAddGroup Group_0", "ToolsAddGroup Group_0"}));

    // What the editor writes back on OK is what gets announced.
    host.OnEdit = [](TNamedObject& object) { object.SetName("Birds"); };
    ClearLogs();
    TBugGroup* second = sim.NewGroup();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->Name, "Birds");
    EXPECT_EQ(host.Log,
              (Strings{"EditGroup Group_1", "BrowserAddGroup Birds", "ToolsAddGroup Birds"}));
    host.OnEdit = nullptr;

    // Names come from the count, so they repeat after a removal.
    sim.RemoveGroup(*first);
    TBugGroup* third = sim.NewGroup();
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third->Name, "Group_1");
    EXPECT_EQ(sim.GroupCount(), 2);
}

TEST_F(SimulationObjects, NewTriggerIsKeptAndAnnouncedOnlyOnOk) {
    host.AnswerOk = false;
    EXPECT_EQ(sim.NewTrigger(), nullptr);
    EXPECT_EQ(sim.TriggerCount(), 0);
    EXPECT_EQ(host.Log, Strings{"EditTrigger Trigger_0"});

    host.AnswerOk = true;
    ClearLogs();
    TTrigger* first = sim.NewTrigger();
    TTrigger* second = sim.NewTrigger();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->Name, "Trigger_0");
    EXPECT_EQ(second->Name, "Trigger_1");
    EXPECT_EQ(sim.TriggerCount(), 2);
    EXPECT_EQ(host.Log, (Strings{"EditTrigger Trigger_0", "BrowserAddTrigger Trigger_0",
                                 "EditTrigger Trigger_1", "BrowserAddTrigger Trigger_1"}));
}

TEST_F(SimulationObjects, EditsNotifyTheWindowsOnlyOnOk) {
    TBugGroup& group = AddGroup();
    TBug& bug = AddBug(group, 10, 10);
    TTrigger& trigger = AddTrigger();
    host.OnEdit = [](TNamedObject& object) { object.SetName(object.Name + "*"); };

    ClearLogs();
    EXPECT_TRUE(sim.EditGroup(group));
    EXPECT_TRUE(sim.EditBug(bug));
    EXPECT_TRUE(sim.EditTrigger(trigger));
    EXPECT_EQ(host.Log, (Strings{"EditGroup Group_0", "BrowserUpdateNode Group_0*",
                                 "ToolsUpdateGroup Group_0*", "EditBug Member_0",
                                 "BrowserUpdateNode Member_0*", "EditTrigger Trigger_0",
                                 "BrowserUpdateNode Trigger_0*"}));
    // Only the bug edit repaints the arena.
    EXPECT_EQ(ViewClears(), 1);

    host.AnswerOk = false;
    ClearLogs();
    EXPECT_FALSE(sim.EditGroup(group));
    EXPECT_FALSE(sim.EditBug(bug));
    EXPECT_FALSE(sim.EditTrigger(trigger));
    EXPECT_EQ(host.Log,
              (Strings{"EditGroup Group_0*", "EditBug Member_0*", "EditTrigger Trigger_0*"}));
    EXPECT_EQ(ViewClears(), 0);
}

TEST_F(SimulationObjects, EditBugStoresStartValuesOnlyAtTheStart) {
    TBug& bug = AddBug(AddGroup(), 10, 10);
    host.OnEdit = [](TNamedObject& object) {
        auto& edited = dynamic_cast<TBug&>(object);
        edited.SetMass(edited.Mass + 1);
        edited.SetPosition(Vector(edited.Position[0] + 5, edited.Position[1]));
    };

    ASSERT_TRUE(sim.EditBug(bug));
    EXPECT_EQ(bug.Mass, 11);
    EXPECT_EQ(bug.StartMass, 11);
    EXPECT_EQ(bug.StartPosition[0], 15);

    sim.SetCurrentFrame(3);
    ASSERT_TRUE(sim.EditBug(bug));
    EXPECT_EQ(bug.Mass, 12);
    EXPECT_EQ(bug.StartMass, 11);
    EXPECT_EQ(bug.StartPosition[0], 15);
    sim.Rewind();
    EXPECT_EQ(bug.Mass, 11);
    EXPECT_EQ(bug.Position[0], 15);

    // Cancel writes nothing and stores nothing.
    host.AnswerOk = false;
    ASSERT_FALSE(sim.EditBug(bug));
    EXPECT_EQ(bug.Mass, 11);
    EXPECT_EQ(bug.StartMass, 11);
}

TEST_F(SimulationObjects, CreateBugMakesANamedMemberFromTheTemplate) {
    TBugGroup& group = AddGroup();
    group.SetColor(0x00FF00);
    TTrigger& t1 = AddTrigger();
    TTrigger& t2 = AddTrigger();
    group.Template.Triggers = {&t1, &t2};
    group.Template.SetCombinationMethod(cmPriority);
    TObstacle& obstacle = *sim.CreateObstacle(TObstacle::kCircle, 0, 0, 10, 10);
    TSteeringBehaviour& seek = AddBehaviour(*group.Template.Behaviours, bkSeek);
    seek.SetWeight(3);
    seek.SetPriority(2);
    seek.SetTargetPoint(Vector(7, 8));
    TSteeringBehaviour& avoid = AddBehaviour(*group.Template.Behaviours, bkObstacleAvoidance);
    avoid.Obstacles = {&obstacle};
    avoid.SetSensorRangeOn(true);
    const std::size_t elementsBefore = sim.Doc.Count();

    ClearLogs();
    TBug* created = sim.CreateBug(group, Vector(30, 40));
    ASSERT_NE(created, nullptr);
    TBug& bug = *created;
    EXPECT_EQ(host.Log, Strings{"BrowserAddBug Member_0 Group_0"});
    // The caller repaints.
    EXPECT_TRUE(drawing.empty());
    EXPECT_EQ(group.Members.back().get(), &bug);
    EXPECT_EQ(bug.Name, "Member_0");
    EXPECT_EQ(bug.Group, &group);
    EXPECT_TRUE(bug.GroupMember);
    EXPECT_EQ(bug.Position[0], 30);
    EXPECT_EQ(bug.Position[1], 40);
    EXPECT_EQ(bug.Mass, 10);
    EXPECT_EQ(bug.MaxSpeed, 80);
    EXPECT_EQ(bug.MinSpeed, 1);
    EXPECT_EQ(bug.CurrentSpeed, 10);
    EXPECT_EQ(bug.MaxForce, 30);
    EXPECT_EQ(bug.Shape.Size[0], 5);
    EXPECT_EQ(bug.CombinationMethod, cmPriority);

    // Start values are the values at creation; the start list is the bug's list.
    EXPECT_EQ(bug.StartPosition[0], 30);
    EXPECT_EQ(bug.StartPosition[1], 40);
    EXPECT_EQ(bug.StartMass, 10);
    EXPECT_EQ(bug.StartSpeed, 10);
    EXPECT_EQ(bug.StartMaxForce, 30);
    EXPECT_EQ(bug.StartBehaviours, bug.Behaviours);

    // Its own copies of the template's behaviours.
    ASSERT_EQ(bug.Behaviours->size(), 2u);
    const TSteeringBehaviour& seekCopy = *(*bug.Behaviours)[0];
    const TSteeringBehaviour& avoidCopy = *(*bug.Behaviours)[1];
    EXPECT_NE(&seekCopy, &seek);
    EXPECT_NE(&avoidCopy, &avoid);
    EXPECT_NE(seekCopy.Id, seek.Id);
    EXPECT_EQ(seekCopy.Kind, bkSeek);
    EXPECT_EQ(seekCopy.Name, "Seek");
    EXPECT_EQ(seekCopy.Weight, 3);
    EXPECT_EQ(seekCopy.Priority, 2);
    EXPECT_EQ(seekCopy.TargetPoint[0], 7);
    EXPECT_EQ(seekCopy.TargetPoint[1], 8);
    EXPECT_EQ(avoidCopy.Kind, bkObstacleAvoidance);
    EXPECT_TRUE(avoidCopy.SensorRangeOn);
    EXPECT_EQ(avoidCopy.Obstacles, std::vector<TObstacle*>{&obstacle});
    seek.SetWeight(9);
    EXPECT_EQ(seekCopy.Weight, 3);

    EXPECT_EQ(bug.Triggers, (std::vector<TTrigger*>{&t1, &t2}));
    EXPECT_EQ(bug.Element.Color, 0x00FF00u);
    EXPECT_EQ(bug.Element.Kind, 2);
    EXPECT_EQ(bug.Element.TopLeft, (TPoint{27, 37}));
    EXPECT_EQ(bug.Element.BottomRight, (TPoint{32, 42}));
    EXPECT_EQ(sim.Doc.Count(), elementsBefore + 1);
}

TEST_F(SimulationObjects, MemberNamesFollowTheMemberCount) {
    TBugGroup& group = AddGroup();
    TBug& first = AddBug(group, 0, 0);
    TBug& second = AddBug(group, 5, 0);
    EXPECT_EQ(first.Name, "Member_0");
    EXPECT_EQ(second.Name, "Member_1");

    sim.RemoveBug(first);
    ASSERT_EQ(group.Members.size(), 1u);
    TBug& third = AddBug(group, 10, 0);
    EXPECT_EQ(third.Name, "Member_1");
    EXPECT_EQ(second.Name, "Member_1");

    group.Template.SetName("Ant");
    EXPECT_EQ(AddBug(group, 15, 0).Name, "Ant_2");
}

TEST_F(SimulationObjects, MembersDrawTheirValuesIndependently) {
    TBugGroup& group = AddGroup();
    EXPECT_EQ(AddBug(group, 0, 0).Mass, AddBug(group, 0, 0).Mass);

    group.Template.MassVariantValue.SetDifference(50);
    SetRandSeed(12345);
    TBug& a = AddBug(group, 0, 0);
    TBug& b = AddBug(group, 0, 0);
    EXPECT_GE(a.Mass, 10);
    EXPECT_LE(a.Mass, 15);
    EXPECT_GE(b.Mass, 10);
    EXPECT_LE(b.Mass, 15);
    EXPECT_NE(a.Mass, b.Mass);
}

class SimulationTemplate : public SimulationFixture {
protected:
    SimulationTemplate() : group(AddGroup()) {
        AddBug(group, 10, 10);
        AddBug(group, 20, 10);
    }
    TBugGroup& group;
};

TEST_F(SimulationTemplate, TemplateTriggersReplaceMemberListsOnlyWhenThereAreSome) {
    TTrigger& own = AddTrigger();
    TTrigger& shared = AddTrigger();
    for (const auto& member : group.Members)
        member->Triggers = {&own};

    sim.ApplyTemplateToMembers(group);
    for (const auto& member : group.Members)
        EXPECT_EQ(member->Triggers, std::vector<TTrigger*>{&own});

    group.Template.Triggers = {&shared, &own};
    sim.ApplyTemplateToMembers(group);
    for (const auto& member : group.Members)
        EXPECT_EQ(member->Triggers, (std::vector<TTrigger*>{&shared, &own}));
}

TEST_F(SimulationTemplate, ApplyingAtTheStartChangesStartValuesToo) {
    group.Template.MassVariantValue.SetBaseValue(20);
    group.Template.SetCombinationMethod(cmWeightFactors);
    AddBehaviour(*group.Template.Behaviours, bkFlee);
    // On a group without members only the re-seeding shows: the generator
    // starts again from the time of day in milliseconds.
    TBugGroup& empty = AddGroup();
    SetRandSeed(0xFFFFFFFFu);
    sim.ApplyTemplateToMembers(empty);
    EXPECT_LT(RandSeed(), 86400000u);

    sim.ApplyTemplateToMembers(group);
    for (const auto& member : group.Members) {
        EXPECT_EQ(member->Mass, 20);
        EXPECT_EQ(member->StartMass, 20);
        EXPECT_EQ(member->CombinationMethod, cmWeightFactors);
        ASSERT_EQ(member->Behaviours->size(), 1u);
        EXPECT_EQ((*member->Behaviours)[0]->Kind, bkFlee);
        EXPECT_NE((*member->Behaviours)[0].get(), (*group.Template.Behaviours)[0].get());
        EXPECT_EQ(member->StartBehaviours, member->Behaviours);
    }
    // Positions stay.
    EXPECT_EQ(group.Members[0]->Position[0], 10);
    EXPECT_EQ(group.Members[1]->Position[0], 20);
}

TEST_F(SimulationTemplate, ApplyingLaterChangesCurrentValuesAndRewindRestoresTheOld) {
    for (int i = 0; i < 5; ++i)
        sim.StepFrame();
    group.Template.MassVariantValue.SetBaseValue(20);
    group.Template.MaxSpeedVariantValue.SetBaseValue(40);
    AddBehaviour(*group.Template.Behaviours, bkSeparation);

    sim.ApplyTemplateToMembers(group);
    TBug& member = *group.Members[0];
    EXPECT_EQ(member.Mass, 20);
    EXPECT_EQ(member.MaxSpeed, 40);
    EXPECT_EQ(member.StartMass, 10);
    EXPECT_EQ(member.StartMaxSpeed, 80);
    EXPECT_GT(member.Position[0], 10);

    sim.Rewind();
    EXPECT_EQ(member.Mass, 10);
    EXPECT_EQ(member.MaxSpeed, 80);
    EXPECT_EQ(member.Position[0], 10);
    // The behaviour copies stay: start list and current list are one list.
    ASSERT_EQ(member.Behaviours->size(), 1u);
    EXPECT_EQ((*member.Behaviours)[0]->Kind, bkSeparation);
}

TEST_F(SimulationTemplate, MemberSteeringWithATriggersListGetsTheCopiesInItsOwnList) {
    TTrigger& trigger = AddTrigger();
    trigger.SetSecond(0);
    trigger.SetFrame(0);
    trigger.SetChangeBehaviours(true);
    TSteeringBehaviour& flee = AddBehaviour(*trigger.Template.Behaviours, bkFlee);
    const TBehaviourListPtr triggerList = trigger.Template.Behaviours;
    TBug& member = *group.Members[0];
    member.Triggers = {&trigger};
    sim.StepFrame();
    ASSERT_EQ(member.Behaviours, triggerList);
    ASSERT_EQ(member.StartBehaviours, member.OwnBehaviours());

    AddBehaviour(*group.Template.Behaviours, bkSeek);
    AddBehaviour(*group.Template.Behaviours, bkArrival);
    sim.ApplyTemplateToMembers(group);

    EXPECT_EQ(member.Behaviours, member.OwnBehaviours());
    EXPECT_EQ(member.StartBehaviours, member.OwnBehaviours());
    ASSERT_EQ(member.Behaviours->size(), 2u);
    EXPECT_EQ((*member.Behaviours)[0]->Kind, bkSeek);
    EXPECT_EQ((*member.Behaviours)[1]->Kind, bkArrival);
    // The trigger's list is as the trigger defines it.
    EXPECT_EQ(trigger.Template.Behaviours, triggerList);
    ASSERT_EQ(triggerList->size(), 1u);
    EXPECT_EQ((*triggerList)[0].get(), &flee);
    EXPECT_EQ(flee.Kind, bkFlee);
}

TEST(SimulationCopyBehaviours, CopiesReplaceTheDestinationAndSurviveCopyingOntoItself) {
    TBehaviourList source;
    AddBehaviour(source, bkCohesion).SetWeight(4);
    AddBehaviour(source, bkAlignment).SetAngle(45);
    TBehaviourList destination;
    AddBehaviour(destination, bkFlee);

    TSimulation::CopyBehaviours(source, destination);
    ASSERT_EQ(destination.size(), 2u);
    EXPECT_EQ(destination[0]->Kind, bkCohesion);
    EXPECT_EQ(destination[0]->Weight, 4);
    EXPECT_EQ(destination[1]->Kind, bkAlignment);
    EXPECT_EQ(destination[1]->Angle, 45);
    EXPECT_NE(destination[0].get(), source[0].get());

    TSimulation::CopyBehaviours(source, source);
    ASSERT_EQ(source.size(), 2u);
    EXPECT_EQ(source[0]->Kind, bkCohesion);
    EXPECT_EQ(source[0]->Weight, 4);
    EXPECT_EQ(source[1]->Kind, bkAlignment);
    EXPECT_EQ(source[1]->Angle, 45);

    TBehaviourList empty;
    TSimulation::CopyBehaviours(empty, destination);
    EXPECT_TRUE(destination.empty());
}

} // namespace
} // namespace kova::test
