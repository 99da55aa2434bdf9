// SPDX-License-Identifier: GPL-3.0-or-later
#include "sway_tracking.h"

#include "source_marker.h"
#include "sub_pixel_centre.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr int kSearchReach = 500; // the region search reaches 500 pixels from the click
// Positions are 16-bit; pixels beyond this column or row are out of the search's reach.
constexpr int kReachable = 32768;

// Nearest integer, halves to the even one, as the click is rounded; saturating to 16 bits.
int nearest(double v) {
    if (std::isnan(v))
        return 0;
    const double lower = std::floor(v);
    const double fraction = v - lower;
    double r = lower;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(lower, 2.0) != 0.0))
        r = lower + 1.0;
    return static_cast<int>(std::clamp(r, -32768.0, 32767.0));
}

ArgbPicture reachable(ArgbPicture picture) {
    picture.width = std::min(picture.width, kReachable);
    picture.height = std::min(picture.height, kReachable);
    return picture;
}

MarkerBounds boundsOf(const AnalysisState& state) {
    return markerBounds(state.brightnessTolerance, state.darknessTolerance);
}

bool finitePoint(PointD p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

PointD toSource(PointD display, const SourceScale& scale) {
    return {scale.toSourceX(display.x), scale.toSourceY(display.y)};
}

PointD toDisplay(PointD source, const SourceScale& scale) {
    return {scale.toDisplayX(source.x), scale.toDisplayY(source.y)};
}

// The scale the record's centres are in: that of its entry 0, or, for a record without one
// (saved before it was kept), the display's own pixels.
SourceScale recordScale(const SwayRecord& sway, const SwayPictures& pictures) {
    if (sway.scale.valid())
        return sway.scale;
    return SourceScale::same(pictures.display.width, pictures.display.height);
}

SourceScale picturesScale(const SwayPictures& pictures) {
    if (pictures.atSource())
        return pictures.scale;
    return SourceScale::same(pictures.display.width, pictures.display.height);
}

// A centre in the pictures' source pixels, in the record's pixels. Both are usually the same.
PointD toRecord(PointD p, const SwayPictures& pictures, const SwayRecord& sway) {
    const SourceScale from = picturesScale(pictures);
    const SourceScale to = recordScale(sway, pictures);
    if (from == to || !from.valid() || !to.valid())
        return p;
    return toSource(toDisplay(p, from), to);
}

PointD fromRecord(PointD p, const SwayPictures& pictures, const SwayRecord& sway) {
    const SourceScale from = recordScale(sway, pictures);
    const SourceScale to = picturesScale(pictures);
    if (from == to || !from.valid() || !to.valid())
        return p;
    return toSource(toDisplay(p, from), to);
}

struct Measured {
    PointD centre;
    bool fellBack = false;
};

// Display pixels around the display marker's box where its source pixels are looked for.
constexpr int kWindowMargin = 2;

// The marker at source resolution that the display found at `display` with `extent`: within
// the display marker's box scaled up, around the scaled centre.
SourceMarker atSource(const AnalysisState& state, const SwayPictures& pictures, PointD display,
                      const MarkerExtent& extent) {
    const PixelRect window =
        sourceWindow(extent.box, kWindowMargin, pictures.scale.sx(), pictures.scale.sy());
    return findSourceMarker(*pictures.source, boundsOf(state), toSource(display, pictures.scale),
                            window);
}

// Point k's centre: on the display picture `displayCentre` (or the stored whole-pixel point
// where no marker was found there); at source resolution the marker found there, or where it
// cannot be measured, the display centre scaled up.
Measured measure(const AnalysisState& state, const SwayPictures& pictures, int k,
                 const std::optional<PointD>& displayCentre, const MarkerExtent& extent) {
    const auto i = static_cast<std::size_t>(k);
    const PointD display =
        displayCentre ? *displayCentre : PointD{double(state.pointX[i]), double(state.pointY[i])};
    if (!pictures.atSource())
        return {display, false};
    const PointD scaled = toSource(display, pictures.scale);
    if (!displayCentre)
        return {scaled, true};
    const SourceMarker marker = atSource(state, pictures, display, extent);
    if (marker.status == SourceMarker::Status::Found)
        return {marker.centre, false};
    return {scaled, true};
}

void store(SwayEntry& entry, int k, const Measured& m, const SwayPictures& pictures,
           const SwayRecord& sway) {
    const auto i = static_cast<std::size_t>(k);
    const PointD p = toRecord(m.centre, pictures, sway);
    entry.x[i] = p.x;
    entry.y[i] = p.y;
    const auto bit = static_cast<uint8_t>(1u << k);
    entry.fellBack =
        static_cast<uint8_t>(m.fellBack ? entry.fellBack | bit : entry.fellBack & ~bit);
}

SwayEntry newEntry(double seconds, int32_t sequence) {
    SwayEntry entry;
    entry.seconds = seconds;
    entry.sequence = sequence;
    return entry;
}

} // namespace

