// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ffmpeg_raii.h"
#include "frame_converter.h"
#include "source_frame.h"
#include "video_info.h"

#include <QImage>

// One decoded video frame as a source picture: upright at the video's own size, a window at a
// time. Each window converts only the part of the frame under it (a frame of non-square pixels
// is converted whole once, as the display picture is).
class VideoFrameWindows : public SourceFrame {
public:
    VideoFrameWindows(AVFramePtr frame, const VideoInfo& info);
    [[nodiscard]] int width() const override { return mInfo.width; }
    [[nodiscard]] int height() const override { return mInfo.height; }
    [[nodiscard]] ArgbWindow window(PixelRect rect) override;

private:
    [[nodiscard]] ArgbWindow viewOf(const QImage& pixels, int left, int top, PixelRect rect) const;
    [[nodiscard]] ArgbWindow fromWhole(PixelRect rect);

    AVFramePtr mFrame;
    VideoInfo mInfo;
    FrameConverter mConverter;
    QImage mPixels; // the last window
    QImage mWhole;  // the whole frame, upright, where windows cannot be cut
};
