// The statistics of a group on hand-built groups whose answers are known, and
// the grid searches for nearest neighbours and clusters against a direct
// comparison of every pair.

#include "SteeringTestSupport.h"

#include "analysis/GroupStatistics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace kova {
namespace {

using test::SteeringScene;

constexpr double kPiD = 3.14159265358979323846;

struct Member {
    double X, Y, Vx = 0, Vy = 0;
};

void addMembers(SteeringScene& scene, const std::vector<Member>& members) {
    for (const Member& m : members)
        scene.AddBug(Vector(m.X, m.Y), Vector(m.Vx, m.Vy));
}

// n members on a circle of the radius about (cx, cy), each moving along the
// circle (counter-clockwise unless clockwise) at its own speed.
std::vector<Member> ring(int n, double cx, double cy, double radius, bool clockwise = false) {
    std::vector<Member> members;
    for (int i = 0; i < n; ++i) {
        const double angle = 2 * kPiD * i / n;
        const double speed = 1 + i % 3;
        const double turn = clockwise ? -1 : 1;
        members.push_back({cx + radius * std::cos(angle), cy + radius * std::sin(angle),
                           -turn * speed * std::sin(angle), turn * speed * std::cos(angle)});
    }
    return members;
}

std::vector<Member> joined(std::vector<Member> a, const std::vector<Member>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct HeadingCase {
    std::string Name;
    std::vector<Member> Members;
    double Polarisation;
    std::optional<double> Milling;
};

TEST(GroupStatistics, PolarisationAndMillingOfKnownGroups) {
    const std::vector<HeadingCase> cases{
        {"aligned at different speeds",
         {{0, 0, 3, 0}, {10, 0, 1, 0}, {0, 10, 0.5, 0}, {10, 10, 7, 0}},
         1,
         0},
        {"aligned diagonally", {{1, 2, 1, 1}, {-4, 7, 2, 2}, {3, 3, 0.1, 0.1}}, 1, std::nullopt},
        {"pairs in opposite directions",
         {{0, 0, 1, 0}, {5, 5, -2, 0}, {1, 3, 0, 1}, {4, 4, 0, -3}},
         0,
         std::nullopt},
        {"ring circling counter-clockwise", ring(8, 50, 20, 10), 0, 1},
        {"ring circling clockwise", ring(12, -5, 3, 4, true), 0, 1},
        // Members at rest, placed symmetrically about the ring's centre: they
        // would pull both measures below 1 if they counted.
        {"ring with members at rest",
         joined(ring(6, 0, 0, 5), {{30, 0}, {-30, 0}, {0, 17}, {0, -17}}), 0, 1},
        {"aligned with members at rest",
         {{0, 0, 2, 1}, {9, 9}, {4, 1, 4, 2}, {-3, 5}},
         1,
         std::nullopt},
        {"all at rest", {{0, 0}, {3, 4}, {-1, 2}}, 0, 0},
    };
    for (const HeadingCase& c : cases) {
        SCOPED_TRACE(c.Name);
        SteeringScene scene;
        addMembers(scene, c.Members);
        const TGroupStatistics s = MeasureGroup(scene.Group, 1);
        EXPECT_NEAR(s.Polarisation, c.Polarisation, 1e-12);
        if (c.Milling) {
            EXPECT_NEAR(s.Milling, *c.Milling, 1e-12);
        }
    }
}

TEST(GroupStatistics, SpeedsIncludeMembersAtRest) {
    SteeringScene scene;
    addMembers(scene, {{0, 0}, {1, 1, 3, 0}, {2, 2, 3, -4}});
    const TGroupStatistics s = MeasureGroup(scene.Group, 1);
    EXPECT_DOUBLE_EQ(s.MeanSpeed, 8.0 / 3);
    EXPECT_EQ(s.MinSpeed, 0);
    EXPECT_EQ(s.MaxSpeed, 5);
}

TEST(GroupStatistics, ClustersSplitAtTheGap) {
    // Two rows of three members 2 apart, the rows 10 apart (4 to 14).
    SteeringScene scene;
    addMembers(scene, {{0, 0}, {2, 0}, {4, 0}, {14, 0}, {16, 0}, {18, 0}});
    const struct {
        double Distance;
        std::size_t Clusters;
    } cases[] = {{1.5, 6}, {2.5, 2}, {9.5, 2}, {10.5, 1}, {1000, 1}};
    TGroupMeter meter;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Distance);
        EXPECT_EQ(meter.Measure(scene.Group, c.Distance).Clusters, c.Clusters);
    }
}

