// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis_state.h"

#include <string>
#include <vector>

// Angle of an arm (dx, dy) from the vertical, a whole number of degrees 0..90.
[[nodiscard]] double armAngle(int dx, int dy);

// A number to write on the picture with its top-left corner at (x, y).
struct PictureNumber {
    int x = 0;
    int y = 0;
    int value = 0;
    friend bool operator==(const PictureNumber&, const PictureNumber&) = default;
};

struct AngleResult {
    std::vector<PictureNumber> texts; // one or two, in the order they are written
    int label4 = 0;                   // the angle alpha
    int label7 = 0;                   // 360 - alpha
};

// The angle at the middle point of the last triple (points pointCount - 2 .. pointCount).
// Meant for pointCount a multiple of 3; with fewer than 3 or more than 60 points the result is
// empty (no texts, labels 0).
[[nodiscard]] AngleResult measureAngle(const AnalysisState& state);

struct TripleNumbering {
    std::string message;                // UTF-8; empty when the triples are numbered
    std::vector<PictureNumber> numbers; // triple numbers at their middle points
};

// What starting a ROM analysis shows: a message about missing points, or the triple numbers.
[[nodiscard]] TripleNumbering numberAngleTriples(const AnalysisState& state);
