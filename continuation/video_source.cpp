// SPDX-License-Identifier: GPL-3.0-or-later
#include "video_source.h"

#include "photo_loader.h"
#include "video_windows.h"

#include <QFileInfo>

namespace {

// Frames decoded ahead of the run: enough to cover the decoder's own jitter, small enough that
// a few full-HD videos' worth of memory is never held.
constexpr std::size_t kFramesAhead = 3;

} // namespace

VideoSource::VideoSource(AnalysisSource& where, const QString& path, QSize size,
                         const VideoLimits& limits)
    : mWhere(where), mSize(size), mName(QFileInfo(path).fileName()) {
    // The worker gets its own copies: the record belongs to the user-interface thread.
    const int64_t anchor =
        where.lastPts != AnalysisSource::kNoFrame ? where.lastPts : where.placementPts;
    mWorker = std::thread(&VideoSource::decodeAhead, this, path, anchor, where.startSeconds,
                          std::max(1, where.frameStep), where.endSeconds, limits);
}

VideoSource::~VideoSource() {
    {
        const std::lock_guard lock(mMutex);
        mStopping = true;
    }
    mChanged.notify_all();
    mWorker.join();
}

bool VideoSource::hand(Decoded decoded) {
    std::unique_lock lock(mMutex);
    mChanged.wait(lock, [this] { return mStopping || mReady.size() < kFramesAhead; });
    if (mStopping)
        return false;
    mReady.push_back(std::move(decoded));
    lock.unlock();
    mChanged.notify_all();
    return true;
}

void VideoSource::decodeAhead(const QString& path, int64_t anchor, double anchorSeconds, int step,
                              double endSeconds, VideoLimits limits) {
    const auto end = [this](SourceItem::Kind kind, double seconds) {
        Decoded last;
        last.item.kind = kind;
        last.item.name = mName;
        last.item.seconds = seconds;
        hand(std::move(last));
    };
    // However the worker leaves, a waiting take() must not wait for nothing.
    struct Ended {
        VideoSource* source;
        ~Ended() {
            {
                const std::lock_guard lock(source->mMutex);
                source->mEnded = true;
            }
            source->mChanged.notify_all();
        }
    } ended{this};
    auto opened = VideoReader::open(path, limits);
    if (!opened.reader)
        return end(SourceItem::Kind::Unreadable, SourceItem().seconds);
    VideoReader& reader = *opened.reader;
    if (anchor == AnalysisSource::kNoFrame)
        anchor = reader.ptsOf(anchorSeconds);
    // The frame the analysis stands on; the run goes on from the frames after it.
    switch (reader.seekToFrameAt(anchor)) {
    case VideoReader::Status::Frame:
        break;
    case VideoReader::Status::End:
        return end(SourceItem::Kind::EndOfStream, SourceItem().seconds);
    case VideoReader::Status::Failed:
        return end(SourceItem::Kind::Unreadable, SourceItem().seconds);
    }
    double lastSeconds = reader.seconds();
    // Larger than the display: each frame goes with its decoded pixels, measured and followed at
    // the video's own resolution.
    const VideoInfo& info = reader.info();
    const QSize own(info.width, info.height);
    const bool atSource = measuredAtSource(own, mSize);
    const QSize frameSize = reader.frameSize();
    for (int skipped = 0;;) {
        {
            const std::lock_guard lock(mMutex);
            if (mStopping)
                return;
        }
        switch (reader.next()) {
        case VideoReader::Status::Frame:
            break;
        case VideoReader::Status::End:
            return end(SourceItem::Kind::EndOfStream, lastSeconds);
        case VideoReader::Status::Failed:
            return end(SourceItem::Kind::Unreadable, lastSeconds);
        }
        if (reader.frameSize() != frameSize)
            return end(SourceItem::Kind::SizeChanged, reader.seconds());
        if (reader.seconds() > endSeconds)
            return end(SourceItem::Kind::EndPosition, lastSeconds);
        lastSeconds = reader.seconds();
        if (++skipped < step)
            continue;
        skipped = 0;
        Decoded decoded;
        decoded.item.picture = reader.picture(mSize);
        if (decoded.item.picture.isNull())
            return end(SourceItem::Kind::Unreadable, lastSeconds);
        if (atSource) {
            decoded.item.source =
                std::make_shared<VideoFrameWindows>(reader.frameReference(), info);
            decoded.item.scale = {own.width(), own.height(), mSize.width(), mSize.height()};
            decoded.item.followAtSource = true;
        }
        decoded.item.name = mName;
        decoded.item.seconds = lastSeconds;
        decoded.pts = reader.pts();
        if (!hand(std::move(decoded)))
            return;
    }
}

std::optional<SourceItem> VideoSource::take(std::chrono::milliseconds wait) {
    std::unique_lock lock(mMutex);
    if (!mChanged.wait_for(lock, wait, [this] { return !mReady.empty() || mEnded; }))
        return std::nullopt;
    if (mReady.empty()) { // only after the last item was taken already
        SourceItem none;
        none.kind = SourceItem::Kind::EndOfStream;
        return none;
    }
    Decoded decoded = std::move(mReady.front());
    mReady.pop_front();
    lock.unlock();
    mChanged.notify_all();
    if (decoded.item.kind == SourceItem::Kind::Picture)
        mWhere.lastPts = decoded.pts;
    return std::move(decoded.item);
}
