// SPDX-License-Identifier: GPL-3.0-or-later
#include "video_reader.h"

#include "display_size.h"

extern "C" {
#include <libavutil/display.h>
#include <libavutil/pixdesc.h>
}

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <mutex>
#include <thread>

// Bytes read from memory for the fuzz harness and the tests.
struct VideoReader::MemoryInput {
    const uint8_t* data = nullptr;
    int64_t size = 0;
    int64_t at = 0;
};

// With frame threads a frame's error flags are copied from the picture before the decoding
// thread has concealed its damage, so they come and go with the scheduling. The decoder's report
// names the packet instead: each packet is tagged (AVCodecContext::reordered_opaque, which the
// decoder hands on to the thread and to the frames made from it) with its number in decoding
// order, shifted left by one, and the lowest bit set for a packet shown before the key frame
// decoding started at, which refers to pictures never read.
struct VideoReader::DamageLog {
    std::atomic<int64_t> firstDamaged{INT64_MAX};

    void note(int64_t tag) {
        if (tag <= 0 || (tag & 1))
            return; // before any packet, or a leading picture of an open group
        const int64_t packet = tag >> 1;
        int64_t first = firstDamaged.load();
        while (packet < first && !firstDamaged.compare_exchange_weak(first, packet)) {
        }
    }
};

namespace {

// Containers a camera or phone writes. Anything else (playlists, concatenation lists, image
// patterns) could make FFmpeg open further files or network addresses named inside the file.
constexpr const char* kContainers = "mov,mp4,avi,matroska,webm,asf,mpegts,mpeg,nut,flv,ogg,"
                                    "h264,hevc,m4v,mjpeg,mpegvideo,ivf,yuv4mpegpipe,mxf,dv";

// Errors a decoder logs, and the note of the error concealment that hides damage without an
// error, are damage in the packet the decoder is working on (the decoder's own context or its
// thread's copy, which carries the packet's tag). Nothing is printed: reasons reach the user
// through the program's own messages.
void noteDecoderLog(void* object, int level, const char* format, va_list) {
    if (!object || !format)
        return;
    if (*static_cast<const AVClass* const*>(object) != avcodec_get_class())
        return;
    const auto* context = static_cast<const AVCodecContext*>(object);
    // Only the program's readers put a damage log there, and only on decoders.
    if (!context->opaque || !context->codec || !av_codec_is_decoder(context->codec))
        return;
    const int severity = level & 0xFF;
    const bool concealed = severity == AV_LOG_INFO && std::strncmp(format, "concealing ", 11) == 0;
    if (severity > AV_LOG_ERROR && !concealed)
        return;
    // H.264 memory management may drop a picture from before the key frame a seek went to:
    // bookkeeping of a picture the decoder never had, no damage to the ones it has.
    if (std::strncmp(format, "mmco: ", 6) == 0)
        return;
    static_cast<VideoReader::DamageLog*>(context->opaque)->note(context->reordered_opaque);
}

void listenToLibraryLog() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(noteDecoderLog); });
}

QString reasonText(int code) {
    switch (code) {
    case AVERROR(ENOENT):
        return QStringLiteral("ファイルがありません");
    case AVERROR(EACCES):
    case AVERROR(EPERM):
        return QStringLiteral("読み取りが許可されていません");
    case AVERROR(ENOMEM):
        return QStringLiteral("メモリが足りません");
    case AVERROR_INVALIDDATA:
    case AVERROR(EINVAL):
    case AVERROR_EOF:
        return QStringLiteral(
            "動画として読み取れないデータです（対応していない形式か、壊れています）");
    case AVERROR_STREAM_NOT_FOUND:
        return QStringLiteral("映像が入っていません");
    default:
        return QString::fromStdString(ffmpegErrorText(code));
    }
}

int readMemory(void* opaque, uint8_t* buffer, int size) {
    auto* in = static_cast<VideoReader::MemoryInput*>(opaque);
    const int64_t left = in->size - in->at;
    if (left <= 0)
        return AVERROR_EOF;
    const int n = static_cast<int>(std::min<int64_t>(left, size));
    std::memcpy(buffer, in->data + in->at, static_cast<size_t>(n));
    in->at += n;
    return n;
}

