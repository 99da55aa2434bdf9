// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "argb_picture.h"
#include "point_d.h"

#include <cstdint>
#include <optional>
#include <span>

// The marker colour test's bounds: a pixel is marker white when each of its red, green and blue
// values lies within low .. high. 32-bit: hand-edited tolerances may lie near the 16-bit limits.
struct MarkerBounds {
    int32_t low = 255;
    int32_t high = 255;
};
[[nodiscard]] MarkerBounds markerBounds(int16_t brightnessTolerance, int16_t darknessTolerance);

struct PixelSeed {
    int x = 0;
    int y = 0;
};

// A rectangle of pixels, edges included.
struct PixelRect {
    int left = 0;
    int top = 0;
    int right = -1;
    int bottom = -1;
};

// The centre of a white marker with sub-pixel precision, in the picture's pixel coordinates
// (pixel (i, j) is centred on (i, j)).
//
// The marker is the set of pixels that pass the colour test, lie inside `region` and are
// 4-connected to one of the passing seeds: the pixels the search or the tracking met. Those and
// their eight neighbours are weighted by how much of each the marker covers,
// clamp((b - background) / (white - background), 0, 1) with b the sum of the three channels and
// white 3 x 255: anti-aliased edge pixels that miss the colour test then still count in
// proportion. The background is a plane fitted to a one-pixel ring just outside them (robust
// against stray bright pixels), so a gradient or texture under the marker does not pull it.
//
// Nothing when no seed passes the colour test. A marker without contrast against its ring (or
// without a ring, filling everything around it) gives the plain mean of its pixels. With
// `extent`, the box and the number of the marker's own pixels are written there.
struct MarkerExtent {
    PixelRect box;
    int pixels = 0;
};
[[nodiscard]] std::optional<PointD> subPixelCentre(const ArgbPicture& picture, MarkerBounds bounds,
                                                   std::span<const PixelSeed> seeds,
                                                   PixelRect region,
                                                   MarkerExtent* extent = nullptr);
