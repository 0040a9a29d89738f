#include "CliTestSupport.h"
#include "cli/ExtendedText.h"
#include "cli/SceneJson.h"
#include "foundations/NamedObject.h"
#include "foundations/Random.h"
#include "steering/SteeringBehaviour.h"

#include <cmath>
#include <limits>
#include <set>

namespace kova::test {
namespace {

bool SameBits(Extended a, Extended b) {
    return EncodeExtended(a) == EncodeExtended(b);
}

std::unique_ptr<TSteeringBehaviour> Behaviour(std::uint8_t kind) {
    return std::make_unique<TSteeringBehaviour>(kind);
}

// Every kind of stored value: unusual settings, names that need escaping or
// are not UTF-8, extended values without a short decimal (0.1, 1/3), an
// infinity and a NaN, an obstacle of a kind that steering passes by,
// references across groups and forwards, a behaviour that keeps the Id of a
// bug it no longer follows, and force vectors that a few frames of stepping
// have filled.
struct RichSimulation {
    std::unique_ptr<TSimulation> Simulation = std::make_unique<TSimulation>();
    TObstacle* Line = nullptr;
    TObstacle* Circle = nullptr;
    TTrigger* Late = nullptr;
    TTrigger* Early = nullptr;
    TBugGroup* Prey = nullptr;
    TBugGroup* Hunters = nullptr;

