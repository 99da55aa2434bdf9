// SPDX-License-Identifier: GPL-3.0-or-later
// Marker detection against a plain flood fill on random pictures, and hand-worked rows for the
// measures, the limits, the numbering and the pixel a press goes to.
#include "marker_detection.h"
#include "marker_numbering.h"
#include "nearest_marker_pixel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <functional>
#include <numbers>
#include <random>

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kGrey = 0xFF606060u;
constexpr MarkerBounds kDefaultBounds{215, 255}; // pcol.dat's 0,40

struct Picture {
    int width, height;
    std::vector<uint32_t> bits;
    Picture(int w, int h, uint32_t argb = kGrey)
        : width(w), height(h), bits(static_cast<std::size_t>(w) * h, argb) {}
    [[nodiscard]] ArgbPicture view() const { return {bits.data(), width, height, width}; }
    uint32_t& at(int x, int y) { return bits[static_cast<std::size_t>(y) * width + x]; }
    Picture& rect(int x0, int y0, int x1, int y1, uint32_t argb = kWhite) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                at(x, y) = argb;
        return *this;
    }
    // Pixels whose centres lie inside the ellipse ((x - cx) / a)^2 + ((y - cy) / b)^2 <= 1.
    Picture& ellipse(double cx, double cy, double a, double b, uint32_t argb = kWhite) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if ((x - cx) * (x - cx) / (a * a) + (y - cy) * (y - cy) / (b * b) <= 1)
                    at(x, y) = argb;
        return *this;
    }
};

// Every region of passing pixels by a breadth-first flood fill over a label per pixel, its
// measures taken in two passes (mean first, then the spread about it), filtered as the
// detection's contract says.
std::vector<MarkerCandidate> referenceDetection(const ArgbPicture& p, MarkerBounds bounds,
                                                const DetectionLimits& limits) {
    const auto passes = [&](int x, int y) {
        const uint32_t v = p.at(x, y);
        for (int c : {int(v >> 16 & 0xFF), int(v >> 8 & 0xFF), int(v & 0xFF)})
            if (c < bounds.low || c > bounds.high)
                return false;
        return true;
    };
    std::vector<int> label(static_cast<std::size_t>(p.width) * p.height, 0);
    std::vector<MarkerCandidate> found;
    int next = 0;
    for (int y0 = 0; y0 < p.height; ++y0)
        for (int x0 = 0; x0 < p.width; ++x0) {
            if (label[y0 * p.width + x0] || !passes(x0, y0))
                continue;
            ++next;
            std::vector<std::pair<int, int>> pixels;
            std::deque<std::pair<int, int>> queue{{x0, y0}};
            label[y0 * p.width + x0] = next;
            while (!queue.empty()) {
                const auto [x, y] = queue.front();
                queue.pop_front();
                pixels.emplace_back(x, y);
                for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                    const int nx = x + dx, ny = y + dy;
                    if (p.contains(nx, ny) && !label[ny * p.width + nx] && passes(nx, ny)) {
                        label[ny * p.width + nx] = next;
                        queue.emplace_back(nx, ny);
                    }
                }
            }
            MarkerCandidate c;
            c.area = static_cast<int64_t>(pixels.size());
            c.box = {p.width, p.height, -1, -1};
            bool cut = false;
            for (const auto& [x, y] : pixels) {
                c.centre.x += x / double(c.area);
                c.centre.y += y / double(c.area);
                c.box = {std::min(c.box.left, x), std::min(c.box.top, y), std::max(c.box.right, x),
                         std::max(c.box.bottom, y)};
                cut = cut || x == 0 || y == 0 || x == p.width - 1 || y == p.height - 1;
            }
            double spread = 0; // sum of squared distances from the centre, pixel squares included
            for (const auto& [x, y] : pixels)
                spread += (x - c.centre.x) * (x - c.centre.x) +
                          (y - c.centre.y) * (y - c.centre.y) + 1.0 / 6.0;
            c.circularity = double(c.area) * double(c.area) / (2 * std::numbers::pi * spread);
            if (!cut && c.area >= limits.minArea && c.area <= limits.maxArea &&
                c.circularity >= limits.minCircularity)
                found.push_back(c);
        }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return a.centre.y != b.centre.y ? a.centre.y < b.centre.y : a.centre.x < b.centre.x;
    });
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
        const auto byBox = [](const MarkerCandidate& a, const MarkerCandidate& b) {
            return std::tie(a.box.top, a.box.left) < std::tie(b.box.top, b.box.left);
        };
        std::sort(expected.begin(), expected.end(), byBox);
        std::sort(got.candidates.begin(), got.candidates.end(), byBox);
        SCOPED_TRACE(testing::Message()
                     << "round " << round << ", " << picture.width << " x " << picture.height);
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
    // {name, shape on a 60 x 40 grey picture, area, centre, circularity}. Worked by hand: a
    // square of side s has variance s^2 / 12 per axis, so 3 / pi; 8 x 2: 16 / (2 pi 68 / 12);
    // an ellipse 2ab / (a^2 + b^2); the hollow square 5 x 5 less 3 x 3: 16 / (2 pi (1250 - 162)
    // / 12 / 16) again 0.4494.
    struct Row {
        const char* name;
        std::function<void(Picture&)> draw;
        int64_t area;
        PointD centre;
        double circularity;
        double tolerance;
    };
    const double kBar = 16 * 12 / (2 * std::numbers::pi * 68);
    const Row rows[] = {
        {"square",
         [](Picture& p) { p.rect(10, 10, 13, 13); },
         16,
         {11.5, 11.5},
         3 / std::numbers::pi,
         1e-12},
        {"bar", [](Picture& p) { p.rect(20, 5, 27, 6); }, 16, {23.5, 5.5}, kBar, 1e-12},
        {"hollow",
         [](Picture& p) { p.rect(30, 20, 34, 24).rect(31, 21, 33, 23, kGrey); },
         16,
         {32, 22},
         kBar,
         1e-12},
        {"disc r 12",
         [](Picture& p) { p.ellipse(30.3, 19.6, 12, 12); },
         454,
         {30.3, 19.6},
         1.0,
         0.01},
        {"ellipse 12 x 6",
         [](Picture& p) { p.ellipse(30.3, 20.4, 12, 6); },
         228,
         {30.3, 20.4},
         0.8,
         0.01},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Picture picture(60, 40);
        row.draw(picture);
        DetectionLimits everything{1, 10000, 0.0};
        const DetectionResult r = detectMarkers(picture.view(), kDefaultBounds, everything);
        ASSERT_EQ(r.candidates.size(), 1u);
        const MarkerCandidate& c = r.candidates[0];
        EXPECT_EQ(c.area, row.area);
        // Whole-pixel shapes exactly; the pixels of a disc or an ellipse only near its centre.
        const double reach = row.tolerance < 1e-9 ? 1e-12 : 0.1;
        EXPECT_NEAR(c.centre.x, row.centre.x, reach);
        EXPECT_NEAR(c.centre.y, row.centre.y, reach);
        EXPECT_NEAR(c.circularity, row.circularity, row.tolerance);
    }
}

