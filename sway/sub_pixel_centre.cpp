// SPDX-License-Identifier: GPL-3.0-or-later
#include "sub_pixel_centre.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace {

// Labels of the pixels around the marker; ring pixels are labelled kRing and up, one label per
// step outward.
enum Label : uint8_t { kOutside = 0, kMarker = 1, kNeighbour = 2, kRing = 3 };

// One pixel of ring outside the weighted pixels: the closer the ring, the better it stands for
// the background under the marker (0.012 px RMS against 0.017 px with two pixels, on the
// textured pictures of the accuracy test).
constexpr int kRingWidth = 1;
// Pure white, 255 in each channel, as a sum. Weighing against it rather than against the
// marker's own (noisy) white keeps the weights proportional to the coverage without clipping.
constexpr double kWhite = 765.0;
// Below this difference between the marker's brightest pixel and its background (sum of three
// channels) the weights mean nothing; the plain mean of the marker pixels is taken instead.
constexpr double kMinContrast = 24.0;

int brightness(uint32_t argb) {
    return static_cast<int>(((argb >> 16) & 0xFFu) + ((argb >> 8) & 0xFFu) + (argb & 0xFFu));
}

// The six comparisons as differences that must not be negative, or-ed: no branch per channel,
// which matters where a row crosses the marker's edge.
bool passes(uint32_t argb, MarkerBounds bounds) {
    const auto r = static_cast<int32_t>((argb >> 16) & 0xFFu);
    const auto g = static_cast<int32_t>((argb >> 8) & 0xFFu);
    const auto b = static_cast<int32_t>(argb & 0xFFu);
    return ((r - bounds.low) | (bounds.high - r) | (g - bounds.low) | (bounds.high - g) |
            (b - bounds.low) | (bounds.high - b)) >= 0;
}

// Median of whole numbers; the upper middle for an even count is enough here.
int median(std::vector<int>& values) {
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// A labelled patch of the picture: the examined region with room for the neighbours and the
// ring around it, framed by one cell that is never labelled, so that the eight neighbours of
// any patch pixel can be looked at without a bounds test. The buffer is reused from call to
// call: the tracking asks for seven centres per photo.
class Patch {
public:
    static constexpr uint8_t kFrame = 0xFF;

    Patch(const ArgbPicture& picture, PixelRect area)
        : mPicture(picture), mArea(area), mStride(area.right - area.left + 3) {
        const int rows = area.bottom - area.top + 3;
        thread_local std::vector<uint8_t> buffer;
        buffer.assign(static_cast<std::size_t>(mStride) * static_cast<std::size_t>(rows), kOutside);
        mLabels = buffer.data();
        std::fill_n(mLabels, mStride, kFrame);
        std::fill_n(mLabels + static_cast<std::ptrdiff_t>(rows - 1) * mStride, mStride, kFrame);
        for (int r = 1; r < rows - 1; ++r) {
            mLabels[static_cast<std::ptrdiff_t>(r) * mStride] = kFrame;
            mLabels[static_cast<std::ptrdiff_t>(r) * mStride + mStride - 1] = kFrame;
        }
    }

    uint8_t& label(int x, int y) { return mLabels[index(x, y)]; }
    [[nodiscard]] uint32_t pixel(int x, int y) const { return mPicture.at(x, y); }

    // Gives every unlabelled 8-neighbour of a pixel labelled kMarker .. `to` - 1 the label `to`:
    // one step outward, since the new label is not grown from in the same pass. The box of the
    // labelled pixels grows by one on each side, as far as the patch reaches. Done as a row
    // pass and a column pass over plain bytes, which the compiler turns into vector code.
    void grow(PixelRect& box, uint8_t to) {
        const PixelRect out{std::max(box.left - 1, mArea.left), std::max(box.top - 1, mArea.top),
                            std::min(box.right + 1, mArea.right),
                            std::min(box.bottom + 1, mArea.bottom)};
        const int width = out.right - out.left + 1;
        const int rows = out.bottom - out.top + 3; // one more above and below, in the frame
        thread_local std::vector<uint8_t> across;
        across.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(rows));
        // A source label l lies in 1 .. to - 1: l - 1 wraps below 0 and the frame is too high.
        const auto source = [to](uint8_t l) {
            return static_cast<uint8_t>(static_cast<uint8_t>(l - 1) < to - 1);
        };
        for (int r = 0; r < rows; ++r) {
            const uint8_t* labels = mLabels + index(out.left, out.top - 1 + r);
            uint8_t* h = across.data() + static_cast<std::ptrdiff_t>(r) * width;
            for (int i = 0; i < width; ++i)
                h[i] = source(labels[i - 1]) | source(labels[i]) | source(labels[i + 1]);
        }
        for (int r = 1; r < rows - 1; ++r) {
            uint8_t* labels = mLabels + index(out.left, out.top - 1 + r);
            const uint8_t* above = across.data() + static_cast<std::ptrdiff_t>(r - 1) * width;
            const uint8_t* here = above + width;
            const uint8_t* below = here + width;
            for (int i = 0; i < width; ++i) {
                const bool reached = (above[i] | here[i] | below[i]) != 0;
                labels[i] = labels[i] == kOutside && reached ? to : labels[i];
            }
        }
        box = out;
    }

private:
    [[nodiscard]] std::ptrdiff_t index(int x, int y) const {
        return static_cast<std::ptrdiff_t>(y - mArea.top + 1) * mStride + (x - mArea.left + 1);
    }

    const ArgbPicture& mPicture;
    PixelRect mArea;
    std::ptrdiff_t mStride;
    uint8_t* mLabels = nullptr;
};

