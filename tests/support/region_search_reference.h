// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The marker search written out plainly, one pixel and one bound at a time, to compare the
// optimised findMarkerCentre with on random pictures. As in the program, pixels off the photo
// fail and -1 marks a bound not found (0 is a real column). For small pictures and clicks
// only: the loop ends are not saturated to 16 bits.

#include "analysis_state.h"
#include "pixel_view.h"
#include "region_search.h"

#include <algorithm>
#include <cmath>

namespace reference {

inline bool isMarker(const AnalysisState& s, const PhotoView& photo, int x, int y) {
    if (x < 0 || y < 0 || x >= photo.width || y >= photo.height)
        return false;
    const uint32_t argb = photo.bits[y * photo.stride + x];
    for (const int channel : {int(argb >> 16 & 0xFF), int(argb >> 8 & 0xFF), int(argb & 0xFF)})
        if (channel < 255 - s.darknessTolerance || channel > 255 + s.brightnessTolerance)
            return false;
    return true;
}

inline PixelPoint findMarkerCentre(const AnalysisState& s, const PhotoView& photo,
                                   CanvasView& canvas, double clickX, double clickY) {
    const auto nearest = [](double v) { return int(std::nearbyint(v)); }; // ties to even
    const int x = nearest(clickX), xFar = nearest(clickX + 500), xBack = nearest(clickX - 1),
              xBackFar = nearest(clickX - 500);
    const int y = nearest(clickY), yFar = nearest(clickY + 500), yBack = nearest(clickY - 1),
              yBackFar = nearest(clickY - 500);
    const auto paint = [&canvas](int i, int j, uint32_t argb) {
        if (i >= 0 && j >= 0 && i < canvas.width && j < canvas.height)
            canvas.bits[j * canvas.stride + i] = argb;
    };
    // A rib pixel: tested, and painted dark blue when it passes.
    const auto rib = [&](int i, int j) {
        const bool marker = isMarker(s, photo, i, j);
        if (marker)
            paint(i, j, 0xFF000080);
        return marker;
    };
    int left = -1, right = -1, top = -1, bottom = -1;
    for (int j = y; j <= yFar && isMarker(s, photo, x, j); ++j) { // A
        for (int i = x; i <= xFar && rib(i, j); ++i)
            right = i, bottom = j;
        for (int i = xBack; i >= xBackFar && rib(i, j); --i)
            left = i, bottom = j;
    }
    for (int j = yBack; j >= yBackFar && isMarker(s, photo, x, j); --j) { // B
        for (int i = x; i <= xFar && rib(i, j); ++i)
            right = std::max(right, i), top = j;
        for (int i = xBack; i >= xBackFar && rib(i, j); --i)
            left = std::min(left, i), top = j;
    }
    for (int i = x; i <= xFar && isMarker(s, photo, i, y); ++i) { // C
        for (int j = y; j <= yFar && rib(i, j); ++j)
            right = std::max(right, i), bottom = std::max(bottom, j);
        for (int j = yBack; j >= yBackFar && rib(i, j); --j)
            right = std::max(right, i), top = std::min(top, j);
    }
    for (int i = xBack; i >= xBackFar && isMarker(s, photo, i, y); --i) { // D
        for (int j = y; j <= yFar && rib(i, j); ++j)
            left = std::min(left, i), bottom = std::max(bottom, j);
        for (int j = yBack; j >= yBackFar && rib(i, j); --j)
            left = std::min(left, i), top = std::min(top, j);
    }
    const auto found = [](int bound, int click) { return bound == -1 ? click : bound; };
    const PixelPoint centre{int16_t((found(left, x) + found(right, x)) / 2),
                            int16_t((found(top, y) + found(bottom, y)) / 2)};
    paint(centre.x, centre.y, 0xFF800000); // dark red
    return centre;
}

} // namespace reference
