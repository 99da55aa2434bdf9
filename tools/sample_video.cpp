// SPDX-License-Identifier: GPL-3.0-or-later
#include "sample_video.h"

#include "ffmpeg_raii.h"

extern "C" {
#include <libavutil/display.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <QBuffer>
#include <QFile>

#include <algorithm>
#include <cstring>

struct VideoWriter::Parts {
    AVOutputContextPtr format;
    AVCodecContextPtr encoder;
    SwsContextPtr scaler;
    AVFramePtr frame;
    AVPacketPtr packet;
    AVStream* stream = nullptr;
};

VideoWriter::VideoWriter() : d(std::make_unique<Parts>()) {}
VideoWriter::~VideoWriter() = default;

std::unique_ptr<VideoWriter> VideoWriter::create(const QString& path,
                                                 const VideoWriteOptions& options, QString* error) {
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return nullptr;
    };
    av_log_set_level(AV_LOG_QUIET); // encoders print statistics; failures come back as texts
    std::unique_ptr<VideoWriter> writer(new VideoWriter);
    Parts& p = *writer->d;
    const QByteArray url = "file:" + QFile::encodeName(path);
    const QByteArray name = QFile::encodeName(path);
    AVFormatContext* format = nullptr;
    // The container is guessed from the plain name; the "file:" form only opens it.
    int result = avformat_alloc_output_context2(&format, nullptr, nullptr, name.constData());
    if (result < 0 || !format)
        return fail(QStringLiteral("no container for %1").arg(path));
    p.format.reset(format);

    const AVCodec* codec = avcodec_find_encoder_by_name(options.encoder.toLatin1().constData());
    if (!codec)
        return fail(QStringLiteral("no encoder %1").arg(options.encoder));
    p.stream = avformat_new_stream(format, nullptr);
    p.encoder.reset(avcodec_alloc_context3(codec));
    p.frame = makeFrame();
    p.packet = makePacket();
    if (!p.stream || !p.encoder || !p.frame || !p.packet)
        return fail(QStringLiteral("out of memory"));

    AVCodecContext& encoder = *p.encoder;
    encoder.width = options.width;
    encoder.height = options.height;
    encoder.time_base = {options.timeBaseNum, options.timeBaseDen};
    encoder.framerate = {options.framesPerSecond, 1};
    encoder.gop_size = options.gop;
    encoder.sample_aspect_ratio = {options.aspectNum, options.aspectDen};
    if (!options.pixelFormat.isEmpty())
        encoder.pix_fmt = av_get_pix_fmt(options.pixelFormat.toLatin1().constData());
    else if (codec->pix_fmts)
        encoder.pix_fmt = codec->pix_fmts[0];
    else
        encoder.pix_fmt = AV_PIX_FMT_YUV420P;
    if (encoder.pix_fmt == AV_PIX_FMT_NONE)
        return fail(QStringLiteral("unknown pixel format %1").arg(options.pixelFormat));
    // Labelled as what the conversion below produces, so readers convert back the same way.
    encoder.colorspace = AVCOL_SPC_SMPTE170M;
    encoder.color_range = encoder.pix_fmt == AV_PIX_FMT_YUVJ420P ||
                                  encoder.pix_fmt == AV_PIX_FMT_YUVJ422P ||
                                  encoder.pix_fmt == AV_PIX_FMT_YUVJ444P
                              ? AVCOL_RANGE_JPEG
                              : AVCOL_RANGE_MPEG;
    if (format->oformat->flags & AVFMT_GLOBALHEADER)
        encoder.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionaryHolder encoderOptions;
    for (const auto& [key, value] : options.encoderOptions)
        encoderOptions.set(key.constData(), value.constData());
    if ((result = avcodec_open2(&encoder, codec, encoderOptions.address())) < 0)
        return fail(QString::fromStdString(ffmpegErrorText(result)));
    if ((result = avcodec_parameters_from_context(p.stream->codecpar, &encoder)) < 0)
        return fail(QString::fromStdString(ffmpegErrorText(result)));
    p.stream->time_base = encoder.time_base;
    p.stream->sample_aspect_ratio = encoder.sample_aspect_ratio;
    if (options.rotation != 0 || options.hflip || options.vflip) {
        auto* matrix = reinterpret_cast<int32_t*>(
            av_stream_new_side_data(p.stream, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(int32_t)));
        if (!matrix)
            return fail(QStringLiteral("out of memory"));
        // Set with the clockwise angle; read back it gives the counter-clockwise one.
        av_display_rotation_set(matrix, options.rotation);
        av_display_matrix_flip(matrix, options.hflip, options.vflip);
    }

    if (!(format->oformat->flags & AVFMT_NOFILE) &&
        (result = avio_open(&format->pb, url.constData(), AVIO_FLAG_WRITE)) < 0)
        return fail(QStringLiteral("cannot write %1: %2")
                        .arg(path, QString::fromStdString(ffmpegErrorText(result))));
    for (const auto& [key, value] : options.metadata)
        av_dict_set(&format->metadata, key.constData(), value.constData(), 0);
    if ((result = avformat_write_header(format, nullptr)) < 0)
        return fail(QString::fromStdString(ffmpegErrorText(result)));

    AVFrame& frame = *p.frame;
    frame.format = encoder.pix_fmt;
    frame.width = encoder.width;
    frame.height = encoder.height;
    if (av_frame_get_buffer(&frame, 0) < 0)
        return fail(QStringLiteral("out of memory"));
    return writer;
}

