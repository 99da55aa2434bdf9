// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "source_scale.h"

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

// Sub-pixel trajectories of the named points, kept beside AnalysisState. The integer points and
// series of the record stay as they are; this is measured alongside them.
//
// Entry 0 is the photo (or video frame) on which the points were placed; each photo tracked
// afterwards appends one entry. Entry e >= 1 therefore belongs to series index
// seriesStart + e - 1 of deltaX1..deltaY7.
struct SwayEntry {
    static constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    static constexpr int32_t kNoSequence = -1;

    // Centre of point k (1..7) in picture pixels, x to the right, y downwards; NaN where the
    // point has no centre in this entry (not placed yet). Element 0 is never used.
    std::array<double, 8> x{kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone};
    std::array<double, 8> y{kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone};
    // Time of the frame in seconds from the stream's timestamps; NaN unless it came from a video.
    double seconds = kNone;
    // Sequence number of the photo, the number in its file name: a(007).bmp -> 7. A photo that
    // failed ends a continuation and the next one goes on after it, so entries need not be
    // consecutive photos. kNoSequence for a video frame or a photo named without a number.
    int32_t sequence = kNoSequence;
};

struct SwayRecord {
    static constexpr int kMaxEntries = 902; // entry 0 and one per entry of the series (0..900)

    std::vector<SwayEntry> entries;
    // The pixels the centres are measured in: the source picture's, against the display's. An
    // invalid scale (analyses saved before it was kept) means the pixels of the display.
    SourceScale scale;
    int seriesStart = 0; // frameCount when entry 0 was recorded
    // Seconds between two photos as typed by the user in the report; 0 while unknown. Frames of
    // a video carry their own times instead.
    double frameInterval = 0.0;
    // The distance of the reference points was confirmed after the last reference press, so the
    // measures are in mm. mmPerPoint alone cannot tell: a reference press stores a pixel
    // distance there, and a confirmed scale may happen to equal it.
    bool scaleConfirmed = false;
};
