#pragma once

#include "foundations/Extended.h"

namespace kova {

// The arc tangent of y / x in the quadrant of (x, y), in radians from -pi to
// pi, worked out with additions, multiplications and divisions only. The
// processor's own arc tangent instruction rounds differently from one
// processor model to another, and a simulation must step to the same bits on
// every machine. Within a unit in the last place of the true value, and
// rounded to the nearest more often than the instruction; zeros, infinities
// and NaN give what std::atan2 gives.
Extended ArcTangent2(Extended y, Extended x);

} // namespace kova
