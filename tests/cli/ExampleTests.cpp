#include "CliTestSupport.h"
#include "steering/SteeringBehaviour.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace kova::test {
namespace {

std::unique_ptr<TSimulation> OpenExample(const std::string& name) {
    auto simulation = std::make_unique<TSimulation>();
    OpenSimulationFile(*simulation, ExamplePath(name + ".kvz"));
    return simulation;
}

// Runs the frames and returns every bug's position, velocity, heading and
// speed as they then stand.
std::vector<Extended> RunAndCollect(TSimulation& simulation, int frames) {
    simulation.BeginRun();
    for (int frame = 0; frame < frames; ++frame)
        simulation.StepFrame();
    simulation.Pause();
    std::vector<Extended> values;
    for (const auto& group : simulation.Groups)
        for (const auto& bug : group->Members)
            for (const Extended v : {bug->Position[0], bug->Position[1], bug->Velocity[0],
                                     bug->Velocity[1], bug->Orientation(), bug->CurrentSpeed})
                values.push_back(v);
    return values;
}

bool SameBits(const std::vector<Extended>& a, const std::vector<Extended>& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](Extended x, Extended y) {
               return EncodeExtended(x) == EncodeExtended(y);
           });
}

// FNV-1a over the ten file bytes of every value.
std::uint64_t Fingerprint(const std::vector<Extended>& values) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const Extended v : values)
        for (const std::uint8_t byte : EncodeExtended(v))
            hash = (hash ^ byte) * 1099511628211ULL;
    return hash;
}

// Fingerprints of every bug's state after 30 simulated seconds. A change that
// moves any example bug by one bit changes them: it must be meant, and its
// commit must say why, before the values here are replaced.
const std::map<std::string, std::uint64_t> kFingerprintsAfter30s = {
    {"flock", 0xa0b4af88a52a7a6dULL},
    {"predator-prey", 0xa70e4f9a9a9592ddULL},
    {"obstacle-course", 0xfdf20991c020bb0cULL},
    {"triggers", 0xe9faf380d1221f3cULL},
};

TEST(Examples, RunThirtySecondsWithFiniteValuesInsideTheArenaAndRepeatably) {
    for (const std::string& name : ExampleNames()) {
        SCOPED_TRACE(name);
        const auto simulation = OpenExample(name);
        const int fps = simulation->FPS;
        const std::vector<Extended> early = RunAndCollect(*simulation, 5 * fps);
        const std::vector<Extended> values = RunAndCollect(*simulation, 25 * fps);
        ASSERT_FALSE(values.empty());
        for (const Extended v : values)
            ASSERT_TRUE(std::isfinite(v));
        for (const auto& group : simulation->Groups)
            for (const auto& bug : group->Members) {
                EXPECT_GE(bug->Position[0], 0);
                EXPECT_LE(bug->Position[0], simulation->Space.Width);
                EXPECT_GE(bug->Position[1], 0);
                EXPECT_LE(bug->Position[1], simulation->Space.Height);
                EXPECT_LE(bug->CurrentSpeed, std::max(bug->MaxSpeed, bug->MinSpeed) * 1.000001L);
            }
        EXPECT_EQ(Fingerprint(values), kFingerprintsAfter30s.at(name))
            << std::hex << "0x" << Fingerprint(values);
        // A second load runs the same course bit for bit.
        const auto again = OpenExample(name);
        EXPECT_TRUE(SameBits(RunAndCollect(*again, 5 * fps), early));
    }
}

bool HasRangedBehaviour(const TBehaviourList& list, std::uint8_t kind) {
    for (const auto& b : list)
        if (b->Kind == kind && b->SensorRangeOn && b->AngleOn)
            return true;
    return false;
}

TEST(Examples, FlockIsOneLargeGroupWithTheThreeGroupBehaviours) {
    const auto simulation = OpenExample("flock");
    ASSERT_EQ(simulation->Groups.size(), 1U);
    const TBugGroup& flock = *simulation->Groups[0];
    EXPECT_GE(flock.Members.size(), 150U);
    for (const auto& member : flock.Members)
        for (const std::uint8_t kind : {bkCohesion, bkAlignment, bkSeparation})
            ASSERT_TRUE(HasRangedBehaviour(*member->Behaviours, kind)) << int(kind);
}

TEST(Examples, PredatorsSeekPreyThatFleeFromThem) {
    const auto simulation = OpenExample("predator-prey");
    ASSERT_EQ(simulation->Groups.size(), 2U);
    const TBugGroup& prey = *simulation->Groups[0];
    const TBugGroup& predators = *simulation->Groups[1];
    for (const auto& predator : predators.Members) {
        const TSteeringBehaviour& seek = *predator->Behaviours->front();
        EXPECT_EQ(seek.Kind, bkSeek);
        ASSERT_NE(seek.TargetBug, nullptr);
        EXPECT_EQ(seek.TargetBug->Group, &prey);
    }
    for (const auto& member : prey.Members) {
        std::size_t fleeing = 0;
        for (const auto& b : *member->Behaviours)
            if (b->Kind == bkFlee && b->TargetBug != nullptr && b->TargetBug->Group == &predators)
                ++fleeing;
        EXPECT_EQ(fleeing, predators.Members.size());
    }
}

TEST(Examples, ObstacleCourseAvoidsItsLinesAndCircles) {
    const auto simulation = OpenExample("obstacle-course");
    std::size_t lines = 0;
    for (const auto& obstacle : simulation->Obstacles)
        lines += obstacle->Kind == TObstacle::kLine ? 1 : 0;
    EXPECT_GT(lines, 0U);
    EXPECT_LT(lines, simulation->Obstacles.size());
    for (const auto& member : simulation->Groups.at(0)->Members) {
        const TSteeringBehaviour& avoid = *member->Behaviours->front();
        EXPECT_EQ(avoid.Kind, bkObstacleAvoidance);
        EXPECT_EQ(avoid.Obstacles.size(), simulation->Obstacles.size());
    }
}

TEST(Examples, TriggerChangesBehavioursAndSpeedAtThreeSeconds) {
    const auto simulation = OpenExample("triggers");
    const TTrigger& trigger = *simulation->Triggers.at(0);
    EXPECT_EQ(trigger.Second, 3);
    EXPECT_EQ(trigger.Frame, 0);
    const TBug& bee = *simulation->Groups.at(0)->Members.at(0);
    simulation->BeginRun();
    for (int frame = 0; frame < 3 * simulation->FPS; ++frame)
        simulation->StepFrame();
    EXPECT_EQ(bee.Behaviours, bee.OwnBehaviours()) << "nothing changes before 3:0";
    EXPECT_LE(bee.MaxSpeed, 15);
    simulation->StepFrame();
    EXPECT_EQ(bee.Behaviours, trigger.Template.Behaviours);
    EXPECT_EQ(bee.MaxSpeed, trigger.Template.MaxSpeedVariantValue.BaseValue);
    EXPECT_GT(bee.CurrentSpeed, 15);
}

} // namespace
} // namespace kova::test
