// SPDX-License-Identifier: GPL-3.0-or-later
#include "sway_trajectory.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Every entry is a photo with a sequence number, in increasing order (a photo opened from
// earlier in the sequence during the analysis would break the order: such entries are timed
// one interval apart instead).
bool photosNumbered(const SwayRecord& sway) {
    for (std::size_t e = 0; e < sway.entries.size(); ++e) {
        const int32_t sequence = sway.entries[e].sequence;
        if (sequence < 0 || (e > 0 && sequence <= sway.entries[e - 1].sequence))
            return false;
    }
    return true;
}

} // namespace

SwayUnits swayUnits(const AnalysisState& state, const SwayRecord& sway) {
    const float scale = state.mmPerPoint;
    if (!sway.scaleConfirmed || !std::isfinite(scale) || scale <= 0.0f)
        return {};
    const double perDisplayPixel = static_cast<double>(scale) / 10.0;
    const SourceScale& source = sway.scale;
    if (!source.valid() || source.identity())
        return {true, perDisplayPixel, perDisplayPixel};
    const double refined = sway.referenceSourceDistance;
    const double pressed = state.refDistance;
    if (std::isfinite(refined) && refined > 0.0 && std::isfinite(pressed) && pressed > 0.0) {
        const double perSourcePixel = perDisplayPixel * pressed / refined;
        return {true, perSourcePixel, perSourcePixel};
    }
    return {true, perDisplayPixel / source.sx(), perDisplayPixel / source.sy()};
}

SwayTiming swayTiming(const SwayRecord& sway) {
    if (!sway.entries.empty() &&
        std::all_of(sway.entries.begin(), sway.entries.end(),
                    [](const SwayEntry& e) { return std::isfinite(e.seconds); }))
        return SwayTiming::VideoTimestamps;
    if (std::isfinite(sway.frameInterval) && sway.frameInterval > 0.0)
        return SwayTiming::PhotoInterval;
    return SwayTiming::Unknown;
}

std::vector<double> entryTimes(const SwayRecord& sway) {
    std::vector<double> times(sway.entries.size(), kNaN);
    switch (swayTiming(sway)) {
    case SwayTiming::VideoTimestamps:
        for (std::size_t e = 0; e < times.size(); ++e)
            times[e] = sway.entries[e].seconds - sway.entries[0].seconds;
        break;
    case SwayTiming::PhotoInterval: {
        const bool numbered = photosNumbered(sway);
        for (std::size_t e = 0; e < times.size(); ++e) {
            const double steps =
                numbered ? static_cast<double>(sway.entries[e].sequence) - sway.entries[0].sequence
                         : static_cast<double>(e);
            times[e] = steps * sway.frameInterval;
        }
        break;
    }
    case SwayTiming::Unknown:
        break;
    }
    return times;
}

PointTrajectory pointTrajectory(const SwayRecord& sway, int point, const SwayUnits& units) {
    PointTrajectory t;
    t.point = point;
    t.interval = kNaN;
    if (point < 1 || point > AnalysisState::kNamedPoints)
        return t;
    const auto k = static_cast<std::size_t>(point);
    const std::vector<double> times = entryTimes(sway);
    PointD origin;
    for (std::size_t e = 0; e < sway.entries.size(); ++e) {
        const SwayEntry& entry = sway.entries[e];
        if (!std::isfinite(entry.x[k]) || !std::isfinite(entry.y[k]))
            continue;
        if (t.entries.empty())
            origin = {entry.x[k], entry.y[k]};
        t.entries.push_back(static_cast<int>(e));
        // Picture y grows downward; the measures count upward.
        t.positions.push_back(
            {(entry.x[k] - origin.x) * units.perPixel, (origin.y - entry.y[k]) * units.perPixelY});
        if (entry.fellBack & (1u << k))
            ++t.fellBack;
        t.times.push_back(times[e]);
    }
    if (swayTiming(sway) == SwayTiming::PhotoInterval)
        t.interval = sway.frameInterval;
    if (t.positions.size() >= 2) {
        const double duration = t.times.back() - t.times.front();
        if (std::isnan(t.interval) && std::isfinite(duration) && duration > 0.0)
            t.interval = duration / static_cast<double>(t.entries.back() - t.entries.front());
        t.measures = swayMeasures(t.positions, duration);
        if (t.measures)
            t.frequency = frequencyMeasures(t.positions, t.times, *t.measures);
    }
    return t;
}

std::vector<PointTrajectory> swayTrajectories(const SwayRecord& sway, const SwayUnits& units) {
    std::vector<PointTrajectory> all;
    for (int k = 1; k <= AnalysisState::kNamedPoints; ++k) {
        PointTrajectory t = pointTrajectory(sway, k, units);
        if (!t.entries.empty())
            all.push_back(std::move(t));
    }
    return all;
}

bool swayReportAvailable(const SwayRecord& sway) {
    return sway.entries.size() >= static_cast<std::size_t>(kMinSwayEntries);
}
