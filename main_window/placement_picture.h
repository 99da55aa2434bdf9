// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis_source.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <limits>
#include <optional>

struct PlacementPicture {
    std::optional<QImage> image; // 32-bit RGB at the requested size
    QString problem;             // for the user when the picture could not be loaded
    double seconds = std::numeric_limits<double>::quiet_NaN(); // time of a video frame
    QImage source; // at its own size, where it is measured there (measuredAtSource)
};

// The clean picture on which the points of an analysis were placed, at the size it was shown:
// the photo, or the frame of the video at placementPts. Nothing, without a problem, for an
// analysis that never had a picture.
[[nodiscard]] PlacementPicture loadPlacementPicture(const AnalysisSource& source, QSize size);
