// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis_state.h"
#include "argb_picture.h"
#include "point_d.h"
#include "sway_record.h"

#include <array>
#include <cstdint>
#include <optional>

// Integer positions of points 1..7 before a photo was tracked: the tracking examined the
// pixels within 20 of each.
struct TrackedFrom {
    std::array<int16_t, 8> x{};
    std::array<int16_t, 8> y{};
};
[[nodiscard]] TrackedFrom trackedFrom(const AnalysisState& state);

// Sub-pixel centre of the marker a click at (clickX, clickY) found: the marker pixels the region
// search met (up to 500 pixels from the click). Nothing where the search found no marker.
[[nodiscard]] std::optional<PointD>
clickedCentre(const ArgbPicture& photo, const AnalysisState& state, double clickX, double clickY);

// Sub-pixel centre of the marker the tracking found around the old position (x0, y0): the
// marker pixels within its 41 x 41 window. Nothing where there is no marker.
[[nodiscard]] std::optional<PointD> trackedCentre(const ArgbPicture& photo,
                                                  const AnalysisState& state, int x0, int y0);

// After a marker press placed point k at the click (clickX, clickY): records the point's
// sub-pixel centre in entry 0 (or in the newest entry when points are added later), creating
// entry 0 when there is none yet. Where the click found no marker, the stored whole-pixel point
// is recorded. Points above 7 are not recorded. `seconds` is the frame time of a video, NaN for
// a photo; `sequence` the photo's sequence number (SwayEntry::sequence).
void recordPlacedPoint(SwayRecord& sway, const AnalysisState& state, const ArgbPicture& photo,
                       int k, double clickX, double clickY, double seconds, int32_t sequence);

// After trackMarkers found every point in a photo: appends one entry with the sub-pixel
// centres of points 1..7, measured in the windows the tracking examined. Nothing is appended
// once the record holds SwayRecord::kMaxEntries entries, or before entry 0 exists.
void recordTrackedFrame(SwayRecord& sway, const AnalysisState& state, const ArgbPicture& photo,
                        const TrackedFrom& before, double seconds, int32_t sequence);
