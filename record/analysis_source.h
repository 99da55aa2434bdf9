// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <limits>
#include <string>

// Where the pictures of the analysis come from, kept beside AnalysisState. For a photo
// sequence the continuation goes on from AnalysisState::photoPath (nextPhotoName); a video
// goes on from the position recorded here, and photoPath holds the video's path.
struct AnalysisSource {
    enum class Kind : uint8_t { None, Photo, Video };
    static constexpr int64_t kNoFrame = std::numeric_limits<int64_t>::min();

    Kind kind = Kind::None;
    // The photo or video on which the points were placed (entry 0 of the trajectory).
    std::string placementPath;

    // Video only.
    double startSeconds = 0.0; // start position chosen when the video was opened
    int frameStep = 1;         // every frameStep-th frame is tracked (1 = every frame)
    // The run ends after the last frame that starts at or before this; infinity for the end of
    // the video.
    double endSeconds = std::numeric_limits<double>::infinity();
    // Timestamps in the video stream's time base: the frame shown when the video was opened,
    // and the last frame a continuation took (kNoFrame before the first continuation). The
    // next continuation starts frameStep frames after lastPts.
    int64_t placementPts = kNoFrame;
    int64_t lastPts = kNoFrame;
};
