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
// afterwards appends one entry. While the series has room, entry e >= 1 therefore belongs to
// series index seriesStart + e - 1 of deltaX1..deltaY7; a video goes on past the series.
struct SwayEntry {
    static constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    static constexpr int32_t kNoSequence = -1;

    // Centre of point k (1..7) in the pixels of SwayRecord::scale's source, x to the right, y
    // downwards; NaN where the point has no centre in this entry (not placed yet). Element 0 is
    // never used.
    std::array<double, 8> x{kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone};
    std::array<double, 8> y{kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone};
    // Time of the frame in seconds from the stream's timestamps; NaN unless it came from a video.
    double seconds = kNone;
    // Sequence number of the photo, the number in its file name: a(007).bmp -> 7. A photo that
    // failed ends a continuation and the next one goes on after it, so entries need not be
    // consecutive photos. kNoSequence for a video frame or a photo named without a number.
    int32_t sequence = kNoSequence;
    // Bit k set: point k's marker could not be measured at source resolution (merged with
    // another white region, cut by the picture's edge), so its centre is the display-size one
    // scaled up.
    uint8_t fellBack = 0;
};

struct SwayRecord {
    // Entry 0 and up to two hours of video at 60 frames a second. Photo sequences end with the
    // series, at 902 entries.
    static constexpr int kMaxEntries = 2 * 3600 * 60 + 1;

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

    // The reference points measured at source resolution, where they were marker regions: the
    // centre of the last reference press (NaN where it was no marker) and the distance in
    // source pixels of the last two (NaN unless both were). With the confirmed distance this
    // gives millimetres per source pixel without the display's whole-pixel rounding.
    double referenceSourceX = SwayEntry::kNone;
    double referenceSourceY = SwayEntry::kNone;
    double referenceSourceDistance = SwayEntry::kNone;
};
