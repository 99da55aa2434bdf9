// SPDX-License-Identifier: GPL-3.0-or-later
#include "display_size.h"

#include "rounding.h"

#include <algorithm>
#include <cstdint>

std::optional<DisplaySize> displaySize(int w, int h) {
    if (w <= 0 || h <= 0)
        return std::nullopt;
    // The products are whole numbers; the quotient is taken in floating point and rounded.
    if (4.0 / 3.0 > static_cast<double>(w) / h) {
        const int64_t product = int64_t{480} * w;
        // A sliver of a photo still gets one pixel, never an empty picture.
        return DisplaySize{std::max(1, nearestInt32(static_cast<double>(product) / h)), 480};
    }
    const int64_t product = int64_t{640} * h;
    return DisplaySize{640, std::max(1, nearestInt32(static_cast<double>(product) / w))};
}
