// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QTransform>

#include <cstdint>

// How a decoded frame is turned upright: turned clockwise by `rotation`, then, when `mirrored`,
// mirrored left to right. A vertical flip is a mirror after 180°. Every mapping between the
// stored frame and the upright picture goes through here, whole frames and windows alike.
struct VideoOrientation {
    int rotation = 0;      // clockwise degrees: 0, 90, 180 or 270
    bool mirrored = false; // left and right exchanged after turning

    [[nodiscard]] bool turned() const { return rotation == 90 || rotation == 270; }
    [[nodiscard]] bool isIdentity() const { return rotation == 0 && !mirrored; }
    // The size of the upright picture of a stored one, and the other way round.
    [[nodiscard]] QSize uprightSize(QSize stored) const;
    [[nodiscard]] QSize storedSize(QSize upright) const;
    // Maps pixel-edge coordinates of a stored picture of `stored` size to the upright picture.
    [[nodiscard]] QTransform transform(QSize stored) const;
    // The stored picture, or a window cut from it, turned upright: pixels moved, not resampled.
    [[nodiscard]] QImage apply(const QImage& stored) const;

    friend bool operator==(const VideoOrientation&, const VideoOrientation&) = default;
};

// The orientation a display matrix (nine 16.16 and 2.30 fixed-point numbers, as FFmpeg and
// the MP4 track header keep it) asks for, snapped to the nearest quarter turn with or without a
// mirror. An unusable matrix leaves the frame as stored.
[[nodiscard]] VideoOrientation orientationOfDisplayMatrix(const int32_t matrix[9]);

// The rectangle of a stored frame of `stored` size that shows `upright`, a rectangle of the
// upright picture of `uprightSize` (any scale: the display size, or the full upright size with
// widened pixels). Whole pixels, rounded outward, clipped to the frame; empty when nothing
// overlaps. Converting that window at `size` and applying the orientation gives the upright
// window of size uprightSize() of `size`.
[[nodiscard]] QRect storedRectFor(const VideoOrientation& orientation, QSize stored,
                                  QSize uprightSize, const QRectF& upright);
