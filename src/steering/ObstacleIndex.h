#pragma once

#include "foundations/Matrix.h"
#include "world/ObstacleList.h"

#include <cstdint>
#include <vector>

namespace kova {

// A grid over the obstacles of one obstacle list, used to find the obstacles a
// probe can hit without testing every obstacle. Callers still run the exact
// intersection tests on every candidate, in list order, so the nearest hit is
// the same as with a walk over the whole list.
//
// Bugs made from one template hold equal copies of one list; the grid is kept
// for the last list prepared and reused while the lists keep holding the same
// obstacles.
class TObstacleIndex {
public:
    // Makes the grid describe this list, rebuilding it only when the list
    // differs from the one it describes.
    void Prepare(const TObstacleList& obstacles);
    // Forgets the list (obstacles may have been destroyed and others created at
    // the same addresses).
    void Invalidate();
    // The indices, in ascending list order, of every obstacle that the probe
    // from `start` towards `end`, `range` long, can hit (and possibly some
    // that it cannot). Returns false, with `out` empty, when the search would
    // cover most of the grid and a walk over the whole list is cheaper.
    bool Candidates(const Vector& start, const Vector& end, Extended range,
                    std::vector<std::uint32_t>& out) const;

private:
    // Bounds in double precision, rounded outwards from the extended ones:
    // two such boxes overlap whenever the boxes they enclose do.
    struct TBox {
        double left, top, right, bottom;
    };
    static TBox enclosingBox(Extended left, Extended top, Extended right, Extended bottom);
    static bool finite(const TBox& box);

    void rebuild();
    std::uint32_t columnOf(double x) const;
    std::uint32_t rowOf(double y) const;

    TObstacleList obstacles_;
    std::vector<TBox> boxes_;
    // Obstacles whose extent is not finite are candidates of every search.
    std::vector<std::uint32_t> everywhere_;
    double left_ = 0;
    double top_ = 0;
    double cellSize_ = 1;
    std::uint32_t columns_ = 1;
    std::uint32_t rows_ = 1;
    std::vector<std::vector<std::uint32_t>> cells_;
    // The top left cell of each obstacle's cells. An obstacle spanning
    // several cells is reported only from the first of them a search covers.
    struct TCell {
        std::uint32_t Column;
        std::uint32_t Row;
    };
    std::vector<TCell> firstCellOf_;
};

} // namespace kova
