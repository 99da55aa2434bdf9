// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ffmpeg_raii.h"
#include "frame_converter.h"
#include "video_info.h"

#include <QSize>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

// Bounds on the work one open and one decode may do. The defaults suit files on disk; the fuzz
// harness lowers them so that arbitrary bytes cost little.
struct VideoLimits {
    int64_t probeBytes = 0;               // bytes the probe may read; 0 for FFmpeg's default
    int64_t analyzeMicroseconds = 0;      // stream time the probe may look at; 0 for the default
    int threads = 0;                      // decoder threads; 0 for one per core
    int maxPacketsPerFrame = 0;           // packets read while looking for a frame; 0 for no limit
    int64_t maxPixels = int64_t{1} << 26; // larger frames (over 8192 x 8192) are refused
};

// Demuxer, decoder and scaler of one video stream, read front to back, with seeking. Frames come
// out in presentation order with a timestamp from the stream (best effort, never missing and
// never going backwards).
//
// Damage ends the stream at the same frame on every run, however the decoder's threads are
// scheduled: the first frame decoded from a packet the decoder reports damage in, or from any
// packet after it, fails, and every frame before it is handed out. Decoding starts at key frames
// only: after opening and after every seek the packets before the next key frame are skipped.
class VideoReader {
public:
    enum class Status { Frame, End, Failed };

    struct Opened {
        std::unique_ptr<VideoReader> reader;
        QString error; // Japanese reason when reader is null
    };
    [[nodiscard]] static Opened open(const QString& path, const VideoLimits& limits = {});
    // Reads from memory; `bytes` must outlive the reader.
    [[nodiscard]] static Opened openMemory(std::span<const uint8_t> bytes,
                                           const VideoLimits& limits = {});

    ~VideoReader();
    struct MemoryInput; // the read position of openMemory
    struct DamageLog;   // packets the decoder reported damage in
    VideoReader(const VideoReader&) = delete;
    VideoReader& operator=(const VideoReader&) = delete;

    [[nodiscard]] const VideoInfo& info() const { return mInfo; }
    // The display size of the video: its upright size fitted into 640 x 480 like a photo.
    [[nodiscard]] QSize displaySize() const;

    // Positions the reader so that frame() holds the frame on screen at `pts`: the last frame
    // whose timestamp is at most `pts`, or the first frame when all are later. Decodes forward
    // from the key frame before `pts`; when the demuxer lands after it, it steps further back,
    // a second and then twice as far each time, before it falls back to the start.
    [[nodiscard]] Status seekToFrameAt(int64_t pts);
    // Decodes the next frame into frame().
    [[nodiscard]] Status next();

    [[nodiscard]] int64_t pts() const { return mPts; }
    [[nodiscard]] double seconds() const { return secondsOf(mPts); }
    [[nodiscard]] double secondsOf(int64_t pts) const;
    [[nodiscard]] int64_t ptsOf(double seconds) const;

    // The current frame at `size`, upright, as a Format_RGB32 picture; null when it cannot be
    // converted.
    [[nodiscard]] QImage picture(QSize size);
    // The current frame's decoded size, as stored.
    [[nodiscard]] QSize frameSize() const;
    // A new reference to the current frame's decoded pixels, which stay valid while it lives.
    [[nodiscard]] AVFramePtr frameReference() const;

private:
    VideoReader();
    static Opened finishOpen(std::unique_ptr<VideoReader> reader, const VideoLimits& limits);
    Status decode(AVFrame* into);
    Status readPacketIntoDecoder();
    bool restart(std::optional<int64_t> pts);
    int64_t timestampOf(const AVFrame& frame);
    bool damaged(const AVFrame& frame) const;

    std::unique_ptr<MemoryInput> mMemory; // outlives the I/O context that reads it
    // Damage the decoder reports, noted from its threads; outlives the decoder.
    std::unique_ptr<DamageLog> mDamage;
    AVIOContextPtr mIo;
    AVFormatContextPtr mFormat;
    AVCodecContextPtr mDecoder;
    FrameConverter mConverter;
    AVPacketPtr mPacket;
    AVFramePtr mFrame;   // the current frame
    AVFramePtr mPending; // a frame decoded ahead while seeking, handed out by the next next()
    bool mHasPending = false;
    int64_t mPendingPts = 0;
    int mStreamIndex = -1;
    AVRational mTimeBase{1, 1};
    int64_t mStartPts = 0;
    int64_t mDefaultDuration = 1;
    int64_t mPts = 0;
    int64_t mLastPts = AV_NOPTS_VALUE;
    int64_t mPacketsSent = 0;             // numbers the packets in decoding order, from 1
    int64_t mRestartPts = AV_NOPTS_VALUE; // the first packet decoded since the last restart
    bool mAwaitKey = true;                // packets before a key frame are skipped
    bool mKeysMissing = false;            // the stream marks no key frames: decode from the start
    bool mFromStart = true;               // decoding began at the start of the stream
    bool mMoved = false;                  // decoded or sought since opening
    bool mDraining = false;
    bool mFailedInput = false;
    int mMaxPacketsPerFrame = 0;
    int64_t mMaxPixels = 0;
    VideoInfo mInfo;
};
