// SPDX-License-Identifier: GPL-3.0-or-later
#include "picture_marks.h"

#include <algorithm>

PictureMarks marksBetween(const PhotoView& base, const PhotoView& shown) {
    PictureMarks marks;
    marks.width = shown.width;
    marks.height = shown.height;
    for (int y = 0; y < shown.height; ++y) {
        const uint32_t* was = base.bits + static_cast<std::ptrdiff_t>(y) * base.stride;
        const uint32_t* is = shown.bits + static_cast<std::ptrdiff_t>(y) * shown.stride;
        for (int x = 0; x < shown.width;) {
            const uint32_t colour = is[x] & 0xFFFFFFu;
            if ((was[x] & 0xFFFFFFu) == colour) {
                ++x;
                continue;
            }
            int end = x + 1;
            while (end < shown.width && (is[end] & 0xFFFFFFu) == colour &&
                   (was[end] & 0xFFFFFFu) != colour)
                ++end;
            marks.runs.push_back({x, y, end - x, colour});
            x = end;
        }
    }
    return marks;
}

void paintMarks(const PictureMarks& marks, const CanvasView& picture) {
    for (const MarkRun& run : marks.runs) {
        if (run.y < 0 || run.y >= picture.height)
            continue;
        const int from = std::max(run.x, 0);
        const int to = std::min<int64_t>(int64_t{run.x} + run.length, picture.width);
        uint32_t* row = picture.bits + static_cast<std::ptrdiff_t>(run.y) * picture.stride;
        for (int x = from; x < to; ++x)
            row[x] = 0xFF000000u | run.colour;
    }
}