TEST(Detection, LimitsAndTheEdge) {
    // {name, rectangle x0, y0, x1, y1 on a 40 x 30 picture, found}. Squares (circularity 0.95)
    // against limits 9..25 and 0.9: the limits themselves are inside; a region on any outermost
    // row or column is cut, one pixel in from it is not.
    const std::tuple<const char*, PixelRect, bool> rows[] = {
        {"area 9", {10, 10, 12, 12}, true},      {"area 4", {10, 10, 11, 11}, false},
        {"area 25", {10, 10, 14, 14}, true},     {"area 36", {10, 10, 15, 15}, false},
        {"left edge", {0, 10, 3, 13}, false},    {"right edge", {36, 10, 39, 13}, false},
        {"top edge", {10, 0, 13, 3}, false},     {"bottom edge", {10, 26, 13, 29}, false},
        {"inside left", {1, 10, 4, 13}, true},   {"inside bottom", {10, 25, 13, 28}, true},
        {"bar 1 x 12", {10, 10, 21, 10}, false}, // circularity 0.16
    };
    for (const auto& [name, r, found] : rows) {
        SCOPED_TRACE(name);
        Picture picture(40, 30);
        picture.rect(r.left, r.top, r.right, r.bottom);
        const DetectionResult result = detectMarkers(picture.view(), kDefaultBounds, {9, 25, 0.9});
        EXPECT_EQ(result.count, found ? 1 : 0);
    }
    // Views without pixels find nothing.
    const Picture some(4, 4, kWhite);
    EXPECT_EQ(detectMarkers({nullptr, 4, 4, 4}, kDefaultBounds, {1, 16, 0}).count, 0);
    EXPECT_EQ(detectMarkers({some.bits.data(), 0, 4, 4}, kDefaultBounds, {1, 16, 0}).count, 0);
}

