// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "argb_picture.h"
#include "point_d.h"
#include "sub_pixel_centre.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// What counts as a marker besides its colour. The default areas suit markers 6 to 40 pixels
// across: a disc of 6 keeps about 20 pixels through the colour test once its soft edge and JPEG
// have taken their share, one of 40 has 1257.
struct DetectionLimits {
    int64_t minArea = 15;
    int64_t maxArea = 1600;
    // Of circularity (see MarkerCandidate): a disc seen at 45 degrees still passes (0.94), an
    // ellipse of 1 : 2.5 (0.69) or a bar does not. Markers measure 0.92 and up in the accuracy
    // test's scenes.
    double minCircularity = 0.7;
};

// A region of marker pixels: 4-connected pixels that pass the colour test.
struct MarkerCandidate {
    PointD centre;    // the mean of its pixel centres
    int64_t area = 0; // pixels
    PixelRect box;    // the pixels' bounding box
    // area / (2 pi (var x + var y)), each pixel a unit square: 1 for a disc, 2ab / (a^2 + b^2) for
    // an ellipse of semi-axes a, b, 3 / pi for a square, lower for long, hollow or ragged shapes.
    double circularity = 0.0;

    // The diameter of a disc of the same area.
    [[nodiscard]] double diameter() const;
};

struct DetectionResult {
    // The first `keep` candidates met, sorted top to bottom (by centre y, then x).
    std::vector<MarkerCandidate> candidates;
    int64_t count = 0; // every candidate, also those past `keep`
};

// The marker regions of a whole picture: pixels that pass the colour test of `bounds`, 4-connected
// into regions, kept when the area lies within the limits, the circularity reaches the minimum
// and no pixel lies on the picture's outermost rows or columns (a region cut by the edge has
// neither its true area nor its centre).
//
// One pass over the rows; besides the result it holds only a few words per run of the current
// and the previous row, so its memory grows with the picture's width, not its area.
[[nodiscard]] DetectionResult detectMarkers(const ArgbPicture& picture, MarkerBounds bounds,
                                            const DetectionLimits& limits = {},
                                            std::size_t keep = 1000);
