// SPDX-License-Identifier: GPL-3.0-or-later
// Marker detection against a plain flood fill on random pictures, hand-worked rows for the
// measures, the limits, the numbering and the pixel a press goes to, and the rate on generated
// scenes through JPEG.
#include "figure_scene.h"
#include "marker_detection.h"
#include "marker_numbering.h"
#include "nearest_marker_pixel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <functional>
#include <numbers>
#include <random>

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kGrey = 0xFF606060u;
constexpr MarkerBounds kDefaultBounds{215, 255}; // pcol.dat's 0,40
constexpr double kPi = std::numbers::pi;

struct Picture {
    int width, height;
    std::vector<uint32_t> bits;
    Picture(int w, int h) : width(w), height(h), bits(std::size_t(w) * h, kGrey) {}
    [[nodiscard]] ArgbPicture view() const { return {bits.data(), width, height, width}; }
    Picture& rect(int x0, int y0, int x1, int y1, uint32_t argb = kWhite) {
        for (int y = y0; y <= y1; ++y)
            std::fill_n(bits.begin() + y * width + x0, x1 - x0 + 1, argb);
        return *this;
    }
    // Pixels whose centres lie inside the ellipse ((x - cx) / a)^2 + ((y - cy) / b)^2 <= 1.
    Picture& ellipse(double cx, double cy, double a, double b, uint32_t argb = kWhite) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if ((x - cx) * (x - cx) / (a * a) + (y - cy) * (y - cy) / (b * b) <= 1)
                    bits[std::size_t(y) * width + x] = argb;
        return *this;
    }
};

// Every region of passing pixels by a breadth-first flood fill, its measures taken in two passes
// (mean first, then the spread about it), filtered as the detection's contract says.
std::vector<MarkerCandidate> referenceDetection(const ArgbPicture& p, MarkerBounds bounds,
                                                const DetectionLimits& limits) {
    const auto passes = [&](int x, int y) {
        const uint32_t v = p.at(x, y);
        return std::ranges::all_of(
            std::array{v >> 16 & 0xFF, v >> 8 & 0xFF, v & 0xFF},
            [&](uint32_t c) { return int(c) >= bounds.low && int(c) <= bounds.high; });
    };
    std::vector<bool> seen(std::size_t(p.width) * p.height);
    std::vector<MarkerCandidate> found;
    for (int y0 = 0; y0 < p.height; ++y0)
        for (int x0 = 0; x0 < p.width; ++x0) {
            if (seen[y0 * p.width + x0] || !passes(x0, y0))
                continue;
            std::vector<std::pair<int, int>> pixels;
            std::deque<std::pair<int, int>> queue{{x0, y0}};
            seen[y0 * p.width + x0] = true;
            while (!queue.empty()) {
                const auto [x, y] = queue.front();
                queue.pop_front();
                pixels.emplace_back(x, y);
                for (const auto& [nx, ny] :
                     {std::pair{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}})
                    if (p.contains(nx, ny) && !seen[ny * p.width + nx] && passes(nx, ny)) {
                        seen[ny * p.width + nx] = true;
                        queue.emplace_back(nx, ny);
                    }
            }
            MarkerCandidate c;
            c.area = int64_t(pixels.size());
            c.box = {p.width, p.height, -1, -1};
            bool cut = false;
            for (const auto& [x, y] : pixels) {
                c.centre = {c.centre.x + x / double(c.area), c.centre.y + y / double(c.area)};
                c.box = {std::min(c.box.left, x), std::min(c.box.top, y), std::max(c.box.right, x),
                         std::max(c.box.bottom, y)};
                cut = cut || x == 0 || y == 0 || x == p.width - 1 || y == p.height - 1;
            }
            double spread = 0; // sum of squared distances from the centre, pixel squares included
            for (const auto& [x, y] : pixels)
                spread += std::pow(x - c.centre.x, 2) + std::pow(y - c.centre.y, 2) + 1.0 / 6.0;
            c.circularity = double(c.area) * double(c.area) / (2 * kPi * spread);
            if (!cut && c.area >= limits.minArea && c.area <= limits.maxArea &&
                c.circularity >= limits.minCircularity)
                found.push_back(c);
        }
    return found;
}

