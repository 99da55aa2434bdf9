// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis_document.h"
#include "pixel_view.h"

// The pixels of `shown` that differ from `base` (both of shown's size), as runs of one colour.
[[nodiscard]] PictureMarks marksBetween(const PhotoView& base, const PhotoView& shown);

// Paints the runs on the picture, clipped to it.
void paintMarks(const PictureMarks& marks, const CanvasView& picture);
