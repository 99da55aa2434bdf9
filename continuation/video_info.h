// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "video_orientation.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <optional>

// What the start dialog tells about a video, and how its frames are turned upright.
struct VideoInfo {
    int codedWidth = 0; // as stored in the stream
    int codedHeight = 0;
    // As the video is meant to be seen: non-square pixels widened, rotation metadata applied.
    int width = 0;
    int height = 0;
    int rotation = 0;      // clockwise degrees that turn a decoded frame upright: 0, 90, 180 or 270
    bool mirrored = false; // then mirrored left to right (a front camera's picture)
    double frameRate = 0.0;           // average frames per second; 0 when unknown
    double durationSeconds = 0.0;     // 0 when unknown
    int64_t frameCount = 0;           // 0 when unknown
    bool frameCountEstimated = false; // from duration and frame rate, not from the container

    [[nodiscard]] VideoOrientation orientation() const { return {rotation, mirrored}; }
};

// One decoded frame at display size.
struct VideoFrame {
    QImage picture;       // Format_RGB32, upright, at the requested size
    int64_t pts = 0;      // timestamp in the stream's time base
    double seconds = 0.0; // time from the start of the stream
    // Upright at the video's own size where it is measured there (measuredAtSource); else null.
    QImage source;
};

struct VideoFrameResult {
    std::optional<VideoFrame> frame;
    VideoInfo info;
    QString error; // Japanese reason when there is no frame
};

struct VideoProbeResult {
    std::optional<VideoInfo> info;
    QString error; // Japanese reason when the file cannot be opened as a video
};

// Opens the file as a video and reads what the start dialog shows. Decodes nothing.
[[nodiscard]] VideoProbeResult probeVideo(const QString& path);

// The frame on screen at `seconds` from the start of the video (the last frame that starts at or
// before it; the first frame for anything earlier), decoded at the video's display size (fitted
// into 640 x 480 like a photo).
[[nodiscard]] VideoFrameResult loadVideoFrameAtSeconds(const QString& path, double seconds);

// The frame with timestamp `pts` (or, when no frame has it, the last one before it), at `size`.
// An empty size means the video's display size. Used to show a saved analysis's placement frame
// again.
[[nodiscard]] VideoFrameResult loadVideoFrameAt(const QString& path, int64_t pts, QSize size);

// Why a video cannot be measured at its own size within the memory the program allows itself
// (more than kMaxSourcePixels a frame, such as 8K); empty when it can.
[[nodiscard]] QString tooLargeToMeasure(const VideoInfo& info);
