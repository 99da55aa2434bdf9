// SPDX-License-Identifier: GPL-3.0-or-later
#include "rounding.h"

#include <cmath>
#include <limits>

namespace {

// Halves go to the even neighbour. Done by hand rather than with std::nearbyint so the result
// never depends on the floating-point rounding mode someone else may have set.
double roundHalfEven(double v) {
    const double lower = std::floor(v);
    const double fraction = v - lower; // exact for every double
    if (fraction > 0.5)
        return lower + 1.0;
    if (fraction < 0.5)
        return lower;
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

template <typename Int> Int nearestSaturating(double v) {
    constexpr double lo = std::numeric_limits<Int>::min();
    constexpr double hi = std::numeric_limits<Int>::max();
    if (std::isnan(v))
        return 0;
    const double r = roundHalfEven(v);
    if (r <= lo)
        return std::numeric_limits<Int>::min();
    if (r >= hi)
        return std::numeric_limits<Int>::max();
    return static_cast<Int>(r);
}

} // namespace

int32_t nearestInt32(double v) {
    return nearestSaturating<int32_t>(v);
}

int16_t nearestInt16(double v) {
    return nearestSaturating<int16_t>(v);
}
