// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes opened as a video through the program's own opener, read from memory: it
// either refuses them with a reason or gives a display size that fits 640 x 480 and frames of
// exactly that size. The probe and the decoding are capped so that one input costs little.
#include "video_reader.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    VideoLimits limits;
    limits.probeBytes = 8192;
    limits.analyzeMicroseconds = 200000;
    limits.threads = 1;
    limits.maxPacketsPerFrame = 16;
    limits.maxPixels = 1 << 20;
    auto opened = VideoReader::openMemory({data, size}, limits);
    if (!opened.reader) {
        if (opened.error.isEmpty())
            std::abort(); // a refusal always says why
        return 0;
    }
    VideoReader& reader = *opened.reader;
    const QSize shown = reader.displaySize();
    if (shown.isEmpty() || shown.width() > 640 || shown.height() > 480)
        std::abort();
    // Converted at an eighth of the display size: the same scaling and turning, a fraction of
    // the memory traffic per input.
    const QSize small(std::max(1, shown.width() / 8), std::max(1, shown.height() / 8));
    for (int frame = 0; frame < 3 && reader.next() == VideoReader::Status::Frame; ++frame) {
        const QImage picture = reader.picture(small);
        if (!picture.isNull() &&
            (picture.size() != small || picture.format() != QImage::Format_RGB32))
            std::abort();
    }
    // Back to the start, as the open dialog and a continuation do.
    if (reader.seekToFrameAt(reader.ptsOf(0.0)) == VideoReader::Status::Frame) {
        const QImage picture = reader.picture(small);
        if (!picture.isNull() && picture.size() != small)
            std::abort();
    }
    return 0;
}