int64_t seekMemory(void* opaque, int64_t offset, int whence) {
    auto* in = static_cast<VideoReader::MemoryInput*>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE)
        return in->size;
    int64_t base = 0;
    if (whence == SEEK_CUR)
        base = in->at;
    else if (whence == SEEK_END)
        base = in->size;
    else if (whence != SEEK_SET)
        return AVERROR(EINVAL);
    int64_t to = 0;
    if (__builtin_add_overflow(base, offset, &to) || to < 0 || to > in->size)
        return AVERROR(EINVAL);
    in->at = to;
    return to;
}

int defaultThreads() {
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

VideoOrientation orientationOf(const AVStream& stream) {
    size_t size = 0;
    const uint8_t* data = av_stream_get_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (!data || size < 9 * sizeof(int32_t))
        return {};
    int32_t matrix[9];
    std::memcpy(matrix, data, sizeof matrix);
    return orientationOfDisplayMatrix(matrix);
}

double rateOf(const AVStream& stream) {
    if (stream.avg_frame_rate.num > 0 && stream.avg_frame_rate.den > 0)
        return av_q2d(stream.avg_frame_rate);
    if (stream.r_frame_rate.num > 0 && stream.r_frame_rate.den > 0)
        return av_q2d(stream.r_frame_rate);
    return 0.0;
}

bool isCorrupt(const AVFrame& frame) {
    return (frame.flags & AV_FRAME_FLAG_CORRUPT) || frame.decode_error_flags != 0;
}

// Cover art and thumbnails are pictures beside the sound, not a video.
bool isStill(const AVStream& stream) {
    return stream.disposition & (AV_DISPOSITION_ATTACHED_PIC | AV_DISPOSITION_TIMED_THUMBNAILS |
                                 AV_DISPOSITION_STILL_IMAGE);
}

// The video stream to read: FFmpeg's choice, passing over pictures that are no video.
int bestVideoStream(AVFormatContext* format, const AVCodec** codec) {
    const int best = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, codec, 0);
    if (best < 0 && best != AVERROR_DECODER_NOT_FOUND)
        return best;
    if (best >= 0 && !isStill(*format->streams[best]))
        return best;
    int fallback = AVERROR_STREAM_NOT_FOUND;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream& stream = *format->streams[i];
        if (stream.codecpar->codec_type != AVMEDIA_TYPE_VIDEO || isStill(stream))
            continue;
        const int index =
            av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, static_cast<int>(i), -1, codec, 0);
        if (index >= 0)
            return index;
        fallback = index;
    }
    return fallback;
}

} // namespace

VideoReader::VideoReader() : mDamage(std::make_unique<DamageLog>()) {}
VideoReader::~VideoReader() = default;

VideoReader::Opened VideoReader::open(const QString& path, const VideoLimits& limits) {
    listenToLibraryLog();
    const QFileInfo file(path);
    if (!file.exists())
        return {nullptr, reasonText(AVERROR(ENOENT))};
    // A named pipe or a device would block the open, or never end.
    if (!file.isFile())
        return {nullptr, QStringLiteral("通常のファイルではありません")};
    std::unique_ptr<VideoReader> reader(new VideoReader);
    AVDictionaryHolder options;
    options.set("format_whitelist", kContainers);
    options.set("protocol_whitelist", "file");
    if (limits.probeBytes > 0)
        options.set("probesize", std::to_string(limits.probeBytes).c_str());
    if (limits.analyzeMicroseconds > 0)
        options.set("analyzeduration", std::to_string(limits.analyzeMicroseconds).c_str());
    // "file:" in front, so that a colon in a name is never read as a protocol.
    const QByteArray url = "file:" + QFile::encodeName(path);
    AVFormatContext* format = nullptr;
    const int opened = avformat_open_input(&format, url.constData(), nullptr, options.address());
    if (opened < 0)
        return {nullptr, reasonText(opened)}; // the context was freed by the failed call
    reader->mFormat.reset(format);
    return finishOpen(std::move(reader), limits);
}

