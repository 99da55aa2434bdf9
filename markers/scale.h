// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis_state.h"
#include "pixel_view.h"

#include <optional>
#include <string_view>

// A Shift press: marks the point (light blue with a green ring), measures the pixel distance
// from the previous reference point into mmPerPoint and refDistance, and stores the rounded
// point. Returns true when the distance prompt is to be shown, that is when a previous
// reference point with both coordinates non-zero existed.
[[nodiscard]] bool placeReferencePoint(AnalysisState& state, CanvasView& canvas, double x,
                                       double y);

// Reads a typed distance in millimetres: optional blanks, an optional sign, digits with an
// optional decimal point, optional blanks; "." is the only decimal separator whatever the
// locale. Returns nothing for anything else.
[[nodiscard]] std::optional<double> parseDistance(std::string_view text);

enum class ScaleRefusal { None, NotAPositiveNumber, NoReferenceDistance };

// Confirms the scale: mmPerPoint := distanceMm / refDistance * 10 (ten times the millimetres
// per pixel). Refuses, changing nothing, a distance that is not finite and positive or a
// reference distance of 0.
[[nodiscard]] ScaleRefusal confirmScale(AnalysisState& state, double distanceMm);
