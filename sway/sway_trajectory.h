// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis_state.h"
#include "point_d.h"
#include "sway_measures.h"
#include "sway_record.h"

#include <optional>
#include <vector>

// The unit of the sway measures: millimetres once the scale is confirmed, pixels of the source
// picture before.
struct SwayUnits {
    bool millimetres = false;
    // Units per source pixel across and down: mmPerPoint / 10 per display pixel, divided by the
    // source pixels a display pixel covers, or, where both reference points were measured at
    // source resolution, the confirmed distance over theirs. 1 for pixels.
    double perPixel = 1.0;
    double perPixelY = 1.0;
};

// Millimetres when the sway record says the scale was confirmed and mmPerPoint is a usable scale.
[[nodiscard]] SwayUnits swayUnits(const AnalysisState& state, const SwayRecord& sway);

// Where the times of the entries come from.
enum class SwayTiming {
    Unknown,         // photos without a typed interval
    PhotoInterval,   // photos: (sequence of e - sequence of entry 0) * frameInterval, or
                     // e * frameInterval where an entry has no sequence number
    VideoTimestamps, // every entry carries its frame time
};
[[nodiscard]] SwayTiming swayTiming(const SwayRecord& sway);

// Seconds of each entry from entry 0; NaN for every entry while the timing is unknown.
[[nodiscard]] std::vector<double> entryTimes(const SwayRecord& sway);

// The trajectory of one named point, in the measure unit: X to the right, Y upward, relative
// to the point's first centre (entry 0 for a point placed before the first continuation).
struct PointTrajectory {
    int point = 0;
    std::vector<int> entries;      // the entries in which the point has a centre
    std::vector<PointD> positions; // one per entry above
    std::vector<double> times;     // seconds from entry 0, NaN while unknown
    // Seconds between successive positions: the typed interval for photos, the mean frame
    // spacing for a video; NaN while unknown.
    double interval = 0.0;
    std::optional<SwayMeasures> measures;       // from 3 positions on
    std::optional<FrequencyMeasures> frequency; // with the measures, once the times are known
    int fellBack = 0; // entries measured on the display picture, scaled up (SwayEntry::fellBack)
};
[[nodiscard]] PointTrajectory pointTrajectory(const SwayRecord& sway, int point,
                                              const SwayUnits& units);

// The trajectories of points 1..7 that have at least one centre, in point order.
[[nodiscard]] std::vector<PointTrajectory> swayTrajectories(const SwayRecord& sway,
                                                            const SwayUnits& units);

// The report is offered once the trajectory holds at least this many entries.
inline constexpr int kMinSwayEntries = 3;
[[nodiscard]] bool swayReportAvailable(const SwayRecord& sway);
