// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The source picture at its own size (a photo as stored in its file, a video frame upright after
// rotation and sample aspect ratio) against the picture on display, fitted into 640 x 480.
// Pixel (i, j) is centred on (i, j) in both; a display pixel covers sx() x sy() source pixels.
struct SourceScale {
    int sourceWidth = 0;
    int sourceHeight = 0;
    int displayWidth = 0;
    int displayHeight = 0;

    [[nodiscard]] static SourceScale same(int width, int height) {
        return {width, height, width, height};
    }
    [[nodiscard]] bool valid() const {
        return sourceWidth > 0 && sourceHeight > 0 && displayWidth > 0 && displayHeight > 0;
    }
    // Measured on the display picture itself: a source no larger than the display.
    [[nodiscard]] bool identity() const {
        return sourceWidth == displayWidth && sourceHeight == displayHeight;
    }
    [[nodiscard]] double sx() const { return double(sourceWidth) / displayWidth; }
    [[nodiscard]] double sy() const { return double(sourceHeight) / displayHeight; }
    [[nodiscard]] double toSourceX(double x) const { return (x + 0.5) * sx() - 0.5; }
    [[nodiscard]] double toSourceY(double y) const { return (y + 0.5) * sy() - 0.5; }
    [[nodiscard]] double toDisplayX(double x) const { return (x + 0.5) / sx() - 0.5; }
    [[nodiscard]] double toDisplayY(double y) const { return (y + 0.5) / sy() - 0.5; }
    friend bool operator==(const SourceScale&, const SourceScale&) = default;
};
