// The neighbour grid follows members as they move within a frame. Whatever
// way they move, every member must stay filed exactly once, with its current
// position, and a search must reach every member within its range.

#include "SteeringTestSupport.h"

#include "world/NeighbourGrid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace kova {
namespace {

constexpr Extended kArena = 100;
constexpr Extended kRange = 10;

// The entries that one search visits, in visiting order.
std::vector<TGridEntry> searchFrom(const TNeighbourGrid& grid, const Vector& point,
                                   Extended range) {
    std::vector<TGridEntry> visited;
    const bool searched =
        grid.ForEachCandidateRun(point, range, [&](std::span<const TGridEntry> run) {
            visited.insert(visited.end(), run.begin(), run.end());
        });
    EXPECT_TRUE(searched);
    return visited;
}

// A coordinate as the grid's entries hold it.
float gridFloat(Extended x) {
    return static_cast<float>(static_cast<double>(x));
}

void expectConsistent(const TNeighbourGrid& grid, const test::SteeringScene& scene,
                      std::mt19937& random) {
    const auto& members = scene.Group.Members;
    // Every member is found where it now is, with its position, and once.
    for (std::uint32_t i = 0; i < members.size(); ++i) {
        const Vector& position = members[i]->Position;
        int found = 0;
        for (const TGridEntry& entry : searchFrom(grid, position, 1e-3L)) {
            if (entry.Index == i) {
                ++found;
                EXPECT_EQ(entry.X, gridFloat(position[0]));
                EXPECT_EQ(entry.Y, gridFloat(position[1]));
            }
        }
        ASSERT_EQ(found, 1) << "member " << i;
        const TMemberState& state = grid.State(i);
        ASSERT_TRUE(state.Exact());
        EXPECT_EQ(state.PositionValue(), position);
        EXPECT_EQ(state.VelocityValue(), members[i]->Velocity);
    }
    // A search reaches every member in range, and no member twice.
    std::uniform_real_distribution<double> coordinate(-20, 120);
    for (int probe = 0; probe < 50; ++probe) {
        const Vector point(coordinate(random), coordinate(random));
        std::vector<int> visits(members.size());
        for (const TGridEntry& entry : searchFrom(grid, point, kRange))
            ASSERT_EQ(++visits[entry.Index], 1) << "member " << entry.Index << " twice";
        for (std::uint32_t i = 0; i < members.size(); ++i) {
            Vector offset;
            VecSub(members[i]->Position, point, offset);
            if (VecLength(offset) < kRange) {
                EXPECT_EQ(visits[i], 1) << "member " << i << " in range but not reached";
            }
        }
    }
}

TEST(NeighbourGrid, KeepsEveryMemberOnceWhereverMembersMove) {
    InitVectors(2);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> inside(0, static_cast<double>(kArena));
    std::uniform_real_distribution<double> around(-30, 130);
    std::uniform_real_distribution<double> step(-4, 4);
    std::uniform_int_distribution<int> kind(0, 3);

    test::SteeringScene scene;
    for (int i = 0; i < 300; ++i)
        scene.AddBug(Vector(inside(random), inside(random)), Vector(1, 0));
    const auto& members = scene.Group.Members;
    std::uniform_int_distribution<std::uint32_t> pick(0, members.size() - 1);

    TNeighbourGrid grid;
    grid.Build(members, kArena, kArena, kRange);
    expectConsistent(grid, scene, random);

    // Small steps within and across cells, jumps across the arena (a wrap
    // round its edges), moves off the arena into the border cells, and moves
    // back to the very same spot.
    for (int move = 1; move <= 3000; ++move) {
        const std::uint32_t i = pick(random);
        TBug& bug = *members[i];
        switch (kind(random)) {
        case 0:
            bug.Position = Vector(bug.Position[0] + step(random), bug.Position[1] + step(random));
            break;
        case 1:
            bug.Position = Vector(inside(random), inside(random));
            break;
        case 2:
            bug.Position = Vector(around(random), around(random));
            break;
        default:
            bug.Velocity = Vector(step(random), step(random));
            break;
        }
        grid.Update(i, bug);
        if (move % 500 == 0) {
            SCOPED_TRACE(testing::Message() << "after move " << move);
            expectConsistent(grid, scene, random);
            if (HasFatalFailure())
                return;
        }
    }

    // A rebuild over the moved members files them afresh.
    grid.Build(members, kArena, kArena, kRange);
    expectConsistent(grid, scene, random);
}

// Built for concurrent steps, members keep their cells: a search must still
// reach every member within range once each has moved up to the allowance,
// around the arena's edges too, where members leave and come back in.
TEST(NeighbourGrid, ConcurrentStepsReachEveryMemberThatMovedWithinTheAllowance) {
    InitVectors(2);
    constexpr Extended kAllowance = 3;
    std::mt19937 random(11);
    std::uniform_real_distribution<double> inside(0, static_cast<double>(kArena));
    std::uniform_real_distribution<double> step(-2.9, 2.9);
    std::uniform_real_distribution<double> nearEdge(0, 2.5);
    test::SteeringScene scene;
    for (int i = 0; i < 400; ++i) {
        // A quarter of the members start on the arena's edges and corners.
        const double x =
            i % 4 == 0 ? (i % 8 == 0 ? nearEdge(random) : 100 - nearEdge(random)) : inside(random);
        const double y = i % 12 == 0 ? nearEdge(random) : inside(random);
        scene.AddBug(Vector(x, y), Vector(1, 0));
    }
    const auto& members = scene.Group.Members;
    TNeighbourGrid grid;
    grid.SetMemberCount(members.size());
    for (std::uint32_t i = 0; i < members.size(); ++i)
        grid.CaptureState(i, *members[i]);
    // Filed in three uneven runs, in no particular order, as threads do.
    const std::uint32_t runStarts[] = {0, 50, 300, static_cast<std::uint32_t>(members.size())};
    ASSERT_TRUE(grid.LayOutCells(kArena, kArena, (kRange + kAllowance) * 1.01L, kAllowance, 3));
    for (const unsigned part : {2u, 0u, 1u})
        grid.PlaceMembers(part, runStarts[part], runStarts[part + 1]);
    grid.SumPlacedMembers();
    for (const unsigned part : {1u, 2u, 0u})
        grid.FileMembers(part, runStarts[part], runStarts[part + 1]);
    for (std::uint32_t i = 0; i < members.size(); ++i) {
        TBug& bug = *members[i];
        Vector& p = bug.Position;
        p = Vector(p[0] + step(random), p[1] + step(random));
        // Back into the arena as a step wraps a member.
        for (int axis = 0; axis < 2; ++axis) {
            if (p[axis] < 0)
                p[axis] = kArena + p[axis];
            if (p[axis] > kArena)
                p[axis] = p[axis] - kArena;
        }
        grid.Update(i, bug);
    }
    for (int probe = 0; probe < 300; ++probe) {
        const Vector point(inside(random), inside(random));
        std::vector<int> visits(members.size());
        for (const TGridEntry& entry : searchFrom(grid, point, kRange)) {
            ASSERT_EQ(++visits[entry.Index], 1) << "member " << entry.Index << " twice";
            EXPECT_EQ(entry.X, gridFloat(members[entry.Index]->Position[0]));
        }
        for (std::uint32_t i = 0; i < members.size(); ++i) {
            Vector offset;
            VecSub(members[i]->Position, point, offset);
            if (VecLength(offset) < kRange) {
                EXPECT_EQ(visits[i], 1) << "member " << i << " in range but not reached";
            }
        }
    }
    // Three cells along an axis are too few for searches that wrap.
    EXPECT_FALSE(grid.FileCapturedStates(kArena, kArena, kArena / 3, kAllowance));
}

} // namespace
} // namespace kova
