// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis_state.h"
#include "angles.h"
#include "pixel_view.h"
#include "region_search.h"

#include <optional>

// Modifier bits of a press.
namespace modifiers {
inline constexpr int kShift = 1;
inline constexpr int kCtrl = 2;
inline constexpr int kAlt = 4;
} // namespace modifiers

enum class PressAction { MarkerPoint, ReferencePoint, AnglePoint, Nothing };

// What a press on the picture means, from the modifier bits and whether ROM mode is selected.
[[nodiscard]] PressAction classifyPress(int modifierBits, bool romMode);

struct PressPosition {
    double x = 0.0;
    double y = 0.0;
};

// The press as the handlers take it: moved onto the last column or row of a width x height
// picture when it would round to a whole pixel past the edge (a press in the outer half of the
// last pixel, possible with a fractional device scale), and likewise at the first column or
// row. A press whose rounded position lies on the picture is returned exactly as it was.
[[nodiscard]] PressPosition clampPressToPicture(double x, double y, int width, int height);

// True when another numbered point still fits in the record.
[[nodiscard]] bool canAddPoint(const AnalysisState& state);

// A plain press outside ROM mode: finds the marker and stores its centre as the next point.
// Returns nothing, and changes and paints nothing, when 60 points are already stored.
[[nodiscard]] std::optional<PixelPoint> placeMarkerPoint(AnalysisState& state,
                                                         const PhotoView& photo, CanvasView& canvas,
                                                         double x, double y);

struct AnglePointResult {
    bool lineNeeded = false; // a red line from lineFrom to lineTo is to be drawn
    PixelPoint lineFrom;
    PixelPoint lineTo;
    std::optional<AngleResult> angle; // set when the point completes a triple
};

// A press in ROM mode: paints the nine dark-blue pixels, stores the rounded press position as
// the next point and says what else to draw. Returns nothing, and changes and paints nothing,
// when 60 points are already stored. The caller draws the line before the angle texts.
[[nodiscard]] std::optional<AnglePointResult>
placeAnglePoint(AnalysisState& state, CanvasView& canvas, double x, double y);