VideoReader::Opened VideoReader::openMemory(std::span<const uint8_t> bytes,
                                            const VideoLimits& limits) {
    listenToLibraryLog();
    std::unique_ptr<VideoReader> reader(new VideoReader);
    reader->mMemory = std::make_unique<MemoryInput>();
    reader->mMemory->data = bytes.data();
    reader->mMemory->size = static_cast<int64_t>(bytes.size());
    constexpr int kBufferSize = 4096;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
    if (!buffer)
        return {nullptr, reasonText(AVERROR(ENOMEM))};
    AVIOContext* io = avio_alloc_context(buffer, kBufferSize, 0, reader->mMemory.get(), readMemory,
                                         nullptr, seekMemory);
    if (!io) {
        av_free(buffer);
        return {nullptr, reasonText(AVERROR(ENOMEM))};
    }
    reader->mIo.reset(io);
    AVFormatContext* format = avformat_alloc_context();
    if (!format)
        return {nullptr, reasonText(AVERROR(ENOMEM))};
    format->pb = io;
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    AVDictionaryHolder options;
    options.set("format_whitelist", kContainers);
    options.set("protocol_whitelist", "none"); // nothing may be opened from inside the bytes
    if (limits.probeBytes > 0)
        options.set("probesize", std::to_string(limits.probeBytes).c_str());
    if (limits.analyzeMicroseconds > 0)
        options.set("analyzeduration", std::to_string(limits.analyzeMicroseconds).c_str());
    const int opened = avformat_open_input(&format, "", nullptr, options.address());
    if (opened < 0)
        return {nullptr, reasonText(opened)};
    reader->mFormat.reset(format);
    return finishOpen(std::move(reader), limits);
}

