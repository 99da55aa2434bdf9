// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

// The picture on which a run ended because a marker was not found there, kept so that the user
// can place the lost markers on it by hand and go on from it, or leave it out, also after the
// analysis was saved and opened again.
struct LostFrame {
    int lostPoint = 0; // the first point not found; 0 when the last run did not end so
    // Where the picture is: a photo's path (photoPath names it after the run); a video frame's
    // timestamp (lastPts) and time.
    std::string photoPath;
    int64_t pts = std::numeric_limits<int64_t>::min();
    double seconds = std::numeric_limits<double>::quiet_NaN();
    int32_t sequence = -1;
    // The points and path lengths before the picture was tracked: the points before the lost
    // one had moved in it already. pointX[k - 1] is point k.
    std::vector<int16_t> pointX;
    std::vector<int16_t> pointY;
    std::array<double, 8> pathLength{};
    // A lost marker placed by hand: the press and the centre its region search found.
    struct Placed {
        int point = 0;
        double pressX = 0.0;
        double pressY = 0.0;
        int16_t x = 0;
        int16_t y = 0;
        friend bool operator==(const Placed&, const Placed&) = default;
    };
    std::vector<Placed> placed;
};

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

    LostFrame lost;
};