    RichSimulation() {
        TSimulation& s = *Simulation;
        s.SetFPS(30);
        s.SetPixelsPerMeter(2);
        s.SetDelay(7);
        s.SetLoopSecond(4);
        s.SetLoopFrame(3);
        s.SetLoop(true);
        s.SetTimerTick(true);
        s.SetName("Scene \"one\"");
        s.Space.SetWidth(400.1L);
        s.Space.SetHeight(1000.0L / 3);
        s.Space.SetColor(0x123456);

        Line = s.CreateObstacle(TObstacle::kLine, 10.5L, 20, 50, 20.25L);
        Circle = s.CreateObstacle(TObstacle::kCircle, 100, 100, 130, 130);
        Circle->Reserved = -7;
        s.CreateObstacle(7, 0, 0, 1, 1);

        Late = s.NewTrigger();
        Late->SetName("Late\nline");
        Late->SetSecond(2);
        Late->SetFrame(5);
        Late->SetChangeBehaviours(true);
        Late->SetReservedFlag(true);
        Late->SetReservedByte(200);
        TVariantExtended maxSpeed;
        maxSpeed.SetBaseValue(1.0L / 3);
        maxSpeed.SetDifference(20);
        maxSpeed.SetSignMode(vtplusminus);
        Late->Template.SetMaxSpeedVariantValue(maxSpeed);
        auto avoid = Behaviour(bkObstacleAvoidance);
        avoid->Obstacles = {Circle, Line};
        avoid->SetStoppingRadius(std::numeric_limits<Extended>::infinity());
        Late->Template.Behaviours->push_back(std::move(avoid));

        Early = s.NewTrigger();
        Early->SetSecond(0);
        auto moth = Behaviour(bkMothFlee);
        moth->SetAngle(std::numeric_limits<Extended>::quiet_NaN());
        Early->Template.Behaviours->push_back(std::move(moth));

        Prey = s.NewGroup();
        Prey->SetName("Pr\xE4y"); // Latin-1, not UTF-8
        Prey->SetColor(0xFF00FF);
        Prey->Template.Triggers = {Late};
        Prey->Template.SetCombinationMethod(cmWeightFactors);
        auto cohesion = Behaviour(bkCohesion);
        cohesion->SetWeight(3);
        cohesion->SetPriority(7);
        cohesion->SetSensorRangeOn(true);
        cohesion->SetAngleOn(true);
        cohesion->SetAngle(0.1L);
        cohesion->SetSensorRange(1.0L / 3);
        Prey->Template.Behaviours->push_back(std::move(cohesion));
        TBug* first = s.CreateBug(*Prey, Vector(0.1L, 1.0L / 3));
        TBug* second = s.CreateBug(*Prey, Vector(5, 6));
        first->Triggers = {Early, Late};
        first->SetMass(0.1L);
        first->SetOrientation(1.0L / 3);
        first->StoreStartValues();

        Hunters = s.NewGroup();
        Hunters->Template.SetName("Hunter");
        TBug* hunter = s.CreateBug(*Hunters, Vector(300, 200));
        auto seek = Behaviour(bkSeek);
        seek->SetTargetIsBug(true);
        seek->SetTargetBug(second);
        hunter->Behaviours->push_back(std::move(seek));
        auto formerSeek = Behaviour(bkArrival);
        formerSeek->StoredTargetId = first->Id; // followed once, now aims at its point
        formerSeek->SetTargetPoint(Vector(-1, 2.5L));
        hunter->Behaviours->push_back(std::move(formerSeek));
        // A reference forwards, to a member of a later group.
        auto flee = Behaviour(bkFlee);
        flee->SetTargetIsBug(true);
        flee->SetTargetBug(hunter);
        first->Behaviours->push_back(std::move(flee));

        for (int frame = 0; frame < 3; ++frame)
            s.StepFrame();
    }
};

const TSceneJson& Member(const TSceneJson& scene, std::size_t group, std::size_t member) {
    return scene["groups"][group]["members"][member];
}

TEST(SceneJson, BuildOfTheDumpGivesTheSameFileBackForARichSimulation) {
    RichSimulation rich;
    const Bytes original = FileBytes(*rich.Simulation);
    const auto loaded = LoadBytes(original);

    const std::string text = WriteSceneText(DumpSimulation(*loaded));
    const auto built = BuildLoadable(text);

    EXPECT_EQ(FileBytes(*built), original);
    EXPECT_EQ(WriteSceneText(DumpSimulation(*built)), text);
}

TEST(SceneJson, DumpShowsIdsAndReferencesOfTheResolvedObjects) {
    RichSimulation rich;
    const auto loaded = LoadBytes(FileBytes(*rich.Simulation));
    const TSceneJson scene = DumpSimulation(*loaded);

    const TBug& first = *loaded->Groups[0]->Members[0];
    const TBug& second = *loaded->Groups[0]->Members[1];
    const TBug& hunter = *loaded->Groups[1]->Members[0];
    EXPECT_EQ(scene["settings"]["id"], loaded->Id);
    EXPECT_EQ(scene["triggers"][0]["id"], rich.Late->Id);
    EXPECT_EQ(Member(scene, 0, 0)["id"], first.Id);
    EXPECT_EQ(Member(scene, 0, 0)["shape"]["id"], first.Shape.Id);
    EXPECT_EQ(Member(scene, 0, 0)["triggers"], TSceneJson::array({rich.Early->Id, rich.Late->Id}));
    EXPECT_EQ(scene["groups"][0]["template"]["triggers"], TSceneJson::array({rich.Late->Id}));
    EXPECT_EQ(scene["triggers"][0]["template"]["behaviours"][0]["obstacleIds"],
              TSceneJson::array({rich.Circle->Id, rich.Line->Id}));

    const TSceneJson& hunterBehaviours = Member(scene, 1, 0)["behaviours"];
    EXPECT_EQ(hunterBehaviours[0]["targetIsBug"], true);
    EXPECT_EQ(hunterBehaviours[0]["targetBugId"], second.Id);
    // No longer followed: the Id written in the file stays.
    EXPECT_EQ(hunterBehaviours[1]["targetIsBug"], false);
    EXPECT_EQ(hunterBehaviours[1]["targetBugId"], first.Id);
    EXPECT_EQ(Member(scene, 0, 0)["behaviours"][1]["targetBugId"], hunter.Id);
}

TEST(SceneJson, ValuesKeepEveryBitAndReadableForms) {
    RichSimulation rich;
    const auto loaded = LoadBytes(FileBytes(*rich.Simulation));
    const TSceneJson scene = ParseSceneText(WriteSceneText(DumpSimulation(*loaded)));

    const TSceneJson& settings = scene["settings"];
    EXPECT_EQ(settings["name"], "Scene \"one\"");
    EXPECT_EQ(settings["fps"], 30);
    EXPECT_EQ(settings["loop"], true);
    EXPECT_EQ(scene["space"]["color"], 0x123456);
    EXPECT_TRUE(SameBits(scene["space"]["width"].get<long double>(), 400.1L));
    EXPECT_TRUE(SameBits(scene["space"]["height"].get<long double>(), 1000.0L / 3));
    EXPECT_EQ(scene["triggers"][0]["name"], "Late\nline");
    EXPECT_EQ(scene["groups"][0]["name"], TSceneJson({{"bytes", "5072e479"}}));

    const TSceneJson& maxSpeed = scene["triggers"][0]["template"]["maxSpeed"];
    EXPECT_TRUE(SameBits(maxSpeed["base"].get<long double>(), 1.0L / 3));
    EXPECT_EQ(maxSpeed["difference"], 20);
    EXPECT_EQ(maxSpeed["signMode"], 2);
    EXPECT_EQ(maxSpeed["apply"], true);
    EXPECT_EQ(scene["triggers"][0]["template"]["mass"]["apply"], false);
    EXPECT_EQ(scene["triggers"][0]["template"]["behaviours"][0]["stoppingRadius"], "inf");
    EXPECT_EQ(scene["triggers"][1]["template"]["behaviours"][0]["angle"], "nan");
    EXPECT_EQ(scene["obstacles"][2]["kind"], 7);

    const TBug& first = *loaded->Groups[0]->Members[0];
    const TSceneJson& member = Member(scene, 0, 0);
    EXPECT_TRUE(SameBits(member["mass"].get<long double>(), 0.1L));
    EXPECT_TRUE(SameBits(member["orientation"].get<long double>(), first.Orientation()));
    EXPECT_TRUE(SameBits(member["velocity"][1].get<long double>(), first.Velocity[1]));
    EXPECT_TRUE(SameBits(member["position"][1].get<long double>(), 1.0L / 3));
    EXPECT_TRUE(SameBits(member["steeringForce"][0].get<long double>(), first.SteeringForce[0]));
    EXPECT_NE(member["steeringForce"], TSceneJson::array({0, 0}));
}

TEST(SceneJson, DumpOfARunningSimulationShowsItsCurrentState) {
    RichSimulation rich;
    TSimulation& s = *rich.Simulation;
    const TBug& first = *s.Groups[0]->Members[0];
    const TSceneJson scene = DumpSimulation(s);

    EXPECT_EQ(scene["settings"]["currentFrame"], 3);
    EXPECT_TRUE(SameBits(Member(scene, 0, 0)["position"][0].get<long double>(), first.Position[0]));
    EXPECT_NE(Member(scene, 0, 0)["position"], Member(scene, 0, 0)["startPosition"]);
    EXPECT_EQ(s.CurrentFrame, 3U) << "dumping must not rewind";
}

TEST(SceneJson, AnEmptySceneIsTheFileOfAFreshProgram) {
    // The simulation of a freshly started program with every default, Id 1.
    const Bytes expected = {0x06, 0x08, 0x4B, 0x4F, 0x56, 0x41, 0x2D, 0x56, 0x31, 0x30, 0x06, 0x00,
                            0x02, 0x01, 0x02, 0x19, 0x02, 0x01, 0x02, 0x28, 0x02, 0x0A, 0x02, 0x00,
                            0x02, 0x00, 0x02, 0x00, 0x08, 0x08, 0x02, 0x00, 0x02, 0x00, 0x02, 0x00,
                            0x06, 0x00, 0x02, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                            0xC8, 0x07, 0x40, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x96,
                            0x07, 0x40, 0x04, 0xBF, 0xD7, 0xBF, 0x00};
    const auto built = BuildLoadable("{}");
    EXPECT_EQ(FileBytes(*built), expected);
}

TEST(SceneJson, LeftOutFieldsTakeTheValuesOfNewObjects) {
    const auto built = BuildLoadable(R"({
        "triggers": [{"id": 5, "template": {"maxSpeed": 40}}],
        "groups": [{"template": {"triggers": [5], "behaviours": [{"kind": "Arrival"}]},
                    "members": [[10, 20], {"position": [30, 40], "orientation": 90}]}],
        "obstacles": [{"kind": "line", "p2": [8, 0]}, {}]})");
    const TSimulation& s = *built;

