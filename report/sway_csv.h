// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "whole_file.h"

#include <QString>

#include <string>

struct SwayReport;

// The two files of the sway report, in code page 932 with CR LF line ends. Numbers as
// fileNumber writes them; an unknown value is an empty cell; a name holding "," or '"' is
// quoted, its quotes doubled.

// One heading row; one row per point: number, landmark name, n, interval (s), path length,
// mean velocity, range X, range Y, RMS X, RMS Y, mean distance, ellipse area, semi-major axis,
// semi-minor axis, tilt (degrees), then the frequency measures: duration T (s), mean frequency,
// F50, F95 (Hz) and total power (unit^2), empty while the times are unknown. A point with fewer
// than 3 centres has only the first four. Then an empty line and the unit with the scale.
[[nodiscard]] std::string measuresFileBytes(const SwayReport& report);

// One heading row; one row per entry: its index, its time (s), then X and Y of each point of
// the report relative to its first centre, empty where the point has no centre.
[[nodiscard]] std::string trajectoryFileBytes(const SwayReport& report);

// The two files, written whole (an existing file is replaced only by a complete one); refused
// when the system cannot convert to code page 932.
[[nodiscard]] WriteResult saveMeasuresFile(const QString& path, const SwayReport& report);
[[nodiscard]] WriteResult saveTrajectoryFile(const QString& path, const SwayReport& report);
