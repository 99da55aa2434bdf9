// SPDX-License-Identifier: GPL-3.0-or-later
#include "pixel_view.h"

#include <cmath>

void CanvasView::setPixelAt(double x, double y, uint32_t colour) {
    const double fx = std::floor(x);
    const double fy = std::floor(y);
    // Anything that is not a whole number in int range (NaN included) lies off the canvas anyway.
    constexpr double lo = -2147483648.0;
    constexpr double hi = 2147483647.0;
    if (!(fx >= lo && fx <= hi && fy >= lo && fy <= hi))
        return;
    setPixel(static_cast<int>(fx), static_cast<int>(fy), colour);
}
