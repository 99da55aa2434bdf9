// SPDX-License-Identifier: GPL-3.0-or-later
#include "colour_test.h"

#include "marker_pixel.h"

bool isMarkerPixel(const AnalysisState& state, uint32_t colour) {
    return marker_detail::passes(state, colour);
}