    const TTrigger& trigger = *s.Triggers[0];
    EXPECT_EQ(trigger.Name, "Trigger_0");
    EXPECT_EQ(trigger.Second, 1);
    EXPECT_FALSE(trigger.ChangeBehaviours);
    EXPECT_EQ(trigger.Template.MaxSpeedVariantValue.BaseValue, 40);
    EXPECT_TRUE(trigger.Template.MaxSpeedVariantValue.Apply);
    EXPECT_FALSE(trigger.Template.MassVariantValue.Apply) << "a new trigger ticks nothing";
    EXPECT_EQ(trigger.Template.MassVariantValue.BaseValue, 10);

    ASSERT_EQ(s.Groups.size(), 1U);
    const TBugGroup& group = *s.Groups[0];
    EXPECT_EQ(group.Name, "Group_0");
    EXPECT_EQ(group.Color, 255U);
    ASSERT_EQ(group.Members.size(), 2U);
    const TBug& placed = *group.Members[0];
    EXPECT_EQ(placed.Name, "Member_0");
    EXPECT_EQ(placed.Position, Vector(10, 20));
    EXPECT_EQ(placed.Mass, 10);
    EXPECT_EQ(placed.MaxSpeed, 80);
    EXPECT_EQ(placed.MinSpeed, 1);
    EXPECT_EQ(placed.MaxForce, 30);
    EXPECT_EQ(placed.Shape.Size, Vector(5, 5));
    EXPECT_EQ(placed.Velocity, Vector(10, 0));
    EXPECT_EQ(placed.Triggers, std::vector<TTrigger*>{s.Triggers[0].get()});
    ASSERT_EQ(placed.Behaviours->size(), 1U);
    const TSteeringBehaviour& arrival = *placed.Behaviours->front();
    EXPECT_EQ(arrival.Name, "Arrival");
    EXPECT_EQ(arrival.StoppingRadius, 100);
    EXPECT_EQ(arrival.SensorRange, 100);
    EXPECT_NE(&arrival, group.Template.Behaviours->front().get()) << "members get copies";

