// SPDX-License-Identifier: GPL-3.0-or-later
#include "source_marker.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {

// The ring around the weighted pixels lies this far outside the marker (subPixelCentre).
constexpr int kRingMargin = 2;
// Windows never reach beyond this; a window's arithmetic stays far from int overflow.
constexpr double kFar = 1 << 28;

PixelRect intersect(PixelRect a, PixelRect b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

bool empty(PixelRect r) {
    return r.left > r.right || r.top > r.bottom;
}

bool passes(uint32_t argb, MarkerBounds bounds) {
    const auto r = static_cast<int32_t>((argb >> 16) & 0xFFu);
    const auto g = static_cast<int32_t>((argb >> 8) & 0xFFu);
    const auto b = static_cast<int32_t>(argb & 0xFFu);
    return ((r - bounds.low) | (bounds.high - r) | (g - bounds.low) | (bounds.high - g) |
            (b - bounds.low) | (bounds.high - b)) >= 0;
}

} // namespace

int sourceReach(double displayPixels, double sx, double sy) {
    const double reach = std::ceil(displayPixels * std::max(sx, sy) - 1e-9);
    if (!std::isfinite(reach) || reach < 1.0)
        return 1;
    return static_cast<int>(std::min(reach, 1e6));
}

SourceMarker findSourceMarker(SourceFrame& frame, MarkerBounds bounds, PointD expected, int reach) {
    const PixelRect picture{0, 0, frame.width() - 1, frame.height() - 1};
    if (empty(picture) || reach < 1 || !std::isfinite(expected.x) || !std::isfinite(expected.y) ||
        std::abs(expected.x) > kFar || std::abs(expected.y) > kFar)
        return {};
    const auto ex = static_cast<int>(std::lround(expected.x));
    const auto ey = static_cast<int>(std::lround(expected.y));

    std::optional<PixelSeed> seed;
    for (const int r : {reach, 2 * reach}) {
        const PixelRect region = intersect({ex - r, ey - r, ex + r, ey + r}, picture);
        if (empty(region))
            return {};
        const PixelRect read = intersect({region.left - kRingMargin, region.top - kRingMargin,
                                          region.right + kRingMargin, region.bottom + kRingMargin},
                                         picture);
        const ArgbWindow w = frame.window(read);
        if (w.pixels.bits == nullptr || w.pixels.width <= 0 || w.pixels.height <= 0)
            return {};
        const auto local = [&w](PixelRect rect) {
            return PixelRect{rect.left - w.left, rect.top - w.top, rect.right - w.left,
                             rect.bottom - w.top};
        };
        if (!seed) {
            // The marker pixel nearest the expected position; the first of equals in row order.
            const PixelRect near =
                local(intersect({ex - reach, ey - reach, ex + reach, ey + reach}, region));
            double best = std::numeric_limits<double>::infinity();
            for (int y = near.top; y <= near.bottom; ++y)
                for (int x = near.left; x <= near.right; ++x) {
                    if (!w.pixels.contains(x, y) || !passes(w.pixels.at(x, y), bounds))
                        continue;
                    const double dx = x + w.left - expected.x;
                    const double dy = y + w.top - expected.y;
                    const double d = dx * dx + dy * dy;
                    if (d < best) {
                        best = d;
                        seed = PixelSeed{x + w.left, y + w.top};
                    }
                }
            if (!seed)
                return {};
        }
        const std::array<PixelSeed, 1> seeds{{{seed->x - w.left, seed->y - w.top}}};
        PixelRect box;
        const auto centre = subPixelCentre(w.pixels, bounds, seeds, local(region), &box);
        if (!centre)
            return {};
        box = {box.left + w.left, box.top + w.top, box.right + w.left, box.bottom + w.top};
        const SourceMarker measured{SourceMarker::Status::Found,
                                    {centre->x + w.left, centre->y + w.top}};
        const bool atPicture = box.left == picture.left || box.top == picture.top ||
                               box.right == picture.right || box.bottom == picture.bottom;
        const bool atWindow = box.left == region.left || box.top == region.top ||
                              box.right == region.right || box.bottom == region.bottom;
        if (atPicture || (atWindow && r != reach))
            return {SourceMarker::Status::Clipped, measured.centre};
        if (!atWindow)
            return measured;
    }
    return {}; // not reached
}