TrackedFrom trackedFrom(const AnalysisState& state) {
    TrackedFrom from;
    for (int k = 1; k <= AnalysisState::kNamedPoints; ++k) {
        from.x[k] = state.pointX[k];
        from.y[k] = state.pointY[k];
    }
    return from;
}

std::optional<PointD> clickedCentre(const ArgbPicture& photo, const AnalysisState& state,
                                    double clickX, double clickY, MarkerExtent* extent) {
    // The seeds are where the search's four spines start: the click, the pixel above it and the
    // pixel left of it (each rounded from the floating click, as the search rounds them).
    const int x = nearest(clickX);
    const int y = nearest(clickY);
    const std::array<PixelSeed, 3> seeds{
        {{x, y}, {x, nearest(clickY - 1.0)}, {nearest(clickX - 1.0), y}}};
    const PixelRect region{nearest(clickX - kSearchReach), nearest(clickY - kSearchReach),
                           nearest(clickX + kSearchReach), nearest(clickY + kSearchReach)};
    return subPixelCentre(reachable(photo), boundsOf(state), seeds, region, extent);
}

std::optional<PointD> trackedCentre(const ArgbPicture& photo, const AnalysisState& state, int x0,
                                    int y0, MarkerExtent* extent) {
    // The tracking's spines start at the old position, left of it and above it.
    const std::array<PixelSeed, 3> seeds{{{x0, y0}, {x0 - 1, y0}, {x0, y0 - 1}}};
    const PixelRect region{x0 - kTrackingReach, y0 - kTrackingReach, x0 + kTrackingReach,
                           y0 + kTrackingReach};
    return subPixelCentre(reachable(photo), boundsOf(state), seeds, region, extent);
}

void recordPlacedPoint(SwayRecord& sway, const AnalysisState& state, const SwayPictures& pictures,
                       int k, double clickX, double clickY, double seconds, int32_t sequence) {
    if (k < 1 || k > AnalysisState::kNamedPoints)
        return;
    if (sway.entries.empty()) {
        sway.entries.push_back(newEntry(seconds, sequence));
        sway.seriesStart = state.frameCount;
        sway.scale = picturesScale(pictures);
    }
    MarkerExtent extent;
    const auto centre = clickedCentre(pictures.display, state, clickX, clickY, &extent);
    store(sway.entries.back(), k, measure(state, pictures, k, centre, extent), pictures, sway);
}

void recordTrackedFrame(SwayRecord& sway, const AnalysisState& state, const SwayPictures& pictures,
                        const TrackedFrom& before, double seconds, int32_t sequence) {
    if (sway.entries.empty() || sway.entries.size() >= SwayRecord::kMaxEntries)
        return;
    SwayEntry entry = newEntry(seconds, sequence);
    const int n = std::min<int>(state.pointCount, AnalysisState::kNamedPoints);
    for (int k = 1; k <= n; ++k) {
        const auto i = static_cast<std::size_t>(k);
        if (std::isnan(sway.entries.back().x[i]))
            continue; // placed after the last entry was recorded: nothing to follow yet
        MarkerExtent extent;
        const auto centre =
            trackedCentre(pictures.display, state, before.x[i], before.y[i], &extent);
        store(entry, k, measure(state, pictures, k, centre, extent), pictures, sway);
    }
    sway.entries.push_back(entry);
}

std::optional<FollowedPoint> followPointAtSource(const AnalysisState& state, const SwayRecord& sway,
                                                 const SwayPictures& pictures, int k) {
    if (!pictures.atSource() || k < 1 || k > AnalysisState::kMaxPoints)
        return std::nullopt;
    const SourceScale& scale = pictures.scale;
    const auto i = static_cast<std::size_t>(k);
    // The previous centre: the trajectory's where it has one, else the whole-pixel point.
    PointD previous = toSource({double(state.pointX[i]), double(state.pointY[i])}, scale);
    if (k <= AnalysisState::kNamedPoints && !sway.entries.empty()) {
        const SwayEntry& last = sway.entries.back();
        const PointD p = fromRecord({last.x[i], last.y[i]}, pictures, sway);
        if (finitePoint(p))
            previous = p;
    }
    const int reach = sourceReach(kTrackingReach, scale.sx(), scale.sy());
    const SourceMarker marker =
        followSourceMarker(*pictures.source, boundsOf(state), previous, reach);
    if (marker.status == SourceMarker::Status::NotFound)
        return std::nullopt;
    if (marker.status == SourceMarker::Status::Found)
        return FollowedPoint{marker.centre, false};
    const auto display = trackedCentre(pictures.display, state, state.pointX[i], state.pointY[i]);
    return FollowedPoint{display ? toSource(*display, scale) : marker.centre, true};
}