// Random pictures of white rectangles, discs and rings over sparse white noise, at random
// tolerances and limits: merges of U shapes, holes, runs that cross 16-pixel blocks, regions
// on every edge. Circularities right at a limit are left out of the comparison's reach by the
// limit being drawn from a continuum.
TEST(Detection, MatchesAFloodFillOnRandomPictures) {
    std::mt19937 rng(4711);
    std::uniform_int_distribution<int> size(1, 90), level(150, 255), channel(0, 255);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int compared = 0;
    for (int round = 0; round < 3000; ++round) {
        Picture picture(size(rng), size(rng) / 2 + 1);
        const int low = level(rng), high = unit(rng) < 0.8 ? 255 : std::max(low, level(rng));
        const auto white = [&] {
            const int a = std::uniform_int_distribution<int>(low, high)(rng);
            return 0xFF000000u | uint32_t(a) << 16 | uint32_t(std::min(a + 1, high)) << 8 |
                   uint32_t(high);
        };
        const double density = unit(rng) * 0.6;
        for (uint32_t& v : picture.bits)
            v = unit(rng) < density
                    ? white()
                    : 0xFF000000u | uint32_t(channel(rng)) << 16 |
                          uint32_t(channel(rng) % low) << 8 | uint32_t(channel(rng));
        for (int shapes = int(unit(rng) * 6); shapes > 0; --shapes) {
            const double cx = unit(rng) * picture.width, cy = unit(rng) * picture.height;
            const double a = 1 + unit(rng) * 12, b = 1 + unit(rng) * 12;
            if (unit(rng) < 0.5) {
                picture.ellipse(cx, cy, a, b, white());
                if (unit(rng) < 0.3) // a ring
                    picture.ellipse(cx, cy, a / 2, b / 2, kGrey);
            } else {
                picture.rect(std::max(0, int(cx - a)), std::max(0, int(cy - b)),
                             std::min(picture.width - 1, int(cx + a)),
                             std::min(picture.height - 1, int(cy + b)), white());
            }
        }
        DetectionLimits limits;
        limits.minArea = int(unit(rng) * 8);
        limits.maxArea = limits.minArea + int(unit(rng) * 300);
        limits.minCircularity = unit(rng) * 0.95;
        const MarkerBounds bounds{low, high};

        std::vector<MarkerCandidate> expected = referenceDetection(picture.view(), bounds, limits);
        DetectionResult got = detectMarkers(picture.view(), bounds, limits);
        // Centres on one row may differ in the last bit between the two: compare by box.
        const auto byBox = [](const MarkerCandidate& c) {
            return std::tuple(c.box.top, c.box.left, c.area);
        };
        std::ranges::sort(expected, {}, byBox);
        std::ranges::sort(got.candidates, {}, byBox);
        SCOPED_TRACE(testing::Message() << "round " << round);
        ASSERT_EQ(got.count, int64_t(expected.size()));
        ASSERT_EQ(got.candidates.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const MarkerCandidate &g = got.candidates[i], &e = expected[i];
            EXPECT_EQ(g.area, e.area);
            EXPECT_NEAR(g.centre.x, e.centre.x, 1e-9);
            EXPECT_NEAR(g.centre.y, e.centre.y, 1e-9);
            EXPECT_NEAR(g.circularity, e.circularity, 1e-9);
            EXPECT_EQ(std::tie(g.box.left, g.box.top, g.box.right, g.box.bottom),
                      std::tie(e.box.left, e.box.top, e.box.right, e.box.bottom));
        }
        compared += int(expected.size());
    }
    EXPECT_GT(compared, 3000); // the rounds do reach candidates
}

