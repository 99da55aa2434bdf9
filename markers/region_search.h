// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis_state.h"
#include "pixel_view.h"

#include <cstdint>

struct PixelPoint {
    int16_t x = 0;
    int16_t y = 0;
    friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

// Finds the white marker region around a click and returns the centre of its extent. Every
// marker pixel met is painted dark blue on the canvas and the centre dark red. A click where no
// marker pixel is found returns the click position rounded to whole pixels. Pixels off the photo
// never count as marker pixels. The photo and the canvas must not share pixels: marks painted
// during the search would otherwise change the later tests.
[[nodiscard]] PixelPoint findMarkerCentre(const AnalysisState& state, const PhotoView& photo,
                                          CanvasView& canvas, double clickX, double clickY);

// Whether the search from this click meets a marker pixel at all: the pixels it starts from are
// the click's and those above and to the left of it. When it meets none, findMarkerCentre
// returns the click position and paints nothing but that centre.
[[nodiscard]] bool pressMeetsMarker(const AnalysisState& state, const PhotoView& photo,
                                    double clickX, double clickY);