SourceTrack trackAtSource(const AnalysisState& state, const SwayRecord& sway,
                          const SwayPictures& pictures) {
    SourceTrack track;
    const int n = std::min<int>(state.pointCount, AnalysisState::kMaxPoints);
    track.centres.assign(static_cast<std::size_t>(n) + 1, PointD{});
    track.fellBack.assign(static_cast<std::size_t>(n) + 1, false);
    if (!pictures.atSource())
        return track;
    for (int k = 1; k <= n; ++k) {
        const auto followed = followPointAtSource(state, sway, pictures, k);
        if (!followed) {
            track.lostPoint = k;
            return track;
        }
        track.centres[static_cast<std::size_t>(k)] = followed->centre;
        track.fellBack[static_cast<std::size_t>(k)] = followed->fellBack;
    }
    return track;
}

void recordResumedFrame(SwayRecord& sway, const AnalysisState& state, const SwayPictures& pictures,
                        const TrackedFrom& before,
                        const std::array<std::optional<PointD>, 8>& presses,
                        const std::array<std::optional<FollowedPoint>, 8>& followed, double seconds,
                        int32_t sequence) {
    if (sway.entries.empty() || sway.entries.size() >= SwayRecord::kMaxEntries)
        return;
    SwayEntry entry = newEntry(seconds, sequence);
    const int n = std::min<int>(state.pointCount, AnalysisState::kNamedPoints);
    for (int k = 1; k <= n; ++k) {
        const auto i = static_cast<std::size_t>(k);
        if (std::isnan(sway.entries.back().x[i]))
            continue;
        MarkerExtent extent;
        if (presses[i]) {
            const auto centre =
                clickedCentre(pictures.display, state, presses[i]->x, presses[i]->y, &extent);
            store(entry, k, measure(state, pictures, k, centre, extent), pictures, sway);
        } else if (followed[i]) {
            store(entry, k, {followed[i]->centre, followed[i]->fellBack}, pictures, sway);
        } else {
            const auto centre =
                trackedCentre(pictures.display, state, before.x[i], before.y[i], &extent);
            store(entry, k, measure(state, pictures, k, centre, extent), pictures, sway);
        }
    }
    sway.entries.push_back(entry);
}

std::array<int16_t, 2> displayPixelOf(PointD source, const SourceScale& scale) {
    const PointD d = toDisplay(source, scale);
    return {static_cast<int16_t>(nearest(d.x)), static_cast<int16_t>(nearest(d.y))};
}

void recordSourceTrack(SwayRecord& sway, const AnalysisState& state, const SwayPictures& pictures,
                       const SourceTrack& track, double seconds, int32_t sequence) {
    if (sway.entries.empty() || sway.entries.size() >= SwayRecord::kMaxEntries)
        return;
    SwayEntry entry = newEntry(seconds, sequence);
    const int n = std::min<int>({state.pointCount, AnalysisState::kNamedPoints,
                                 static_cast<int>(track.centres.size()) - 1});
    for (int k = 1; k <= n; ++k) {
        const auto i = static_cast<std::size_t>(k);
        if (std::isnan(sway.entries.back().x[i]))
            continue;
        store(entry, k, {track.centres[i], track.fellBack[i]}, pictures, sway);
    }
    sway.entries.push_back(entry);
}

void recordReferencePress(SwayRecord& sway, const AnalysisState& state,
                          const SwayPictures& pictures, double pressX, double pressY) {
    PointD centre{SwayEntry::kNone, SwayEntry::kNone};
    const int px = static_cast<int>(std::floor(pressX));
    const int py = static_cast<int>(std::floor(pressY));
    // Only a press on a marker region is refined; a ruler's tick stays where it was pressed.
    if (pictures.atSource() && pictures.display.contains(px, py)) {
        const uint32_t argb = pictures.display.at(px, py);
        const MarkerBounds bounds = boundsOf(state);
        const int channels[3] = {int((argb >> 16) & 0xFFu), int((argb >> 8) & 0xFFu),
                                 int(argb & 0xFFu)};
        const bool marker = std::all_of(std::begin(channels), std::end(channels),
                                        [&](int c) { return c >= bounds.low && c <= bounds.high; });
        MarkerExtent extent;
        const auto display =
            marker ? clickedCentre(pictures.display, state, pressX, pressY, &extent) : std::nullopt;
        if (display) {
            const SourceMarker found = atSource(state, pictures, *display, extent);
            if (found.status == SourceMarker::Status::Found)
                centre = found.centre;
        }
    }
    const bool both =
        finitePoint(centre) && finitePoint({sway.referenceSourceX, sway.referenceSourceY});
    sway.referenceSourceDistance =
        both ? std::hypot(centre.x - sway.referenceSourceX, centre.y - sway.referenceSourceY)
             : SwayEntry::kNone;
    sway.referenceSourceX = centre.x;
    sway.referenceSourceY = centre.y;
}
