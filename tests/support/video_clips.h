// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Short videos written through the libraries for the tests (the frames of the sample photo
// sequence, or any pictures, in a chosen codec and container), and what reads them back.
#include "analysis_source.h"
#include "file_bytes.h"
#include "frame_source.h"
#include "sample_photos.h"
#include "sample_video.h"
#include "video_reader.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

// A file in a folder named with Japanese characters, blanks, brackets and a colon.
inline QString tempFile(const QString& name) {
    static const QTemporaryDir temp;
    static const QString root = QDir(temp.path()).filePath(QStringLiteral("動画 (テスト):1"));
    QDir().mkpath(root);
    return QDir(root).filePath(name);
}

// Lossless: FFV1 keeps the 32-bit pixels as they are, so each decoded frame equals its picture.
inline VideoWriteOptions losslessClip(int width = 640, int height = 480) {
    VideoWriteOptions options;
    options.encoder = QStringLiteral("ffv1");
    options.pixelFormat = QStringLiteral("bgr0");
    options.width = width;
    options.height = height;
    options.timeBaseDen = 10; // ten frames a second, frame i at i tenths
    options.framesPerSecond = 10;
    return options;
}

// Writes `frames` with timestamps `pts` (frame i at i when empty). Fails the test program
// loudly when the clip cannot be written.
inline QString writeClip(const QString& path, const QList<QImage>& frames,
                         const VideoWriteOptions& options, const QList<int64_t>& pts = {}) {
    QString error;
    auto writer = VideoWriter::create(path, options, &error);
    if (!writer)
        qFatal("cannot create %s: %s", qPrintable(path), qPrintable(error));
    for (qsizetype i = 0; i < frames.size(); ++i)
        if (!writer->write(frames[i], pts.isEmpty() ? i : pts[i]))
            qFatal("cannot write frame %d of %s", int(i), qPrintable(path));
    if (!writer->finish())
        qFatal("cannot finish %s", qPrintable(path));
    return path;
}

// The first `count` frames of the sample sequence.
inline QList<QImage> sampleFrames(int count, const SampleOptions& options = {}) {
    QList<QImage> frames;
    for (int i = 0; i < count; ++i)
        frames.append(sampleFrame(i, options));
    return frames;
}

// Pixels that differ everywhere, so that any turn or mirror shows.
inline QImage noise(QSize size, uint32_t seed) {
    std::mt19937 random(seed);
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, 0xFF000000u | (random() & 0xFFFFFFu));
    return image;
}

// A reader's frames front to back at `size`, and how the stream ended.
struct Walk {
    QList<int64_t> pts;
    QList<QImage> pictures;
    VideoReader::Status end = VideoReader::Status::Frame;
};
inline Walk walk(const QString& path, QSize size, int threads = 0) {
    VideoLimits limits;
    limits.threads = threads;
    auto opened = VideoReader::open(path, limits);
    if (!opened.reader)
        qFatal("cannot read %s: %s", qPrintable(path), qPrintable(opened.error));
    Walk result;
    while ((result.end = opened.reader->next()) == VideoReader::Status::Frame) {
        result.pts.append(opened.reader->pts());
        result.pictures.append(opened.reader->picture(size));
    }
    return result;
}

// A video analysis placed on the frame at `placementPts` (the first frame when none), gone on
// to `lastPts` when given.
inline AnalysisSource videoFrom(int64_t placementPts = AnalysisSource::kNoFrame, int step = 1,
                                int64_t lastPts = AnalysisSource::kNoFrame) {
    AnalysisSource where;
    where.kind = AnalysisSource::Kind::Video;
    where.frameStep = step;
    where.placementPts = placementPts;
    where.lastPts = lastPts;
    return where;
}

using Step = std::pair<std::string, SourceItem>; // photoPath as it stood, and the item taken

// Takes items until the first that is no picture, or `limit` items.
inline std::vector<Step> takeAll(FrameSource& source, int limit = 1000,
                                 const std::string& photoPath = {}) {
    std::vector<Step> steps;
    while (int(steps.size()) < limit && source.advance()) {
        std::optional<SourceItem> item;
        while (!(item = source.take(std::chrono::milliseconds(5)))) {
        }
        // A copy: the source may decode later photos into this one's memory, as in a run.
        item->picture = item->picture.copy();
        steps.emplace_back(photoPath, *item);
        if (item->kind != SourceItem::Kind::Picture)
            break;
    }
    return steps;
}
