// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis_state.h"
#include "pixel_view.h"
#include "region_search.h"

#include <optional>

struct TrackResult {
    bool allFound = true;
    int lostPoint = 0; // number of the first point whose marker was not found; 0 when all were
};

// Follows every point into the next photo of a sequence: re-finds each marker within 20 pixels
// of its previous position, moves the point there, paints the new centre dark red, adds to the
// path length and records the displacement of points 1..7 at entry frameCount. frameCount grows
// by one only when every point was found; a lost marker stops at that point.
// The caller keeps frameCount below the capacity of the series; outside entries 0..900 nothing
// is recorded and frameCount stops at 901. Only the first 60 points are followed, whatever
// pointCount says.
[[nodiscard]] TrackResult trackMarkers(AnalysisState& state, const PhotoView& photo,
                                       CanvasView& canvas);

// Moves point k (1..60) from its present position to (cx, cy) as the tracking does: paints the
// new centre dark red, adds to the path length of points 1..7 and records their displacement at
// entry frameCount while the series has room.
void moveTrackedPoint(AnalysisState& state, int k, int cx, int cy, CanvasView& canvas);

// After every point of a picture was moved: frameCount grows by one while the series has room.
void finishTrackedPicture(AnalysisState& state);

// Where the tracking finds point k's marker in the photo, around its present position; nothing
// where it is lost. Changes nothing.
[[nodiscard]] std::optional<PixelPoint> trackMarker(const AnalysisState& state,
                                                    const PhotoView& photo, int k);