    const TBug& turned = *group.Members[1];
    EXPECT_EQ(turned.Name, "Member_1");
    EXPECT_EQ(turned.Orientation(), 90);
    EXPECT_NEAR(static_cast<double>(turned.Velocity[0]), 0, 1e-12);
    EXPECT_NEAR(static_cast<double>(turned.Velocity[1]), 10, 1e-12);
    EXPECT_EQ(turned.StartPosition, Vector(30, 40));

    ASSERT_EQ(s.Obstacles.size(), 2U);
    EXPECT_EQ(s.Obstacles[0]->Name, "Obstacle_0_Line");
    EXPECT_EQ(s.Obstacles[0]->Centre, Vector(4, 0));
    EXPECT_EQ(s.Obstacles[0]->Radius, 4);
    EXPECT_EQ(s.Obstacles[0]->Shape.Kind, 1);
    EXPECT_EQ(s.Obstacles[1]->Name, "Obstacle_1_Circle");
    EXPECT_EQ(s.Obstacles[1]->Shape.Kind, 2);
}

TEST(SceneJson, ObjectsWithoutIdsAreNumberedAboveTheScenesIds) {
    const auto built =
        BuildLoadable(R"({"groups": [{"members": [{"id": 40, "position": [1, 1]}, [2, 2]]}]})");
    const TBugGroup& group = *built->Groups[0];
    EXPECT_EQ(built->Id, 41);
    EXPECT_EQ(group.Members[0]->Id, 40);
    EXPECT_GT(group.Members[1]->Id, 40);
    EXPECT_GT(group.Members[1]->Shape.Id, 40);
    EXPECT_GT(group.Template.Id, 40);
}

TEST(SceneJson, TheSameSceneAlwaysBuildsTheSameFile) {
    const std::string scene = R"({"randomSeed": 99, "groups": [{"template": {
        "mass": {"base": 10, "difference": 50, "signMode": "+-"},
        "orientation": {"base": 180, "difference": 100, "signMode": "+-"}},
        "members": [[1, 1], [2, 2], [3, 3]]}]})";
    const Bytes first = FileBytes(*BuildLoadable(scene));
    TSimulation unrelated; // moves the shared Id counter and the generator
    unrelated.NewGroup();
    Random(7);
    const std::int32_t counter = IdCounter();
    const std::uint32_t seed = RandSeed();
    const Bytes second = FileBytes(*BuildSimulation(ParseSceneText(scene)));
    EXPECT_EQ(first, second);
    EXPECT_GE(IdCounter(), counter) << "the counter never goes back";
    EXPECT_EQ(RandSeed(), seed) << "the generator is put back";

    // Members drew different values from the seeded generator.
    const auto built = BuildLoadable(scene);
    const auto& members = built->Groups[0]->Members;
    EXPECT_FALSE(members[0]->Mass == members[1]->Mass && members[1]->Mass == members[2]->Mass);
}

