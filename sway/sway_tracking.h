// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis_state.h"
#include "argb_picture.h"
#include "point_d.h"
#include "source_frame.h"
#include "source_scale.h"
#include "sway_record.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// Integer positions of points 1..7 before a photo was tracked: the tracking examined the
// pixels within 20 of each.
struct TrackedFrom {
    std::array<int16_t, 8> x{};
    std::array<int16_t, 8> y{};
};
[[nodiscard]] TrackedFrom trackedFrom(const AnalysisState& state);

// The pictures a centre is measured on: the picture on display, where the classic points live,
// and the source picture at its own size. Without a source, or with an identity scale, the
// display picture is measured as it is.
struct SwayPictures {
    // The display picture alone: a picture measured as it is.
    SwayPictures(ArgbPicture displayPicture) : display(displayPicture) {} // NOLINT: implicit
    SwayPictures(ArgbPicture displayPicture, SourceFrame* sourcePicture, SourceScale sourceScale)
        : display(displayPicture), source(sourcePicture), scale(sourceScale) {}

    ArgbPicture display;
    SourceFrame* source = nullptr;
    SourceScale scale; // source against display
    [[nodiscard]] bool atSource() const {
        return source != nullptr && scale.valid() && !scale.identity() &&
               source->width() == scale.sourceWidth && source->height() == scale.sourceHeight;
    }
};

// The reach of the tracking, 20 display pixels on each side of the old position.
inline constexpr int kTrackingReach = 20;

// Sub-pixel centre of the marker a click at (clickX, clickY) found: the marker pixels the region
// search met (up to 500 pixels from the click). Nothing where the search found no marker.
[[nodiscard]] std::optional<PointD> clickedCentre(const ArgbPicture& photo,
                                                  const AnalysisState& state, double clickX,
                                                  double clickY, MarkerExtent* extent = nullptr);

// Sub-pixel centre of the marker the tracking found around the old position (x0, y0): the
// marker pixels within its 41 x 41 window. Nothing where there is no marker.
[[nodiscard]] std::optional<PointD> trackedCentre(const ArgbPicture& photo,
                                                  const AnalysisState& state, int x0, int y0,
                                                  MarkerExtent* extent = nullptr);

// After a marker press placed point k at the click (clickX, clickY): records the point's
// sub-pixel centre in entry 0 (or in the newest entry when points are added later), creating
// entry 0, with the source scale of the pictures, when there is none yet. At source resolution
// the centre is that of the marker found around the scaled display centre, within the display
// marker's box scaled up, or, where it cannot be measured there, the display centre scaled up.
// Where the click found no marker, the stored whole-pixel point is recorded. Points above 7 are not
// recorded. `seconds` is the frame time of a video, NaN for a photo; `sequence` the photo's
// sequence number (SwayEntry::sequence).
void recordPlacedPoint(SwayRecord& sway, const AnalysisState& state, const SwayPictures& pictures,
                       int k, double clickX, double clickY, double seconds, int32_t sequence);

// After trackMarkers found every point in a photo: appends one entry with the sub-pixel
// centres of points 1..7, measured in the windows the tracking examined (at source resolution
// around each new centre, scaled). Nothing is appended once the record holds
// SwayRecord::kMaxEntries entries, or before entry 0 exists.
void recordTrackedFrame(SwayRecord& sway, const AnalysisState& state, const SwayPictures& pictures,
                        const TrackedFrom& before, double seconds, int32_t sequence);

// Following the points of a video larger than the display at source resolution: for each point
// the marker region connected to the marker pixel nearest its previous centre, within the
// tracking's reach scaled to the source. A point is lost only when no marker pixel lies within
// that reach; a region that reaches the edge of its window or of the frame takes the
// display-size centre scaled up.
struct SourceTrack {
    int lostPoint = 0;           // the first point not found; 0 when all were
    std::vector<PointD> centres; // per point 1..n (element 0 unused), source pixels
    std::vector<bool> fellBack;  // per point, as SwayEntry::fellBack
};
[[nodiscard]] SourceTrack trackAtSource(const AnalysisState& state, const SwayRecord& sway,
                                        const SwayPictures& pictures);

// Point k followed at source resolution as trackAtSource does; nothing where it is lost.
struct FollowedPoint {
    PointD centre; // source pixels
    bool fellBack = false;
};
[[nodiscard]] std::optional<FollowedPoint> followPointAtSource(const AnalysisState& state,
                                                               const SwayRecord& sway,
                                                               const SwayPictures& pictures, int k);

// Appends the entry of a picture on which a run had lost a marker, taken up again: a point
// placed there by hand (`presses`, display positions) is measured as a press is; a point
// followed at source resolution takes `followed`; the others are measured around `before` as
// the tracking does.
void recordResumedFrame(SwayRecord& sway, const AnalysisState& state, const SwayPictures& pictures,
                        const TrackedFrom& before,
                        const std::array<std::optional<PointD>, 8>& presses,
                        const std::array<std::optional<FollowedPoint>, 8>& followed, double seconds,
                        int32_t sequence);

// The display pixel that holds a source centre: where the classic points of a video followed at
// source resolution go.
[[nodiscard]] std::array<int16_t, 2> displayPixelOf(PointD source, const SourceScale& scale);

// Appends the entry of a picture followed with trackAtSource (all points found).
void recordSourceTrack(SwayRecord& sway, const AnalysisState& state, const SwayPictures& pictures,
                       const SourceTrack& track, double seconds, int32_t sequence);

// Measures the centre of a reference press at source resolution, where it is a marker region,
// and with the previous one the distance of the two reference points in source pixels.
void recordReferencePress(SwayRecord& sway, const AnalysisState& state,
                          const SwayPictures& pictures, double pressX, double pressY);
