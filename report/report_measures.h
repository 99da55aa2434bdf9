// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sway_report.h"

#include <QString>

#include <span>

// The measures of one point as the printed report and the comparison of two trials list them:
// the same columns and decimals as the report window's table.
struct ReportMeasure {
    enum class Unit { Length, Velocity, Area, Degrees, Seconds, Hertz, Power };
    const char* heading;
    Unit unit;
    int decimals;    // in millimetres; pixels take one more for lengths, areas and power
    bool comparable; // a ratio of two trials means something (not for an angle)
    double (*value)(const PointTrajectory&); // NaN when unknown
};

[[nodiscard]] std::span<const ReportMeasure> reportMeasures();

// "mm", "mm/s", "mm²", "°", "s", "Hz" in the report's unit.
[[nodiscard]] QString measureUnit(const ReportMeasure& measure, const SwayReport& report);
// The value at the measure's decimals, "—" when unknown, never "-0.00".
[[nodiscard]] QString measureText(const ReportMeasure& measure, const SwayReport& report,
                                  double value);
// A plain number at `decimals`, "—" when not finite, never "-0".
[[nodiscard]] QString fixedText(double value, int decimals);