// A snapshot keeps the moment it was taken: measured after the members have
// moved on, it gives what the group gave then, cluster distance included.
TEST(GroupStatistics, ASnapshotIsMeasuredAsTheGroupStoodWhenTaken) {
    SteeringScene scene;
    addMembers(scene, joined(ring(12, 30, -5, 8), {{0, 0, 1, 0}, {3, 1, 0, 2}, {40, 40}}));
    for (const double distance : {0.0, 4.0}) {
        SCOPED_TRACE(distance);
        const std::vector<double> before =
            GroupStatisticValues(MeasureGroup(scene.Group, distance));
        TGroupSnapshot snapshot;
        snapshot.Take(scene.Group, distance);
        for (const auto& bug : scene.Group.Members)
            bug->Position = Vector(bug->Position[0] * 3 + 1, bug->Position[1] - 7);
        TGroupMeter meter;
        EXPECT_EQ(GroupStatisticValues(meter.Measure(snapshot)), before);
        EXPECT_NE(GroupStatisticValues(meter.Measure(scene.Group, distance)), before);
    }
}

TEST(GroupStatistics, DefaultClusterDistanceIsTheLargestSensorRange) {
    struct Range {
        double Value;
        bool On;
    };
    const struct {
        std::string Name;
        std::vector<Range> Ranges;
        double Expected;
    } cases[] = {
        {"no behaviours: twice the largest diameter", {}, 2 * 7},
        {"ranges switched off are ignored", {{50, false}}, 2 * 7},
        {"the largest range switched on", {{12, true}, {80, false}, {25, true}}, 25},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        SteeringScene scene;
        scene.AddBug(Vector(0, 0)).Shape.Size = Vector(3, 3);
        scene.AddBug(Vector(5, 0)).Shape.Size = Vector(7, 4);
        for (const Range& range : c.Ranges) {
            auto behaviour = std::make_unique<TSteeringBehaviour>(bkCohesion);
            behaviour->SensorRange = range.Value;
            behaviour->SensorRangeOn = range.On;
            scene.Group.Template.Behaviours->push_back(std::move(behaviour));
        }
        EXPECT_EQ(DefaultClusterDistance(scene.Group), c.Expected);
    }
}

TEST(GroupStatistics, NoClusterDistanceMeansTheDefault) {
    // Members 20 apart: one cluster with a sensor range of 25, two with 15.
    for (const auto& [range, clusters] : {std::pair{25.0, 1u}, std::pair{15.0, 2u}}) {
        SteeringScene scene;
        addMembers(scene, {{0, 0}, {20, 0}});
        auto behaviour = std::make_unique<TSteeringBehaviour>(bkSeparation);
        behaviour->SensorRange = range;
        behaviour->SensorRangeOn = true;
        scene.Group.Template.Behaviours->push_back(std::move(behaviour));
        EXPECT_EQ(MeasureGroup(scene.Group).Clusters, clusters) << "range " << range;
    }
}

TEST(GroupStatistics, MeanNearestNeighbourDistanceOnALattice) {
    const struct {
        int Columns, Rows;
        double DX, DY, Expected;
    } cases[] = {
        {5, 4, 3, 3, 3},     {6, 7, 3, 5, 3},    {10, 1, 0.25, 0, 0.25},
        {2, 1, 1e6, 0, 1e6}, {3000, 1, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Columns << "x" << c.Rows);
        SteeringScene scene;
        for (int i = 0; i < c.Columns; ++i)
            for (int j = 0; j < c.Rows; ++j)
                scene.AddBug(Vector(-7 + i * c.DX, 11 + j * c.DY));
        EXPECT_NEAR(MeasureGroup(scene.Group, 1).MeanNearestNeighbourDistance, c.Expected,
                    1e-9 * c.Expected);
    }
}

