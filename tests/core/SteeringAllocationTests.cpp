#include "AllocationCounter.h"
#include "SteeringTestSupport.h"
#include "simulation/Simulation.h"
#include "simulation/Workloads.h"

#include <gtest/gtest.h>

namespace kova {
namespace {

using test::AddBehaviour;
using test::SteeringScene;

// Steering runs for every bug every frame; once its scratch memory exists it
// must not touch the heap.
TEST(SteeringAllocation, EvaluatingEveryKindAllocatesNothingOnceWarm) {
    SteeringScene scene;
    for (int i = 0; i < 30; ++i)
        scene.AddBug({i * 1.5L, i % 4 * 2.0L}, {1, 0.25L * i}, 5);
    TBug& bug = *scene.Group.Members[10];
    TObstacle line(nullptr, TObstacle::kLine, 30, -50, 30, 50);
    TObstacle circle(nullptr, TObstacle::kCircle, 20, 0, 24, 4);
    for (std::uint8_t kind = 0; kind < kBehaviourKindCount; ++kind) {
        TSteeringBehaviour& behaviour = AddBehaviour(bug, kind);
        behaviour.SetTargetPoint({40, 10});
        behaviour.SetSensorRangeOn(kind % 2 == 0);
        behaviour.SetAngleOn(kind % 3 == 0);
        behaviour.Obstacles = {&line, &circle};
    }
    const TFrameContext frame;
    Vector first = CombineSteering(bug, frame);
    std::size_t allocations = 0;
    Vector last;
    {
        test::AllocationScope scope;
        for (int i = 0; i < 100; ++i)
            last = CombineSteering(bug, frame);
        allocations = scope.Count();
    }
    EXPECT_EQ(allocations, 0u);
    EXPECT_EQ(last, first);
    EXPECT_FALSE(VecIsZero(first));
}

// Frames of a flock through the spatial index: the grid's cells keep their
// memory from frame to frame, so once they have grown a frame needs no heap.
TEST(SteeringAllocation, IndexedFramesOfAFlockAllocateAlmostNothingOnceWarm) {
    TSimulation simulation;
    TWorkloadOptions options;
    options.Bugs = 1000;
    BuildFlockWorkload(simulation, options);
    simulation.BeginRun();
    for (int frame = 0; frame < 30; ++frame)
        simulation.StepFrame();
    std::size_t allocations = 0;
    {
        test::AllocationScope scope;
        for (int frame = 0; frame < 10; ++frame)
            simulation.StepFrame();
        allocations = scope.Count();
    }
    // A cell that receives more members than it ever held grows once; every
    // other bug-step of the 10,000 allocates nothing.
    EXPECT_LT(allocations, 100u);
}

} // namespace
} // namespace kova
