// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sway_trajectory.h"

#include <array>
#include <string>
#include <vector>

struct AnalysisState;
struct SwayRecord;

// Everything the sway report shows and writes, gathered from the record at one moment.
struct SwayReport {
    SwayUnits units;
    float mmPerPoint = 0.0f; // the scale as the record holds it
    SwayTiming timing = SwayTiming::Unknown;
    int entryCount = 0;
    std::vector<double> times;           // per entry, seconds from entry 0; NaN while unknown
    std::vector<PointTrajectory> points; // points 1..7 with at least one centre
    std::array<std::string, 8> names;    // per point 1..7, UTF-8
    SourceScale scale; // the pixels the trajectory was measured in (SwayRecord::scale)
};
[[nodiscard]] SwayReport makeSwayReport(const AnalysisState& state, const SwayRecord& sway);

// The name of point k in the report: its landmark name, or "点k" when it has none. A name that
// is only a number counts as none: a second end of an analysis saves the path totals that the
// lists show as names.
[[nodiscard]] std::string swayPointName(const AnalysisState& state, int k);

// The unit as written after the numbers: "mm" or "pixel".
[[nodiscard]] const char* unitName(const SwayReport& report);

// A number as the report's files write it: plain decimal with "." and at most 4 decimals,
// rounded, trailing zeros after the point dropped ("2.5", "3", "0.0001"), never an exponent
// and never "-0". Not finite: empty.
[[nodiscard]] std::string fileNumber(double value);
