#include "simulation/Workloads.h"

#include "foundations/Fnv.h"
#include "foundations/Random.h"
#include "simulation/Simulation.h"
#include "steering/SteeringBehaviour.h"

#include <algorithm>
#include <cmath>

namespace kova {

namespace {

constexpr Extended kFlockRange = 30;
constexpr Extended kFlockAngle = 110;

// A uniform value in [0, limit) from the shared generator.
Extended randomUpTo(Extended limit) {
    return static_cast<Extended>(Random(1u << 30)) / (1u << 30) * limit;
}

TBugGroup& addGroup(TSimulation& simulation) {
    TBugGroup* group = simulation.NewGroup();
    // Headings spread over the whole circle: 180 degrees plus or minus 100 %.
    group->Template.OrientationVariantValue.BaseValue = 180;
    group->Template.OrientationVariantValue.Difference = 100;
    group->Template.OrientationVariantValue.SignMode = vtplusminus;
    return *group;
}

void scatterMembers(TSimulation& simulation, TBugGroup& group, int count) {
    for (int i = 0; i < count; ++i) {
        const Extended x = randomUpTo(simulation.Space.Width);
        const Extended y = randomUpTo(simulation.Space.Height);
        simulation.CreateBug(group, Vector(x, y));
    }
}

} // namespace

void BuildFlockWorkload(TSimulation& simulation, const TWorkloadOptions& options) {
    SetRandSeed(1);
    // n neighbours within range r at density d: d * pi * r^2 = n.
    const Extended density =
        static_cast<Extended>(options.NeighboursInRange) / (kPi * kFlockRange * kFlockRange);
    const Extended side = sqrtl(static_cast<Extended>(options.Bugs) / density);
    simulation.Space.Width = side;
    simulation.Space.Height = side;

    TBugGroup& group = addGroup(simulation);
    for (const std::uint8_t kind : {bkCohesion, bkAlignment, bkSeparation}) {
        auto behaviour = std::make_unique<TSteeringBehaviour>(kind);
        behaviour->SensorRangeOn = true;
        behaviour->SensorRange = kFlockRange;
        behaviour->AngleOn = true;
        behaviour->Angle = kFlockAngle;
        group.Template.Behaviours->push_back(std::move(behaviour));
    }
    group.Template.CombinationMethod = cmLinearCombination;
    scatterMembers(simulation, group, options.Bugs);

    const auto& members = group.Members;
    const std::size_t seekers = std::min<std::size_t>(std::max(options.Seekers, 0), members.size());
    for (std::size_t k = 0; k < seekers; ++k) {
        TBug& seeker = *members[k * members.size() / seekers];
        auto seek = std::make_unique<TSteeringBehaviour>(bkSeek);
        seek->TargetIsBug = true;
        seek->TargetBug = members[Random(static_cast<std::uint32_t>(members.size()))].get();
        seeker.Behaviours->push_back(std::move(seek));
    }
}

void BuildObstacleWorkload(TSimulation& simulation, const TWorkloadOptions& options) {
    SetRandSeed(2);
    simulation.Space.Width = 2000;
    simulation.Space.Height = 2000;

    auto avoidance = std::make_unique<TSteeringBehaviour>(bkObstacleAvoidance);
    for (int i = 0; i < options.Obstacles; ++i) {
        const Extended x = randomUpTo(2000);
        const Extended y = randomUpTo(2000);
        TObstacle* obstacle = nullptr;
        if (i % 2 == 0) {
            const Extended length = 10 + randomUpTo(40);
            const Extended angle = randomUpTo(2 * kPi);
            obstacle = simulation.CreateObstacle(TObstacle::kLine, x, y, x + length * cosl(angle),
                                                 y + length * sinl(angle));
        } else {
            const Extended diameter = 10 + randomUpTo(30);
            obstacle =
                simulation.CreateObstacle(TObstacle::kCircle, x, y, x + diameter, y + diameter);
        }
        avoidance->Obstacles.push_back(obstacle);
    }

    TBugGroup& group = addGroup(simulation);
    group.Template.Behaviours->push_back(std::move(avoidance));
    scatterMembers(simulation, group, options.Bugs);
}

std::uint64_t StateDigest(const TSimulation& simulation) {
    TFnv1a hash;
    // The ten bytes of an x87 extended value; the rest is padding.
    constexpr std::size_t kExtendedBytes = 10;
    for (const auto& group : simulation.Groups)
        for (const auto& member : group->Members)
            for (const Vector* vector : {&member->Position, &member->Velocity})
                for (int i = 0; i < kVectorDimension; ++i)
                    hash.Add(&(*vector)[i], std::min(sizeof(Extended), kExtendedBytes));
    return hash.Value();
}

} // namespace kova
