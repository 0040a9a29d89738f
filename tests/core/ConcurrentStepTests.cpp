// Stepping a group on several threads must give exactly the bits of stepping
// it on one, whatever the number of threads: every frame of the examples and
// of a large flock mixed with members that read members anywhere.

#include "SimulationFileTestSupport.h"
#include "SteeringTestSupport.h"

#include "foundations/Random.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationFile.h"
#include "simulation/Workloads.h"
#include "steering/SteeringBehaviour.h"
#include "world/Trigger.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace kova {
namespace {

using TBuild = std::function<void(TSimulation&)>;

struct TRun {
    std::vector<std::uint64_t> FrameDigests;
    TConcurrency Concurrency;
};

TRun runOn(unsigned threads, const TBuild& build, int frames) {
    TSimulation simulation;
    build(simulation);
    simulation.SetThreads(threads);
    // Small groups too, so that the examples are stepped concurrently.
    simulation.Stepper().SetLeastMembersPerThread(1);
    // Triggers draw from the shared generator.
    SetRandSeed(5);
    simulation.BeginRun();
    TRun run;
    for (int frame = 0; frame < frames; ++frame) {
        simulation.StepFrame();
        run.FrameDigests.push_back(StateDigest(simulation));
    }
    run.Concurrency = simulation.Stepper().Concurrency();
    return run;
}

// Returns how many group frames each count stepped concurrently.
std::vector<std::uint64_t> expectSameOnEveryThreadCount(const TBuild& build, int frames) {
    const TRun reference = runOn(1, build, frames);
    std::vector<std::uint64_t> concurrentFrames;
    for (const unsigned threads : {2u, 3u, 8u}) {
        SCOPED_TRACE(testing::Message() << threads << " threads");
        const TRun run = runOn(threads, build, frames);
        concurrentFrames.push_back(run.Concurrency.ConcurrentGroupFrames);
        EXPECT_EQ(run.FrameDigests.size(), reference.FrameDigests.size());
        for (std::size_t frame = 0; frame < run.FrameDigests.size(); ++frame)
            if (run.FrameDigests[frame] != reference.FrameDigests[frame]) {
                ADD_FAILURE() << "first difference after frame " << frame;
                break;
            }
    }
    return concurrentFrames;
}

TEST(ConcurrentSteps, ExamplesGiveTheSameBitsOnAnyNumberOfThreads) {
    const auto files = test::ExampleFiles();
    ASSERT_FALSE(files.empty());
    std::uint64_t concurrentFrames = 0;
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        for (const std::uint64_t frames : expectSameOnEveryThreadCount(
                 [&](TSimulation& simulation) { OpenSimulationFile(simulation, file.string()); },
                 150))
            concurrentFrames += frames;
    }
    // The triggers example perceives its whole group and steps in order.
    EXPECT_GT(concurrentFrames, 150u * 3 * (files.size() - 1));
}

#ifdef NDEBUG
constexpr int kFlockFrames = 30;
#else
// Unoptimised and sanitizer builds step far more slowly.
constexpr int kFlockFrames = 8;
#endif

// A trigger due in the given frame that lends its members a list fleeing the
// bug.
TTrigger* addFleeingTrigger(TSimulation& simulation, std::int32_t frame, TBug& from) {
    TTrigger* trigger = simulation.NewTrigger();
    trigger->Second = 0;
    trigger->Frame = frame;
    trigger->ChangeBehaviours = true;
    auto flee = std::make_unique<TSteeringBehaviour>(bkFlee);
    flee->TargetIsBug = true;
    flee->TargetBug = &from;
    trigger->Template.Behaviours->push_back(std::move(flee));
    return trigger;
}