TEST(Detection, KeepsTheFirstCandidatesAndCountsAll) {
    Picture picture(200, 20);
    for (int k = 0; k < 30; ++k)
        picture.rect(2 + 6 * k, 5, 5 + 6 * k, 8);
    const DetectionResult r = detectMarkers(picture.view(), kDefaultBounds, {9, 25, 0.9}, 12);
    EXPECT_EQ(r.count, 30);
    EXPECT_EQ(r.candidates.size(), 12u);
}

// ---- numbering

MarkerCandidate at(double x, double y, int64_t area = 100) { // a diameter of 11.28
    MarkerCandidate c;
    c.centre = {x, y};
    c.area = area;
    return c;
}

TEST(Numbering, TopToBottomWithPairsRightFirst) {
    // {name, candidates, order, order with the pairs swapped}
    const std::tuple<const char*, std::vector<MarkerCandidate>, std::vector<std::size_t>,
                     std::vector<std::size_t>>
        rows[] = {
            {"frontal seven",
             {at(290, 262), at(372, 146), at(320, 62), at(350, 266), at(294, 362), at(268, 150),
              at(346, 358)},
             {2, 1, 5, 3, 0, 6, 4},
             {2, 5, 1, 0, 3, 4, 6}},
            // Heights apart by just under the diameter (11.284) pair, by a little more they do not;
            // the larger diameter of the two counts (area 400: 22.57).
            {"diameter",
             {at(10, 0), at(50, 11.28), at(10, 100), at(50, 111.3)},
             {1, 0, 2, 3},
             {0, 1, 2, 3}},
            {"larger diameter", {at(10, 0), at(50, 20, 400)}, {1, 0}, {0, 1}},
            // The middle one is within reach of both: it pairs with the closer (below).
            {"closer pair", {at(100, 0), at(10, 8), at(60, 11)}, {0, 2, 1}, {0, 1, 2}},
            {"closer pair above", {at(100, 0), at(10, 3), at(60, 11)}, {0, 1, 2}, {1, 0, 2}},
            {"single", {at(5, 5)}, {0}, {0}},
            {"none", {}, {}, {}},
        };
    for (const auto& [name, candidates, order, swapped] : rows) {
        SCOPED_TRACE(name);
        EXPECT_EQ(numberMarkers(candidates, false), order);
        EXPECT_EQ(numberMarkers(candidates, true), swapped);
    }
}

// ---- the pixel a press goes to

TEST(NearestPixel, NearestPassingPixelWithinTheRadius) {
    Picture picture(20, 10);
    picture.rect(10, 4, 12, 6).rect(3, 2, 3, 2).rect(5, 2, 5, 2).rect(7, 6, 7, 6).rect(7, 8, 7, 8);
    // {name, at, radius, pixel or none}. Ties go to the topmost, then leftmost; the radius is
    // inclusive; a centre off the picture still reaches in.
    const std::tuple<const char*, PointD, double, std::optional<std::pair<int, int>>> rows[] = {
        {"on a pixel", {11.2, 5.4}, 3, std::pair{11, 5}},
        {"outside the region", {15.4, 5.2}, 4, std::pair{12, 5}},
        {"tie left and right", {4, 2}, 3, std::pair{3, 2}},
        {"tie up and down", {7, 7}, 1, std::pair{7, 6}},
        {"tie across", {6, 7}, 1.5, std::pair{7, 6}},
        {"radius inclusive", {15, 5}, 3, std::pair{12, 5}},
        {"radius short", {15, 5}, 2.99, std::nullopt},
        {"off the picture", {-2, 2}, 5, std::pair{3, 2}},
        {"far off", {-1e300, 1e300}, 1e300, std::nullopt},
        {"not a number", {std::nan(""), 2}, 5, std::nullopt},
    };
    for (const auto& [name, point, radius, expected] : rows) {
        SCOPED_TRACE(name);
        const auto got = nearestMarkerPixel(picture.view(), kDefaultBounds, point, radius);
        ASSERT_EQ(got.has_value(), expected.has_value());
        if (got) {
            EXPECT_EQ(std::pair(got->x, got->y), *expected);
        }
    }
}

} // namespace
