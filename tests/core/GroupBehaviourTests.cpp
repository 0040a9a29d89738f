#include "SteeringTestSupport.h"

#include "steering/GroupBehaviours.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace kova {
namespace {

using test::ExpectVectorEq;
using test::ExpectVectorNear;
using test::SteeringScene;

TSteeringBehaviour behaviourOf(std::uint8_t kind, bool rangeOn, Extended range = 100,
                               bool angleOn = false, Extended angle = 110) {
    TSteeringBehaviour behaviour(kind);
    behaviour.SetSensorRangeOn(rangeOn);
    behaviour.SetSensorRange(range);
    behaviour.SetAngleOn(angleOn);
    behaviour.SetAngle(angle);
    return behaviour;
}

Vector groupForce(std::uint8_t kind, const TBug& bug, bool rangeOn, Extended range = 100,
                  bool angleOn = false, Extended angle = 110) {
    return GroupForce(behaviourOf(kind, rangeOn, range, angleOn, angle), bug);
}

TEST(SteeringGroup, ABugAloneInItsGroupFeelsNoGroupForce) {
    SteeringScene scene;
    TBug& bug = scene.AddBug({3, 4}, {1, 2}, 5);
    for (std::uint8_t kind : {bkCohesion, bkAlignment, bkSeparation}) {
        for (bool rangeOn : {false, true}) {
            for (bool angleOn : {false, true}) {
                SCOPED_TRACE(testing::Message() << int{kind} << rangeOn << angleOn);
                const TSteeringBehaviour behaviour = behaviourOf(kind, rangeOn, 100, angleOn);
                EXPECT_TRUE(VecIsZero(GroupForce(behaviour, bug)));
                EXPECT_EQ(SelectNeighbours(behaviour, bug).size(), rangeOn ? 0u : 1u);
            }
        }
    }
}

TEST(SteeringGroup, CohesionAndSeparationOfTwoBugs) {
    SteeringScene scene;
    TBug& first = scene.AddBug({0, 0});
    TBug& second = scene.AddBug({4, 0});

    EXPECT_EQ(SelectNeighbours(behaviourOf(bkCohesion, false), first),
              (std::vector<TBug*>{&first, &second}));
    ExpectVectorEq(groupForce(bkCohesion, first, false), 2, 0);
    EXPECT_EQ(SelectNeighbours(behaviourOf(bkCohesion, true, 10), first),
              (std::vector<TBug*>{&second}));
    ExpectVectorEq(groupForce(bkCohesion, first, true, 10), 4, 0);
    ExpectVectorEq(groupForce(bkCohesion, second, true, 10), -4, 0);

    ExpectVectorEq(groupForce(bkSeparation, first, true, 10), -1, 0);
    ExpectVectorEq(groupForce(bkSeparation, first, false), -0.5L, 0);
    ExpectVectorEq(groupForce(bkSeparation, second, false), 0.5L, 0);
}

TEST(SteeringGroup, AlignmentSteersTowardsTheMeanVelocity) {
    SteeringScene scene;
    TBug& first = scene.AddBug({0, 0}, {1, 0});
    scene.AddBug({4, 0}, {3, 2});
    ExpectVectorEq(groupForce(bkAlignment, first, false), 1, 1);
    ExpectVectorEq(groupForce(bkAlignment, first, true, 10), 2, 2);
}

TEST(SteeringGroup, ThreeBugsAveragePositionsAndUnitOffsets) {
    SteeringScene scene;
    TBug& bug = scene.AddBug({0, 0}, {0, 0});
    scene.AddBug({3, 0}, {0, 6});
    scene.AddBug({0, -8}, {3, 0});
    ExpectVectorNear(groupForce(bkCohesion, bug, true), 1.5L, -4);
    ExpectVectorNear(groupForce(bkAlignment, bug, true), 1.5L, 3);
    // Distance plays no part: each neighbour adds a unit vector over n.
    ExpectVectorNear(groupForce(bkSeparation, bug, true), -0.5L, 0.5L);
    // The bug itself counts while the range test is off.
    ExpectVectorNear(groupForce(bkCohesion, bug, false), 1, -8.0L / 3);
    ExpectVectorNear(groupForce(bkSeparation, bug, false), -1.0L / 3, 1.0L / 3);
}

TEST(SteeringGroup, RangeIsStrict) {
    SteeringScene scene;
    TBug& bug = scene.AddBug({1, 1});
    TBug& neighbour = scene.AddBug({1, 5});
    EXPECT_TRUE(SelectNeighbours(behaviourOf(bkCohesion, true, 4), bug).empty());
    EXPECT_TRUE(VecIsZero(groupForce(bkCohesion, bug, true, 4)));
    EXPECT_TRUE(VecIsZero(groupForce(bkSeparation, bug, true, 4)));
    EXPECT_EQ(SelectNeighbours(behaviourOf(bkCohesion, true, 4.0001L), bug),
              (std::vector<TBug*>{&neighbour}));
    ExpectVectorEq(groupForce(bkCohesion, bug, true, 4.0001L), 0, 4);
}

TEST(SteeringGroup, BlindSectorBehindTheBugHidesNeighbours) {
    SteeringScene scene;
    TBug& ahead = scene.AddBug({15, 10});
    TBug& behind = scene.AddBug({5, 10});
    TBug& bug = scene.AddBug({10, 10}, {2, 0});
    TBug& side = scene.AddBug({10, 4});
    // 120 degrees off the heading lies outside the 55 degree half sector
    // around the backward direction; 130 degrees lies inside it.
    TBug& wide = scene.AddBug({10 + 3 * cosl(120 * kPi / 180), 10 + 3 * sinl(120 * kPi / 180)});
    TBug& backSide = scene.AddBug({10 + 3 * cosl(130 * kPi / 180), 10 - 3 * sinl(130 * kPi / 180)});

    const TSteeringBehaviour angleOnly = behaviourOf(bkCohesion, false, 100, true, 110);
    EXPECT_EQ(SelectNeighbours(angleOnly, bug), (std::vector<TBug*>{&ahead, &bug, &side, &wide}));
    const TSteeringBehaviour both = behaviourOf(bkCohesion, true, 5.5L, true, 110);
    EXPECT_EQ(SelectNeighbours(both, bug), (std::vector<TBug*>{&ahead, &wide}));
    // With the angle test off the hidden ones are neighbours again.
    EXPECT_EQ(SelectNeighbours(behaviourOf(bkCohesion, true, 5.5L), bug),
              (std::vector<TBug*>{&ahead, &behind, &wide, &backSide}));

    // The force uses the same neighbours: only the one ahead and the wide one.
    Vector expected;
    VecAdd(ahead.Position, wide.Position, expected);
    VecScale(expected, expected, 0.5L);
    VecSub(expected, bug.Position, expected);
    EXPECT_EQ(GroupForce(both, bug), expected);

    // A sector of 0 degrees hides nothing; one of 360 hides all but the
    // members exactly ahead.
    EXPECT_EQ(SelectNeighbours(behaviourOf(bkCohesion, false, 100, true, 0), bug).size(), 6u);
    EXPECT_EQ(SelectNeighbours(behaviourOf(bkCohesion, false, 100, true, 360), bug),
              (std::vector<TBug*>{&ahead, &bug}));
}

TEST(SteeringGroup, WithoutACosineTheNeighbourIsKept) {
    SteeringScene scene;
    TBug& behind = scene.AddBug({-3, 0});
    TBug& bug = scene.AddBug({0, 0}, {}, 1);
    TBug& twin = scene.AddBug({0, 0});
    TBug& alsoBehind = scene.AddBug({-2, 0.5L});
    const TSteeringBehaviour both = behaviourOf(bkSeparation, true, 10, true, 110);

    // At rest nothing is behind the bug.
    EXPECT_EQ(SelectNeighbours(both, bug), (std::vector<TBug*>{&behind, &twin, &alsoBehind}));

    // Moving: the twin on the bug's position is kept whatever precedes it.
    bug.Velocity = {1, 0};
    EXPECT_EQ(SelectNeighbours(both, bug), (std::vector<TBug*>{&twin}));
    // Its offset is zero, so it adds nothing to the separation but counts in n.
    EXPECT_TRUE(VecIsZero(GroupForce(both, bug)));
    const TSteeringBehaviour cohesion = behaviourOf(bkCohesion, true, 10, true, 110);
    EXPECT_TRUE(VecIsZero(GroupForce(cohesion, bug)));
    twin.Position = {1, 0};
    ExpectVectorEq(GroupForce(both, bug), -1, 0);
}

TEST(SteeringGroup, MembersOfOtherGroupsAreIgnored) {
    SteeringScene scene;
    SteeringScene others;
    TBug& bug = scene.AddBug({0, 0}, {1, 0});
    TBug& mate = scene.AddBug({2, 0}, {0, 1});
    for (int i = 0; i < 5; ++i)
        others.AddBug({0.5L * i, 1}, {-3, 7});

    for (bool rangeOn : {false, true}) {
        EXPECT_EQ(SelectNeighbours(behaviourOf(bkCohesion, rangeOn, 10), bug).back(), &mate);
        EXPECT_EQ(SelectNeighbours(behaviourOf(bkCohesion, rangeOn, 10), bug).size(),
                  rangeOn ? 1u : 2u);
    }
    ExpectVectorEq(groupForce(bkCohesion, bug, true, 10), 2, 0);
    ExpectVectorEq(groupForce(bkAlignment, bug, true, 10), -1, 1);
    ExpectVectorEq(groupForce(bkSeparation, bug, true, 10), -1, 0);

    // A bug without a group has no neighbours.
    bug.SetGroup(nullptr);
    EXPECT_TRUE(SelectNeighbours(behaviourOf(bkCohesion, false), bug).empty());
    EXPECT_TRUE(VecIsZero(groupForce(bkCohesion, bug, false)));
}

// The forces as the selection and the formulas define them, computed from the
// neighbour list that SelectNeighbours returns.
Vector referenceForce(const TSteeringBehaviour& behaviour, const TBug& bug) {
    const std::vector<TBug*> list = SelectNeighbours(behaviour, bug);
    Vector force;
    if (list.empty())
        return force;
    const Extended share = 1 / static_cast<Extended>(list.size());
    for (const TBug* m : list) {
        Vector term;
        if (behaviour.Kind == bkCohesion) {
            term = m->Position;
        } else if (behaviour.Kind == bkAlignment) {
            term = m->Velocity;
        } else {
            VecSub(bug.Position, m->Position, term);
            VecNormalize(term, term);
            VecScale(term, term, share);
        }
        VecAdd(force, term, force);
    }
    if (behaviour.Kind == bkCohesion || behaviour.Kind == bkAlignment) {
        VecScale(force, force, share);
        VecSub(force, behaviour.Kind == bkCohesion ? bug.Position : bug.Velocity, force);
    }
    return force;
}

TEST(SteeringGroup, ForceIsBitForBitThatOfTheSelectedNeighbours) {
    std::mt19937 random(20240611);
    std::uniform_real_distribution<double> coordinate(-30, 30);
    std::uniform_real_distribution<double> speed(-5, 5);
    SteeringScene scene;
    for (int i = 0; i < 40; ++i) {
        // Some members share positions, some are at rest.
        const Vector position(std::round(coordinate(random)), coordinate(random));
        const Vector velocity = i % 7 == 0 ? Vector() : Vector(speed(random), speed(random));
        scene.AddBug(position, velocity, 5);
    }
    int compared = 0;
    for (std::uint8_t kind : {bkCohesion, bkAlignment, bkSeparation})
        for (bool rangeOn : {false, true})
            for (bool angleOn : {false, true})
                for (Extended angle : {0.0L, 110.0L, 250.0L, 360.0L})
                    for (Extended range : {4.0L, 17.5L, 90.0L})
                        for (const auto& member : scene.Group.Members) {
                            const TSteeringBehaviour behaviour =
                                behaviourOf(kind, rangeOn, range, angleOn, angle);
                            const Vector expected = referenceForce(behaviour, *member);
                            const Vector actual = GroupForce(behaviour, *member);
                            ASSERT_EQ(actual, expected) << int{kind} << rangeOn << angleOn << ' '
                                                        << static_cast<double>(angle);
                            ++compared;
                        }
    EXPECT_EQ(compared, 3 * 2 * 2 * 4 * 3 * 40);
}

// A bug's group behaviours share one neighbour selection only while their
// range and angle settings agree: in a list that changes them back and forth,
// each force must still be the one the behaviour gives alone.
TEST(SteeringGroup, CombinedForceIsThatOfEachBehaviourAloneWhateverItsSettings) {
    InitVectors(2);
    std::mt19937 random(3);
    std::uniform_real_distribution<double> coordinate(0, 100);
    std::uniform_real_distribution<double> speed(-5, 5);
    SteeringScene scene;
    for (int i = 0; i < 60; ++i)
        scene.AddBug(Vector(coordinate(random), coordinate(random)),
                     Vector(speed(random), speed(random)));
    TBug& bug = *scene.Group.Members[7];
    const TSteeringBehaviour list[] = {
        behaviourOf(bkCohesion, true, 50, true, 110),
        behaviourOf(bkAlignment, true, 30),
        behaviourOf(bkSeparation, true, 8),
        behaviourOf(bkCohesion, true, 50, true, 110),
        behaviourOf(bkSeparation, false),
        behaviourOf(bkAlignment, true, 30, true, 200),
    };
    Vector sum;
    int forces = 0;
    for (const TSteeringBehaviour& behaviour : list) {
        const Vector force = GroupForce(behaviour, bug);
        bug.Behaviours->push_back(std::make_unique<TSteeringBehaviour>());
        bug.Behaviours->back()->CopyFrom(behaviour);
        if (!VecIsZero(force)) {
            VecAdd(sum, force, sum);
            ++forces;
        }
    }
    ASSERT_GE(forces, 4);
    VecScale(sum, sum, 1 / static_cast<Extended>(forces));
    bug.SetCombinationMethod(cmLinearCombination);
    const Vector combined = CombineSteering(bug, TFrameContext{});
    ExpectVectorEq(combined, sum[0], sum[1]);
}

} // namespace
} // namespace kova