TEST(SceneJson, RandomMembersLieInTheirRectangleAndFollowTheSeed) {
    const auto scene = [](int seed) {
        return R"({"randomSeed": )" + std::to_string(seed) + R"(, "groups": [{
            "template": {"name": "B", "mass": {"base": 10, "difference": 50}},
            "members": [[1, 1]],
            "randomMembers": {"rectangle": [10, 20, 30, 25], "count": 50}}]})";
    };
    const auto built = BuildLoadable(scene(5));
    const auto& members = built->Groups[0]->Members;
    ASSERT_EQ(members.size(), 51u);
    EXPECT_EQ(members[50]->Name, "B_50");
    std::set<Extended> xs;
    for (std::size_t i = 1; i < members.size(); ++i) {
        const Vector& p = members[i]->Position;
        EXPECT_TRUE(p[0] >= 10 && p[0] < 30 && p[1] >= 20 && p[1] < 25) << i;
        xs.insert(p[0]);
    }
    EXPECT_GT(xs.size(), 45u) << "positions are spread, not repeated";
    EXPECT_EQ(FileBytes(*BuildLoadable(scene(5))), FileBytes(*built));
    const auto other = BuildLoadable(scene(6));
    EXPECT_NE(other->Groups[0]->Members[1]->Position[0], members[1]->Position[0]);
    EXPECT_NE(other->Groups[0]->Members[1]->Mass, members[1]->Mass);
}

TEST(SceneJson, ReferencesMayPointForwardsAndAcrossGroups) {
    const auto built = BuildLoadable(R"({
        "triggers": [{"id": 1, "template": {"triggers": [2]}}, {"id": 2}],
        "groups": [
          {"template": {"behaviours": [{"kind": "Flee", "targetIsBug": true, "targetBugId": 9,
                                        "obstacleIds": [7, 7]}]},
           "members": [[1, 1], [2, 2]]},
          {"members": [{"id": 9, "position": [5, 5]}]}],
        "obstacles": [{"id": 7, "p2": [2, 2]}]})");
    const TSimulation& s = *built;
    const TBug* target = s.Groups[1]->Members[0].get();
    TObstacle* obstacle = s.Obstacles[0].get();
    EXPECT_EQ(s.Triggers[0]->Template.Triggers, std::vector<TTrigger*>{s.Triggers[1].get()});
    for (const auto& member : s.Groups[0]->Members) {
        const TSteeringBehaviour& flee = *member->Behaviours->front();
        EXPECT_TRUE(flee.TargetIsBug);
        EXPECT_EQ(flee.TargetBug, target);
        EXPECT_EQ(flee.StoredTargetId, 0);
        EXPECT_EQ(flee.Obstacles, (std::vector<TObstacle*>{obstacle, obstacle}));
    }
    EXPECT_EQ(s.Groups[0]->Template.Behaviours->front()->TargetBug, target);
}

TEST(SceneJson, CommentsChangeNothing) {
    const std::string plain = R"({"groups": [{"name": {"bytes": "41"},
        "template": {"mass": 3, "behaviours": [{"kind": "Flee"}]},
        "members": [{"id": 4, "position": [1, 1]}, [2, 2]]}]})";
    // The same scene with comments in many places: an Id or a name in a
    // comment is no Id or name.
    const char* const commented[] = {
        R"({"_": {"id": 1000}, "groups": [{"name": {"bytes": "41"},
            "template": {"mass": 3, "behaviours": [{"kind": "Flee"}]},
            "members": [{"id": 4, "position": [1, 1]}, [2, 2]]}]})",
        R"({"groups": [{"name": {"bytes": "41", "_hex": "A"}, "_id": 99,
            "template": {"mass": {"base": 3, "apply": true, "_": [{"id": 500}]},
                         "behaviours": [{"kind": "Flee", "_comment": {"id": 77}}]},
            "members": [{"id": 4, "position": [1, 1], "_old": {"id": 2147483647}}, [2, 2]]}]})",
    };
    const Bytes expected = FileBytes(*BuildLoadable(plain));
    for (const char* scene : commented) {
        SCOPED_TRACE(scene);
        EXPECT_EQ(FileBytes(*BuildLoadable(scene)), expected);
    }
}

} // namespace
} // namespace kova::test