bool VideoWriter::drain(bool flushing) {
    Parts& p = *d;
    for (;;) {
        const int received = avcodec_receive_packet(p.encoder.get(), p.packet.get());
        if (received == AVERROR(EAGAIN) && !flushing)
            return true;
        if (received == AVERROR_EOF)
            return true;
        if (received < 0)
            return false;
        // Without a duration the last frame would get none, and an MP4 would end before it.
        if (p.packet->duration <= 0)
            p.packet->duration = std::max<int64_t>(
                1, av_rescale_q(1, av_inv_q(p.encoder->framerate), p.encoder->time_base));
        av_packet_rescale_ts(p.packet.get(), p.encoder->time_base, p.stream->time_base);
        p.packet->stream_index = p.stream->index;
        if (av_interleaved_write_frame(p.format.get(), p.packet.get()) < 0)
            return false;
    }
}

bool VideoWriter::write(const QImage& image, int64_t pts) {
    Parts& p = *d;
    const QImage source = image.convertToFormat(QImage::Format_RGB32);
    if (source.isNull() || av_frame_make_writable(p.frame.get()) < 0)
        return false;
    AVFrame& frame = *p.frame;
    p.scaler.reset(sws_getCachedContext(p.scaler.release(), source.width(), source.height(),
                                        AV_PIX_FMT_BGRA, frame.width, frame.height,
                                        static_cast<AVPixelFormat>(frame.format),
                                        SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr));
    if (!p.scaler)
        return false;
    const uint8_t* planes[4] = {source.constBits(), nullptr, nullptr, nullptr};
    const int strides[4] = {static_cast<int>(source.bytesPerLine()), 0, 0, 0};
    if (sws_scale(p.scaler.get(), planes, strides, 0, source.height(), frame.data,
                  frame.linesize) <= 0)
        return false;
    frame.pts = pts;
    return avcodec_send_frame(p.encoder.get(), &frame) >= 0 && drain(false);
}

bool VideoWriter::finish() {
    Parts& p = *d;
    if (avcodec_send_frame(p.encoder.get(), nullptr) < 0 || !drain(true))
        return false;
    if (av_write_trailer(p.format.get()) < 0)
        return false;
    if (!(p.format->oformat->flags & AVFMT_NOFILE) && avio_closep(&p.format->pb) < 0)
        return false;
    return true;
}

bool writeSampleVideo(const QString& path, int frames, const SampleOptions& figure,
                      const VideoWriteOptions& options, QString* error) {
    auto writer = VideoWriter::create(path, options, error);
    if (!writer)
        return false;
    for (int frame = 0; frame < frames; ++frame) {
        if (!writer->write(sampleFrame(frame, figure), frame)) {
            if (error)
                *error = QStringLiteral("cannot encode frame %1 of %2").arg(frame).arg(path);
            return false;
        }
    }
    if (!writer->finish()) {
        if (error)
            *error = QStringLiteral("cannot complete %1").arg(path);
        return false;
    }
    return true;
}

bool writeSoundWithCover(const QString& path, const QImage& cover, QString* error) {
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !cover.save(&buffer, "PNG"))
        return fail(QStringLiteral("cannot encode the cover"));
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, "matroska", nullptr) < 0 || !raw)
        return fail(QStringLiteral("no Matroska muxer"));
    AVOutputContextPtr format(raw);
    AVStream* sound = avformat_new_stream(raw, nullptr);
    AVStream* picture = avformat_new_stream(raw, nullptr);
    if (!sound || !picture)
        return fail(QStringLiteral("out of memory"));
    constexpr int kRate = 8000;
    sound->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
    sound->codecpar->codec_id = AV_CODEC_ID_PCM_S16LE;
    sound->codecpar->sample_rate = kRate;
    av_channel_layout_default(&sound->codecpar->ch_layout, 1);
    sound->time_base = {1, kRate};
    // Matroska keeps an attachment's bytes as the stream's extra data.
    picture->codecpar->codec_type = AVMEDIA_TYPE_ATTACHMENT;
    picture->codecpar->codec_id = AV_CODEC_ID_PNG;
    picture->codecpar->extradata =
        static_cast<uint8_t*>(av_mallocz(png.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!picture->codecpar->extradata)
        return fail(QStringLiteral("out of memory"));
    std::memcpy(picture->codecpar->extradata, png.constData(), png.size());
    picture->codecpar->extradata_size = static_cast<int>(png.size());
    av_dict_set(&picture->metadata, "filename", "cover.png", 0);
    av_dict_set(&picture->metadata, "mimetype", "image/png", 0);
    const QByteArray url = "file:" + QFile::encodeName(path);
    int result = avio_open(&raw->pb, url.constData(), AVIO_FLAG_WRITE);
    if (result < 0 || (result = avformat_write_header(raw, nullptr)) < 0)
        return fail(QString::fromStdString(ffmpegErrorText(result)));
    AVPacketPtr packet = makePacket();
    if (!packet || av_new_packet(packet.get(), kRate * 2) < 0)
        return fail(QStringLiteral("out of memory"));
    std::memset(packet->data, 0, kRate * 2);
    packet->stream_index = sound->index;
    packet->pts = packet->dts = 0;
    packet->duration = kRate;
    av_packet_rescale_ts(packet.get(), {1, kRate}, sound->time_base);
    if (av_interleaved_write_frame(raw, packet.get()) < 0 || av_write_trailer(raw) < 0 ||
        avio_closep(&raw->pb) < 0)
        return fail(QStringLiteral("cannot complete %1").arg(path));
    return true;
}
