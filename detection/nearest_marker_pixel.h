// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "argb_picture.h"
#include "point_d.h"
#include "sub_pixel_centre.h"

#include <optional>

// The pixel that passes the colour test nearest `at` (pixel (i, j) centred on (i, j)), no farther
// than `radius`; of equally near ones the topmost, then the leftmost. Nothing when there is none.
[[nodiscard]] std::optional<PixelSeed>
nearestMarkerPixel(const ArgbPicture& picture, MarkerBounds bounds, PointD at, double radius);
