// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIODevice>
#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

// Largest decoded picture accepted, in megabytes. A bigger photo is refused like one that does
// not load, so a 20000 x 20000 file cannot exhaust memory.
inline constexpr int kPhotoAllocationLimitMb = 256;

// Largest source picture measured at its own size, in pixels (6000 x 4000). A bigger photo is
// measured on the picture on display; a bigger video is refused.
inline constexpr qint64 kMaxSourcePixels = 24'000'000;

// Whether a picture of `source` pixels shown at `display` is measured at its own size: it is
// larger than the display and within kMaxSourcePixels.
[[nodiscard]] bool measuredAtSource(QSize source, QSize display);

struct LoadedPhoto {
    QImage image;       // 32-bit RGB, already at the display size
    QSize originalSize; // the photo's own size in pixels
};

// Loads a photo for display: decoded straight to its display size (fitted into 640 x 480), so
// the clean copy holds exactly the picture the user sees and clicks on. Nothing when the file
// is missing, not a picture, empty or too large.
[[nodiscard]] std::optional<LoadedPhoto> loadPhotoForDisplay(const QString& path);
[[nodiscard]] std::optional<LoadedPhoto> loadPhotoForDisplay(QIODevice& device);

// Loads a later photo of a sequence stretched to the given size, the size of the first photo
// on display, so marker positions keep meaning the same pixels. `reuse`, a picture nobody else
// holds, lends its memory when its size and format fit.
[[nodiscard]] std::optional<QImage> loadPhotoAtSize(const QString& path, QSize size,
                                                    QImage reuse = QImage());

// The photo at its own size, 32-bit RGB, when it is measured at source resolution against
// `display` (measuredAtSource); a null picture otherwise, or when it does not load.
[[nodiscard]] QImage loadPhotoSource(const QString& path, QSize display);
