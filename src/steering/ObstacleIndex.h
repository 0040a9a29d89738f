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
// obstacles. It describes the obstacles as they were when it was built: it
// must be told whenever an obstacle may have changed. Searches write scratch
// space of the index: each thread needs an index of its own.
class TObstacleIndex {
public:
    // Makes the grid describe this list, rebuilding it only when the list
    // differs from the one it describes.
    void Prepare(const TObstacleList& obstacles);
    // The obstacles may have been edited, or destroyed and others created at
    // the same addresses. The next Prepare compares the figure of every
    // obstacle of its list, bit for bit, with the one the grid was built from,
    // and rebuilds the grid only when one differs: a comparison costs far less
    // than a rebuild, and between frames obstacles rarely change.
    void ObstaclesMayHaveChanged() { figuresUnchecked_ = true; }
    // The indices, in ascending list order, of every obstacle that the probe
    // from `start` towards `end`, `range` long, can hit (and possibly some
    // that it cannot, though most of those are left out). Returns false, with `out` empty, when the
    // search would cover most of the grid and a walk over the whole list is cheaper.
    bool Candidates(const Vector& start, const Vector& end, Extended range,
                    std::vector<std::uint32_t>& out);

    // The figure of an obstacle as the intersection tests read it, copied
    // from the obstacle when the grid was built: the figures of the
    // candidates lie next to each other, where the obstacles themselves lie
    // scattered in memory. The fields are the obstacle's, value for value.
    struct TFigure {
        Vector P1;
        Vector P2;
        Vector Centre;
        Extended Radius = 0;
        std::uint8_t Kind = 0;
    };
    // The figure of the obstacle at `index` in the prepared list; only for
    // the obstacles Candidates reports.
    const TFigure& Figure(std::uint32_t index) const { return figures_[index]; }

private:
    // Bounds in double precision, rounded outwards from the extended ones:
    // two such boxes overlap whenever the boxes they enclose do.
    struct TBox {
        double left, top, right, bottom;
    };
    static TBox enclosingBox(Extended left, Extended top, Extended right, Extended bottom);
    static bool finite(const TBox& box);

    // A figure rounded to double for the quick tests that spare most
    // candidates the exact ones: a line from (X1, Y1) to (X2, Y2), or a
    // circle about (X1, Y1).
    struct TQuickFigure {
        double X1 = 0, Y1 = 0, X2 = 0, Y2 = 0, Radius = 0;
        bool Circle = false;
    };
    struct TQuickProbe;
    static bool surelyMissed(const TQuickFigure& figure, const TQuickProbe& probe);

    void rebuild();
    // Every obstacle of the list, which holds the indexed obstacles at the
    // same places, still has the figure the grid was built from.
    bool figuresUnchanged(const TObstacleList& obstacles) const;
    std::uint32_t columnOf(double x) const;
    std::uint32_t rowOf(double y) const;

    TObstacleList obstacles_;
    bool figuresUnchecked_ = false;
    std::vector<TBox> boxes_;
    std::vector<TFigure> figures_;
    std::vector<TQuickFigure> quickFigures_;
    // Obstacles whose extent is not finite are candidates of every search.
    std::vector<std::uint32_t> everywhere_;
    double left_ = 0;
    double top_ = 0;
    double cellSize_ = 1;
    std::uint32_t columns_ = 1;
    std::uint32_t rows_ = 1;
    // The obstacles of each cell, cell after cell in rows: the entries of cell
    // c lie from cellStarts_[c] up to cellStarts_[c + 1], so the cells of a
    // row that a search covers are read as one run. An obstacle spanning
    // several cells has an entry in each, and is reported only from the first
    // of them a search covers; each entry carries what that test and the
    // overlap test read, so that a search reads nothing else.
    struct TCellEntry {
        TBox Box;
        std::uint32_t Index;
        // The entry's own cell's column, and the top left cell of the
        // obstacle's cells.
        std::uint32_t Column;
        std::uint32_t FirstColumn;
        std::uint32_t FirstRow;
    };
    // Until the first rebuild, a grid of one empty cell, which no search
    // covers less than half of: every search walks the list.
    std::vector<std::uint32_t> cellStarts_{0, 0};
    std::vector<TCellEntry> cellEntries_;
    // The rebuild's next free entry of each cell; kept, so that rebuilds do
    // not allocate.
    std::vector<std::uint32_t> nextSlot_;
    // The entries a search keeps before the quick tests, with room for all.
    std::vector<std::uint32_t> gathered_;
};

} // namespace kova