// Background brightness as a plane a + p (x - cx) + q (y - cy), fitted to the ring pixels close
// to their median so that a stray bright or dark pixel does not tilt it. A ring too small or too
// thin for a plane gives the median alone.
struct Background {
    double a = 0.0;
    double p = 0.0;
    double q = 0.0;
    double cx = 0.0;
    double cy = 0.0;
    [[nodiscard]] double at(int x, int y) const { return a + p * (x - cx) + q * (y - cy); }
};

struct RingPixel {
    int x;
    int y;
    int b; // sum of the three channels
};

Background fitBackground(const std::vector<RingPixel>& ring) {
    thread_local std::vector<int> values;
    values.clear();
    for (const RingPixel& r : ring)
        values.push_back(r.b);
    const int middle = median(values);
    for (int& v : values)
        v = std::abs(v - middle);
    Background bg;
    bg.a = middle;
    const double spread = std::max(3.0 * 1.4826 * median(values), 12.0);

    double n = 0, sx = 0, sy = 0;
    for (const RingPixel& r : ring)
        if (std::abs(r.b - bg.a) <= spread) {
            n += 1;
            sx += r.x;
            sy += r.y;
        }
    if (n < 8)
        return bg;
    bg.cx = sx / n;
    bg.cy = sy / n;
    double sxx = 0, sxy = 0, syy = 0, sb = 0, sxb = 0, syb = 0;
    for (const RingPixel& r : ring) {
        if (std::abs(r.b - bg.a) > spread)
            continue;
        const double x = r.x - bg.cx;
        const double y = r.y - bg.cy;
        sxx += x * x;
        sxy += x * y;
        syy += y * y;
        sb += r.b;
        sxb += x * r.b;
        syb += y * r.b;
    }
    const double det = sxx * syy - sxy * sxy;
    if (det <= 1e-9 * (sxx * syy + 1.0))
        return bg; // the ring lies on a line
    bg.a = sb / n;
    bg.p = (sxb * syy - syb * sxy) / det;
    bg.q = (syb * sxx - sxb * sxy) / det;
    return bg;
}

} // namespace

MarkerBounds markerBounds(int16_t brightnessTolerance, int16_t darknessTolerance) {
    return {255 - int32_t{darknessTolerance}, 255 + int32_t{brightnessTolerance}};
}

