#pragma once

#include <cstdint>

namespace kova {

// The cell of a uniform grid along one axis that holds a point `offset` from
// the grid's origin: offset / cellSize, truncated and clamped to the grid's
// `count` cells. Every step is monotonic, so a point between two others never
// lands outside their cells, which is all a grid that only narrows a search
// needs; points off the grid share the border cells, and NaN goes to cell 0.
// Doubles keep this cheap: rounding an extended offset to double is monotonic
// too.
inline std::uint32_t GridAxisCell(double offset, double cellSize, std::uint32_t count) {
    const double cell = offset / cellSize;
    if (!(cell > 0))
        return 0;
    if (cell >= static_cast<double>(count - 1))
        return count - 1;
    return static_cast<std::uint32_t>(cell);
}

} // namespace kova
