#include "SteeringTestSupport.h"

#include "foundations/Streams.h"
#include "steering/SteeringBehaviour.h"

#include <gtest/gtest.h>

#include <string>

namespace kova {
namespace {

using test::AddBehaviour;
using test::ExpectVectorEq;
using test::SteeringScene;

TEST(SteeringModel, CreateByKindSetsTheKindDefaults) {
    const char* const names[] = {"Seek",      "Flee",       "Moth-Seek",
                                 "Moth-Flee", "Arrival",    "Cohesion",
                                 "Alignment", "Separation", "Obstacle Avoidance"};
    for (std::uint8_t kind = 0; kind < kBehaviourKindCount; ++kind) {
        SCOPED_TRACE(kind);
        const TSteeringBehaviour behaviour(kind);
        EXPECT_EQ(behaviour.Name, names[kind]);
        EXPECT_EQ(behaviour.Kind, kind);
        EXPECT_EQ(behaviour.SensorRange, 100);
        EXPECT_EQ(behaviour.Angle, 110);
        EXPECT_EQ(behaviour.StoppingRadius, kind == bkArrival ? 100 : 0);
        EXPECT_TRUE(behaviour.Reserved);
        EXPECT_FALSE(behaviour.SensorRangeOn);
        EXPECT_FALSE(behaviour.AngleOn);
        EXPECT_FALSE(behaviour.TargetIsBug);
        EXPECT_EQ(behaviour.TargetBug, nullptr);
        EXPECT_EQ(behaviour.Weight, 0);
        EXPECT_EQ(behaviour.Priority, 0);
        ExpectVectorEq(behaviour.TargetPoint, 0, 0);
        EXPECT_TRUE(behaviour.Obstacles.empty());
    }
    EXPECT_STREQ(BehaviourKindName(9), "");
}

TEST(SteeringModel, BlankCreateHasNothingSetAndEveryBehaviourTakesAFreshId) {
    const TSteeringBehaviour first;
    const TSteeringBehaviour blank;
    EXPECT_EQ(blank.Id, first.Id + 1);
    EXPECT_EQ(blank.Name, "");
    EXPECT_EQ(blank.Kind, 0);
    EXPECT_EQ(blank.SensorRange, 0);
    EXPECT_EQ(blank.Angle, 0);
    EXPECT_EQ(blank.StoppingRadius, 0);
    EXPECT_FALSE(blank.Reserved);
    EXPECT_FALSE(blank.SensorRangeOn);
    EXPECT_FALSE(blank.AngleOn);
    EXPECT_FALSE(blank.TargetIsBug);
    EXPECT_EQ(blank.Weight, 0);
    EXPECT_EQ(blank.Priority, 0);
    ExpectVectorEq(blank.TargetPoint, 0, 0);
    EXPECT_TRUE(blank.Obstacles.empty());
}

TEST(SteeringModel, CopyFromCopiesEveryFieldButTheIdAndOwnsItsPointAndList) {
    SteeringScene scene;
    TBug& target = scene.AddBug({1, 1});
    TObstacle line(nullptr, TObstacle::kLine, 0, 0, 1, 1);
    TObstacle circle(nullptr, TObstacle::kCircle, 0, 0, 2, 2);

    TSteeringBehaviour source(bkArrival);
    source.SetName("Home");
    source.SetWeight(7);
    source.SetPriority(3);
    source.SetReserved(false);
    source.SetSensorRange(12.5L);
    source.SetSensorRangeOn(true);
    source.SetAngleOn(true);
    source.SetTargetPoint({4, -2});
    source.SetTargetBug(&target);
    source.SetTargetIsBug(true);
    source.SetAngle(45);
    source.SetStoppingRadius(9);
    source.Obstacles = {&line, &circle};

    TSteeringBehaviour copy;
    const std::int32_t copyId = copy.Id;
    copy.CopyFrom(source);

    EXPECT_EQ(copy.Id, copyId);
    EXPECT_NE(copy.Id, source.Id);
    EXPECT_EQ(copy.Name, "Home");
    EXPECT_EQ(copy.Weight, 7);
    EXPECT_EQ(copy.Priority, 3);
    EXPECT_FALSE(copy.Reserved);
    EXPECT_EQ(copy.SensorRange, 12.5L);
    EXPECT_TRUE(copy.SensorRangeOn);
    EXPECT_TRUE(copy.AngleOn);
    ExpectVectorEq(copy.TargetPoint, 4, -2);
    EXPECT_EQ(copy.TargetBug, &target);
    EXPECT_TRUE(copy.TargetIsBug);
    EXPECT_EQ(copy.Kind, bkArrival);
    EXPECT_EQ(copy.Angle, 45);
    EXPECT_EQ(copy.StoppingRadius, 9);
    ASSERT_EQ(copy.Obstacles.size(), 2u);
    EXPECT_EQ(copy.Obstacles[0], &line);
    EXPECT_EQ(copy.Obstacles[1], &circle);

    copy.TargetPoint[0] = 100;
    copy.Obstacles.EraseFirst(&line);
    EXPECT_EQ(copy.Obstacles, (std::vector<TObstacle*>{&circle}));
    ExpectVectorEq(source.TargetPoint, 4, -2);
    ASSERT_EQ(source.Obstacles.size(), 2u);
    EXPECT_EQ(source.Obstacles[0], &line);
}

TEST(SteeringModel, ObstacleListCopiesShareTheirItemsUntilOneIsChanged) {
    TObstacle line(nullptr, TObstacle::kLine, 0, 0, 1, 1);
    TObstacle circle(nullptr, TObstacle::kCircle, 2, 2, 4, 4);
    TObstacle unlisted(nullptr, TObstacle::kCircle, 5, 5, 6, 6);
    const TObstacleList original{&line, &circle, &line};
    TObstacleList copy = original;
    EXPECT_TRUE(copy.SharesItemsWith(original));

    // Removing what is not listed leaves the copy sharing.
    copy.EraseAll(&unlisted);
    copy.EraseFirst(&unlisted);
    EXPECT_TRUE(copy.SharesItemsWith(original));

    copy.EraseFirst(&line);
    EXPECT_FALSE(copy.SharesItemsWith(original));
    EXPECT_EQ(copy, (std::vector<TObstacle*>{&circle, &line}));
    EXPECT_EQ(original, (std::vector<TObstacle*>{&line, &circle, &line}));

    TObstacleList second = original;
    second.EraseAll(&line);
    second.push_back(&unlisted);
    EXPECT_EQ(second, (std::vector<TObstacle*>{&circle, &unlisted}));
    EXPECT_EQ(original, (std::vector<TObstacle*>{&line, &circle, &line}));

    // Lists with equal items are equal whether or not they share them.
    const TObstacleList equal{&line, &circle, &line};
    EXPECT_FALSE(equal.SharesItemsWith(original));
    EXPECT_EQ(equal, original);
    TObstacleList emptied = original;
    emptied.clear();
    EXPECT_TRUE(emptied.empty());
    EXPECT_EQ(emptied, TObstacleList{});
    EXPECT_EQ(original.size(), 3u);
}

TEST(SteeringModel, RecordRoundTripKeepsEveryFieldAndHoldsReferencesAsIds) {
    SteeringScene scene;
    TBug& target = scene.AddBug({0, 0});
    TObstacle first(nullptr, TObstacle::kLine, 0, 0, 1, 1);
    TObstacle second(nullptr, TObstacle::kCircle, 0, 0, 2, 2);

    TSteeringBehaviour written(bkSeparation);
    written.SetName("Keep apart");
    written.SetWeight(65535);
    written.SetPriority(42);
    written.SetSensorRange(0.1L);
    written.SetAngle(33.25L);
    written.SetStoppingRadius(-7);
    written.SetReserved(true);
    written.SetSensorRangeOn(true);
    written.SetTargetIsBug(true);
    written.SetAngleOn(false);
    written.SetTargetBug(&target);
    written.Obstacles = {&second, &first};
    written.SetTargetPoint({1.0L / 3, -2.5L});

    TMemoryStream stream;
    written.SaveToStream(stream);
    stream.SetPosition(0);
    TSteeringBehaviour read;
    read.LoadFromStream(stream);

    EXPECT_EQ(stream.Position(), stream.Size());
    EXPECT_EQ(read.Id, written.Id);
    EXPECT_EQ(read.Name, "Keep apart");
    EXPECT_EQ(read.Weight, 65535);
    EXPECT_EQ(read.Priority, 42);
    EXPECT_EQ(read.SensorRange, 0.1L);
    EXPECT_EQ(read.Angle, 33.25L);
    EXPECT_EQ(read.StoppingRadius, -7);
    EXPECT_TRUE(read.Reserved);
    EXPECT_TRUE(read.SensorRangeOn);
    EXPECT_TRUE(read.TargetIsBug);
    EXPECT_FALSE(read.AngleOn);
    EXPECT_EQ(read.Kind, bkSeparation);
    EXPECT_EQ(read.TargetPoint, written.TargetPoint);
    EXPECT_EQ(read.TargetBug, nullptr);
    EXPECT_EQ(read.StoredTargetId, target.Id);
    EXPECT_TRUE(read.Obstacles.empty());
    EXPECT_EQ(read.StoredObstacleIds, (std::vector<std::int32_t>{second.Id, first.Id}));
}

TEST(SteeringModel, RecordWithoutTargetBugStoresNoTargetId) {
    TSteeringBehaviour written(bkSeek);
    TMemoryStream stream;
    written.SaveToStream(stream);
    stream.SetPosition(0);
    TSteeringBehaviour read;
    read.StoredTargetId = 99;
    read.LoadFromStream(stream);
    EXPECT_EQ(read.StoredTargetId, 0);
    EXPECT_TRUE(read.StoredObstacleIds.empty());
}

TEST(SteeringModel, UnknownKindReadFromARecordHasNoForce) {
    SteeringScene scene;
    TBug& bug = scene.AddBug({0, 0}, {1, 0}, 5);
    TSteeringBehaviour written(bkSeek);
    written.SetTargetPoint({10, 0});
    written.SetKind(9);
    TMemoryStream stream;
    written.SaveToStream(stream);
    stream.SetPosition(0);
    TSteeringBehaviour read;
    read.LoadFromStream(stream);
    ASSERT_EQ(read.Kind, 9);

    EXPECT_TRUE(VecIsZero(BehaviourForce(read, bug, TFrameContext{})));
    read.SetKind(bkSeek);
    EXPECT_FALSE(VecIsZero(BehaviourForce(read, bug, TFrameContext{})));
    read.SetKind(255);
    EXPECT_TRUE(VecIsZero(BehaviourForce(read, bug, TFrameContext{})));
}

// --- Combination ---------------------------------------------------------------

// A Moth-Seek towards the point with FPS frames: a force of length FPS towards
// the point, whatever the bug's motion.
TSteeringBehaviour& addPull(TBug& bug, const Vector& towards) {
    TSteeringBehaviour& behaviour = AddBehaviour(bug, bkMothSeek);
    Vector target;
    VecAdd(bug.Position, towards, target);
    behaviour.SetTargetPoint(target);
    return behaviour;
}

// A Seek whose target lies out of range: it always yields the zero force.
TSteeringBehaviour& addSilent(TBug& bug) {
    TSteeringBehaviour& behaviour = AddBehaviour(bug, bkSeek);
    behaviour.SetTargetPoint({bug.Position[0] + 50, bug.Position[1]});
    behaviour.SetSensorRange(10);
    behaviour.SetSensorRangeOn(true);
    return behaviour;
}

TEST(SteeringCombine, WithoutUsableForcesEveryMethodSteersWithTheVelocity) {
    for (std::uint8_t method = 0; method <= 4; ++method) {
        SCOPED_TRACE(method);
        SteeringScene scene;
        TBug& bug = scene.AddBug({3, 3}, {0.5L, -2}, 10);
        bug.SetCombinationMethod(method);
        ExpectVectorEq(CombineSteering(bug, TFrameContext{}), 0.5L, -2);

        addSilent(bug).SetWeight(4);
        TSteeringBehaviour& unknown = AddBehaviour(bug, bkSeek);
        unknown.SetKind(9);
        unknown.SetWeight(2);
        ExpectVectorEq(CombineSteering(bug, TFrameContext{}), 0.5L, -2);
    }
}

TEST(SteeringCombine, PriorizedDitheringAndUnknownMethodsEvaluateNothing) {
    for (std::uint8_t method : {std::uint8_t{3}, std::uint8_t{200}}) {
        SteeringScene scene;
        TBug& bug = scene.AddBug({0, 0}, {1, 1}, 10);
        TBug& target = scene.AddBug({20, 0});
        bug.SetCombinationMethod(method);
        TSteeringBehaviour& seek = AddBehaviour(bug, bkSeek);
        seek.SetTargetBug(&target);
        seek.SetTargetIsBug(true);
        seek.SetWeight(1);
        ExpectVectorEq(CombineSteering(bug, TFrameContext{}), 1, 1);
        // Not evaluated: the target bug's position was never copied.
        ExpectVectorEq(seek.TargetPoint, 0, 0);
    }
}

TEST(SteeringCombine, LinearCombinationAveragesOnlyTheNonZeroForces) {
    SteeringScene scene;
    TBug& bug = scene.AddBug({0, 0}, {}, 4);
    bug.SetCombinationMethod(cmLinearCombination);
    AddBehaviour(bug, bkSeek).SetTargetPoint({10, 0});
    addSilent(bug);
    ExpectVectorEq(CombineSteering(bug, TFrameContext{}), 4, 0);

    // A second non-zero force is averaged in.
    TFrameContext frame;
    frame.FPS = 2;
    addPull(bug, {0, 5});
    ExpectVectorEq(CombineSteering(bug, frame), 2, 1);
}

TEST(SteeringCombine, CancellingForcesFallBackToTheVelocity) {
    SteeringScene scene;
    TBug& bug = scene.AddBug({0, 0}, {0, 3}, 4);
    TFrameContext frame;
    frame.FPS = 1;
    TSteeringBehaviour& right = addPull(bug, {10, 0});
    TSteeringBehaviour& left = addPull(bug, {-10, 0});
    ExpectVectorEq(BehaviourForce(right, bug, frame), 1, 0);
    ExpectVectorEq(BehaviourForce(left, bug, frame), -1, 0);
    ExpectVectorEq(CombineSteering(bug, frame), 0, 3);
}

TEST(SteeringCombine, WeightFactorsFormTheWeightedMeanOfNonZeroForces) {
    SteeringScene scene;
    TBug& bug = scene.AddBug({0, 0}, {1, 1}, 4);
    bug.SetCombinationMethod(cmWeightFactors);
    TFrameContext frame;
    frame.FPS = 4;
    addPull(bug, {10, 0}).SetWeight(3);
    addPull(bug, {0, 10}).SetWeight(1);
    addSilent(bug).SetWeight(50);
    ExpectVectorEq(CombineSteering(bug, frame), 3, 1);

    // Weight 0 contributes nothing; if every non-zero force weighs 0 the bug
    // keeps its velocity.
    SteeringScene other;
    TBug& unweighted = other.AddBug({0, 0}, {1, 1}, 4);
    unweighted.SetCombinationMethod(cmWeightFactors);
    addPull(unweighted, {10, 0});
    addPull(unweighted, {0, 10});
    ExpectVectorEq(CombineSteering(unweighted, frame), 1, 1);
    unweighted.Behaviours->back()->SetWeight(2);
    ExpectVectorEq(CombineSteering(unweighted, frame), 0, 4);
}

TEST(SteeringCombine, PriorityTakesTheFirstNonZeroForceAndStopsThere) {
    SteeringScene scene;
    TBug& bug = scene.AddBug({0, 0}, {0.5L, 0}, 10);
    TBug& far = scene.AddBug({1, 2});
    TBug& chased = scene.AddBug({30, 30});
    bug.SetCombinationMethod(cmPriority);

    // Appended out of order; the editor sorts them on OK.
    TSteeringBehaviour& last = AddBehaviour(bug, bkSeek);
    last.SetPriority(9);
    last.SetTargetBug(&chased);
    last.SetTargetIsBug(true);
    last.SetTargetPoint({-1, -1});
    TSteeringBehaviour& first = AddBehaviour(bug, bkSeek);
    first.SetPriority(0);
    first.SetTargetBug(&far);
    first.SetTargetIsBug(true);
    first.SetSensorRangeOn(true);
    first.SetSensorRange(1); // the target is sqrt(5) m away: zero force
    TSteeringBehaviour& middle = AddBehaviour(bug, bkCohesion);
    middle.SetPriority(5);
    middle.SetSensorRangeOn(true);
    middle.SetSensorRange(3); // only the bug at (1, 2) is a neighbour

    bug.SortBehavioursByPriority();
    ASSERT_EQ(bug.Behaviours->size(), 3u);
    EXPECT_EQ((*bug.Behaviours)[0].get(), &first);
    EXPECT_EQ((*bug.Behaviours)[1].get(), &middle);
    EXPECT_EQ((*bug.Behaviours)[2].get(), &last);

    ExpectVectorEq(CombineSteering(bug, TFrameContext{}), 1, 2);
    // The first was evaluated (it copied its target's position), the last not.
    ExpectVectorEq(first.TargetPoint, 1, 2);
    ExpectVectorEq(last.TargetPoint, -1, -1);

    // Without the cohesion neighbour the third behaviour decides.
    far.Position = {100, 100};
    const Vector force = CombineSteering(bug, TFrameContext{});
    EXPECT_GT(force[0], 0);
    EXPECT_GT(force[1], 0);
    ExpectVectorEq(last.TargetPoint, 30, 30);
}

TEST(SteeringCombine, SortByPriorityComparesUnsignedAndKeepsEqualOnesInOrder) {
    TBasisBug basis;
    const std::uint16_t priorities[] = {100, 0, 65535, 7, 0, 7};
    for (std::uint16_t priority : priorities) {
        basis.Behaviours->push_back(std::make_unique<TSteeringBehaviour>(bkSeek));
        basis.Behaviours->back()->SetPriority(priority);
        basis.Behaviours->back()->SetName(std::to_string(basis.Behaviours->size()));
    }
    basis.SortBehavioursByPriority();
    std::string order;
    std::vector<std::uint16_t> sorted;
    for (const auto& behaviour : *basis.Behaviours) {
        order += behaviour->Name;
        sorted.push_back(behaviour->Priority);
    }
    EXPECT_EQ(sorted, (std::vector<std::uint16_t>{0, 0, 7, 7, 100, 65535}));
    EXPECT_EQ(order, "254613");
}

} // namespace
} // namespace kova
