// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Short videos written through the libraries for the tests: the frames of the sample photo
// sequence, or any pictures, in a chosen codec and container.
#include "file_bytes.h"
#include "sample_photos.h"
#include "sample_video.h"

#include <QImage>
#include <QList>
#include <QString>

#include <cstdint>

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
