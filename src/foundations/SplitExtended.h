#pragma once

#include "foundations/Extended.h"

#include <cmath>

namespace kova {

// An extended value kept as two doubles whose sum it is: the value rounded to
// double, and what that rounding left off. Loops that read the values of many
// members load two doubles each much faster than one extended value, whose
// load the processor splits into several steps; the one addition that joins
// them costs less.
struct TSplitExtended {
    double Hi = 0;
    double Lo = 0;

    Extended Value() const { return static_cast<Extended>(Hi) + static_cast<Extended>(Lo); }
};

// Splits x, and tells whether the sum gives x back bit for bit. It does for
// every finite x within the doubles' range whose remainder is not among the
// doubles' subnormals, and for the infinities; Hi is x rounded to double in
// every case. The remainder is exact in extended arithmetic, as x and Hi
// differ in at most the last 11 bits of x's significand.
inline bool SplitExactly(Extended x, TSplitExtended& split) {
    const double hi = static_cast<double>(x);
    // A zero remainder takes the sign of hi, so that -0 splits into -0 and -0,
    // which add up to -0.
    const double lo = x == hi ? std::copysign(0.0, hi) : static_cast<double>(x - hi);
    split = {hi, lo};
    return split.Value() == x;
}

} // namespace kova
