#include "SteeringTestSupport.h"

#include "steering/ObstacleAvoidance.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kova {
namespace {

using test::ExpectVectorEq;
using test::ExpectVectorNear;
using test::SteeringScene;

TSteeringBehaviour avoiding(std::initializer_list<TObstacle*> obstacles, Extended range = 10) {
    TSteeringBehaviour behaviour(bkObstacleAvoidance);
    behaviour.SetSensorRange(range);
    behaviour.Obstacles = obstacles;
    return behaviour;
}

TEST(SteeringObstacle, NothingListedOrNothingHitGivesNoForce) {
    SteeringScene scene;
    TBug& bug = scene.AddBug({0, 0}, {1, 0}, 2);
    TObstacle unlisted(nullptr, TObstacle::kLine, 5, -5, 5, 5);
    EXPECT_TRUE(VecIsZero(ObstacleAvoidance(avoiding({}), bug)));

    TObstacle beyond(nullptr, TObstacle::kLine, 15, -5, 15, 5);
    TObstacle behind(nullptr, TObstacle::kLine, -5, -5, -5, 5);
    TObstacle parallel(nullptr, TObstacle::kLine, -20, 0, 20, 0);
    TObstacle besides(nullptr, TObstacle::kCircle, 4, 3, 8, 7);
    const TSteeringBehaviour behaviour = avoiding({&beyond, &behind, &parallel, &besides});
    EXPECT_FALSE(FindNearestObstacle(behaviour, bug, Vector(10, 0)).Found);
    EXPECT_TRUE(VecIsZero(ObstacleAvoidance(behaviour, bug)));

    // Angle and range switches play no part: the probe is SensorRange long.
    TSteeringBehaviour switched = avoiding({&beyond}, 16);
    switched.SetSensorRangeOn(true);
    switched.SetAngleOn(true);
    switched.SetAngle(0);
    ExpectVectorEq(ObstacleAvoidance(switched, bug), -2, 0);
}

TEST(SteeringObstacle, LinePushesPerpendicularTowardsTheBugsSide) {
    SteeringScene scene;
    TBug& bug = scene.AddBug({0, 0}, {1, 0}, 2);
    TObstacle wall(nullptr, TObstacle::kLine, 5, -5, 5, 5);
    const TSteeringBehaviour behaviour = avoiding({&wall});
    const TObstacleHit hit = FindNearestObstacle(behaviour, bug, Vector(10, 0));
    ASSERT_TRUE(hit.Found);
    EXPECT_EQ(hit.Nearest, &wall);
    ExpectVectorEq(hit.Point, 5, 0);
    ExpectVectorEq(ObstacleAvoidance(behaviour, bug), -2, 0);

    // From the other side, moving the other way, the push is along +x.
    bug.Position = {10, 1};
    bug.Velocity = {-3, 0};
    ExpectVectorEq(ObstacleAvoidance(behaviour, bug), 2, 0);
    // The ends' order does not matter.
    TObstacle reversed(nullptr, TObstacle::kLine, 5, 5, 5, -5);
    ExpectVectorEq(ObstacleAvoidance(avoiding({&reversed}), bug), 2, 0);
}

TEST(SteeringObstacle, SlantedLinePushIsMaxSpeedLongAndPointsToTheBug) {
    TObstacle slanted(nullptr, TObstacle::kLine, 4, -4, 6, 4);
    TObstacle flat(nullptr, TObstacle::kLine, -10, 3, 10, 3);
    const Vector lineDirection(2, 8);
    struct Case {
        Vector position, velocity;
        TObstacle* line;
        Vector along;
    };
    const Case cases[] = {
        {{0, 0}, {1, 0}, &slanted, lineDirection},     {{10, 0}, {-1, 0}, &slanted, lineDirection},
        {{0, -2}, {1, 0.5L}, &slanted, lineDirection}, {{0, 0}, {0, 1}, &flat, {1, 0}},
        {{0, 6}, {0.3L, -1}, &flat, {1, 0}},
    };
    for (const Case& c : cases) {
        SteeringScene scene;
        TBug& bug = scene.AddBug(c.position, c.velocity, 3);
        const Vector force = ObstacleAvoidance(avoiding({c.line}), bug);
        EXPECT_NEAR(static_cast<double>(VecLength(force)), 3, 1e-15);
        EXPECT_NEAR(static_cast<double>(VecDot(force, c.along)), 0, 1e-15);
        Vector toBug;
        VecSub(bug.Position, c.line->P1, toBug);
        EXPECT_GT(VecDot(force, toBug), 0);
    }
}

TEST(SteeringObstacle, CirclePushesAlongTheRadiusThroughTheNearestHit) {
    SteeringScene scene;
    TBug& bug = scene.AddBug({0, 0}, {1, 0}, 2);
    TObstacle circle(nullptr, TObstacle::kCircle, 4, -2, 8, 2);
    ASSERT_EQ(circle.Centre, Vector(6, 0));
    ASSERT_EQ(circle.Radius, 2);
    const TSteeringBehaviour behaviour = avoiding({&circle});
    const TObstacleHit hit = FindNearestObstacle(behaviour, bug, Vector(10, 0));
    ASSERT_TRUE(hit.Found);
    ExpectVectorEq(hit.Point, 4, 0);
    ExpectVectorEq(ObstacleAvoidance(behaviour, bug), -2, 0);

    // Off-centre probe: the push points from the centre through the hit point.
    bug.Position = {0, 1};
    const Vector force = ObstacleAvoidance(behaviour, bug);
    ExpectVectorNear(force, -sqrtl(3), 1);
}

TEST(SteeringObstacle, InsideACircleThePushPointsBackToTheCentre) {
    SteeringScene scene;
    TBug& bug = scene.AddBug({1, 0}, {1, 0}, 3);
    TObstacle circle(nullptr, TObstacle::kCircle, -5, -5, 5, 5);
    const TSteeringBehaviour behaviour = avoiding({&circle});
    const TObstacleHit hit = FindNearestObstacle(behaviour, bug, Vector(11, 0));
    ASSERT_TRUE(hit.Found);
    ExpectVectorEq(hit.Point, 5, 0);
    ExpectVectorEq(ObstacleAvoidance(behaviour, bug), -3, 0);
}

TEST(SteeringObstacle, ABugAtRestMissesLinesAndGetsNoCirclePush) {
    SteeringScene scene;
    TBug& bug = scene.AddBug({5, 0}, {}, 2);
    TObstacle through(nullptr, TObstacle::kLine, 5, -5, 5, 5);
    EXPECT_FALSE(FindNearestObstacle(avoiding({&through}), bug, bug.Position).Found);
    EXPECT_TRUE(VecIsZero(ObstacleAvoidance(avoiding({&through}), bug)));

    bug.Position = {3, 4};
    TObstacle circle(nullptr, TObstacle::kCircle, -2, -2, 2, 2);
    const TObstacleHit hit = FindNearestObstacle(avoiding({&circle}), bug, bug.Position);
    ASSERT_TRUE(hit.Found);
    ExpectVectorEq(hit.Point, 0, 0);
    EXPECT_TRUE(VecIsZero(ObstacleAvoidance(avoiding({&circle}), bug)));
}

TEST(SteeringObstacle, NearestHitDecidesWhateverTheListOrder) {
    SteeringScene scene;
    TBug& bug = scene.AddBug({0, 0}, {1, 0}, 2);
    TObstacle line(nullptr, TObstacle::kLine, 3, -5, 3, 5);
    TObstacle circle(nullptr, TObstacle::kCircle, 4, -1, 6, 1);
    TObstacle farLine(nullptr, TObstacle::kLine, 4, -5, 4, 5);
    const Vector end(10, 0);

    for (const TSteeringBehaviour& behaviour :
         {avoiding({&line, &circle}), avoiding({&circle, &line})}) {
        const TObstacleHit hit = FindNearestObstacle(behaviour, bug, end);
        ASSERT_TRUE(hit.Found);
        EXPECT_EQ(hit.Nearest, &line);
        ExpectVectorEq(hit.Point, 3, 0);
    }
    // With the line behind the bug the circle is the nearest hit.
    bug.Position = {3.5L, 0.5L};
    const TObstacleHit circleHit =
        FindNearestObstacle(avoiding({&line, &circle}), bug, {13.5L, 0.5L});
    ASSERT_TRUE(circleHit.Found);
    EXPECT_EQ(circleHit.Nearest, &circle);

    // Equal distances: the earlier one in the list wins.
    bug.Position = {0, 0};
    TObstacle twin(nullptr, TObstacle::kLine, 4, -1, 4, 1);
    EXPECT_EQ(FindNearestObstacle(avoiding({&farLine, &twin}), bug, end).Nearest, &farLine);
    EXPECT_EQ(FindNearestObstacle(avoiding({&twin, &farLine}), bug, end).Nearest, &twin);

    // Obstacles of an unknown kind and empty entries are skipped.
    TObstacle odd(nullptr, TObstacle::kLine, 2, -5, 2, 5);
    odd.Kind = 5;
    const TObstacleHit skipped = FindNearestObstacle(avoiding({&odd, nullptr, &farLine}), bug, end);
    EXPECT_EQ(skipped.Nearest, &farLine);
}

TEST(SteeringObstacle, SegmentIntersectionIncludesBothEnds) {
    const Vector a(0, 0);
    TIntersection hit = IntersectSegments(a, {5, 0}, {5, -5}, {5, 5});
    EXPECT_TRUE(hit.Hit);
    ExpectVectorEq(hit.Point, 5, 0);
    hit = IntersectSegments(a, {10, 0}, {5, 0}, {5, 5});
    EXPECT_TRUE(hit.Hit);
    ExpectVectorEq(hit.Point, 5, 0);
    hit = IntersectSegments(a, {10, 0}, {5, -5}, {5, 0});
    EXPECT_TRUE(hit.Hit);

    EXPECT_FALSE(IntersectSegments(a, {4.999L, 0}, {5, -5}, {5, 5}).Hit);
    EXPECT_FALSE(IntersectSegments(a, {10, 0}, {5, 0.001L}, {5, 5}).Hit);
    EXPECT_FALSE(IntersectSegments(a, {10, 0}, {5, -5}, {-5, -5}).Hit);
    // Parallel, collinear and degenerate segments never intersect.
    EXPECT_FALSE(IntersectSegments(a, {10, 0}, {0, 1}, {10, 1}).Hit);
    EXPECT_FALSE(IntersectSegments(a, {10, 0}, {2, 0}, {8, 0}).Hit);
    EXPECT_FALSE(IntersectSegments(a, a, {0, -1}, {0, 1}).Hit);

    hit = IntersectSegments({1, 1}, {7, 4}, {2, 6}, {4, -2});
    EXPECT_TRUE(hit.Hit);
    ExpectVectorNear(hit.Point, 3, 2);
}

TEST(SteeringObstacle, CircleIntersectionKeepsPointsAheadAndWithinRange) {
    // Near point at the second solution: the range limit includes it.
    TIntersection hit = IntersectCircle({0, 0}, {4, 0}, {6, 0}, 2, 4);
    EXPECT_TRUE(hit.Hit);
    ExpectVectorEq(hit.Point, 4, 0);
    EXPECT_EQ(hit.Distance, 4);
    // Near point at the first solution (probe along -y): the limit excludes it.
    hit = IntersectCircle({6, 10}, {6, 2}, {6, 0}, 2, 8);
    EXPECT_FALSE(hit.Hit);
    hit = IntersectCircle({6, 10}, {6, 2}, {6, 0}, 2, 8.0001L);
    EXPECT_TRUE(hit.Hit);
    ExpectVectorEq(hit.Point, 6, 2);
    EXPECT_EQ(hit.Distance, 8);

    // A circle behind the bug is not hit, nor one the line misses.
    EXPECT_FALSE(IntersectCircle({0, 0}, {10, 0}, {-6, 0}, 2, 10).Hit);
    EXPECT_FALSE(IntersectCircle({0, 0}, {10, 0}, {6, 3}, 2, 10).Hit);
    // A tangent probe touches in one point.
    hit = IntersectCircle({0, 0}, {10, 0}, {6, 2}, 2, 10);
    EXPECT_TRUE(hit.Hit);
    ExpectVectorEq(hit.Point, 6, 0);
    // The distance is that of the point taken.
    hit = IntersectCircle({0, 0}, {0, 10}, {0, 6}, 2, 10);
    EXPECT_TRUE(hit.Hit);
    ExpectVectorEq(hit.Point, 0, 4);
    EXPECT_EQ(hit.Distance, 4);
}

TEST(SteeringObstacle, SideSignQuadrantAndInsideHelpers) {
    const Vector c(0, 0);
    const Vector d(0, 10);
    EXPECT_EQ(SideOfLine(c, d, {-1, 5}), -SideOfLine(c, d, {1, 5}));
    EXPECT_EQ(SideOfLine(c, d, {0, 3}), -1);
    EXPECT_EQ(SideOfLine(c, d, {0, -30}), -1);
    EXPECT_EQ(SideOfLine(c, d, {1, 5}), -1);
    EXPECT_EQ(SideOfLine(c, d, {-1, 5}), 1);
    EXPECT_EQ(SideOfLine(d, c, {-1, 5}), -1);

    EXPECT_EQ(Sign(0), 1);
    EXPECT_EQ(Sign(-0.0L), 1);
    EXPECT_EQ(Sign(3), 1);
    EXPECT_EQ(Sign(-1e-30L), -1);

    EXPECT_TRUE(SameQuadrant({1, 2}, {3, 4}));
    EXPECT_TRUE(SameQuadrant({0, -2}, {5, -1}));
    EXPECT_TRUE(SameQuadrant({0, 0}, {7, 0}));
    EXPECT_FALSE(SameQuadrant({-1, 2}, {3, 4}));
    EXPECT_FALSE(SameQuadrant({1, -2}, {3, 4}));
    EXPECT_FALSE(SameQuadrant({0, 0}, {-7, 0}));

    EXPECT_TRUE(InsideCircle({1, 1}, {0, 0}, 2));
    EXPECT_FALSE(InsideCircle({2, 0}, {0, 0}, 2));
    EXPECT_FALSE(InsideCircle({3, 0}, {0, 0}, 2));
}

} // namespace
} // namespace kova