VideoReader::Opened VideoReader::finishOpen(std::unique_ptr<VideoReader> reader,
                                            const VideoLimits& limits) {
    AVFormatContext* format = reader->mFormat.get();
    if (const int found = avformat_find_stream_info(format, nullptr); found < 0)
        return {nullptr, reasonText(found)};
    const AVCodec* codec = nullptr;
    const int index = bestVideoStream(format, &codec);
    if (index == AVERROR_DECODER_NOT_FOUND) {
        const AVStream* any = nullptr;
        for (unsigned i = 0; i < format->nb_streams && !any; ++i)
            if (format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
                !isStill(*format->streams[i]))
                any = format->streams[i];
        const char* name = any ? avcodec_get_name(any->codecpar->codec_id) : "?";
        return {nullptr, QStringLiteral("この映像の形式（%1）は復号できません").arg(name)};
    }
    if (index < 0 || !codec)
        return {nullptr, reasonText(index < 0 ? index : AVERROR_STREAM_NOT_FOUND)};
    AVStream* stream = format->streams[index];
    for (unsigned i = 0; i < format->nb_streams; ++i)
        if (static_cast<int>(i) != index)
            format->streams[i]->discard = AVDISCARD_ALL; // sound and data are never read

    const AVCodecParameters& parameters = *stream->codecpar;
    if (parameters.width <= 0 || parameters.height <= 0)
        return {nullptr, QStringLiteral("映像の大きさが分かりません")};
    if (int64_t{parameters.width} * parameters.height > limits.maxPixels)
        return {nullptr, QStringLiteral("映像が大きすぎます（%1 × %2）")
                             .arg(parameters.width)
                             .arg(parameters.height)};
    if (stream->time_base.num <= 0 || stream->time_base.den <= 0)
        return {nullptr, reasonText(AVERROR_INVALIDDATA)};

    AVCodecContextPtr decoder(avcodec_alloc_context3(codec));
    if (!decoder)
        return {nullptr, reasonText(AVERROR(ENOMEM))};
    if (const int copied = avcodec_parameters_to_context(decoder.get(), &parameters); copied < 0)
        return {nullptr, reasonText(copied)};
    decoder->thread_count = limits.threads > 0 ? limits.threads : defaultThreads();
    decoder->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    decoder->pkt_timebase = stream->time_base;
    decoder->opaque = reader->mDamage.get(); // for noteDecoderLog, in every decoding thread
    // A frame larger than the stream said is refused by the decoder, not allocated.
    decoder->max_pixels = std::min<int64_t>(limits.maxPixels, INT_MAX);
    if (const int ready = avcodec_open2(decoder.get(), codec, nullptr); ready < 0)
        return {nullptr, reasonText(ready)};

    reader->mDecoder = std::move(decoder);
    reader->mPacket = makePacket();
    reader->mFrame = makeFrame();
    reader->mPending = makeFrame();
    if (!reader->mPacket || !reader->mFrame || !reader->mPending)
        return {nullptr, reasonText(AVERROR(ENOMEM))};
    reader->mStreamIndex = index;
    reader->mTimeBase = stream->time_base;
    reader->mStartPts = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    reader->mMaxPacketsPerFrame = limits.maxPacketsPerFrame;
    reader->mMaxPixels = limits.maxPixels;

    VideoInfo& info = reader->mInfo;
    info.codedWidth = parameters.width;
    info.codedHeight = parameters.height;
    const VideoOrientation orientation = orientationOf(*stream);
    info.rotation = orientation.rotation;
    info.mirrored = orientation.mirrored;
    int shownWidth = parameters.width;
    const AVRational aspect = av_guess_sample_aspect_ratio(format, stream, nullptr);
    if (aspect.num > 0 && aspect.den > 0 && aspect.num != aspect.den) {
        const double widened = std::round(double(parameters.width) * aspect.num / aspect.den);
        shownWidth = static_cast<int>(std::clamp(widened, 1.0, 65536.0));
    }
    const QSize upright = orientation.uprightSize(QSize(shownWidth, parameters.height));
    info.width = upright.width();
    info.height = upright.height();
    info.frameRate = rateOf(*stream);
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        info.durationSeconds = stream->duration * av_q2d(stream->time_base);
    else if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
        info.durationSeconds = double(format->duration) / AV_TIME_BASE;
    if (stream->nb_frames > 0) {
        info.frameCount = stream->nb_frames;
    } else if (info.durationSeconds > 0 && info.frameRate > 0) {
        info.frameCount = std::llround(info.durationSeconds * info.frameRate);
        info.frameCountEstimated = true;
    }
    if (info.frameRate > 0) {
        const double ticks = 1.0 / info.frameRate / av_q2d(stream->time_base);
        reader->mDefaultDuration = std::max<int64_t>(1, std::llround(std::min(ticks, 1e12)));
    }
    return {std::move(reader), QString()};
}

QSize VideoReader::displaySize() const {
    const auto shown = ::displaySize(mInfo.width, mInfo.height);
    return shown ? QSize(shown->width, shown->height) : QSize();
}

