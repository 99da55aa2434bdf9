// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Owning pointers for FFmpeg objects, so that no error path can leak one. Every FFmpeg object of
// the program lives in one of these; nothing calls the av_*_free functions by hand.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <string>

struct AVFormatContextCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using AVFormatContextPtr = std::unique_ptr<AVFormatContext, AVFormatContextCloser>;

struct AVCodecContextFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
using AVCodecContextPtr = std::unique_ptr<AVCodecContext, AVCodecContextFreer>;

struct AVFrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using AVFramePtr = std::unique_ptr<AVFrame, AVFrameFreer>;

struct AVPacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using AVPacketPtr = std::unique_ptr<AVPacket, AVPacketFreer>;

struct SwsContextFreer {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};
using SwsContextPtr = std::unique_ptr<SwsContext, SwsContextFreer>;

// A custom I/O context and the buffer it reads through. The buffer belongs to the context once
// handed over (FFmpeg may replace it), so both go together.
struct AVIOContextFreer {
    void operator()(AVIOContext* context) const {
        if (context)
            av_freep(&context->buffer);
        avio_context_free(&context);
    }
};
using AVIOContextPtr = std::unique_ptr<AVIOContext, AVIOContextFreer>;

// Options passed to an FFmpeg open call; whatever the call did not consume is freed.
class AVDictionaryHolder {
public:
    AVDictionaryHolder() = default;
    ~AVDictionaryHolder() { av_dict_free(&mDictionary); }
    AVDictionaryHolder(const AVDictionaryHolder&) = delete;
    AVDictionaryHolder& operator=(const AVDictionaryHolder&) = delete;

    void set(const char* key, const char* value) { av_dict_set(&mDictionary, key, value, 0); }
    AVDictionary** address() { return &mDictionary; }

private:
    AVDictionary* mDictionary = nullptr;
};

// FFmpeg's text for an error code.
[[nodiscard]] inline std::string ffmpegErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    if (av_strerror(code, text, sizeof text) < 0)
        return "error " + std::to_string(code);
    return text;
}

[[nodiscard]] inline AVFramePtr makeFrame() {
    return AVFramePtr(av_frame_alloc());
}

[[nodiscard]] inline AVPacketPtr makePacket() {
    return AVPacketPtr(av_packet_alloc());
}

// An output file: its I/O (when the format writes to one) is closed with it.
struct AVOutputContextCloser {
    void operator()(AVFormatContext* context) const {
        if (!context)
            return;
        if (context->oformat && !(context->oformat->flags & AVFMT_NOFILE))
            avio_closep(&context->pb);
        avformat_free_context(context);
    }
};
using AVOutputContextPtr = std::unique_ptr<AVFormatContext, AVOutputContextCloser>;
