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
// A round marker fills pi / 4 of its box and has sides alike; a marker merged with a stripe or
// cut along a chord does not.
constexpr double kMinFill = 0.55;
constexpr double kMaxSides = 1.6;

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

bool round(const MarkerExtent& extent) {
    const double w = extent.box.right - extent.box.left + 1;
    const double h = extent.box.bottom - extent.box.top + 1;
    return extent.pixels >= kMinFill * w * h && std::max(w, h) <= kMaxSides * std::min(w, h);
}

// The marker pixel nearest `expected` within `near`, in row order among equals.
std::optional<PixelSeed> nearestMarkerPixel(const ArgbWindow& w, MarkerBounds bounds,
                                            PointD expected, PixelRect near) {
    std::optional<PixelSeed> seed;
    double best = std::numeric_limits<double>::infinity();
    for (int y = near.top; y <= near.bottom; ++y)
        for (int x = near.left; x <= near.right; ++x) {
            const int lx = x - w.left, ly = y - w.top;
            if (!w.pixels.contains(lx, ly) || !passes(w.pixels.at(lx, ly), bounds))
                continue;
            const double dx = x - expected.x;
            const double dy = y - expected.y;
            const double d = dx * dx + dy * dy;
            if (d < best) {
                best = d;
                seed = PixelSeed{x, y};
            }
        }
    return seed;
}

// The region of `seed` within `window`, which lies inside the picture.
SourceMarker measureRegion(const ArgbWindow& w, MarkerBounds bounds, PixelSeed seed,
                           PixelRect window) {
    const std::array<PixelSeed, 1> seeds{{{seed.x - w.left, seed.y - w.top}}};
    const PixelRect local{window.left - w.left, window.top - w.top, window.right - w.left,
                          window.bottom - w.top};
    MarkerExtent extent;
    const auto centre = subPixelCentre(w.pixels, bounds, seeds, local, &extent);
    if (!centre)
        return {};
    const PixelRect box{extent.box.left + w.left, extent.box.top + w.top, extent.box.right + w.left,
                        extent.box.bottom + w.top};
    const PointD at{centre->x + w.left, centre->y + w.top};
    // The window lies inside the picture, so its edges include the picture's own.
    const bool edge = box.left == window.left || box.top == window.top ||
                      box.right == window.right || box.bottom == window.bottom;
    if (edge || !round(extent))
        return {SourceMarker::Status::Clipped, at};
    return {SourceMarker::Status::Found, at};
}

// The window with room for the ring around it, read from the frame.
ArgbWindow readAround(SourceFrame& frame, PixelRect window, PixelRect picture) {
    return frame.window(intersect({window.left - kRingMargin, window.top - kRingMargin,
                                   window.right + kRingMargin, window.bottom + kRingMargin},
                                  picture));
}

bool usable(const ArgbWindow& w) {
    return w.pixels.bits != nullptr && w.pixels.width > 0 && w.pixels.height > 0;
}

bool usable(PointD p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::abs(p.x) < kFar && std::abs(p.y) < kFar;
}

PixelRect around(PointD p, int reach) {
    const auto x = static_cast<int>(std::lround(p.x));
    const auto y = static_cast<int>(std::lround(p.y));
    return {x - reach, y - reach, x + reach, y + reach};
}

} // namespace

int sourceReach(double displayPixels, double sx, double sy) {
    const double reach = std::ceil(displayPixels * std::max(sx, sy) - 1e-9);
    if (!std::isfinite(reach) || reach < 1.0)
        return 1;
    return static_cast<int>(std::min(reach, 1e6));
}

PixelRect sourceWindow(PixelRect box, int margin, double sx, double sy) {
    const auto at = [](double v) { return static_cast<int>(std::clamp(v, -kFar, kFar)); };
    return {at(std::floor((box.left - margin) * sx)), at(std::floor((box.top - margin) * sy)),
            at(std::ceil((box.right + 1 + margin) * sx) - 1),
            at(std::ceil((box.bottom + 1 + margin) * sy) - 1)};
}

SourceMarker findSourceMarker(SourceFrame& frame, MarkerBounds bounds, PointD expected,
                              PixelRect window) {
    const PixelRect picture{0, 0, frame.width() - 1, frame.height() - 1};
    window = intersect(window, picture);
    if (empty(picture) || empty(window) || !usable(expected))
        return {};
    const ArgbWindow w = readAround(frame, window, picture);
    if (!usable(w))
        return {};
    const auto seed = nearestMarkerPixel(w, bounds, expected, window);
    if (!seed)
        return {};
    return measureRegion(w, bounds, *seed, window);
}

SourceMarker followSourceMarker(SourceFrame& frame, MarkerBounds bounds, PointD expected,
                                int reach) {
    const PixelRect picture{0, 0, frame.width() - 1, frame.height() - 1};
    if (empty(picture) || reach < 1 || !usable(expected))
        return {};
    const PixelRect near = intersect(around(expected, reach), picture);
    if (empty(near))
        return {};
    const ArgbWindow w = readAround(frame, near, picture);
    if (!usable(w))
        return {};
    const auto seed = nearestMarkerPixel(w, bounds, expected, near);
    if (!seed)
        return {};
    const SourceMarker first = measureRegion(w, bounds, *seed, near);
    if (first.status != SourceMarker::Status::Clipped)
        return first;
    // Wider than the reach, or merged: once more in a window twice as wide.
    const PixelRect wide = intersect(around(expected, 2 * reach), picture);
    const ArgbWindow ww = readAround(frame, wide, picture);
    if (!usable(ww))
        return first;
    return measureRegion(ww, bounds, *seed, wide);
}