VideoReader::Status VideoReader::readPacketIntoDecoder() {
    for (int packets = 1;; ++packets) {
        if (mMaxPacketsPerFrame > 0 && packets > mMaxPacketsPerFrame)
            return Status::Failed;
        const int read = av_read_frame(mFormat.get(), mPacket.get());
        if (read < 0) {
            if (read == AVERROR_EOF && mAwaitKey && mFromStart && !mKeysMissing) {
                // Not one key frame in the whole stream: a stream that marks none is decoded
                // from its start whatever its packets say.
                mKeysMissing = true;
                if (restart(std::nullopt))
                    continue;
            }
            // The end of the file, or a read error: what the decoder holds still comes out,
            // then the stream ends (normally, or as a failure for a read error).
            mFailedInput = read != AVERROR_EOF;
            mDraining = true;
            avcodec_send_packet(mDecoder.get(), nullptr);
            return Status::Frame;
        }
        if (mPacket->stream_index != mStreamIndex ||
            (mAwaitKey && !mKeysMissing && !(mPacket->flags & AV_PKT_FLAG_KEY))) {
            av_packet_unref(mPacket.get());
            continue;
        }
        mAwaitKey = false;
        const int64_t pts = mPacket->pts != AV_NOPTS_VALUE ? mPacket->pts : mPacket->dts;
        if (mRestartPts == AV_NOPTS_VALUE)
            mRestartPts = pts;
        const bool leading =
            pts != AV_NOPTS_VALUE && mRestartPts != AV_NOPTS_VALUE && pts < mRestartPts;
        mDecoder->reordered_opaque = (++mPacketsSent << 1) | (leading ? 1 : 0);
        const bool corrupt = mPacket->flags & AV_PKT_FLAG_CORRUPT;
        const int sent =
            corrupt ? AVERROR_INVALIDDATA : avcodec_send_packet(mDecoder.get(), mPacket.get());
        av_packet_unref(mPacket.get());
        if (sent < 0 && sent != AVERROR(EAGAIN)) {
            // A packet that cannot be decoded: the frames before it are good, it ends the stream.
            mDamage->note(mDecoder->reordered_opaque & ~int64_t{1});
            mFailedInput = true;
            mDraining = true;
            avcodec_send_packet(mDecoder.get(), nullptr);
        }
        return Status::Frame;
    }
}

VideoReader::Status VideoReader::decode(AVFrame* into) {
    mMoved = true;
    for (;;) {
        const int received = avcodec_receive_frame(mDecoder.get(), into);
        if (received == 0)
            return Status::Frame;
        if (received == AVERROR_EOF)
            return mFailedInput ? Status::Failed : Status::End;
        if (received != AVERROR(EAGAIN) || mDraining)
            return Status::Failed;
        if (readPacketIntoDecoder() == Status::Failed)
            return Status::Failed;
    }
}

bool VideoReader::damaged(const AVFrame& frame) const {
    // A frame made from the damaged packet, or decoded after it and perhaps built on it. Its
    // packet's report came before the frame: the decoder hands out a thread's frames only once
    // that thread and all before it are done. The frame's own flags hold without frame threads.
    return (frame.reordered_opaque >> 1) >= mDamage->firstDamaged.load() || isCorrupt(frame);
}

int64_t VideoReader::timestampOf(const AVFrame& frame) {
    int64_t pts = frame.best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE)
        pts = frame.pts;
    if (pts == AV_NOPTS_VALUE)
        pts = mLastPts == AV_NOPTS_VALUE
                  ? mStartPts
                  : mLastPts + (frame.pkt_duration > 0 ? frame.pkt_duration : mDefaultDuration);
    // Later frames never share or go back in time, so a timestamp names one frame.
    if (mLastPts != AV_NOPTS_VALUE && pts <= mLastPts)
        pts = mLastPts + 1;
    mLastPts = pts;
    return pts;
}

bool VideoReader::restart(std::optional<int64_t> pts) {
    AVFormatContext* format = mFormat.get();
    // Transport and program streams find a time by searching the bytes, which may land after
    // the first key frame; their start is their first byte.
    const bool startByBytes = (format->iformat->flags & AVFMT_TS_DISCONT) &&
                              std::strcmp(format->iformat->name, "ogg") != 0;
    const bool moved =
        pts ? av_seek_frame(format, mStreamIndex, *pts, AVSEEK_FLAG_BACKWARD) >= 0 ||
                  avformat_seek_file(format, mStreamIndex, INT64_MIN, *pts, *pts, 0) >= 0
        : startByBytes
            ? av_seek_frame(format, -1, 0, AVSEEK_FLAG_BYTE) >= 0
            : av_seek_frame(format, mStreamIndex, mStartPts, AVSEEK_FLAG_BACKWARD) >= 0 ||
                  av_seek_frame(format, -1, 0, AVSEEK_FLAG_BYTE) >= 0;
    if (!moved)
        return false;
    // Waits for the decoder's threads: no report of the packets before can arrive after this.
    avcodec_flush_buffers(mDecoder.get());
    mDamage->firstDamaged = INT64_MAX;
    mDecoder->reordered_opaque = 0;
    mMoved = true;
    mDraining = false;
    mFailedInput = false;
    mHasPending = false;
    mLastPts = AV_NOPTS_VALUE;
    mRestartPts = AV_NOPTS_VALUE;
    mAwaitKey = true;
    mFromStart = !pts;
    mPacketsSent = 0;
    return true;
}

