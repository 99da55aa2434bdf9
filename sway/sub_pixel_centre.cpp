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

bool passes(uint32_t argb, MarkerBounds bounds) {
    const auto r = static_cast<int32_t>((argb >> 16) & 0xFFu);
    const auto g = static_cast<int32_t>((argb >> 8) & 0xFFu);
    const auto b = static_cast<int32_t>(argb & 0xFFu);
    return r >= bounds.low && r <= bounds.high && g >= bounds.low && g <= bounds.high &&
           b >= bounds.low && b <= bounds.high;
}

double median(std::vector<double>& values) {
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    double m = *middle;
    if (values.size() % 2 == 0)
        m = (m + *std::max_element(values.begin(), middle)) / 2.0;
    return m;
}

// A labelled patch of the picture: the examined region with room for the neighbours and the
// ring around it.
class Patch {
public:
    Patch(const ArgbPicture& picture, PixelRect area)
        : mPicture(picture), mX0(area.left), mY0(area.top), mWidth(area.right - area.left + 1),
          mHeight(area.bottom - area.top + 1),
          mLabels(static_cast<std::size_t>(mWidth) * static_cast<std::size_t>(mHeight), kOutside) {}

    [[nodiscard]] bool inside(int x, int y) const {
        return x >= mX0 && y >= mY0 && x < mX0 + mWidth && y < mY0 + mHeight;
    }
    uint8_t& label(int x, int y) {
        return mLabels[static_cast<std::size_t>(y - mY0) * static_cast<std::size_t>(mWidth) +
                       static_cast<std::size_t>(x - mX0)];
    }
    [[nodiscard]] uint32_t pixel(int x, int y) const { return mPicture.at(x, y); }

    // Gives every unlabelled 8-neighbour of a pixel labelled kMarker .. `to` - 1 the label `to`:
    // one step outward, since the new label is not grown from in the same pass. The box (of
    // the labelled pixels) grows to take in the new pixels.
    void grow(PixelRect& box, uint8_t to) {
        PixelRect grown = box;
        for (int y = box.top; y <= box.bottom; ++y)
            for (int x = box.left; x <= box.right; ++x) {
                const uint8_t l = label(x, y);
                if (l == kOutside || l >= to)
                    continue;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int nx = x + dx;
                        const int ny = y + dy;
                        if (!inside(nx, ny) || label(nx, ny) != kOutside)
                            continue;
                        label(nx, ny) = to;
                        grown.left = std::min(grown.left, nx);
                        grown.right = std::max(grown.right, nx);
                        grown.top = std::min(grown.top, ny);
                        grown.bottom = std::max(grown.bottom, ny);
                    }
            }
        box = grown;
    }

private:
    const ArgbPicture& mPicture;
    int mX0;
    int mY0;
    int mWidth;
    int mHeight;
    std::vector<uint8_t> mLabels;
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
    double b;
};

Background fitBackground(const std::vector<RingPixel>& ring) {
    std::vector<double> values;
    values.reserve(ring.size());
    for (const RingPixel& r : ring)
        values.push_back(r.b);
    Background bg;
    bg.a = median(values);
    for (double& v : values)
        v = std::abs(v - bg.a);
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
                                     std::span<const PixelSeed> seeds, PixelRect region) {
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

    // The marker: 4-connected passing pixels inside the region, from the seeds.
    std::vector<PixelSeed> stack;
    PixelRect box{region.right + 1, region.bottom + 1, region.left - 1, region.top - 1};
    double sumX = 0, sumY = 0, count = 0;
    const auto visit = [&](int x, int y) {
        if (!inRegion(x, y) || patch.label(x, y) != kOutside || !passes(patch.pixel(x, y), bounds))
            return;
        patch.label(x, y) = kMarker;
        stack.push_back({x, y});
        box.left = std::min(box.left, x);
        box.right = std::max(box.right, x);
        box.top = std::min(box.top, y);
        box.bottom = std::max(box.bottom, y);
        sumX += x;
        sumY += y;
        count += 1;
    };
    for (const PixelSeed& seed : seeds)
        visit(seed.x, seed.y);
    while (!stack.empty()) {
        const PixelSeed p = stack.back();
        stack.pop_back();
        visit(p.x + 1, p.y);
        visit(p.x - 1, p.y);
        visit(p.x, p.y + 1);
        visit(p.x, p.y - 1);
    }
    if (count == 0)
        return std::nullopt;
    const PointD plainMean{sumX / count, sumY / count};
    const PixelRect markerBox = box;

    // The marker's brightest pixel, only to see whether it stands out from its background.
    int brightest = 0;
    for (int y = markerBox.top; y <= markerBox.bottom; ++y)
        for (int x = markerBox.left; x <= markerBox.right; ++x)
            if (patch.label(x, y) == kMarker)
                brightest = std::max(brightest, brightness(patch.pixel(x, y)));

    // The weighted pixels (the marker and its neighbours), then the ring around them.
    patch.grow(box, kNeighbour);
    const PixelRect weightedBox = box;
    for (int i = 0; i < kRingWidth; ++i)
        patch.grow(box, static_cast<uint8_t>(kRing + i));
    std::vector<RingPixel> ring;
    for (int y = box.top; y <= box.bottom; ++y)
        for (int x = box.left; x <= box.right; ++x)
            if (patch.label(x, y) >= kRing)
                ring.push_back({x, y, static_cast<double>(brightness(patch.pixel(x, y)))});
    if (ring.empty())
        return plainMean;
    const Background background = fitBackground(ring);
    if (brightest - background.a < kMinContrast)
        return plainMean;

    double sw = 0, swx = 0, swy = 0;
    for (int y = weightedBox.top; y <= weightedBox.bottom; ++y)
        for (int x = weightedBox.left; x <= weightedBox.right; ++x) {
            const uint8_t l = patch.label(x, y);
            if (l != kMarker && l != kNeighbour)
                continue;
            const double bg = background.at(x, y);
            const double span = kWhite - bg;
            if (span < 1.0)
                continue;
            const double w = std::clamp((brightness(patch.pixel(x, y)) - bg) / span, 0.0, 1.0);
            sw += w;
            swx += w * x;
            swy += w * y;
        }
    if (sw <= 0.0)
        return plainMean;
    return PointD{swx / sw, swy / sw};
}
