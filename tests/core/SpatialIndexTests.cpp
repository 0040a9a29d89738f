// The spatial indexes only narrow the searches of the group behaviours and of
// obstacle avoidance: stepping with and without them must give the same bits.

#include "simulation/Simulation.h"
#include "simulation/Workloads.h"
#include "steering/SteeringBehaviour.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kova {
namespace {

#ifdef NDEBUG
constexpr int kFlockBugs = 2000;
constexpr int kFlockFrames = 300;
#else
// Unoptimised and sanitizer builds walk the reference path far more slowly.
constexpr int kFlockBugs = 600;
constexpr int kFlockFrames = 60;
#endif

bool sameBits(Extended a, Extended b) {
    return std::memcmp(&a, &b, 10) == 0;
}

bool sameBits(const Vector& a, const Vector& b) {
    return sameBits(a[0], b[0]) && sameBits(a[1], b[1]);
}

// Steps both simulations frame by frame and stops at the first bug whose
// position, velocity or steering force differs.
void expectIdenticalRuns(TSimulation& indexed, TSimulation& direct, int frames) {
    ASSERT_EQ(indexed.Groups.size(), direct.Groups.size());
    indexed.BeginRun();
    direct.BeginRun();
    for (int frame = 0; frame < frames; ++frame) {
        indexed.StepFrame();
        direct.StepFrame();
        for (std::size_t g = 0; g < indexed.Groups.size(); ++g) {
            const auto& a = indexed.Groups[g]->Members;
            const auto& b = direct.Groups[g]->Members;
            ASSERT_EQ(a.size(), b.size());
            for (std::size_t i = 0; i < a.size(); ++i) {
                const bool same = sameBits(a[i]->Position, b[i]->Position) &&
                                  sameBits(a[i]->Velocity, b[i]->Velocity) &&
                                  sameBits(a[i]->SteeringForce, b[i]->SteeringForce);
                ASSERT_TRUE(same) << "frame " << frame << ", bug " << i << ": ("
                                  << static_cast<double>(a[i]->Position[0]) << ", "
                                  << static_cast<double>(a[i]->Position[1]) << ") against ("
                                  << static_cast<double>(b[i]->Position[0]) << ", "
                                  << static_cast<double>(b[i]->Position[1]) << ")";
            }
        }
    }
}

void setSensing(TSimulation& simulation, bool rangeOn, bool angleOn) {
    for (const auto& group : simulation.Groups)
        for (const auto& member : group->Members)
            for (const auto& behaviour : *member->Behaviours) {
                behaviour->SensorRangeOn = rangeOn;
                behaviour->AngleOn = angleOn;
            }
}

class FlockWithAndWithoutIndex : public testing::TestWithParam<std::pair<bool, bool>> {};

TEST_P(FlockWithAndWithoutIndex, GivesTheSameBitsEveryFrame) {
    const auto [rangeOn, angleOn] = GetParam();
    TWorkloadOptions options;
    options.Bugs = kFlockBugs;
    TSimulation indexed;
    TSimulation direct;
    BuildFlockWorkload(indexed, options);
    BuildFlockWorkload(direct, options);
    direct.UseSpatialIndex = false;
    setSensing(indexed, rangeOn, angleOn);
    setSensing(direct, rangeOn, angleOn);

    // The frames needed to cross cells and wrap at the edges: the flock moves
    // at 10 m/s and more, the cells are 30 m wide, the arena a few hundred.
    // Without the range test every member is examined in both paths, which
    // takes the group size squared per behaviour: a few frames show the same.
    const int frames = rangeOn ? kFlockFrames : 5;
    expectIdenticalRuns(indexed, direct, frames);

    // The run really crossed the arena's edges.
    int wrapped = 0;
    for (const auto& member : indexed.Groups[0]->Members) {
        Vector moved;
        VecSub(member->Position, member->StartPosition, moved);
        if (VecLength(moved) > indexed.Space.Width / 2)
            ++wrapped;
    }
    if (rangeOn) {
        EXPECT_GT(wrapped, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(RangeAndAngle, FlockWithAndWithoutIndex,
                         testing::Values(std::pair{true, true}, std::pair{true, false},
                                         std::pair{false, true}, std::pair{false, false}));

TEST(ObstaclesWithAndWithoutIndex, GiveTheSameBitsEveryFrame) {
    TWorkloadOptions options;
    options.Bugs = 400;
    options.Obstacles = 300;
    TSimulation indexed;
    TSimulation direct;
    BuildObstacleWorkload(indexed, options);
    BuildObstacleWorkload(direct, options);
    direct.UseSpatialIndex = false;
    expectIdenticalRuns(indexed, direct, 100);

    // Obstacles were really in the way.
    int steered = 0;
    for (const auto& member : indexed.Groups[0]->Members)
        if (!sameBits(member->SteeringForce, member->Velocity))
            ++steered;
    EXPECT_GT(steered, 0);
}

TEST(ObstaclesWithAndWithoutIndex, TieBetweenEqualHitsGoesToTheEarlierObstacle) {
    // Two lines through the same point: both are hit at the same distance, and
    // the earlier one in the list decides the force in both paths.
    for (const bool reversed : {false, true}) {
        TSimulation indexed;
        TSimulation direct;
        direct.UseSpatialIndex = false;
        for (TSimulation* simulation : {&indexed, &direct}) {
            TObstacle* vertical = simulation->CreateObstacle(TObstacle::kLine, 50, 0, 50, 100);
            TObstacle* slanted = simulation->CreateObstacle(TObstacle::kLine, 40, 40, 60, 60);
            TBugGroup* group = simulation->NewGroup();
            auto avoidance = std::make_unique<TSteeringBehaviour>(bkObstacleAvoidance);
            avoidance->Obstacles = reversed ? std::vector<TObstacle*>{slanted, vertical}
                                            : std::vector<TObstacle*>{vertical, slanted};
            group->Template.Behaviours->push_back(std::move(avoidance));
            simulation->CreateBug(*group, Vector(20, 50));
        }
        indexed.BeginRun();
        direct.BeginRun();
        indexed.StepFrame();
        direct.StepFrame();
        const TBug& a = *indexed.Groups[0]->Members[0];
        const TBug& b = *direct.Groups[0]->Members[0];
        EXPECT_TRUE(sameBits(a.SteeringForce, b.SteeringForce));
        // The vertical line pushes straight back along -x; the slanted one not.
        EXPECT_EQ(a.SteeringForce[1] == 0, !reversed);
    }
}

} // namespace
} // namespace kova
