// SPDX-License-Identifier: GPL-3.0-or-later
#include "tracking.h"

#include "marker_pixel.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

struct Tally {
    int16_t count = 0; // at most 2 x 41 x 41 = 3362
    int32_t sumX = 0;
    int32_t sumY = 0;
};

constexpr int kReach = 20; // pixels searched on each side of the old position

// The four scans around (x0, y0): two along the row with column ribs, two along the column
// with row ribs. Every passing rib pixel is counted, so most marker pixels count twice.
Tally tallyMarker(const AnalysisState& state, const PhotoView& photo, int x0, int y0) {
    Tally t;
    const auto pass = [&](int i, int j) { return marker_detail::passesAt(state, photo, i, j); };
    const auto add = [&](int i, int j) {
        ++t.count;
        t.sumX += i;
        t.sumY += j;
    };
    const auto columnRibs = [&](int i) {
        for (int j = y0; j <= y0 + kReach && pass(i, j); ++j)
            add(i, j);
        for (int j = y0 - 1; j >= y0 - kReach && pass(i, j); --j)
            add(i, j);
    };
    const auto rowRibs = [&](int j) {
        for (int i = x0; i <= x0 + kReach && pass(i, j); ++i)
            add(i, j);
        for (int i = x0 - 1; i >= x0 - kReach && pass(i, j); --i)
            add(i, j);
    };

    for (int i = x0; i <= x0 + kReach && pass(i, y0); ++i)
        columnRibs(i);
    for (int i = x0 - 1; i >= x0 - kReach && pass(i, y0); --i)
        columnRibs(i);
    for (int j = y0; j <= y0 + kReach && pass(x0, j); ++j)
        rowRibs(j);
    for (int j = y0 - 1; j >= y0 - kReach && pass(x0, j); --j)
        rowRibs(j);
    return t;
}

} // namespace

TrackResult trackMarkers(AnalysisState& state, const PhotoView& photo, CanvasView& canvas) {
    const PhotoView view = marker_detail::reachable(photo);
    // A corrupt count must not lead outside the point arrays.
    const int n = std::min<int>(state.pointCount, AnalysisState::kMaxPoints);
    for (int k = 1; k <= n; ++k) {
        const auto centre = trackMarker(state, view, k);
        if (!centre)
            return {false, k};
        moveTrackedPoint(state, k, centre->x, centre->y, canvas);
    }
    finishTrackedPicture(state);
    return {};
}

std::optional<PixelPoint> trackMarker(const AnalysisState& state, const PhotoView& photo, int k) {
    if (k < 1 || k > AnalysisState::kMaxPoints)
        return std::nullopt;
    const Tally t =
        tallyMarker(state, marker_detail::reachable(photo), state.pointX[k], state.pointY[k]);
    if (t.count == 0)
        return std::nullopt;
    return PixelPoint{static_cast<int16_t>(t.sumX / t.count),
                      static_cast<int16_t>(t.sumY / t.count)};
}

void moveTrackedPoint(AnalysisState& state, int k, int cx, int cy, CanvasView& canvas) {
    if (k < 1 || k > AnalysisState::kMaxPoints)
        return;
    const int x0 = state.pointX[k];
    const int y0 = state.pointY[k];
    // The series hold entries 0..900; outside that nothing is recorded.
    const int frame = state.frameCount;
    canvas.setPixel(cx, cy, colours::kDarkRed);
    state.pointX[k] = static_cast<int16_t>(cx);
    state.pointY[k] = static_cast<int16_t>(cy);
    if (k <= AnalysisState::kNamedPoints) {
        const double dx = x0 - cx;
        const double dy = y0 - cy;
        state.pathLength[k] += std::sqrt(dx * dx + dy * dy);
        if (frame >= 0 && frame < AnalysisState::kSeriesLength) {
            state.deltaX(k)[frame] = static_cast<float>(cx - x0);
            state.deltaY(k)[frame] = static_cast<float>(y0 - cy);
        }
    }
}

void finishTrackedPicture(AnalysisState& state) {
    if (state.frameCount < AnalysisState::kSeriesLength)
        ++state.frameCount;
}
