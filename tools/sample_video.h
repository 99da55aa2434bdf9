// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sample_photos.h"

#include <QImage>
#include <QList>
#include <QString>

#include <cstdint>
#include <memory>
#include <utility>

// Writes videos through FFmpeg's libraries, for the sample video of the run command, the tests
// and the benchmarks. The container follows the file name (.mp4, .mov, .mkv, .avi, .nut).
struct VideoWriteOptions {
    QString encoder = QStringLiteral("libx264"); // an encoder name, such as mpeg4, ffv1, mjpeg
    int width = 640;
    int height = 480;
    int timeBaseNum = 1; // timestamps count in timeBaseNum / timeBaseDen seconds
    int timeBaseDen = 30;
    int framesPerSecond = 30; // nominal rate told to the encoder
    int rotation = 0;         // clockwise degrees a player turns the frames to show them upright
    bool hflip = false;       // and then mirrors them left to right (a front camera)
    bool vflip = false;       // or upside down
    int aspectNum = 1;        // sample aspect ratio (width of a pixel against its height)
    int aspectDen = 1;
    QString pixelFormat; // empty: the encoder's usual one
    int gop = 12;
    QList<std::pair<QByteArray, QByteArray>> encoderOptions; // for example {"crf", "18"}
    QList<std::pair<QByteArray, QByteArray>> metadata;       // container tags, e.g. creation_time
};

class VideoWriter {
public:
    // Nothing and a reason when the file or the encoder cannot be set up.
    [[nodiscard]] static std::unique_ptr<VideoWriter>
    create(const QString& path, const VideoWriteOptions& options, QString* error);
    ~VideoWriter();
    VideoWriter(const VideoWriter&) = delete;
    VideoWriter& operator=(const VideoWriter&) = delete;

    // Adds a frame (any size; scaled to the video's) with timestamp `pts` in the time base.
    [[nodiscard]] bool write(const QImage& frame, int64_t pts);
    // Flushes the encoder and completes the file.
    [[nodiscard]] bool finish();

private:
    VideoWriter();
    bool drain(bool flushing);
    struct Parts;
    std::unique_ptr<Parts> d;
};

// The sample figure of sampleFrame, swaying, as `frames` frames at 30 per second.
[[nodiscard]] bool writeSampleVideo(const QString& path, int frames, const SampleOptions& figure,
                                    const VideoWriteOptions& options, QString* error);

// A second of silence with `cover` as its cover art (an attached picture), as a Matroska audio
// file: the kind of file that holds a picture but no video.
[[nodiscard]] bool writeSoundWithCover(const QString& path, const QImage& cover, QString* error);