TEST(GroupStatistics, CentreAndRadiusOfGyration) {
    const struct {
        std::string Name;
        std::vector<Member> Members;
        double X, Y, Radius;
    } cases[] = {
        {"rectangle", {{0, 0}, {4, 0}, {4, 2}, {0, 2}}, 2, 1, std::sqrt(5.0)},
        {"pair", {{-3, 10}, {5, 4}}, 1, 7, 5},
        {"one point twice", {{7, -2}, {7, -2}}, 7, -2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        SteeringScene scene;
        addMembers(scene, c.Members);
        const TGroupStatistics s = MeasureGroup(scene.Group, 1);
        EXPECT_DOUBLE_EQ(s.CentreX, c.X);
        EXPECT_DOUBLE_EQ(s.CentreY, c.Y);
        EXPECT_NEAR(s.RadiusOfGyration, c.Radius, 1e-12);
    }
}

TEST(GroupStatistics, EmptyAndOneMemberGroupsGiveZeros) {
    SteeringScene empty;
    const std::vector<double> none = GroupStatisticValues(MeasureGroup(empty.Group));
    EXPECT_EQ(none, std::vector<double>(GroupStatisticNames().size(), 0.0));

    SteeringScene single;
    single.AddBug(Vector(3, 4), Vector(0, 2));
    const TGroupStatistics s = MeasureGroup(single.Group);
    const std::vector<double> values = GroupStatisticValues(s);
    for (const double value : values)
        EXPECT_TRUE(std::isfinite(value));
    EXPECT_EQ(s.Members, 1u);
    EXPECT_EQ(s.Clusters, 1u);
    EXPECT_EQ(s.MeanNearestNeighbourDistance, 0);
    EXPECT_EQ(s.Milling, 0);
    EXPECT_EQ(s.Polarisation, 1);
    EXPECT_EQ(s.RadiusOfGyration, 0);
    EXPECT_EQ(s.CentreX, 3);
    EXPECT_EQ(s.CentreY, 4);
}

TEST(GroupStatistics, ValuesFollowTheNames) {
    TGroupStatistics s;
    s.Members = 1;
    s.MeanSpeed = 2;
    s.MinSpeed = 3;
    s.MaxSpeed = 4;
    s.Polarisation = 5;
    s.Milling = 6;
    s.MeanNearestNeighbourDistance = 7;
    s.Clusters = 8;
    s.CentreX = 9;
    s.CentreY = 10;
    s.RadiusOfGyration = 11;
    const std::vector<double> values = GroupStatisticValues(s);
    ASSERT_EQ(values.size(), GroupStatisticNames().size());
    ASSERT_EQ(values.size(), kGroupStatisticCount);
    for (std::size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(values[i], static_cast<double>(i + 1)) << GroupStatisticNames()[i];
    EXPECT_EQ(GroupStatisticNames().front(), "members");
    EXPECT_EQ(GroupStatisticNames()[6], "mean_nearest_neighbour_distance");
    EXPECT_EQ(GroupStatisticNames().back(), "radius_of_gyration");
}

// Every pair compared directly.
double bruteMeanNearest(const std::vector<Member>& members) {
    double sum = 0;
    for (std::size_t i = 0; i < members.size(); ++i) {
        double best = std::numeric_limits<double>::infinity();
        for (std::size_t j = 0; j < members.size(); ++j) {
            if (j == i)
                continue;
            const double dx = members[j].X - members[i].X;
            const double dy = members[j].Y - members[i].Y;
            best = std::min(best, dx * dx + dy * dy);
        }
        sum += std::sqrt(best);
    }
    return sum / static_cast<double>(members.size());
}

std::size_t bruteClusters(const std::vector<Member>& members, double distance) {
    std::vector<std::size_t> label(members.size());
    std::iota(label.begin(), label.end(), std::size_t{0});
    // Relabel until no pair closer than the distance has two labels.
    for (bool changed = true; changed;) {
        changed = false;
        for (std::size_t i = 0; i < members.size(); ++i)
            for (std::size_t j = 0; j < members.size(); ++j) {
                const double dx = members[j].X - members[i].X;
                const double dy = members[j].Y - members[i].Y;
                if (dx * dx + dy * dy < distance * distance && label[j] < label[i]) {
                    label[i] = label[j];
                    changed = true;
                }
            }
    }
    std::sort(label.begin(), label.end());
    return static_cast<std::size_t>(std::unique(label.begin(), label.end()) - label.begin());
}

TEST(GroupStatistics, GridSearchesAgreeWithEveryPairCompared) {
    std::mt19937 random(20261209);
    TGroupMeter meter;
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        // A 100 x 100 arena, with members also outside it, a few small
        // clumps and some members on exactly the same spot.
        std::uniform_real_distribution<double> coordinate(-40, 140);
        std::normal_distribution<double> clump(0, 2);
        std::vector<Member> members;
        const int count = 150 + 50 * round;
        for (int i = 0; i < count; ++i) {
            if (i % 17 == 5)
                members.push_back(members.back());
            else if (i % 5 == 0 && i > 0)
                members.push_back(
                    {members[i - 1].X + clump(random), members[i - 1].Y + clump(random)});
            else
                members.push_back({coordinate(random), coordinate(random)});
        }
        SteeringScene scene;
        addMembers(scene, members);
        for (const double distance : {0.5, 3.0, 8.0, 15.0, 40.0}) {
            SCOPED_TRACE(distance);
            const TGroupStatistics s = meter.Measure(scene.Group, distance);
            EXPECT_DOUBLE_EQ(s.MeanNearestNeighbourDistance, bruteMeanNearest(members));
            EXPECT_EQ(s.Clusters, bruteClusters(members, distance));
        }
    }
}

} // namespace
} // namespace kova