std::optional<PointD> subPixelCentre(const ArgbPicture& picture, MarkerBounds bounds,
                                     std::span<const PixelSeed> seeds, PixelRect region,
                                     MarkerExtent* extent) {
    if (picture.bits == nullptr || picture.width <= 0 || picture.height <= 0)
        return std::nullopt;
    region.left = std::max(region.left, 0);
    region.top = std::max(region.top, 0);
    region.right = std::min(region.right, picture.width - 1);
    region.bottom = std::min(region.bottom, picture.height - 1);
    if (region.left > region.right || region.top > region.bottom)
        return std::nullopt;
    const auto inRegion = [&region](int x, int y) {
        return x >= region.left && x <= region.right && y >= region.top && y <= region.bottom;
    };

    constexpr int kMargin = 1 + kRingWidth;
    const PixelRect area{std::max(region.left - kMargin, 0), std::max(region.top - kMargin, 0),
                         std::min(region.right + kMargin, picture.width - 1),
                         std::min(region.bottom + kMargin, picture.height - 1)};
    Patch patch(picture, area);

    // The marker: 4-connected passing pixels inside the region, from the seeds, filled a row
    // span at a time (walking along rows keeps the branches predictable).
    const auto open = [&](int x, int y) {
        return patch.label(x, y) == kOutside && passes(patch.pixel(x, y), bounds);
    };
    thread_local std::vector<PixelSeed> stack;
    stack.clear();
    for (const PixelSeed& seed : seeds)
        if (inRegion(seed.x, seed.y))
            stack.push_back(seed);
    PixelRect box{region.right + 1, region.bottom + 1, region.left - 1, region.top - 1};
    double sumX = 0, sumY = 0, count = 0;
    while (!stack.empty()) {
        const PixelSeed p = stack.back();
        stack.pop_back();
        if (!open(p.x, p.y))
            continue;
        int left = p.x;
        int right = p.x;
        while (left > region.left && open(left - 1, p.y))
            --left;
        while (right < region.right && open(right + 1, p.y))
            ++right;
        std::fill(&patch.label(left, p.y), &patch.label(right, p.y) + 1, kMarker);
        const double n = right - left + 1;
        sumX += (left + right) * n / 2;
        sumY += p.y * n;
        count += n;
        box.left = std::min(box.left, left);
        box.right = std::max(box.right, right);
        box.top = std::min(box.top, p.y);
        box.bottom = std::max(box.bottom, p.y);
        // The first pixel of every run of open pixels that touches the span from above or below.
        for (const int y : {p.y - 1, p.y + 1}) {
            if (y < region.top || y > region.bottom)
                continue;
            bool inRun = false;
            for (int x = left; x <= right; ++x) {
                const bool o = open(x, y);
                if (o && !inRun)
                    stack.push_back({x, y});
                inRun = o;
            }
        }
    }
    if (count == 0)
        return std::nullopt;
    const PointD plainMean{sumX / count, sumY / count};
    if (extent)
        *extent = {box, static_cast<int>(count)};

    // The marker's brightest pixel, only to see whether it stands out from its background.
    int brightest = 0;
    for (int y = box.top; y <= box.bottom; ++y)
        for (int x = box.left; x <= box.right; ++x)
            if (patch.label(x, y) == kMarker)
                brightest = std::max(brightest, brightness(patch.pixel(x, y)));

    // The weighted pixels (the marker and its neighbours), then the ring around them.
    patch.grow(box, kNeighbour);
    const PixelRect weightedBox = box;
    for (int i = 0; i < kRingWidth; ++i)
        patch.grow(box, static_cast<uint8_t>(kRing + i));
    thread_local std::vector<RingPixel> ring;
    ring.clear();
    for (int y = box.top; y <= box.bottom; ++y)
        for (int x = box.left; x <= box.right; ++x)
            if (patch.label(x, y) >= kRing)
                ring.push_back({x, y, brightness(patch.pixel(x, y))});
    if (ring.empty())
        return plainMean;
    const Background background = fitBackground(ring);
    if (brightest - background.a < kMinContrast)
        return plainMean;

    double sw = 0, swx = 0, swy = 0;
    for (int y = weightedBox.top; y <= weightedBox.bottom; ++y) {
        double bg = background.at(weightedBox.left, y); // along the row: plus p per pixel
        for (int x = weightedBox.left; x <= weightedBox.right; ++x, bg += background.p) {
            const uint8_t l = patch.label(x, y);
            if (l != kMarker && l != kNeighbour)
                continue;
            const double span = kWhite - bg;
            if (span < 1.0)
                continue;
            const double w = std::clamp((brightness(patch.pixel(x, y)) - bg) / span, 0.0, 1.0);
            sw += w;
            swx += w * x;
            swy += w * y;
        }
    }
    if (sw <= 0.0)
        return plainMean;
    return PointD{swx / sw, swy / sw};
}
