#include "sway_tracking.h"

#include <algorithm>
#include <cmath>

// Placeholder until the sub-pixel centroid is in: records the integer centres.

TrackedFrom trackedFrom(const AnalysisState& state) {
    TrackedFrom from;
    for (int k = 1; k <= AnalysisState::kNamedPoints; ++k) {
        from.x[k] = state.pointX[k];
        from.y[k] = state.pointY[k];
    }
    return from;
}

void recordPlacedPoint(SwayRecord& sway, const AnalysisState& state, const ArgbPicture&, int k,
                       double, double, double seconds) {
    if (k < 1 || k > AnalysisState::kNamedPoints)
        return;
    if (sway.entries.empty()) {
        sway.entries.emplace_back();
        sway.entries.back().seconds = seconds;
        sway.seriesStart = state.frameCount;
    }
    sway.entries.back().x[k] = state.pointX[k];
    sway.entries.back().y[k] = state.pointY[k];
}

void recordTrackedFrame(SwayRecord& sway, const AnalysisState& state, const ArgbPicture&,
                        const TrackedFrom&, double seconds) {
    if (sway.entries.empty() || sway.entries.size() >= SwayRecord::kMaxEntries)
        return;
    SwayEntry entry;
    entry.seconds = seconds;
    const int n = std::min<int>(state.pointCount, AnalysisState::kNamedPoints);
    for (int k = 1; k <= n; ++k) {
        if (std::isnan(sway.entries.back().x[k]))
            continue;
        entry.x[k] = state.pointX[k];
        entry.y[k] = state.pointY[k];
    }
    sway.entries.push_back(entry);
}
