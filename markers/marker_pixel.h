// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The marker colour test in a form the compiler can inline into the scan loops of the region
// search and the tracking. Private to markers/; callers outside use colour_test.h.

#include "analysis_state.h"
#include "pixel_view.h"

#include <cstdint>

namespace marker_detail {

// The six comparisons as differences that must not be negative (channel - low for
// "channel < 255 - darknessTolerance", high - channel for "channel > 255 + brightnessTolerance"),
// or-ed together: the result is negative exactly when the colour fails. Without a branch per
// comparison, a block of pixels can be tested at once. The bounds are 32-bit: a hand-edited
// settings file may hold tolerances near the 16-bit limits, and 255 - (-32768) does not fit 16.
[[nodiscard]] inline int32_t failSign(const AnalysisState& state, uint32_t colour) {
    const int32_t low = 255 - int32_t{state.darknessTolerance};
    const int32_t high = 255 + int32_t{state.brightnessTolerance};
    const auto red = static_cast<int32_t>(colour & 0xFFu);
    const auto green = static_cast<int32_t>((colour & 0xFF00u) >> 8);
    const auto blue = static_cast<int32_t>((colour & 0xFF0000u) >> 16);
    return (red - low) | (high - red) | (green - low) | (high - green) | (blue - low) |
           (high - blue);
}

[[nodiscard]] inline bool passes(const AnalysisState& state, uint32_t colour) {
    return failSign(state, colour) >= 0;
}

[[nodiscard]] inline bool passesAt(const AnalysisState& state, const PhotoView& photo, int x,
                                   int y) {
    return photo.contains(x, y) && passes(state, photo.colourAt(x, y));
}

// Point coordinates are 16-bit, so pixels beyond column or row 32767 of a huge photo are out of
// reach: treating them as off the photo keeps every found position representable.
[[nodiscard]] inline PhotoView reachable(const PhotoView& photo) {
    PhotoView view = photo;
    if (view.width > 32768)
        view.width = 32768;
    if (view.height > 32768)
        view.height = 32768;
    return view;
}

} // namespace marker_detail
