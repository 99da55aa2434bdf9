// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QList>
#include <QPoint>
#include <QString>

// A generated photo sequence for trying the program and for tests: a person seen from the
// front on a darker background, with white disc markers on the head, shoulders, iliac spines
// and knees that sway a few pixels from photo to photo, and a ruler whose two end ticks are
// kRulerLength pixels apart.
struct SampleOptions {
    int count = 30; // photos in the sequence
    int width = 640;
    int height = 480;
    int markerRadius = 6;
    double swayPixels = 6.0; // largest sideways sway of the head
};

inline constexpr int kSampleMarkers = 7;
inline constexpr int kRulerLength = 250;

// Marker centres in photo `frame` (0 = the first photo): head, then the shoulder, iliac spine
// and knee pairs, each pair with the marker on the right of the picture (the subject's left)
// first.
[[nodiscard]] QList<QPoint> sampleMarkerCentres(int frame, const SampleOptions& options = {});

// The two end ticks of the ruler.
[[nodiscard]] QPoint sampleRulerStart(const SampleOptions& options = {});
[[nodiscard]] QPoint sampleRulerEnd(const SampleOptions& options = {});

[[nodiscard]] QImage sampleFrame(int frame, const SampleOptions& options = {});

// Writes stem(001).bmp, stem(002).bmp, ... into dir (created if missing). False and a reason
// on failure.
[[nodiscard]] bool writeSampleSequence(const QString& dir, const QString& stem,
                                       const SampleOptions& options, QString* error);

// The name of photo `frame` (0-based) of a sequence: stem(001).bmp for frame 0.
[[nodiscard]] QString sampleFileName(const QString& stem, int frame, const QString& suffix = "bmp");
