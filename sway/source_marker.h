// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "point_d.h"
#include "source_frame.h"
#include "sub_pixel_centre.h"

// A marker measured on the source picture at its own resolution.
struct SourceMarker {
    enum class Status {
        NotFound, // no marker pixel in the window
        Found,
        // The region meets the edge of its window or of the picture, or is too far from round
        // for one marker: merged with another white region, or cut by the frame's edge.
        // `centre` is that of the part found.
        Clipped,
    };
    Status status = Status::NotFound;
    PointD centre; // source pixels
};

// The marker at `expected` (source pixels): the region of marker pixels connected to the marker
// pixel nearest `expected` inside `window`, bounded by the window, and that region's
// coverage-weighted centre (subPixelCentre).
[[nodiscard]] SourceMarker findSourceMarker(SourceFrame& frame, MarkerBounds bounds,
                                            PointD expected, PixelRect window);

// Following a marker: the marker pixel nearest `expected` within `reach` of it (in x and in y),
// its region within that window, widened once to twice the reach when the region meets its
// edge.
[[nodiscard]] SourceMarker followSourceMarker(SourceFrame& frame, MarkerBounds bounds,
                                              PointD expected, int reach);

// Source pixels that stand for `displayPixels` of the display, rounded up.
[[nodiscard]] int sourceReach(double displayPixels, double sx, double sy);

// The source pixels under the display pixels of `box`, widened by `margin` display pixels.
[[nodiscard]] PixelRect sourceWindow(PixelRect box, int margin, double sx, double sy);
