// SPDX-License-Identifier: GPL-3.0-or-later
#include "video_info.h"

#include "photo_loader.h"
#include "video_reader.h"

#include <functional>

namespace {

VideoFrameResult frameAt(const QString& path, QSize size,
                         const std::function<int64_t(const VideoReader&)>& target) {
    VideoFrameResult result;
    auto opened = VideoReader::open(path);
    if (!opened.reader) {
        result.error = opened.error;
        return result;
    }
    VideoReader& reader = *opened.reader;
    result.info = reader.info();
    if (size.isEmpty())
        size = reader.displaySize();
    if (reader.seekToFrameAt(target(reader)) != VideoReader::Status::Frame) {
        result.error = QStringLiteral("その位置のコマを読み込めません");
        return result;
    }
    QImage picture = reader.picture(size);
    if (picture.isNull()) {
        result.error = QStringLiteral("コマを画像に変換できません");
        return result;
    }
    result.frame = VideoFrame{std::move(picture), reader.pts(), reader.seconds(), QImage()};
    const QSize own(reader.info().width, reader.info().height);
    if (measuredAtSource(own, size)) {
        result.frame->source = reader.picture(own);
        if (result.frame->source.isNull()) {
            result.frame.reset();
            result.error = QStringLiteral("コマを画像に変換できません");
        }
    }
    return result;
}

} // namespace

VideoProbeResult probeVideo(const QString& path) {
    auto opened = VideoReader::open(path);
    if (!opened.reader)
        return {std::nullopt, opened.error};
    return {opened.reader->info(), QString()};
}

VideoFrameResult loadVideoFrameAtSeconds(const QString& path, double seconds) {
    return frameAt(path, QSize(),
                   [seconds](const VideoReader& reader) { return reader.ptsOf(seconds); });
}

VideoFrameResult loadVideoFrameAt(const QString& path, int64_t pts, QSize size) {
    return frameAt(path, size, [pts](const VideoReader&) { return pts; });
}

QString tooLargeToMeasure(const VideoInfo& info) {
    if (qint64{info.width} * info.height <= kMaxSourcePixels)
        return {};
    return QStringLiteral("映像が大きすぎて測定できません（%1 × %2 ピクセル。%3万画素までの動画を"
                          "開けます）")
        .arg(info.width)
        .arg(info.height)
        .arg(kMaxSourcePixels / 10000);
}
