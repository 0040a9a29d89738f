#include "SimulationFileTestSupport.h"

#include "foundations/Random.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>

namespace kova::test {
namespace {

using Strings = std::vector<std::string>;

// --- the byte layout ----------------------------------------------------------------

TEST(SimulationFileFormat, EmptySimulationIsTheSixtySevenDocumentedBytes) {
    SetIdCounter(0);
    TSimulation sim;
    ASSERT_EQ(sim.Id, 1);
    const Bytes expected = FromHex("06 08 4B 4F 56 41 2D 56 31 30"
                                   " 06 00 02 01"
                                   " 02 19 02 01 02 28 02 0A 02 00 02 00 02 00 08 08 02 00"
                                   " 02 00 02 00"
                                   " 06 00 02 00"
                                   " 05 00 00 00 00 00 00 00 C8 07 40"
                                   " 05 00 00 00 00 00 00 00 96 07 40"
                                   " 04 BF D7 BF 00");
    ASSERT_EQ(expected.size(), 67u);
    EXPECT_EQ(SaveBytes(sim), expected);

    // It loads back to an empty simulation with the same arena and settings.
    TSimulation other;
    other.SetFPS(60);
    other.Space.SetWidth(10);
    LoadBytes(other, expected);
    EXPECT_EQ(other.Id, 1);
    EXPECT_EQ(other.FPS, 25);
    EXPECT_EQ(other.Space.Width, 400);
    EXPECT_EQ(other.Space.Height, 300);
    EXPECT_TRUE(other.Groups.empty() && other.Triggers.empty() && other.Obstacles.empty());
    EXPECT_EQ(SaveBytes(other), expected);
}

TEST_F(SimulationFile, RichSimulationSavesLoadsAndSavesToTheSameBytes) {
    BuildRichSimulation(sim);
    const Bytes first = SaveBytes(sim);

    TSimulation loaded;
    LoadBytes(loaded, first);
    EXPECT_EQ(SaveBytes(loaded), first);
    EXPECT_EQ(loaded.Triggers.size(), 2u);
    EXPECT_EQ(loaded.Groups.size(), 3u);
    EXPECT_EQ(MembersOf(loaded).size(), 5u);
    EXPECT_EQ(loaded.Obstacles.size(), 2u);
    EXPECT_EQ(loaded.Doc.Count(), 7u);
    EXPECT_EQ(loaded.FPS, 30);
    EXPECT_EQ(loaded.Delay, 17);
    EXPECT_TRUE(loaded.Loop);
    EXPECT_TRUE(loaded.TimerTick);
    EXPECT_EQ(loaded.LoopSecond, 5u);
    EXPECT_EQ(loaded.LoopFrame, 3u);
    EXPECT_EQ(loaded.Space.Height, 480.25L);
    EXPECT_EQ(loaded.Space.Color, 0x123456u);

    // Loading over a simulation that holds objects replaces them all.
    LoadBytes(sim, first);
    EXPECT_EQ(SaveBytes(sim), first);
    EXPECT_EQ(sim.Doc.Count(), 7u);
}

TEST_F(SimulationFile, ReferencesSurviveSaveAndLoad) {
    BuildRichSimulation(sim);
    TSimulation loaded;
    LoadBytes(loaded, SaveBytes(sim));

    ASSERT_EQ(loaded.Triggers.size(), 2u);
    ASSERT_EQ(loaded.Groups.size(), 3u);
    ASSERT_EQ(loaded.Obstacles.size(), 2u);
    TTrigger* steer = loaded.Triggers[0].get();
    TTrigger* turn = loaded.Triggers[1].get();
    TObstacle* circle = loaded.Obstacles[0].get();
    TObstacle* line = loaded.Obstacles[1].get();
    TBugGroup& ants = *loaded.Groups[0];
    TBugGroup& beetles = *loaded.Groups[1];
    ASSERT_EQ(ants.Members.size(), 3u);
    ASSERT_EQ(beetles.Members.size(), 2u);
    TBug& a0 = *ants.Members[0];
    TBug& a1 = *ants.Members[1];
    TBug& a2 = *ants.Members[2];
    TBug& b0 = *beetles.Members[0];
    TBug& b1 = *beetles.Members[1];
    EXPECT_EQ(loaded.Groups[2]->Members.size(), 0u);
    EXPECT_EQ(ants.Name, "Ants " + std::string(300, 'a'));
    EXPECT_EQ(b0.Name.size(), 255u);

    // Trigger lists: the template's, copied to every ant; one trigger shared by
    // members of two groups and by a trigger's template.
    EXPECT_EQ(ants.Template.Triggers, (std::vector<TTrigger*>{steer}));
    EXPECT_EQ(a0.Triggers, (std::vector<TTrigger*>{steer, turn}));
    EXPECT_EQ(a1.Triggers, (std::vector<TTrigger*>{steer}));
    EXPECT_EQ(b1.Triggers, (std::vector<TTrigger*>{turn}));
    EXPECT_TRUE(b0.Triggers.empty());
    EXPECT_EQ(steer->Template.Triggers, (std::vector<TTrigger*>{turn}));
    EXPECT_TRUE(steer->ChangeBehaviours);
    EXPECT_TRUE(steer->ReservedFlag);
    EXPECT_EQ(steer->ReservedByte, 7);
    EXPECT_EQ(steer->Template.CombinationMethod, cmPriority);
    EXPECT_EQ(steer->Template.MassVariantValue.SignMode, vtplusminus);

    // Target bugs across groups and in a trigger's template.
    ASSERT_EQ(a0.Behaviours->size(), 6u);
    const TSteeringBehaviour& seek = *(*a0.Behaviours)[3];
    EXPECT_EQ(seek.Kind, bkSeek);
    EXPECT_TRUE(seek.TargetIsBug);
    EXPECT_EQ(seek.TargetBug, &b1);
    const TSteeringBehaviour& arrive = *(*b1.Behaviours)[0];
    EXPECT_EQ(arrive.Kind, bkArrival);
    EXPECT_EQ(arrive.TargetBug, &a2);
    ASSERT_EQ(steer->Template.Behaviours->size(), 2u);
    EXPECT_EQ((*steer->Template.Behaviours)[1]->TargetBug, &a1);

    // A behaviour switched from a bug to a point has no target bug.
    const TSteeringBehaviour& switched = *(*a0.Behaviours)[4];
    EXPECT_EQ(switched.Kind, bkMothSeek);
    EXPECT_FALSE(switched.TargetIsBug);
    EXPECT_EQ(switched.TargetBug, nullptr);
    EXPECT_EQ(switched.TargetPoint, Vector(33, 44));

    // Obstacle lists keep their order and repeats.
    EXPECT_EQ((*steer->Template.Behaviours)[0]->Obstacles, (std::vector<TObstacle*>{line, circle}));
    ASSERT_EQ(b0.Behaviours->size(), 3u);
    EXPECT_EQ((*b0.Behaviours)[2]->Obstacles, (std::vector<TObstacle*>{circle, line, circle}));
    EXPECT_EQ(line->Kind, TObstacle::kLine);
    EXPECT_EQ(circle->Kind, TObstacle::kCircle);

    // Every member belongs to its loaded group and draws in the loaded document.
    for (TBug* bug : MembersOf(loaded))
        EXPECT_TRUE(bug->Group == &ants || bug->Group == &beetles) << bug->Name;
    EXPECT_EQ(a0.Element.Color, 0x00FF00u);
}

TEST_F(SimulationFile, MembersShareEqualObstacleListsAfterLoadingAndStillLoseRemovedObstacles) {
    TObstacle* line = sim.CreateObstacle(TObstacle::kLine, 1, 2, 3, 4);
    TObstacle* circle = sim.CreateObstacle(TObstacle::kCircle, 10, 10, 14, 14);
    TBugGroup& group = AddGroup();
    AddBehaviour(*group.Template.Behaviours, bkObstacleAvoidance).Obstacles = {line, circle};
    for (int i = 0; i < 3; ++i)
        AddBug(group, 20 + i, 30);
    sim.ApplyTemplateToMembers(group);
    TBug& loner = AddBug(group, 40, 40);
    loner.Behaviours->clear();
    AddBehaviour(*loner.Behaviours, bkObstacleAvoidance).Obstacles = {circle};
    const Bytes saved = SaveBytes(sim);

    TSimulation loaded;
    LoadBytes(loaded, saved);
    EXPECT_EQ(SaveBytes(loaded), saved);
    const auto listOf = [](const TBehaviourList& behaviours) -> const TObstacleList& {
        return behaviours.front()->Obstacles;
    };
    const TBugGroup& group2 = *loaded.Groups.front();
    const TObstacleList& shared = listOf(*group2.Template.Behaviours);
    ASSERT_EQ(shared.size(), 2u);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(listOf(*group2.Members[i]->Behaviours).SharesItemsWith(shared)) << i;
    EXPECT_FALSE(listOf(*group2.Members[3]->Behaviours).SharesItemsWith(shared));

    TObstacle* loadedLine = loaded.Obstacles[0].get();
    TObstacle* loadedCircle = loaded.Obstacles[1].get();
    loaded.RemoveObstacle(*loadedLine);
    for (const auto& member : group2.Members)
        EXPECT_EQ(listOf(*member->Behaviours), (std::vector<TObstacle*>{loadedCircle}));
    EXPECT_EQ(listOf(*group2.Template.Behaviours), (std::vector<TObstacle*>{loadedCircle}));
}

TEST_F(SimulationFile, SuccessfulLoadAnnouncesTriggersThenGroupsWithMembersThenObstacles) {
    TSimulation source;
    BuildRichSimulation(source);
    const Bytes file = SaveBytes(source);
    BuildPrevious();
    ClearLogs();

    LoadBytes(sim, file);
    Strings added;
    for (const std::string& entry : host.Log)
        if (entry.rfind("BrowserAdd", 0) == 0 || entry.rfind("ToolsAdd", 0) == 0)
            added.push_back(entry);
    const std::string ants = "Ants " + std::string(300, 'a');
    const std::string b0 = sim.Groups[1]->Members[0]->Name;
    EXPECT_EQ(added, (Strings{"BrowserAddTrigger Trigger_0", "BrowserAddTrigger Trigger_1",
                              "BrowserAddGroup " + ants, "ToolsAddGroup " + ants,
                              "BrowserAddBug Ant_0 " + ants, "BrowserAddBug Ant_1 " + ants,
                              "BrowserAddBug Ant_2 " + ants, "BrowserAddGroup Group_1",
                              "ToolsAddGroup Group_1", "BrowserAddBug " + b0 + " Group_1",
                              "BrowserAddBug Member_1 Group_1", "BrowserAddGroup Group_2",
                              "ToolsAddGroup Group_2", "BrowserAddObstacle Obstacle_0_Circle",
                              "BrowserAddObstacle Obstacle_1_Line"}));
    // The previous objects left the windows before the new ones came.
    const auto firstAdd = std::find(host.Log.begin(), host.Log.end(), added.front());
    EXPECT_EQ(std::count(host.Log.begin(), firstAdd, "ToolsDeleteGroup Group_0"), 1);

    // A failed load announces nothing and draws nothing.
    ClearLogs();
    EXPECT_EQ(LoadError(sim, Bytes(file.begin(), file.end() - 40)), "Stream-Read-Fehler");
    EXPECT_EQ(host.Log, Strings{});
    EXPECT_EQ(drawing, Strings{});
}

// --- the magic ----------------------------------------------------------------------

struct MagicCase {
    const char* name;
    Bytes start; // the first value of the file
    const char* result;
};
void PrintTo(const MagicCase& c, std::ostream* os) {
    *os << c.name;
}

class SimulationFileMagic : public SimulationFile,
                            public ::testing::WithParamInterface<MagicCase> {};

TEST_P(SimulationFileMagic, FirstValueDecidesWhetherTheFileIsRead) {
    const MagicCase& c = GetParam();
    TSimulation source;
    source.SetDelay(99);
    Bytes file = SaveBytes(source);
    file.erase(file.begin(), file.begin() + 10); // the magic
    file.insert(file.begin(), c.start.begin(), c.start.end());
    BuildPrevious();
    const TSimulationState before = StateOf(sim);

    EXPECT_EQ(LoadError(sim, file), c.result);
    if (std::string(c.result) == "loaded") {
        EXPECT_EQ(sim.Delay, 99);
        EXPECT_TRUE(sim.Groups.empty());
    } else {
        EXPECT_EQ(StateOf(sim), before);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SimulationFileMagic,
    ::testing::Values(
        MagicCase{"Exact", StringValue("KOVA-V10"), "loaded"},
        MagicCase{"LongerString", StringValue("KOVA-V10 and more"), "loaded"},
        MagicCase{"LongStringForm", StringValue("KOVA-V10" + std::string(300, '!')), "loaded"},
        MagicCase{"SevenCharacters", StringValue("KOVA-V1"), "Error in kvz-File!"},
        MagicCase{"OtherVersion", StringValue("KOVA-V11"), "Error in kvz-File!"},
        MagicCase{"LowerCase", StringValue("kova-v10"), "Error in kvz-File!"},
        MagicCase{"EmptyString", StringValue(""), "Error in kvz-File!"},
        MagicCase{"Integer", IntegerBytes(5), "Ungültiger Wert der Eigenschaft"},
        MagicCase{"LengthBeyondTheFile", FromHex("06 FF 4B 4F 56 41"), "Stream-Read-Fehler"}),
    [](const ::testing::TestParamInfo<MagicCase>& info) { return info.param.name; });

TEST_F(SimulationFile, EmptyStreamIsAReadError) {
    BuildPrevious();
    const TSimulationState before = StateOf(sim);
    EXPECT_EQ(LoadError(sim, {}), "Stream-Read-Fehler");
    EXPECT_EQ(StateOf(sim), before);
}

// --- settings -----------------------------------------------------------------------

TEST_F(SimulationFile, SavingWhileRunningWritesTheStartAndTimeZero) {
    TBugGroup& group = AddGroup();
    TBug& bug = AddBug(group, 100, 100);
    const Vector start = bug.Position;
    sim.BeginRun();
    for (int frame = 0; frame < 3 * 25 + 7; ++frame)
        sim.StepFrame();
    ASSERT_EQ(sim.CurrentSecond, 3u);
    ASSERT_EQ(sim.CurrentFrame, 7u);
    ASSERT_NE(bug.Position, start);

    const Bytes file = SaveBytes(sim);
    EXPECT_EQ(ReadSetting(file, 5), 0); // CurrentSecond
    EXPECT_EQ(ReadSetting(file, 6), 0); // CurrentFrame
    EXPECT_TRUE(sim.IsAtStart());
    EXPECT_EQ(bug.Position, start);

    // The file holds the start position as the current position, not the
    // position reached at 3 : 7.
    TSimulation loaded;
    LoadBytes(loaded, file);
    const TBug& read = *loaded.Groups.at(0)->Members.at(0);
    EXPECT_EQ(read.Position, start);
    EXPECT_EQ(read.StartPosition, start);
    EXPECT_EQ(read.CurrentSpeed, 10);
}

TEST_F(SimulationFile, SnapshotWhileRunningWritesTheFileAndTheRunGoesOnUndisturbed) {
    BuildRichSimulation(sim);
    const Bytes file = SaveBytes(sim);
    // The same run from the same random sequence; half way it is left alone,
    // snapshotted or saved. The first two then go on for as long again.
    enum class HalfWay { Nothing, Snapshot, Save };
    struct TResult {
        Bytes Written;
        std::vector<std::pair<Vector, Vector>> Motion;
    };
    auto run = [&](HalfWay halfWay) {
        TSimulation simulation;
        LoadBytes(simulation, file);
        SetRandSeed(7);
        simulation.BeginRun();
        for (int frame = 0; frame < 40; ++frame)
            simulation.StepFrame();
        TResult result;
        if (halfWay == HalfWay::Save)
            return TResult{SaveBytes(simulation), {}};
        if (halfWay == HalfWay::Snapshot) {
            TMemoryStream snapshot;
            WriteSimulationSnapshot(simulation, snapshot);
            result.Written = snapshot.Bytes();
        }
        for (int frame = 0; frame < 40; ++frame)
            simulation.StepFrame();
        for (const TBug* member : MembersOf(simulation))
            result.Motion.emplace_back(member->Position, member->Velocity);
        return result;
    };
    const TResult snapshotted = run(HalfWay::Snapshot);
    EXPECT_EQ(snapshotted.Written, run(HalfWay::Save).Written);
    EXPECT_EQ(snapshotted.Motion, run(HalfWay::Nothing).Motion);
}

struct SettingCase {
    const char* name;
    int index;           // position among the simulation record's Integers
    std::int32_t stored; // what the file holds
    std::int32_t loaded; // what the simulation gets
};
void PrintTo(const SettingCase& c, std::ostream* os) {
    *os << c.name;
}

class SimulationFileSettings : public SimulationFile,
                               public ::testing::WithParamInterface<SettingCase> {};

TEST_P(SimulationFileSettings, StoredValuesKeepTheirLowBits) {
    const SettingCase& c = GetParam();
    TSimulation source;
    const Bytes file = WithSetting(SaveBytes(source), c.index, IntegerBytes(c.stored));
    LoadBytes(sim, file);
    const std::int32_t values[] = {sim.FPS, sim.PixelsPerMeter, sim.Delay,
                                   static_cast<std::int32_t>(sim.LoopSecond),
                                   static_cast<std::int32_t>(sim.LoopFrame)};
    EXPECT_EQ(values[c.index], c.loaded);
}

INSTANTIATE_TEST_SUITE_P(Cases, SimulationFileSettings,
                         ::testing::Values(SettingCase{"Fps300", 0, 300, 44},
                                           SettingCase{"Fps256", 0, 256, 1},
                                           SettingCase{"PixelsPerMeter258", 1, 258, 2},
                                           SettingCase{"Delay70000", 2, 70000, 70000 - 65536},
                                           SettingCase{"LoopSecond70000", 3, 70000, 70000},
                                           SettingCase{"LoopFrameNegative", 4, -1, -1}),
                         [](const ::testing::TestParamInfo<SettingCase>& info) {
                             return info.param.name;
                         });

TEST_F(SimulationFile, StoredFrameRateZeroLoadsAsOneAndStepsToFinitePositions) {
    TBugGroup& group = AddGroup();
    AddBug(group, 100, 100);
    AddBehaviour(*AddBug(group, 120, 90).Behaviours, bkSeek).SetTargetPoint(Vector(10, 10));
    const Bytes file = WithSetting(SaveBytes(sim), 0, IntegerBytes(0));
    ASSERT_EQ(ReadSetting(file, 0), 0);

    TSimulation loaded;
    LoadBytes(loaded, file);
    EXPECT_EQ(loaded.FPS, 1);
    for (int frame = 0; frame < 5; ++frame)
        loaded.StepFrame();
    EXPECT_EQ(loaded.CurrentSecond, 5u);
    EXPECT_EQ(loaded.CurrentFrame, 0u);
    for (const TBug* bug : MembersOf(loaded)) {
        EXPECT_TRUE(std::isfinite(bug->Position[0]) && std::isfinite(bug->Position[1]))
            << bug->Name;
        EXPECT_TRUE(std::isfinite(bug->Velocity[0]) && std::isfinite(bug->Velocity[1]))
            << bug->Name;
    }
    // Each frame moves a bug by its whole velocity now.
    EXPECT_NE(MembersOf(loaded)[0]->Position, Vector(100, 100));
}

// --- Ids ----------------------------------------------------------------------------

struct HighIdCase {
    const char* name;
    std::function<void(TSimulation&, TRichParts&)> raise;
};
void PrintTo(const HighIdCase& c, std::ostream* os) {
    *os << c.name;
}

class SimulationFileIds : public SimulationFile,
                          public ::testing::WithParamInterface<HighIdCase> {};

TEST_P(SimulationFileIds, CounterEndsAboveEveryIdRead) {
    constexpr std::int32_t kHigh = 500000;
    SetIdCounter(0);
    TSimulation source;
    TRichParts parts = BuildRichSimulation(source);
    GetParam().raise(source, parts);
    const Bytes file = SaveBytes(source);

    SetIdCounter(20);
    TSimulation loaded;
    LoadBytes(loaded, file);
    const std::vector<std::int32_t> ids = IdsOf(loaded);
    ASSERT_EQ(*std::max_element(ids.begin(), ids.end()), kHigh);
    EXPECT_GE(IdCounter(), kHigh);
    // Objects made after the load never repeat an Id of the file.
    const std::set<std::int32_t> fileIds(ids.begin(), ids.end());
    EXPECT_EQ(fileIds.count(loaded.NewTrigger()->Id), 0u);
    EXPECT_EQ(fileIds.count(loaded.CreateBug(*loaded.Groups[2], Vector(5, 5))->Id), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SimulationFileIds,
    ::testing::Values(
        HighIdCase{"Simulation", [](TSimulation& s, TRichParts&) { s.SetId(500000); }},
        HighIdCase{"Trigger", [](TSimulation&, TRichParts& p) { p.Turn->SetId(500000); }},
        HighIdCase{"TriggerTemplate",
                   [](TSimulation&, TRichParts& p) { p.Turn->Template.SetId(500000); }},
        HighIdCase{
            "TriggerBehaviour",
            [](TSimulation&, TRichParts& p) { (*p.Steer->Template.Behaviours)[1]->SetId(500000); }},
        HighIdCase{"Group", [](TSimulation&, TRichParts& p) { p.Empty->SetId(500000); }},
        HighIdCase{"GroupTemplate",
                   [](TSimulation&, TRichParts& p) { p.Empty->Template.SetId(500000); }},
        HighIdCase{
            "TemplateBehaviour",
            [](TSimulation&, TRichParts& p) { (*p.Empty->Template.Behaviours)[0]->SetId(500000); }},
        HighIdCase{"FirstMember",
                   [](TSimulation&, TRichParts& p) { p.Ants->Members[0]->SetId(500000); }},
        HighIdCase{"MemberShape",
                   [](TSimulation&, TRichParts& p) { p.Ants->Members[1]->Shape.SetId(500000); }},
        HighIdCase{"MemberBehaviour",
                   [](TSimulation&, TRichParts& p) {
                       (*p.Beetles->Members[0]->Behaviours)[0]->SetId(500000);
                   }},
        HighIdCase{"Obstacle", [](TSimulation&, TRichParts& p) { p.Circle->SetId(500000); }},
        HighIdCase{"ObstacleShape",
                   [](TSimulation&, TRichParts& p) { p.Line->Shape.SetId(500000); }}),
    [](const ::testing::TestParamInfo<HighIdCase>& info) { return info.param.name; });

TEST_F(SimulationFile, LargestPossibleIdLoadsAndTheCounterWrapsRound) {
    constexpr std::int32_t kLargest = 2147483647;
    TBugGroup& group = AddGroup();
    TBug& target = AddBug(group, 10, 10);
    TSteeringBehaviour& seek = AddBehaviour(*AddBug(group, 20, 20).Behaviours, bkSeek);
    seek.SetTargetIsBug(true);
    seek.SetTargetBug(&target);
    target.SetId(kLargest);
    const Bytes file = SaveBytes(sim);

    TSimulation loaded;
    LoadBytes(loaded, file);
    EXPECT_EQ(IdCounter(), kLargest);
    EXPECT_EQ((*loaded.Groups[0]->Members[1]->Behaviours)[0]->TargetBug,
              loaded.Groups[0]->Members[0].get());
    // The next object takes the next value of a 32-bit counter.
    EXPECT_EQ(loaded.NewTrigger()->Id, -kLargest - 1);
    EXPECT_EQ(LoadError(loaded, SaveBytes(loaded)), "loaded");
}

TEST_F(SimulationFile, LoadNeverMovesTheCounterBack) {
    TSimulation source;
    BuildRichSimulation(source);
    const Bytes file = SaveBytes(source);
    SetIdCounter(IdCounter() + 100000);
    const std::int32_t before = IdCounter();
    LoadBytes(sim, file);
    EXPECT_GE(IdCounter(), before);
    // Nor does a load that fails after reading members.
    const std::int32_t beforeFailure = IdCounter();
    EXPECT_EQ(LoadError(sim, Bytes(file.begin(), file.end() - 20)), "Stream-Read-Fehler");
    EXPECT_GE(IdCounter(), beforeFailure);
}

} // namespace
} // namespace kova::test