// Members that read members anywhere. A trigger due in the third frame draws
// new speed caps and headings for every 97th member, which then steps
// exclusively; it also lends them a list that flees the first member, which
// keeps them exclusive, as they all write into the shared list. Another,
// due in the fifth frame, lends every 89th member a list that flees the bug of
// a second group. A few others seek a member before or after them in the
// list, near them or far away.
void addFarReaders(TSimulation& simulation) {
    const auto& members = simulation.Groups[0]->Members;
    TTrigger* drawing = addFleeingTrigger(simulation, 2, *members[0]);
    drawing->Template.MaxSpeedVariantValue.Apply = true;
    drawing->Template.MaxSpeedVariantValue.BaseValue = 60;
    drawing->Template.MaxSpeedVariantValue.Difference = 50;
    drawing->Template.OrientationVariantValue.Apply = true;
    drawing->Template.OrientationVariantValue.BaseValue = 180;
    drawing->Template.OrientationVariantValue.Difference = 180;
    TBugGroup& others = *simulation.NewGroup();
    TTrigger* lending = addFleeingTrigger(
        simulation, 4, *simulation.CreateBug(others, Vector(simulation.Space.Width / 2, 0)));
    for (std::size_t i = 0; i < members.size(); ++i) {
        if (i % 97 == 0)
            members[i]->Triggers.push_back(drawing);
        if (i % 89 == 3)
            members[i]->Triggers.push_back(lending);
        if (i % 211 == 5) {
            // The first member, one far later, or one just before or after.
            const std::size_t targets[] = {0, members.size() - 1 - i / 2, i + 3, i - 3};
            TSteeringBehaviour& seek = test::AddBehaviour(*members[i], bkSeek);
            seek.TargetIsBug = true;
            seek.TargetBug = members[targets[i % 4]].get();
        }
    }
}

// A flock of 20,000 with far readers; besides, one has no speed cap,
// one no sensor range; others sit on the arena's edges and corners and wrap
// round them, and some avoid obstacles.
void buildMixedFlock(TSimulation& simulation) {
    TWorkloadOptions options;
    options.Bugs = 20000;
    BuildFlockWorkload(simulation, options);
    addFarReaders(simulation);
    TObstacle* wall = simulation.CreateObstacle(TObstacle::kLine, 100, 100, 300, 120);
    const auto& members = simulation.Groups[0]->Members;
    const Extended width = simulation.Space.Width;
    const Extended height = simulation.Space.Height;
    for (std::size_t i = 0; i < members.size(); ++i) {
        TBug& bug = *members[i];
        if (i % 50 == 7)
            test::AddBehaviour(bug, bkObstacleAvoidance).Obstacles.push_back(wall);
        if (i % 53 == 1) {
            const Extended x = i % 2 == 0 ? 0 : width;
            const Extended y = i % 3 == 0 ? height : (i % 3 == 1 ? 0 : bug.Position[1]);
            bug.Position = Vector(x, y);
        }
    }
    members[1000]->MaxSpeed = -5;
    (*members[2000]->Behaviours)[0]->SensorRangeOn = false;
}

TEST(ConcurrentSteps, MixedFlockGivesTheSameBitsOnAnyNumberOfThreads) {
    InitVectors(2);
    for (const std::uint64_t frames : expectSameOnEveryThreadCount(buildMixedFlock, kFlockFrames))
        EXPECT_EQ(frames, static_cast<std::uint64_t>(kFlockFrames));
}

// Members that read no other member (they only avoid obstacles) step in runs
// of the list, around the far readers.
void buildAvoiders(TSimulation& simulation) {
    TWorkloadOptions options;
    options.Bugs = 20000;
    options.Obstacles = 200;
    BuildObstacleWorkload(simulation, options);
    addFarReaders(simulation);
}

TEST(ConcurrentSteps, MembersThatReadNoOtherMemberGiveTheSameBitsOnAnyNumberOfThreads) {
    InitVectors(2);
    for (const std::uint64_t frames : expectSameOnEveryThreadCount(buildAvoiders, kFlockFrames))
        EXPECT_EQ(frames, static_cast<std::uint64_t>(kFlockFrames));
}

TEST(ConcurrentSteps, AGroupSteppedOnOneThreadIsTriedAgainWithinSixteenFrames) {
    InitVectors(2);
    TSimulation simulation;
    TWorkloadOptions options;
    options.Bugs = 4000;
    BuildFlockWorkload(simulation, options);
    simulation.SetThreads(2);
    simulation.Stepper().SetLeastMembersPerThread(1);
    // Every fifth member without a speed cap steps exclusively: too many.
    const auto& members = simulation.Groups[0]->Members;
    const Extended cap = members[0]->MaxSpeed;
    for (std::size_t i = 0; i < members.size(); i += 5)
        members[i]->MaxSpeed = -1;
    simulation.BeginRun();
    for (int frame = 0; frame < 40; ++frame)
        simulation.StepFrame();
    EXPECT_EQ(simulation.Stepper().Concurrency().ConcurrentGroupFrames, 0u);
    for (std::size_t i = 0; i < members.size(); i += 5)
        members[i]->MaxSpeed = cap;
    for (int frame = 0; frame < 17; ++frame)
        simulation.StepFrame();
    EXPECT_GT(simulation.Stepper().Concurrency().ConcurrentGroupFrames, 0u);
}

} // namespace
} // namespace kova
