// The spatial indexes only narrow the searches of the group behaviours and of
// obstacle avoidance: stepping with and without them must give the same bits.

#include "SteeringTestSupport.h"

#include "simulation/Simulation.h"
#include "simulation/Workloads.h"
#include "steering/ObstacleAvoidance.h"
#include "steering/ObstacleIndex.h"
#include "steering/SteeringBehaviour.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <span>
#include <vector>

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

// Steps both running simulations frame by frame and stops at the first bug
// whose position, velocity or steering force differs.
void expectIdenticalFrames(TSimulation& indexed, TSimulation& direct, int frames) {
    ASSERT_EQ(indexed.Groups.size(), direct.Groups.size());
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

void expectIdenticalRuns(TSimulation& indexed, TSimulation& direct, int frames) {
    indexed.BeginRun();
    direct.BeginRun();
    expectIdenticalFrames(indexed, direct, frames);
}

// Runs both for a few frames, then after each edit, made to both between
// frames, for a few more.
void expectIdenticalAcrossEdits(TSimulation& indexed, TSimulation& direct,
                                std::span<const std::function<void(TSimulation&)>> edits) {
    expectIdenticalRuns(indexed, direct, 5);
    for (const auto& edit : edits) {
        edit(indexed);
        edit(direct);
        expectIdenticalFrames(indexed, direct, 5);
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

TEST(FlockWithAndWithoutIndex, FollowsMembersEditedBetweenFrames) {
    TWorkloadOptions options;
    options.Bugs = 400;
    TSimulation indexed;
    TSimulation direct;
    BuildFlockWorkload(indexed, options);
    BuildFlockWorkload(direct, options);
    direct.UseSpatialIndex = false;
    const auto members = [](TSimulation & simulation) -> auto& {
        return simulation.Groups[0]->Members;
    };
    // Members late in the list are seen by most others before their own step.
    const std::function<void(TSimulation&)> edits[] = {
        [&](TSimulation& simulation) {
            members(simulation).back()->Position = members(simulation)[0]->Position;
        },
        [&](TSimulation& simulation) {
            for (std::size_t i = 300; i < 400; ++i)
                VecScale(members(simulation)[i]->Velocity, members(simulation)[i]->Velocity, -1);
        },
        // Velocities so small that the grid cannot keep them as two doubles.
        [&](TSimulation& simulation) {
            for (std::size_t i = 100; i < 200; ++i)
                VecScale(members(simulation)[i]->Velocity, members(simulation)[i]->Velocity,
                         1e-310L);
        },
        [&](TSimulation& simulation) { simulation.RemoveBug(*members(simulation)[3]); },
        [&](TSimulation& simulation) {
            TBug* added = simulation.CreateBug(*simulation.Groups[0], Vector(50, 50));
            added->Velocity = Vector(10, 0);
        },
    };
    expectIdenticalAcrossEdits(indexed, direct, edits);
}

// A bug heading along +x at `centre` and members on the limits of its
// perception: exactly at the range, one step of the last bit inside and
// outside it, and on the edge of the blind sector behind it, as near as the
// arithmetic can place them. The quick tests of the indexed search must leave
// all of these to the exact tests.
void buildLimitCases(TSimulation& simulation, Extended centre, Extended range) {
    simulation.Space.Width = 2 * centre;
    simulation.Space.Height = 2 * centre;
    TBugGroup& group = *simulation.NewGroup();
    group.Template.OrientationVariantValue.BaseValue = 0;
    group.Template.OrientationVariantValue.Difference = 0;
    for (const std::uint8_t kind : {bkCohesion, bkAlignment, bkSeparation}) {
        auto behaviour = std::make_unique<TSteeringBehaviour>(kind);
        behaviour->SensorRangeOn = true;
        behaviour->SensorRange = range;
        behaviour->AngleOn = true;
        behaviour->Angle = 110;
        group.Template.Behaviours->push_back(std::move(behaviour));
    }
    group.Template.CombinationMethod = cmLinearCombination;
    simulation.CreateBug(group, Vector(centre, centre));

    const Extended inside = nextafterl(range, 0);
    const Extended outside = nextafterl(range, 2 * range);
    for (const Extended distance : {range, inside, outside}) {
        simulation.CreateBug(group, Vector(centre + distance, centre));
        simulation.CreateBug(group, Vector(centre, centre - distance));
        const Extended diagonal = distance / sqrtl(2);
        simulation.CreateBug(group, Vector(centre + diagonal, centre + diagonal));
    }
    // Behind the bug, half the sector's width (55 degrees) off its heading,
    // and a hair to either side.
    for (const Extended degrees : {55.0L, 55.0L - 1e-12L, 55.0L + 1e-12L}) {
        const Extended radians = degrees * kPi / 180;
        const Extended distance = range / 2;
        simulation.CreateBug(
            group, Vector(centre - distance * cosl(radians), centre - distance * sinl(radians)));
    }
}

TEST(FlockWithAndWithoutIndex, MembersOnThePerceptionLimitsAreJudgedAlike) {
    // Ordinary coordinates; coordinates whose floats (the grid's) or doubles
    // are coarse next to the range; members just below and beyond the
    // largest float; coordinates and ranges beyond what doubles hold.
    const std::pair<Extended, Extended> cases[] = {
        {500, 30},        {2e6L, 30},       {1e15L, 30},      {1e17L, 30},   {2e37L, 1e36L},
        {3.3e38L, 2e37L}, {1e300L, 1e290L}, {1e400L, 1e390L}, {1, 1e-3000L}, {1e130L, 1e120L},
    };
    for (const auto& [centre, range] : cases) {
        SCOPED_TRACE(testing::Message() << "centre " << static_cast<double>(centre) << ", range "
                                        << static_cast<double>(range));
        TSimulation indexed;
        TSimulation direct;
        buildLimitCases(indexed, centre, range);
        buildLimitCases(direct, centre, range);
        direct.UseSpatialIndex = false;
        expectIdenticalRuns(indexed, direct, 3);
    }
}

// 400 bugs among 300 obstacles, to be stepped with and without the index.
void buildObstacleWorkloads(TSimulation& indexed, TSimulation& direct) {
    TWorkloadOptions options;
    options.Bugs = 400;
    options.Obstacles = 300;
    BuildObstacleWorkload(indexed, options);
    BuildObstacleWorkload(direct, options);
    direct.UseSpatialIndex = false;
}

TEST(ObstaclesWithAndWithoutIndex, GiveTheSameBitsEveryFrame) {
    TSimulation indexed;
    TSimulation direct;
    buildObstacleWorkloads(indexed, direct);
    expectIdenticalRuns(indexed, direct, 100);

    // Obstacles were really in the way.
    int steered = 0;
    for (const auto& member : indexed.Groups[0]->Members)
        if (!sameBits(member->SteeringForce, member->Velocity))
            ++steered;
    EXPECT_GT(steered, 0);
}

TEST(ObstaclesWithAndWithoutIndex, FollowObstaclesEditedBetweenFrames) {
    TSimulation indexed;
    TSimulation direct;
    buildObstacleWorkloads(indexed, direct);
    const std::function<void(TSimulation&)> edits[] = {
        [](TSimulation& simulation) {
            for (const auto& obstacle : simulation.Obstacles) {
                obstacle->P1[0] += 40;
                obstacle->P2[1] -= 25;
                obstacle->UpdateGeometry();
            }
        },
        [](TSimulation& simulation) {
            for (std::size_t i = 0; i < simulation.Obstacles.size(); i += 3) {
                TObstacle& obstacle = *simulation.Obstacles[i];
                obstacle.Kind =
                    obstacle.Kind == TObstacle::kLine ? TObstacle::kCircle : TObstacle::kLine;
            }
        },
        [](TSimulation& simulation) { simulation.RemoveObstacle(*simulation.Obstacles[7]); },
    };
    expectIdenticalAcrossEdits(indexed, direct, edits);
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

// Probes from the bug along its velocity, with and without the index, and
// expects the same nearest hit; returns whether there was one.
bool expectSameNearestObstacle(const TSteeringBehaviour& avoidance, const TBug& bug,
                               TObstacleIndex& index) {
    Vector probe;
    VecNormalize(bug.Velocity, probe);
    VecScale(probe, probe, avoidance.SensorRange);
    Vector probeEnd;
    VecAdd(bug.Position, probe, probeEnd);
    const TObstacleHit direct = FindNearestObstacle(avoidance, bug, probeEnd);
    const TObstacleHit indexed = FindNearestObstacle(avoidance, bug, probeEnd, &index);
    const auto where = [&] {
        return testing::Message() << "bug at (" << static_cast<double>(bug.Position[0]) << ", "
                                  << static_cast<double>(bug.Position[1]) << ") heading ("
                                  << static_cast<double>(bug.Velocity[0]) << ", "
                                  << static_cast<double>(bug.Velocity[1]) << ")";
    };
    EXPECT_EQ(indexed.Found, direct.Found) << where();
    EXPECT_EQ(indexed.Nearest, direct.Nearest) << where();
    EXPECT_TRUE(sameBits(indexed.Point, direct.Point)) << where();
    return direct.Found;
}

TEST(ObstaclesWithAndWithoutIndex, ProbesAlongTheAxesAndBugsAtRestFindTheSameObstacle) {
    // Circles and lines all around the origin, a few exactly on the axes, and
    // far ones that make the index worth using. The index only looks on the
    // side of the bug the probe points to; a probe along an axis, or none at
    // all (a bug at rest hits a circle's centre below and left of it), must
    // still find what the walk over the whole list finds.
    std::vector<std::unique_ptr<TObstacle>> owned;
    TSteeringBehaviour avoidance(bkObstacleAvoidance);
    avoidance.SensorRange = 100;
    const auto add = [&](std::uint8_t kind, Extended x1, Extended y1, Extended x2, Extended y2) {
        owned.push_back(std::make_unique<TObstacle>(nullptr, kind, x1, y1, x2, y2));
        avoidance.Obstacles.push_back(owned.back().get());
    };
    for (int degrees = 0; degrees < 360; degrees += 15) {
        const Extended angle = degrees * kPi / 180;
        for (const Extended distance : {30.0L, 60.0L, 99.0L}) {
            const Extended x = distance * cosl(angle);
            const Extended y = distance * sinl(angle);
            if (degrees % 30 == 0)
                add(TObstacle::kCircle, x - 4, y - 4, x + 4, y + 4);
            else
                add(TObstacle::kLine, x - 3 * sinl(angle), y + 3 * cosl(angle), x + 3 * sinl(angle),
                    y - 3 * cosl(angle));
        }
    }
    add(TObstacle::kLine, 0, 20, 0, 50);   // on the y axis, along a vertical probe
    add(TObstacle::kLine, -50, 0, -20, 0); // on the x axis, along a horizontal probe
    // Lines that end on an axis, hit by a probe along it at their very end.
    add(TObstacle::kLine, 0, 15, 30, 15);
    add(TObstacle::kLine, 0, -16, 30, -16);
    add(TObstacle::kLine, 17, 0, 17, 30);
    add(TObstacle::kLine, -18, 0, -18, 30);
    for (int i = 0; i < 400; ++i)
        add(TObstacle::kCircle, 300 + (i % 20) * 90, 300 + (i / 20) * 90, 310 + (i % 20) * 90,
            310 + (i / 20) * 90);

    test::SteeringScene scene;
    TBug& bug = scene.AddBug({0, 0});
    TObstacleIndex index;
    const Vector headings[] = {{0, 0},  {1, 0},  {-1, 0},  {0, 1},    {0, -1},  {1, 1},
                               {-1, 1}, {1, -1}, {-1, -1}, {3, -0.5}, {-0.2, 7}};
    const Vector positions[] = {{0, 0}, {0.5, -0.25}, {-2, 3}, {30, 0}, {0, -60}};
    int hits = 0;
    int hitsAtRest = 0;
    for (const Vector& position : positions)
        for (const Vector& heading : headings) {
            bug.Position = position;
            bug.Velocity = heading;
            const bool found = expectSameNearestObstacle(avoidance, bug, index);
            hits += found ? 1 : 0;
            hitsAtRest += found && heading == Vector(0, 0) ? 1 : 0;
        }
    EXPECT_GT(hits, 40);
    EXPECT_EQ(hitsAtRest, 5);
}

TEST(ObstaclesWithAndWithoutIndex, ProbesThatJustTouchOrJustMissAreJudgedAlikeAtEveryScale) {
    // One obstacle on the edge of being hit, alone among far obstacles, at
    // scales from tiny to huge. The index leaves out obstacles that a quick
    // test finds plainly missed; these are the cases where it must not.
    struct TCase {
        const char* What;
        std::uint8_t Kind;
        Extended X1, Y1, X2, Y2; // for a circle, its bounding square
        Vector Heading;
        bool Hit; // at scale 1; rounding decides the touches at other scales
    };
    const TCase cases[] = {
        {"circle touched by the probe's side", TObstacle::kCircle, 40, 0, 60, 20, {1, 0}, true},
        {"circle just beside the probe", TObstacle::kCircle, 40, 1e-12L, 60, 20, {1, 0}, false},
        {"circle touched at the probe's end", TObstacle::kCircle, 100, -4, 108, 4, {1, 0}, true},
        {"circle just past the probe's end",
         TObstacle::kCircle,
         100.001L,
         -4,
         108,
         4,
         {1, 0},
         false},
        {"line ending on the probe", TObstacle::kLine, 50, 0, 50, 20, {1, 0}, true},
        {"line crossing the probe's end", TObstacle::kLine, 100, -5, 100, 5, {1, 0}, true},
        {"line just past the probe's end", TObstacle::kLine, 100.001L, -5, 100, 5, {1, 0}, false},
        {"line along the probe", TObstacle::kLine, 20, 0, 60, 0, {1, 0}, false},
        {"line through a diagonal probe's point", TObstacle::kLine, 30, 30, 30, 60, {1, 1}, true},
        {"circle centre seen by a bug at rest",
         TObstacle::kCircle,
         -30,
         -30,
         -10,
         -10,
         {0, 0},
         true},
    };
    for (const Extended scale : {1e-90L, 1.0L, 1e90L, 1e150L}) {
        for (const TCase& c : cases) {
            SCOPED_TRACE(testing::Message()
                         << c.What << " at scale " << static_cast<double>(scale));
            std::vector<std::unique_ptr<TObstacle>> owned;
            TSteeringBehaviour avoidance(bkObstacleAvoidance);
            avoidance.SensorRange = 100 * scale;
            const auto add = [&](std::uint8_t kind, Extended x1, Extended y1, Extended x2,
                                 Extended y2) {
                owned.push_back(std::make_unique<TObstacle>(nullptr, kind, x1 * scale, y1 * scale,
                                                            x2 * scale, y2 * scale));
                avoidance.Obstacles.push_back(owned.back().get());
            };
            add(c.Kind, c.X1, c.Y1, c.X2, c.Y2);
            for (int i = 0; i < 100; ++i)
                add(TObstacle::kCircle, 300 + (i % 10) * 90, 300 + (i / 10) * 90,
                    310 + (i % 10) * 90, 310 + (i / 10) * 90);
            test::SteeringScene scene;
            TBug& bug = scene.AddBug({0, 0});
            bug.Velocity = c.Heading;
            TObstacleIndex index;
            const bool hit = expectSameNearestObstacle(avoidance, bug, index);
            if (scale == 1) {
                EXPECT_EQ(hit, c.Hit);
            }
        }
    }
}

} // namespace
} // namespace kova
