// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sway_trajectory.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct AnalysisState;
struct SwayRecord;

// Everything the sway report shows and writes, gathered from the record at one moment. A photo
// interval outside the range the box accepts counts as unknown.
struct SwayReport {
    SwayUnits units;
    SwayTiming timing = SwayTiming::Unknown;
    int entryCount = 0;
    std::vector<double> times;           // per entry, seconds from entry 0; NaN while unknown
    std::vector<PointTrajectory> points; // points 1..7 with at least one centre
    std::array<std::string, 8> names;    // per point 1..7, UTF-8
    SourceScale scale; // the pixels the trajectory was measured in (SwayRecord::scale)
};
[[nodiscard]] SwayReport makeSwayReport(const AnalysisState& state, const SwayRecord& sway);

// The frequency measures of a point as the table and the file list them: T (s), mean frequency,
// F50, F95 (Hz) and total power (unit^2); NaN where unknown.
inline constexpr std::size_t kFrequencyValues = 5;
[[nodiscard]] std::array<double, kFrequencyValues> frequencyValues(const PointTrajectory& point);

// The name of point k in the report: its landmark name, or "点k" when it has none. A name that
// is only a number counts as none: a second end of an analysis saves the path totals that the
// lists show as names.
[[nodiscard]] std::string swayPointName(const AnalysisState& state, int k);

// A number and nothing else, as a spreadsheet would take it: blanks around it, a sign, digits
// with or without a decimal point (".5", "5."), and an exponent ("1.2E+15").
[[nodiscard]] bool isNumberText(std::string_view text);

// The seconds between photos typed in the report: a number as above, with "." whatever the
// locale, from kMinFrameInterval to kMaxFrameInterval; nothing otherwise.
inline constexpr double kMinFrameInterval = 0.0001;
inline constexpr double kMaxFrameInterval = 3600.0;
[[nodiscard]] std::optional<double> frameIntervalFromText(std::string_view text);
[[nodiscard]] bool validFrameInterval(double seconds);

// A typed interval as the report shows and writes it: the shortest plain decimal that reads back
// as the same number ("0.0333333", "2"). Not finite: empty.
[[nodiscard]] std::string intervalText(double seconds);

// The unit as written after the numbers: "mm" or "pixel".
[[nodiscard]] const char* unitName(const SwayReport& report);

// A number as the report's files write it: plain decimal with "." and at most kFileDecimals,
// rounded, trailing zeros after the point dropped ("2.5", "3", "0.0001"), never an exponent
// and never "-0". Not finite: empty.
inline constexpr int kFileDecimals = 4;
[[nodiscard]] std::string fileNumber(double value);
