// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "whole_file.h"

#include <QString>
#include <string>

struct AnalysisState;

// How the picture's axes become the subject's axes in the as-is file, one per button of the
// end-of-analysis window. dx and dy are a point's position relative to the first photo, in
// pixels, x to the right and y upwards.
enum class AxisMapping {
    StandingSide,  // Command4: X = dx,  Y = dy
    StandingFront, // Command1: X = -dx, Y = dy
    LyingSide,     // Command2: X = -dy, Y = -dx
    LyingFront,    // Command5: X = -dy, Y = -dx
};

// Group sizes of the grouped files "_2.csv" ... "_5.csv".
inline constexpr int kSmallestGroup = 2;
inline constexpr int kLargestGroup = 5;

// The builders below append code page 932 bytes with CR LF line ends. They only read the
// record; frameCount is taken as 0 when negative and as 901 when larger, and only points 1 to
// min(pointCount, 7) are written.

// ",name-X,name-Y" per point, or ",k-X,k-Y" for a point without a name; then the line end.
void writeHeaderLine(std::string& out, const AnalysisState& state);

// The empty line, then "1point=", next print zone, mmPerPoint / 10 in display form, next print
// zone, "mm" and the line end.
void writeScaleTrailer(std::string& out, const AnalysisState& state);

// Rows 1 .. frameCount of the as-is file: running totals of each point's series, mapped.
void writeAsIsRows(std::string& out, const AnalysisState& state, AxisMapping mapping);

// Rows of the grouped file for `groupSize`: one row per group of transitions starting at
// 0, N, 2N, ... below frameCount, holding the sums of the stored series over the group. Entries
// at or past frameCount count as 0. A group size below 1 gives no rows.
void writeGroupedRows(std::string& out, const AnalysisState& state, int groupSize);

// The whole content of a file, as it goes to disk.
[[nodiscard]] std::string asIsFileBytes(const AnalysisState& state, AxisMapping mapping);
[[nodiscard]] std::string groupedFileBytes(const AnalysisState& state, int groupSize);

// Write one file whole or not at all; an existing file of that name is replaced. An existing,
// writable file in a folder that allows no new files is written in place instead.
[[nodiscard]] WriteResult writeAsIsFile(const QString& path, const AnalysisState& state,
                                        AxisMapping mapping);
// Refuses group sizes outside kSmallestGroup..kLargestGroup.
[[nodiscard]] WriteResult writeGroupedFile(const QString& path, const AnalysisState& state,
                                           int groupSize);