VideoReader::Status VideoReader::seekToFrameAt(int64_t target) {
    // A reader that has decoded nothing yet stands at the start already.
    bool stay = !mMoved && target <= mStartPts;
    bool toStart = stay || mKeysMissing;
    // Steps back, in the stream's ticks, when the key frame found lies after the target.
    const int64_t second = std::max<int64_t>(1, std::llround(1.0 / av_q2d(mTimeBase)));
    constexpr int kStepsBack = 8; // then from the start: 128 s back by then
    Status status = Status::Failed;
    for (int stepsBack = 0;; ++stepsBack) {
        if (!stay) {
            const int64_t back = stepsBack == 0 ? 0 : second << std::min(stepsBack - 1, 16);
            int64_t aim = 0;
            toStart = toStart || stepsBack > kStepsBack ||
                      __builtin_sub_overflow(target, back, &aim) || aim < mStartPts;
            if (!restart(toStart ? std::nullopt : std::optional<int64_t>(aim))) {
                if (!toStart) {
                    toStart = true;
                    continue;
                }
                if (mMoved)
                    return Status::Failed;
                // Not seekable, but still at the start.
            }
        }
        stay = false;
        status = decode(mFrame.get());
        if (status == Status::Failed || (status == Status::End && toStart))
            return status;
        if (status == Status::Frame) {
            mPts = timestampOf(*mFrame);
            if (mPts <= target || toStart)
                break;
        }
        // Nothing from the landing place on, or the frame on screen at the target lies before
        // the key frame found there: further back.
    }
    while (mPts < target) {
        status = decode(mPending.get());
        if (status == Status::End)
            break; // the target lies past the last frame: the last frame stays on screen
        if (status == Status::Failed)
            return Status::Failed;
        const int64_t pts = timestampOf(*mPending);
        if (pts > target) {
            mHasPending = true;
            mPendingPts = pts;
            break;
        }
        std::swap(mFrame, mPending);
        mPts = pts;
    }
    return damaged(*mFrame) ? Status::Failed : Status::Frame;
}

VideoReader::Status VideoReader::next() {
    if (mHasPending) {
        mHasPending = false;
        std::swap(mFrame, mPending);
        mPts = mPendingPts;
    } else {
        const Status status = decode(mFrame.get());
        if (status != Status::Frame)
            return status;
        mPts = timestampOf(*mFrame);
    }
    return damaged(*mFrame) ? Status::Failed : Status::Frame;
}

double VideoReader::secondsOf(int64_t pts) const {
    return static_cast<double>(pts - mStartPts) * av_q2d(mTimeBase);
}

int64_t VideoReader::ptsOf(double seconds) const {
    if (!std::isfinite(seconds) || seconds <= 0)
        return mStartPts;
    const double ticks = std::min(seconds, 1e9) / av_q2d(mTimeBase);
    return mStartPts + static_cast<int64_t>(std::llround(std::min(ticks, 4e18)));
}

QImage VideoReader::picture(QSize size) {
    const AVFrame& frame = *mFrame;
    if (frame.width <= 0 || frame.height <= 0 || size.isEmpty() ||
        int64_t{frame.width} * frame.height > mMaxPixels)
        return {};
    const VideoOrientation orientation = mInfo.orientation();
    const QImage stored = mConverter.convert(frame, orientation.storedSize(size));
    return stored.isNull() ? QImage() : orientation.apply(stored);
}

QSize VideoReader::frameSize() const {
    return {mFrame->width, mFrame->height};
}

AVFramePtr VideoReader::frameReference() const {
    return AVFramePtr(av_frame_clone(mFrame.get()));
}
