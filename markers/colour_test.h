#pragma once

#include "analysis_state.h"
#include "pixel_view.h"

#include <cstdint>

// Marker colour test: every channel of the colour (0x00BBGGRR) must lie within
// 255 - darknessTolerance .. 255 + brightnessTolerance. The tolerances are read at each call.
[[nodiscard]] bool isMarkerPixel(const AnalysisState& state, uint32_t colour);

// The colour test at a pixel of the photo. Positions outside the photo are never marker pixels,
// so a marker touching an edge gives the centre of its visible part.
[[nodiscard]] bool isMarkerAt(const AnalysisState& state, const PhotoView& photo, int x, int y);
