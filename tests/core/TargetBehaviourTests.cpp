#include "SteeringTestSupport.h"

#include "steering/TargetBehaviours.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kova {
namespace {

using test::ExpectVectorEq;
using test::ExpectVectorNear;
using test::SteeringScene;

Vector force(TSteeringBehaviour& behaviour, TBug& bug, std::uint8_t fps = 25) {
    TFrameContext frame;
    frame.FPS = fps;
    return BehaviourForce(behaviour, bug, frame);
}

// A point at distance and heading (degrees) from the origin.
Vector polar(Extended distance, Extended degrees) {
    const Extended radians = degrees * kPi / 180;
    return {distance * cosl(radians), distance * sinl(radians)};
}

TEST(SteeringTarget, SeekAndFleeSteerFromTheVelocityToFullSpeed) {
    SteeringScene scene;
    TBug& bug = scene.AddBug({0, 0}, {1, 0}, 2);
    TSteeringBehaviour seek(bkSeek);
    seek.SetTargetPoint({10, 0});
    ExpectVectorEq(force(seek, bug), 1, 0);

    TSteeringBehaviour flee(bkFlee);
    flee.SetTargetPoint({10, 0});
    ExpectVectorEq(force(flee, bug), -3, 0);

    // Off-axis: desired = unit(D) * MaxSpeed.
    bug.Position = {1, 1};
    seek.SetTargetPoint({4, 5});
    ExpectVectorNear(force(seek, bug), 0.2L, 1.6L);
    flee.SetTargetPoint({4, 5});
    ExpectVectorNear(force(flee, bug), -2.2L, -1.6L);
}

TEST(SteeringTarget, SeekOnTheTargetBrakesOrYieldsZero) {
    SteeringScene scene;
    TBug& bug = scene.AddBug({5, 5}, {2, -1}, 3);
    TSteeringBehaviour seek(bkSeek);
    seek.SetTargetPoint({5, 5});
    ExpectVectorEq(force(seek, bug), -2, 1);
    bug.Velocity = {};
    EXPECT_TRUE(VecIsZero(force(seek, bug)));
}

TEST(SteeringTarget, MothForcesHaveLengthFpsAlongTheLineToTheTarget) {
    SteeringScene scene;
    TBug& bug = scene.AddBug({0, 0}, {7, -3}, 2);
    TSteeringBehaviour moth(bkMothSeek);
    moth.SetTargetPoint({3, 4});
    ExpectVectorNear(force(moth, bug), 15, 20);
    bug.Velocity = {};
    bug.MaxSpeed = 100;
    ExpectVectorNear(force(moth, bug), 15, 20);
    ExpectVectorNear(force(moth, bug, 10), 6, 8);

    TSteeringBehaviour flee(bkMothFlee);
    flee.SetTargetPoint({3, 4});
    ExpectVectorNear(force(flee, bug), -15, -20);
    // On the target there is no line, hence no force.
    flee.SetTargetPoint({0, 0});
    EXPECT_TRUE(VecIsZero(force(flee, bug)));
}

TEST(SteeringTarget, ArrivalSlowsDownInsideTheStoppingRadius) {
    SteeringScene scene;
    TBug& bug = scene.AddBug({0, 0}, {}, 2);
    TSteeringBehaviour arrival(bkArrival);
    arrival.SetStoppingRadius(10);
    arrival.SetTargetPoint({5, 0});
    ExpectVectorNear(force(arrival, bug), 1, 0);
    arrival.SetTargetPoint({20, 0});
    ExpectVectorNear(force(arrival, bug), 2, 0);
    arrival.SetTargetPoint({0, -10});
    ExpectVectorNear(force(arrival, bug), 0, -2);

    // The velocity is subtracted from the desired velocity.
    bug.Velocity = {0.5L, 0.25L};
    arrival.SetTargetPoint({0, 2.5L});
    ExpectVectorNear(force(arrival, bug), -0.5L, 0.25L);
}

TEST(SteeringTarget, ArrivalExactlyOnTheTargetBrakesWithMinusVelocity) {
    SteeringScene scene;
    TBug& bug = scene.AddBug({3, 4}, {1.5L, -2}, 2);
    TSteeringBehaviour arrival(bkArrival);
    arrival.SetStoppingRadius(10);
    arrival.SetTargetPoint({3, 4});
    const Vector f = force(arrival, bug);
    ExpectVectorEq(f, -1.5L, 2);
    EXPECT_FALSE(std::isnan(f[0]) || std::isnan(f[1]));

    // A stopping radius of 0 caps the desired speed at MaxSpeed.
    arrival.SetStoppingRadius(0);
    arrival.SetTargetPoint({3, 14});
    bug.Velocity = {};
    ExpectVectorEq(force(arrival, bug), 0, 2);
    bug.MaxSpeed = 0;
    ExpectVectorEq(force(arrival, bug), 0, 0);
}

TEST(SteeringTarget, RangeLimitIsInclusive) {
    SteeringScene scene;
    TBug& bug = scene.AddBug({0, 0}, {0, 1}, 2);
    TSteeringBehaviour seek(bkSeek);
    seek.SetSensorRangeOn(true);
    seek.SetSensorRange(10);

    seek.SetTargetPoint({10, 0});
    TSensedTarget sensed = SenseTarget(seek, bug);
    EXPECT_TRUE(sensed.Seen);
    ExpectVectorEq(sensed.D, 10, 0);
    ExpectVectorEq(force(seek, bug), 2, -1);

    seek.SetTargetPoint({10.0001L, 0});
    sensed = SenseTarget(seek, bug);
    EXPECT_FALSE(sensed.Seen);
    ExpectVectorEq(sensed.D, 0, 0);
    EXPECT_TRUE(VecIsZero(force(seek, bug)));

    // Range test only: direction does not matter.
    seek.SetTargetPoint({0, -9});
    EXPECT_TRUE(SenseTarget(seek, bug).Seen);
}

TEST(SteeringTarget, ViewConeIsStrictAroundTheDirectionOfMotion) {
    SteeringScene scene;
    TBug& bug = scene.AddBug({0, 0}, {3, 0}, 2);
    TSteeringBehaviour seek(bkSeek);
    seek.SetAngleOn(true);
    seek.SetAngle(90);

    for (Extended degrees : {40.0L, -40.0L}) {
        seek.SetTargetPoint(polar(1000, degrees));
        EXPECT_TRUE(SenseTarget(seek, bug).Seen) << degrees;
    }
    for (Extended degrees : {50.0L, -50.0L, 180.0L}) {
        seek.SetTargetPoint(polar(5, degrees));
        EXPECT_FALSE(SenseTarget(seek, bug).Seen) << degrees;
        EXPECT_TRUE(VecIsZero(force(seek, bug))) << degrees;
    }

    // On the edge: find an offset whose computed cos(theta) equals the cone's
    // cosine exactly.
    const Extended c = cosl(((90.0L / 2) * kPi) / 180);
    bug.Velocity = {1, 0};
    const auto cosineOf = [&](const Vector& d) {
        return VecDot(bug.Velocity, d) / (VecLength(bug.Velocity) * VecLength(d));
    };
    Vector edge;
    for (int k = 1; k <= 1000 && cosineOf(edge) != c; ++k)
        edge = Vector(k * c, k * sqrtl(1 - c * c));
    ASSERT_EQ(cosineOf(edge), c);
    seek.SetTargetPoint(edge);
    EXPECT_FALSE(SenseTarget(seek, bug).Seen);
    seek.SetTargetPoint(polar(1, 44.99L));
    EXPECT_TRUE(SenseTarget(seek, bug).Seen);

    // With both tests the target must pass both.
    seek.SetSensorRangeOn(true);
    seek.SetSensorRange(10);
    seek.SetTargetPoint(polar(9, 10));
    EXPECT_TRUE(SenseTarget(seek, bug).Seen);
    seek.SetTargetPoint(polar(11, 10));
    EXPECT_FALSE(SenseTarget(seek, bug).Seen);
    seek.SetTargetPoint(polar(9, 60));
    EXPECT_FALSE(SenseTarget(seek, bug).Seen);
}

TEST(SteeringTarget, FullAndZeroConeAngles) {
    SteeringScene scene;
    TBug& bug = scene.AddBug({2, 2}, {0, -4}, 2);
    TSteeringBehaviour seek(bkSeek);
    seek.SetAngleOn(true);

    seek.SetAngle(360);
    seek.SetTargetPoint({2, -20});
    EXPECT_TRUE(SenseTarget(seek, bug).Seen);
    seek.SetTargetPoint({9, 2});
    EXPECT_TRUE(SenseTarget(seek, bug).Seen);
    seek.SetTargetPoint({2.01L, 50});
    EXPECT_TRUE(SenseTarget(seek, bug).Seen);
    seek.SetTargetPoint({2, 50}); // exactly behind
    EXPECT_FALSE(SenseTarget(seek, bug).Seen);

    // A zero cone contains nothing, not even the point straight ahead.
    seek.SetAngle(0);
    seek.SetTargetPoint({2, -20});
    EXPECT_FALSE(SenseTarget(seek, bug).Seen);
    EXPECT_TRUE(VecIsZero(force(seek, bug)));
}

TEST(SteeringTarget, WithTheAngleTestABugAtRestOrOnItsTargetSeesNothing) {
    SteeringScene scene;
    TBug& bug = scene.AddBug({0, 0}, {}, 2);
    TSteeringBehaviour seek(bkSeek);
    seek.SetAngleOn(true);
    seek.SetAngle(360);
    seek.SetTargetPoint({5, 0});
    EXPECT_FALSE(SenseTarget(seek, bug).Seen);
    EXPECT_TRUE(VecIsZero(force(seek, bug)));
    // Without the angle test the same bug at rest sees the target.
    seek.SetAngleOn(false);
    ExpectVectorEq(force(seek, bug), 2, 0);

    // Moving, exactly on the target: not seen, so no braking force either.
    bug.Velocity = {1, 0};
    seek.SetAngleOn(true);
    seek.SetSensorRangeOn(true);
    seek.SetTargetPoint({0, 0});
    EXPECT_FALSE(SenseTarget(seek, bug).Seen);
    EXPECT_TRUE(VecIsZero(force(seek, bug)));
    seek.SetAngleOn(false);
    EXPECT_TRUE(SenseTarget(seek, bug).Seen);
    ExpectVectorEq(force(seek, bug), -1, 0);
}

TEST(SteeringTarget, TargetBugPositionIsCopiedIntoTheTargetPoint) {
    SteeringScene scene;
    TBug& bug = scene.AddBug({0, 0}, {1, 0}, 2);
    TBug& target = scene.AddBug({-6, 8});
    TSteeringBehaviour seek(bkSeek);
    seek.SetTargetPoint({100, 100});
    seek.SetTargetBug(&target);
    seek.SetTargetIsBug(true);
    seek.SetSensorRangeOn(true);
    seek.SetSensorRange(5);

    // Copied even when the target is then not seen.
    EXPECT_TRUE(VecIsZero(force(seek, bug)));
    ExpectVectorEq(seek.TargetPoint, -6, 8);

    target.Position = {0, 4};
    ExpectVectorEq(force(seek, bug), -1, 2);
    ExpectVectorEq(seek.TargetPoint, 0, 4);

    // Switched off, the behaviour aims at the last position copied.
    seek.SetTargetIsBug(false);
    target.Position = {50, 50};
    ExpectVectorEq(force(seek, bug), -1, 2);
    ExpectVectorEq(seek.TargetPoint, 0, 4);
}

TEST(SteeringTarget, TargetingItselfGivesAZeroOffset) {
    SteeringScene scene;
    TBug& bug = scene.AddBug({7, -3}, {1, 0}, 2);
    TSteeringBehaviour seek(bkSeek);
    seek.SetTargetBug(&bug);
    seek.SetTargetIsBug(true);
    const TSensedTarget sensed = SenseTarget(seek, bug);
    EXPECT_TRUE(sensed.Seen);
    ExpectVectorEq(sensed.D, 0, 0);
    ExpectVectorEq(force(seek, bug), -1, 0);
    bug.Position = {1, 1};
    ExpectVectorEq(force(seek, bug), -1, 0);
    ExpectVectorEq(seek.TargetPoint, 1, 1);
}

} // namespace
} // namespace kova
