#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kova {

class TBugGroup;

// What a group does at one moment, worked out from its members' positions and
// velocities as they stand after a frame. The statistics only read the group;
// they are computed in double precision.
//
// Every distance is the straight (Euclidean) distance in the arena's plane,
// as the steering behaviours measure it: nothing wraps at the arena's edges,
// and members outside the arena's rectangle are measured where they are.
struct TGroupStatistics {
    std::size_t Members = 0;
    // |v_i| over all members, those at rest included.
    double MeanSpeed = 0, MinSpeed = 0, MaxSpeed = 0;
    // |sum of v_i/|v_i|| / N' over the N' members that move (|v_i| > 0);
    // 1 when they all head the same way, 0 when none moves.
    double Polarisation = 0;
    // With c the centre and v^_i = v_i/|v_i|, over the members that move:
    //     m = |sum (r_i - c) x v^_i| / sum |r_i - c|
    // (x the 2-D cross product, its z component). 1 for members on a ring all
    // circling the centre the same way, 0 for a parallel flock crossing its
    // centre. Members at the centre add nothing to either sum; m is 0 when the
    // denominator is 0.
    double Milling = 0;
    // The mean over all members of the distance to the nearest other member;
    // 0 with fewer than 2 members.
    double MeanNearestNeighbourDistance = 0;
    // Members closer than the cluster distance are in one cluster, and so,
    // transitively, are their clusters.
    std::size_t Clusters = 0;
    // The mean position of all members.
    double CentreX = 0, CentreY = 0;
    // sqrt(mean |r_i - centre|^2) over all members.
    double RadiusOfGyration = 0;
};

// The number of statistics, that is of TGroupStatistics' fields.
inline constexpr std::size_t kGroupStatisticCount = 11;

// The names of the statistics in the order of TGroupStatistics' fields, for
// CSV headers: "members", "mean_speed", ..., "radius_of_gyration".
const std::vector<std::string>& GroupStatisticNames();
// The values in the same order as GroupStatisticNames, as doubles (the counts
// as whole numbers).
std::vector<double> GroupStatisticValues(const TGroupStatistics& statistics);

// The distance below which members count as one cluster unless told
// otherwise: the largest SensorRange among the template's behaviours that have
// SensorRangeOn, since that is how far a member notices the others. When no
// behaviour limits its range, twice the largest member diameter (members
// almost touching); 0 for a group without members.
double DefaultClusterDistance(const TBugGroup& group);

// A group's members as they stand at one moment, copied out of the group so
// that they can be measured later, or on another thread, while the group moves
// on: positions and velocities in the group's member order, and the cluster
// distance to measure with.
struct TGroupSnapshot {
    std::vector<double> X, Y, Vx, Vy;
    // DefaultClusterDistance(group) unless another was asked for.
    double ClusterDistance = 0;

    // Copies the members (keeping the memory of earlier copies). A
    // clusterDistance that is not positive (or NaN) means
    // DefaultClusterDistance(group).
    void Take(const TBugGroup& group, double clusterDistance = 0);
    std::size_t Size() const { return X.size(); }
};

// Measures groups, keeping its scratch memory from one measurement to the
// next: measuring the same group every frame allocates nothing once the
// buffers have grown to the group's size. Nearest neighbours and clusters are
// found through uniform grids over the members' positions, so a measurement
// costs about linear time in the member count, not quadratic:
// - nearest neighbours: cells sized to hold about two members where the
//   members gather; a member looks through its own cell and the eight
//   around it, then through wider rings of cells until the nearest member
//   found is nearer than any cell not yet searched;
// - clusters: union-find over cells whose diagonal is shorter than the
//   cluster distance, so that the members of one cell are one cluster, each
//   cell joined with those up to two cells away in which a member is close
//   enough. Where such cells would be too many for the members' spread,
//   cells as wide as the distance, with every pair of members in neighbouring
//   cells compared.
class TGroupMeter {
public:
    // Measures the group now. A clusterDistance that is not positive (or NaN)
    // means DefaultClusterDistance(group).
    TGroupStatistics Measure(const TBugGroup& group, double clusterDistance = 0);
    // Measures a copy of a group; the same numbers as measuring the group at
    // the moment of the copy.
    TGroupStatistics Measure(const TGroupSnapshot& snapshot);

private:
    // The points sorted by cell, row after row: the points of cell k are
    // Start[k] .. Start[k + 1] - 1 of X, Y and Index (their place in the
    // group's member list).
    struct TPointGrid {
        double MinX = 0, MinY = 0, Cell = 1;
        std::int64_t Columns = 1, Rows = 1;
        std::vector<std::uint32_t> Start;
        std::vector<double> X, Y;
        std::vector<std::uint32_t> Index;
    };

    // Sorts the members into cells of at least cellSize, with no more than
    // about cellsPerMember cells a member (wider cells when there would be).
    void build(TPointGrid& grid, double cellSize, double cellsPerMember);
    // The two halves of build: the grid's size and each cell's count (in
    // Start[k + 1] for cell k), then the points in cell order.
    void layout(TPointGrid& grid, double cellSize, double cellsPerMember);
    void fill(TPointGrid& grid);
    double meanNearestNeighbourDistance();
    std::size_t countClusters(double clusterDistance);

    // Per member, in the group's order: position and unit velocity (0, 0 for
    // a member at rest).
    std::vector<double> x_, y_, ux_, uy_;
    // The bounding box of the finite positions.
    double minX_ = 0, minY_ = 0, maxX_ = 0, maxY_ = 0;
    std::vector<std::uint32_t> cellOf_;
    // The box around the members of a cell of the cluster grid, and where
    // they are in the grid (First .. End - 1).
    struct TBox {
        double MinX, MaxX, MinY, MaxY;
        std::uint32_t First, End;
    };
    std::vector<TBox> boxes_;
    TGroupSnapshot snapshot_;
    std::vector<std::uint32_t> parent_;
    std::vector<double> nearest_;
    TPointGrid nearestGrid_;
    TPointGrid clusterGrid_;
};

// Measures the group now with a meter of its own, which allocates its scratch
// memory every call; hold a TGroupMeter to measure repeatedly.
TGroupStatistics MeasureGroup(const TBugGroup& group, double clusterDistance = 0);

} // namespace kova
