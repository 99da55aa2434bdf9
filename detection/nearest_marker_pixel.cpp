// SPDX-License-Identifier: GPL-3.0-or-later
#include "nearest_marker_pixel.h"

#include <algorithm>
#include <cmath>

std::optional<PixelSeed> nearestMarkerPixel(const ArgbPicture& picture, MarkerBounds bounds,
                                            PointD at, double radius) {
    if (!picture.bits || !std::isfinite(at.x) || !std::isfinite(at.y) || !(radius >= 0))
        return std::nullopt;
    // The square around `at`, clipped to the picture before it becomes whole numbers.
    const auto clip = [](double v, int size) {
        return static_cast<int>(std::clamp(v, -1.0, static_cast<double>(size)));
    };
    const int left = clip(std::ceil(at.x - radius), picture.width);
    const int right = clip(std::floor(at.x + radius), picture.width);
    const int top = clip(std::ceil(at.y - radius), picture.height);
    const int bottom = clip(std::floor(at.y + radius), picture.height);

    std::optional<PixelSeed> best;
    double bestDistance = radius; // hypot: no overflow far off the picture
    for (int y = std::max(top, 0); y <= std::min(bottom, picture.height - 1); ++y)
        for (int x = std::max(left, 0); x <= std::min(right, picture.width - 1); ++x) {
            const uint32_t argb = picture.at(x, y);
            const int channels[3] = {int(argb >> 16 & 0xFFu), int(argb >> 8 & 0xFFu),
                                     int(argb & 0xFFu)};
            if (std::any_of(std::begin(channels), std::end(channels),
                            [&](int c) { return c < bounds.low || c > bounds.high; }))
                continue;
            const double distance = std::hypot(x - at.x, y - at.y);
            if (distance < bestDistance || (!best && distance == bestDistance)) {
                bestDistance = distance;
                best = PixelSeed{x, y};
            }
        }
    return best;
}
