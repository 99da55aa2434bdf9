// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ffmpeg_raii.h"

#include <QImage>
#include <QSize>

// Turns decoded frames into 32-bit RGB pictures as stored (not yet upright), scaled to a size,
// with the colour matrix and range players assume. Keeps its scaler between frames of one size.
class FrameConverter {
public:
    // Format_RGB32, opaque; null when the frame cannot be converted. `wholeHeight` is the height
    // of the whole frame when `frame` is a window cut from it (0: the frame is whole).
    [[nodiscard]] QImage convert(const AVFrame& frame, QSize size, int wholeHeight = 0);

private:
    SwsContextPtr mScaler;
    int mColorspace = -1;
    int mRange = -1;
};
