// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis_source.h"
#include "frame_source.h"
#include "video_reader.h"

#include <QSize>
#include <QString>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// The frames of a video after the one the analysis stands on: after `where.lastPts`, or after
// the placement frame before the first continuation, every `where.frameStep`-th frame, each
// scaled to `size`. Taking a frame moves `where.lastPts` to it.
//
// A worker thread demuxes, decodes (with the decoder's own threads) and scales a few frames
// ahead of the run.
class VideoSource : public FrameSource {
public:
    VideoSource(AnalysisSource& where, const QString& path, QSize size,
                const VideoLimits& limits = {});
    // Stops the worker; at most the frame being decoded is finished.
    ~VideoSource() override;
    VideoSource(const VideoSource&) = delete;
    VideoSource& operator=(const VideoSource&) = delete;

    [[nodiscard]] bool advance() override { return true; }
    // Tracking and the trajectory go on after the series of the record is full.
    [[nodiscard]] bool endsWithSeries() const override { return false; }
    [[nodiscard]] std::optional<SourceItem> take(std::chrono::milliseconds wait) override;

private:
    struct Decoded {
        SourceItem item;
        int64_t pts = AnalysisSource::kNoFrame;
    };
    void decodeAhead(const QString& path, int64_t anchor, double anchorSeconds, int step,
                     double endSeconds, VideoLimits limits);
    bool hand(Decoded decoded); // false once the source is being destroyed

    AnalysisSource& mWhere;
    const QSize mSize;
    const QString mName;
    std::mutex mMutex;
    std::condition_variable mChanged;
    std::deque<Decoded> mReady;
    bool mStopping = false;
    bool mEnded = false; // the worker handed its last item
    std::thread mWorker;
};
