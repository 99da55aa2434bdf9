// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis_state.h"

#include <cstdint>

// Marker colour test: every channel of the colour (0x00BBGGRR) must lie within
// 255 - darknessTolerance .. 255 + brightnessTolerance. The tolerances are read at each call.
[[nodiscard]] bool isMarkerPixel(const AnalysisState& state, uint32_t colour);