TEST(Detection, CircularityAndCentreOfKnownShapes) {
    // Worked by hand: a square of side s has variance s^2 / 12 per axis, so 3 / pi; 8 x 2:
    // 16 / (2 pi 68 / 12); the hollow square 5 x 5 less 3 x 3 again; an ellipse 2ab / (a^2 + b^2)
    // (its pixels near that, and its centre near the true one).
    const double kBar = 16 * 12 / (2 * kPi * 68);
    // {shape on a 60 x 40 picture, area, centre, circularity, tolerance}
    const std::tuple<std::function<void(Picture&)>, int64_t, PointD, double, double> rows[] = {
        {[](Picture& p) { p.rect(10, 10, 13, 13); }, 16, {11.5, 11.5}, 3 / kPi, 1e-12},
        {[](Picture& p) { p.rect(20, 5, 27, 6); }, 16, {23.5, 5.5}, kBar, 1e-12},
        {[](Picture& p) { p.rect(30, 20, 34, 24).rect(31, 21, 33, 23, kGrey); },
         16,
         {32, 22},
         kBar,
         1e-12},
        {[](Picture& p) { p.ellipse(30.3, 19.6, 12, 12); }, 454, {30.3, 19.6}, 1.0, 0.01},
        {[](Picture& p) { p.ellipse(30.3, 20.4, 12, 6); }, 228, {30.3, 20.4}, 0.8, 0.01},
    };
    for (const auto& [draw, area, centre, circularity, tolerance] : rows) {
        SCOPED_TRACE(area);
        Picture picture(60, 40);
        draw(picture);
        const DetectionResult r = detectMarkers(picture.view(), kDefaultBounds, {1, 10000, 0.0});
        ASSERT_EQ(r.candidates.size(), 1u);
        const MarkerCandidate& c = r.candidates[0];
        EXPECT_EQ(c.area, area);
        EXPECT_NEAR(c.centre.x, centre.x, tolerance * 10);
        EXPECT_NEAR(c.centre.y, centre.y, tolerance * 10);
        EXPECT_NEAR(c.circularity, circularity, tolerance);
    }
}

TEST(Detection, EmptyViewsAndTheKeepCount) {
    // Views without pixels find nothing; past `keep` candidates are counted, not kept.
    const Picture some(4, 4);
    EXPECT_EQ(detectMarkers({nullptr, 4, 4, 4}, kDefaultBounds, {1, 16, 0}).count, 0);
    EXPECT_EQ(detectMarkers({some.bits.data(), 0, 4, 4}, kDefaultBounds, {1, 16, 0}).count, 0);
    Picture many(200, 20);
    for (int k = 0; k < 30; ++k)
        many.rect(2 + 6 * k, 5, 5 + 6 * k, 8);
    const DetectionResult r = detectMarkers(many.view(), kDefaultBounds, {9, 25, 0.9}, 12);
    EXPECT_EQ(std::pair(r.count, r.candidates.size()), std::pair(int64_t(30), std::size_t(12)));
}

MarkerCandidate at(double x, double y, int64_t area = 100) { // a diameter of 11.28
    MarkerCandidate c;
    c.centre = {x, y};
    c.area = area;
    return c;
}

TEST(Numbering, TopToBottomWithPairsRightFirst) {
    const double d = at(0, 0).diameter(); // 11.284
    // {name, candidates, order, order with the pairs swapped}
    const std::tuple<const char*, std::vector<MarkerCandidate>, std::vector<std::size_t>,
                     std::vector<std::size_t>>
        rows[] = {
            {"frontal seven",
             {at(290, 262), at(372, 146), at(320, 62), at(350, 266), at(294, 362), at(268, 150),
              at(346, 358)},
             {2, 1, 5, 3, 0, 6, 4},
             {2, 5, 1, 0, 3, 4, 6}},
            // Heights apart by the diameter pair, by a little more they do not; the larger
            // diameter of the two counts (area 400: 22.57).
            {"diameter",
             {at(10, 0), at(50, d), at(10, 100), at(50, 100 + d * 1.001)},
             {1, 0, 2, 3},
             {0, 1, 2, 3}},
            {"larger diameter", {at(10, 0), at(50, 20, 400)}, {1, 0}, {0, 1}},
            // The middle one is within reach of both: it pairs with the closer (below).
            {"closer pair", {at(100, 0), at(10, 8), at(60, 11)}, {0, 2, 1}, {0, 1, 2}},
            {"closer pair above", {at(100, 0), at(10, 3), at(60, 11)}, {0, 1, 2}, {1, 0, 2}},
            {"none", {}, {}, {}},
        };
    for (const auto& [name, candidates, order, swapped] : rows) {
        SCOPED_TRACE(name);
        EXPECT_EQ(numberMarkers(candidates, false), order);
        EXPECT_EQ(numberMarkers(candidates, true), swapped);
    }
}

