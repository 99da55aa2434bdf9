// SPDX-License-Identifier: GPL-3.0-or-later
#include "sway_tracking.h"

#include "sub_pixel_centre.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr int kTrackingReach = 20; // the tracking examines 20 pixels on each side
constexpr int kSearchReach = 500;  // the region search reaches 500 pixels from the click
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

// The stored whole-pixel point where no marker was found around it.
void storeCentre(SwayEntry& entry, const AnalysisState& state, int k,
                 const std::optional<PointD>& centre) {
    const auto i = static_cast<std::size_t>(k);
    entry.x[i] = centre ? centre->x : state.pointX[i];
    entry.y[i] = centre ? centre->y : state.pointY[i];
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
                                    double clickX, double clickY) {
    // The seeds are where the search's four spines start: the click, the pixel above it and the
    // pixel left of it (each rounded from the floating click, as the search rounds them).
    const int x = nearest(clickX);
    const int y = nearest(clickY);
    const std::array<PixelSeed, 3> seeds{
        {{x, y}, {x, nearest(clickY - 1.0)}, {nearest(clickX - 1.0), y}}};
    const PixelRect region{nearest(clickX - kSearchReach), nearest(clickY - kSearchReach),
                           nearest(clickX + kSearchReach), nearest(clickY + kSearchReach)};
    return subPixelCentre(reachable(photo), boundsOf(state), seeds, region);
}

std::optional<PointD> trackedCentre(const ArgbPicture& photo, const AnalysisState& state, int x0,
                                    int y0) {
    // The tracking's spines start at the old position, left of it and above it.
    const std::array<PixelSeed, 3> seeds{{{x0, y0}, {x0 - 1, y0}, {x0, y0 - 1}}};
    const PixelRect region{x0 - kTrackingReach, y0 - kTrackingReach, x0 + kTrackingReach,
                           y0 + kTrackingReach};
    return subPixelCentre(reachable(photo), boundsOf(state), seeds, region);
}

void recordPlacedPoint(SwayRecord& sway, const AnalysisState& state, const ArgbPicture& photo,
                       int k, double clickX, double clickY, double seconds, int32_t sequence) {
    if (k < 1 || k > AnalysisState::kNamedPoints)
        return;
    if (sway.entries.empty()) {
        sway.entries.emplace_back();
        sway.entries.back().seconds = seconds;
        sway.entries.back().sequence = sequence;
        sway.seriesStart = state.frameCount;
    }
    storeCentre(sway.entries.back(), state, k, clickedCentre(photo, state, clickX, clickY));
}

void recordTrackedFrame(SwayRecord& sway, const AnalysisState& state, const ArgbPicture& photo,
                        const TrackedFrom& before, double seconds, int32_t sequence) {
    if (sway.entries.empty() || sway.entries.size() >= SwayRecord::kMaxEntries)
        return;
    SwayEntry entry;
    entry.seconds = seconds;
    entry.sequence = sequence;
    const int n = std::min<int>(state.pointCount, AnalysisState::kNamedPoints);
    for (int k = 1; k <= n; ++k) {
        const auto i = static_cast<std::size_t>(k);
        if (std::isnan(sway.entries.back().x[i]))
            continue; // placed after the last entry was recorded: nothing to follow yet
        storeCentre(entry, state, k, trackedCentre(photo, state, before.x[i], before.y[i]));
    }
    sway.entries.push_back(entry);
}