TEST(NearestPixel, NearestPassingPixelWithinTheRadius) {
    Picture picture(20, 10);
    picture.rect(10, 4, 12, 6).rect(3, 2, 3, 2).rect(5, 2, 5, 2).rect(7, 6, 7, 6).rect(7, 8, 7, 8);
    // {at, radius, pixel or none}. Ties go to the topmost, then leftmost; the radius is
    // inclusive; a centre off the picture still reaches in.
    const std::tuple<PointD, double, std::optional<std::pair<int, int>>> rows[] = {
        {{11.2, 5.4}, 3, std::pair{11, 5}}, // on a pixel
        {{4, 2}, 3, std::pair{3, 2}},       // tie left and right
        {{7, 7}, 1, std::pair{7, 6}},       // tie up and down
        {{6, 7}, 1.5, std::pair{7, 6}},     // tie across
        {{15, 5}, 3, std::pair{12, 5}},       {{15, 5}, 2.99, std::nullopt},
        {{-2, 2}, 5, std::pair{3, 2}},        {{-1e300, 1e300}, 1e300, std::nullopt},
        {{std::nan(""), 2}, 5, std::nullopt},
    };
    for (const auto& [point, radius, expected] : rows) {
        const auto got = nearestMarkerPixel(picture.view(), kDefaultBounds, point, radius);
        EXPECT_EQ(got ? std::optional(std::pair(got->x, got->y)) : std::nullopt, expected)
            << point.x << ' ' << point.y << ' ' << radius;
    }
}

// Detection and numbering on 1000 generated frontal scenes (fixed seed): 4 to 7 markers of 6 to
// 40 pixels on a figure over a blotchy background, a white clothing stripe, highlights, a white
// object cut by the edge, all through JPEG at quality 85. Prints its figures.
TEST(DetectionAccuracy, FindsAndNumbersTheMarkersOfGeneratedScenes) {
    constexpr int kScenes = 1000;
    std::mt19937 rng(20240620);
    std::uniform_int_distribution<int> markers(4, 7);
    const MarkerBounds bounds = markerBounds(0, 40); // pcol.dat's default
    int exact = 0, missed = 0, extra = 0, misordered = 0, matched = 0;
    double squares = 0, worst = 0;
    for (int i = 0; i < kScenes; ++i) {
        const FigureScene scene = figureScene(rng, markers(rng));
        const QImage jpeg = throughJpeg(scene.image, 85);
        const DetectionResult found = detectMarkers(pixelsOf<ArgbPicture>(jpeg), bounds);
        const std::vector<std::size_t> order = numberMarkers(found.candidates, false);

        // Each true marker, in the presets' order, against the candidate numbered alike.
        const double reach = std::max(1.0, scene.diameter / 4);
        bool right = found.count == int64_t(scene.markers.size());
        missed += std::max<int64_t>(0, int64_t(scene.markers.size()) - found.count);
        extra += std::max<int64_t>(0, found.count - int64_t(scene.markers.size()));
        for (std::size_t k = 0; right && k < scene.markers.size(); ++k) {
            const PointD c = found.candidates[order[k]].centre, t = scene.markers[k];
            const double error = std::hypot(c.x - t.x, c.y - t.y);
            if (error > reach) {
                right = false;
                ++misordered;
                break;
            }
            squares += error * error;
            worst = std::max(worst, error);
            ++matched;
        }
        exact += right;
    }
    const double rms = std::sqrt(squares / std::max(matched, 1));
    std::printf("detection on %d scenes: %d exact (%.1f %%); %d markers missed, %d extra, %d "
                "scenes misnumbered; centre error of %d markers: RMS %.3f px, worst %.3f px\n",
                kScenes, exact, 100.0 * exact / kScenes, missed, extra, misordered, matched, rms,
                worst);
    EXPECT_GE(exact, kScenes * 99 / 100);
    EXPECT_LE(rms, 0.12); // measured 0.091
}

} // namespace
