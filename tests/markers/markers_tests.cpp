// SPDX-License-Identifier: GPL-3.0-or-later
#include "number_text.h"
#include "photo_sequence.h"
#include "pixel_journal.h"
#include "press.h"
#include "region_search_reference.h"
#include "scale.h"
#include "tracking.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

// A small in-memory picture stored like a 32-bit image; colours in and out are 0x00BBGGRR.
struct Picture {
    int width, height;
    std::vector<uint32_t> bits;
    CanvasView view{bits.data(), width, height, width};

    explicit Picture(int w, int h, uint32_t colour = 0x808080)
        : width(w), height(h), bits(static_cast<std::size_t>(w) * h, argbFromColour(colour)) {}
    [[nodiscard]] PhotoView photo() const { return {bits.data(), width, height, width}; }
    [[nodiscard]] uint32_t at(int x, int y) const { return colourFromArgb(bits[y * width + x]); }
    Picture& rect(int x0, int y0, int x1, int y1, uint32_t colour = colours::kWhite) {
        for (int y = y0; y <= y1; ++y)
            std::fill_n(bits.begin() + y * width + x0, x1 - x0 + 1, argbFromColour(colour));
        return *this;
    }
};

TEST(Search, FindsCentreAndPaintsTheMarker) {
    // Only faults that small random pictures seldom reach; the random test below covers the rest.
    Picture photo(1200, 505);
    photo.rect(600, 5, 1199, 5).rect(150, 496, 160, 504).rect(155, 499, 155, 499, 0x808080);
    photo.rect(200, 10, 202, 10).rect(190, 11, 202, 11).rect(198, 12, 200, 12);
    photo.rect(230, 13, 236, 13).rect(250, 20, 256, 20).rect(256, 12, 256, 20);
    photo.rect(300, 4, 300, 504).rect(300, 504, 310, 504);
    // {name, click, centre, dark blue pixels}. Rows reach 500 pixels (far); scan A's last row
    // sets left and right, also at its far end (far row); column ribs reach the bottom row
    // (notch); nearest(12.5) = 12 skips row 13; top stays unset when scan B finds nothing.
    const std::tuple<const char*, double, double, PixelPoint, long> rows[] = {
        {"far", 600.4, 5, {850, 5}, 500},      {"notch", 155, 496, {155, 500}, 93},
        {"last row", 200, 10, {200, 11}, 18},  {"half row", 233, 13.5, {233, 14}, 0},
        {"top unset", 250, 20, {253, 20}, 14}, {"far row", 300, 4, {305, 254}, 511}};
    const uint32_t blue = argbFromColour(colours::kDarkBlue);
    for (const auto& [name, x, y, expected, painted] : rows) {
        SCOPED_TRACE(name);
        Picture canvas(1200, 505, 0), plain(1200, 505, 0);
        const PixelPoint centre = findMarkerCentre({}, photo.photo(), canvas.view, x, y);
        EXPECT_EQ(centre, expected);
        EXPECT_EQ(canvas.at(centre.x, centre.y), colours::kDarkRed);
        EXPECT_EQ(std::count(canvas.bits.begin(), canvas.bits.end(), blue), painted);
        // The plain search agrees here too, so it can stand in for these rows on random pictures.
        EXPECT_EQ(reference::findMarkerCentre({}, photo.photo(), plain.view, x, y), expected);
        EXPECT_TRUE(canvas.bits == plain.bits);
    }
}

// Near-white shapes cut by the edges on noise; random tolerances; clicks on quarter pixels (.5
// ties) in and around the photo; a display of another size holding earlier marks, with or
// without a journal that must take the search's marks back and make them again.
TEST(Search, SameAsThePlainSearchOnRandomPictures) {
    std::mt19937 random(2007);
    const auto uniform = [&random](int lo, int hi) {
        return std::uniform_int_distribution(lo, hi)(random);
    };
    const auto white = [&] { // every channel 235..255, most 255
        const auto channel = [&] { return uint32_t(255 - std::max(0, uniform(-60, 20))); };
        return channel() << 16 | channel() << 8 | channel();
    };
    for (int round = 0; round < 10000; ++round) {
        Picture photo(uniform(1, 24), uniform(1, 24));
        const int density = uniform(0, 100);
        for (uint32_t& pixel : photo.bits)
            pixel = argbFromColour(uniform(1, 100) <= density ? white() : uniform(0, 0xFFFFFF));
        for (int shape = uniform(0, 3); shape > 0; --shape) {
            const int cx = uniform(-3, photo.width + 2), cy = uniform(-3, photo.height + 2);
            const int r = uniform(0, 9), hole = uniform(-1, r - 1), square = uniform(0, 1);
            for (int y = 0; y < photo.height; ++y)
                for (int x = 0; x < photo.width; ++x) {
                    const int d = square ? std::max(std::abs(x - cx), std::abs(y - cy))
                                         : int(std::hypot(x - cx, y - cy));
                    if (d <= r && d > hole)
                        photo.rect(x, y, x, y, white());
                }
        }
        AnalysisState state;
        // Brightness rarely negative; now and then the extremes a hand-edited pcol.dat may hold,
        // which overflowed 16-bit bounds once.
        const int brightness = uniform(-2, 12), extreme = uniform(0, 40);
        state.darknessTolerance = int16_t(extreme == 0 ? -32768 : uniform(0, 60));
        state.brightnessTolerance = int16_t(extreme == 1 ? 32767 : brightness > 3 ? 0 : brightness);
        const double x = uniform(-6, 4 * photo.width + 2) / 4.0;
        const double y = uniform(-6, 4 * photo.height + 2) / 4.0;
        const bool same = uniform(0, 3) > 0;
        const int w = same ? photo.width : uniform(1, 24), h = same ? photo.height : uniform(1, 24);
        Picture canvas(w, h, 0), plain(w, h, 0);
        for (std::size_t i = 0; i < canvas.bits.size(); ++i) // earlier marks, some dark blue
            canvas.bits[i] = plain.bits[i] = argbFromColour(uniform(0, 3) ? 0x404040 : 0x800000);
        const std::vector<uint32_t> before = canvas.bits;
        PixelJournal journal;
        canvas.view.journal = round % 2 ? &journal : nullptr; // both kinds of search
        SCOPED_TRACE(testing::Message() << "round " << round << " click " << x << "," << y);
        ASSERT_EQ(findMarkerCentre(state, photo.photo(), canvas.view, x, y),
                  reference::findMarkerCentre(state, photo.photo(), plain.view, x, y));
        ASSERT_TRUE(canvas.bits == plain.bits);
        // The search met a marker when it painted one dark blue on a clean canvas of the photo's
        // size, or when its centre, painted over that, is a marker pixel.
        Picture clean(photo.width, photo.height, 0);
        const PixelPoint c = reference::findMarkerCentre(state, photo.photo(), clean.view, x, y);
        const bool met = std::count(clean.bits.begin(), clean.bits.end(),
                                    argbFromColour(colours::kDarkBlue)) > 0 ||
                         reference::isMarker(state, photo.photo(), c.x, c.y);
        ASSERT_EQ(pressMeetsMarker(state, photo.photo(), x, y), met);
        if (!canvas.view.journal)
            continue;
        const PixelPatch patch = journal.finish(canvas.view);
        patch.applyBefore(canvas.view);
        ASSERT_TRUE(canvas.bits == before);
        patch.applyAfter(canvas.view);
        ASSERT_TRUE(canvas.bits == plain.bits);
    }
}

// The search's marks are taken back and made again on random pictures above.
TEST(Journal, APixelWrittenTwiceKeepsItsFirstValue) {
    std::vector<uint32_t> bits(12, 0xFF111111u);
    PixelJournal journal;
    CanvasView canvas{bits.data(), 4, 3, 4, &journal};
    canvas.setPixel(1, 1, 0x0000FF);
    canvas.setPixel(1, 1, 0x00FF00);
    canvas.setPixel(3, 2, 0x111111);        // written with the colour it had: no change
    canvas.setPixel(4, 0, 0x0000FF);        // off the canvas
    journal.noteRect(canvas, -5, -5, 7, 6); // clipped to (0, 0)..(1, 0)
    bits[0] = 0xFF222222u;
    const PixelPatch patch = journal.finish(canvas);
    ASSERT_EQ(patch.runs.size(), 2u);
    EXPECT_EQ(patch.before, (std::vector<uint32_t>{0xFF111111u, 0xFF111111u}));
    EXPECT_EQ(patch.after, (std::vector<uint32_t>{0xFF222222u, 0xFF00FF00u}));
    patch.applyBefore(canvas);
    EXPECT_EQ(bits, std::vector<uint32_t>(12, 0xFF111111u));
}

TEST(Tracking, FollowsMarkers) {
    Picture photo(120, 40);
    photo.rect(8, 8, 12, 12).rect(20, 20, 26, 28).rect(0, 0, 4, 4).rect(115, 0, 119, 4);
    photo.rect(80, 30, 105, 30).rect(80, 10, 80, 30); // lines to and beyond the reach
    photo.rect(35, 36, 60, 36).rect(60, 34, 60, 36).rect(110, 5, 110, 39);
    // {name, points, frameCount before and after, (deltaX, deltaY) of the points found}. Past a
    // lost point nothing is looked at or counted. Outside entries 0..900 nothing is recorded.
    using Pairs = std::vector<std::pair<int, int>>;
    const std::tuple<const char*, Pairs, int16_t, int16_t, Pairs> rows[] = {
        {"in place, moved, last entry", {{10, 10}, {20, 20}}, 900, 901, {{0, 0}, {3, -4}}},
        {"lost", {{9, 10}, {50, 35}, {9, 10}}, 4, 4, {{1, 0}}},
        {"no points", {}, 7, 8, {}},
        {"eight points", Pairs(8, {9, 10}), 0, 1, Pairs(8, {1, 0})},
        {"lines of 20 and 25 pixels, sums truncated", {{80, 30}}, 0, 1, {{5, 6}}},
        {"20 pixels left, mean x - 9.13 truncated", {{60, 36}}, 0, 1, {{-10, 1}}},
        {"a line 20 pixels down and beyond", {{110, 5}}, 0, 1, {{0, -10}}},
        {"edges: only the visible part counts", {{116, 2}, {1, 1}}, 0, 1, {{1, 0}, {1, -1}}},
        {"series full", {{9, 10}}, 901, 901, {{1, 0}}},
        {"negative frame", {{9, 10}}, -1, 0, {{1, 0}}}};
    for (const auto& [name, points, frame, frameAfter, moves] : rows) {
        SCOPED_TRACE(name);
        Picture canvas(120, 40, 0);
        const std::size_t n = points.size(), found = moves.size();
        AnalysisState state;
        std::tie(state.pointCount, state.frameCount) = std::pair(static_cast<uint8_t>(n), frame);
        for (std::size_t k = 1; k <= n; ++k)
            std::tie(state.pointX[k], state.pointY[k]) = points[k - 1];
        state.pathLength.fill(1); // a running sum
        const TrackResult result = trackMarkers(state, photo.photo(), canvas.view);
        EXPECT_EQ(std::tuple(result.allFound, result.lostPoint, state.frameCount),
                  std::tuple(found == n, found < n ? int(found) + 1 : 0, frameAfter));
        for (std::size_t k = 1; k <= std::max<std::size_t>(n, 7); ++k) {
            const auto [dx, dy] = k <= found ? moves[k - 1] : std::pair{0, 0};
            const auto [x, y] = k <= n ? points[k - 1] : std::pair{0, 0};
            EXPECT_EQ(std::pair(state.pointX[k] - x, y - state.pointY[k]), std::pair(dx, dy)) << k;
            EXPECT_EQ(canvas.at(x + dx, y - dy) == colours::kDarkRed, k <= found) << k;
            if (k > 7) // points beyond the seventh have neither a path nor a series
                continue;
            AnalysisState::Series seriesX{}, seriesY{};
            if (frame >= 0 && frame <= 900)
                std::tie(seriesX[frame], seriesY[frame]) = std::pair<float, float>(dx, dy);
            EXPECT_TRUE(state.deltaX(int(k)) == seriesX && state.deltaY(int(k)) == seriesY) << k;
            EXPECT_DOUBLE_EQ(state.pathLength[k], 1 + std::hypot(dx, dy)) << k;
        }
    }
}

TEST(Scale, ReferencePressesAndConfirmation) {
    // {x, y, prompt, stored x and y, distance from the stored point}; 0 means no point yet.
    const std::tuple<double, double, bool, int16_t, int16_t, float> presses[] = {
        {0, 50, false, 0, 50, 50},    {30, 90, false, 30, 90, 50},
        {60, 130, true, 60, 130, 50}, {13.5, 12.5, true, 14, 12, 126.36653f},
        {14, 18, true, 14, 18, 6},    {14, 18, true, 14, 18, 0}};
    AnalysisState state;
    Picture canvas(20, 20, 0), marks(20, 20, 0), expected(20, 20, 0);
    for (const auto& [x, y, prompt, storedX, storedY, distance] : presses) {
        EXPECT_EQ(placeReferencePoint(state, canvas.view, x, y), prompt) << x << "," << y;
        EXPECT_EQ(std::pair(state.refPointX, state.refPointY), std::pair(storedX, storedY)) << x;
        EXPECT_FLOAT_EQ(state.mmPerPoint, distance) << x;
        EXPECT_EQ(state.refDistance, state.mmPerPoint) << x;
    }
    (void)placeReferencePoint(state, marks.view, 10.7, 5.2);  // the pixel under it is (10, 5)
    (void)placeReferencePoint(state, marks.view, 1e300, NAN); // off the canvas: no marks
    EXPECT_EQ(state.refPointX, 32767);
    expected.rect(9, 4, 11, 6, colours::kGreen).rect(10, 5, 10, 5, colours::kLightBlue);
    EXPECT_EQ(marks.bits, expected.bits);

    state.refDistance = state.mmPerPoint = 250;
    // A second confirmation used to divide by the first scale instead of the pixel distance.
    for (int time = 0; time < 2; ++time)
        EXPECT_EQ(confirmScale(state, 500), ScaleRefusal::None);
    EXPECT_FLOAT_EQ(state.mmPerPoint, 20);
    for (const double mm : {0.0, double(NAN), double(INFINITY), 1e300}) // 1e300: no float
        EXPECT_EQ(confirmScale(state, mm), ScaleRefusal::NotAPositiveNumber) << mm;
    state.refDistance = 0; // two presses on one pixel
    EXPECT_EQ(confirmScale(state, 500), ScaleRefusal::NoReferenceDistance);
    EXPECT_FLOAT_EQ(state.mmPerPoint, 20);
    EXPECT_EQ(parseDistance(" \t-12.5 "), -12.5);
    for (const char* text : {"", " . ", "1e3", "12a", "1,5", "1.2.3", "inf", "５００"})
        EXPECT_EQ(parseDistance(text), std::nullopt) << text;
}

// Label4, Label7, then x, y and value of each number written, for the triple P, V, Q.
std::vector<int> angleOf(int xP, int yP, int xV, int yV, int xQ, int yQ) {
    AnalysisState state;
    state.pointCount = 6; // the last triple counts
    state.pointX = {0, 0, 0, 0, int16_t(xP), int16_t(xV), int16_t(xQ)};
    state.pointY = {0, 0, 0, 0, int16_t(yP), int16_t(yV), int16_t(yQ)};
    const AngleResult result = measureAngle(state);
    std::vector<int> shown = {result.label4, result.label7};
    for (const auto& [x, y, value] : result.texts)
        shown.insert(shown.end(), {x, y, value});
    return shown;
}

TEST(Angles, Measures) {
    // Straight lines write one number; an empty arm 1 is class a; straight up is class b as arm
    // 1 but 1 as arm 2; arm (357, 47) is 83 degrees only with the constant 3.141592.
    const std::pair<std::array<int, 6>, std::vector<int>> examples[] = {
        {{100, 100, 100, 200, 200, 200}, {90, 270, 100, 188, 90, 76, 202, 270}},
        {{0, 0, 30, 40, 30, 100}, {217, 143, 30, 35, 217, 5, 35, 143}},
        {{50, 10, 50, 20, 50, 30}, {180, 180, 50, 15, 180}},
        {{50, 10, 50, 20, 50, 5}, {0, 360, 50, 15, 0}},
        {{50, 20, 50, 20, 50, 5}, {0, 360, 50, 15, 0}},
        {{40, 40, 40, 40, 40, 40}, {180, 180, 40, 35, 180}},
        {{10, 50, 20, 50, 30, 50}, {180, 180, 8, 35, 180}},
        {{10, 50, 20, 50, 5, 50}, {0, 360, 20, 45, 0}},
        {{100, 100, 100, 100, 120, 110}, {117, 243, 100, 88, 117, 76, 102, 243}},
        {{100, 120, 100, 100, 80, 90}, {243, 117, 100, 95, 243, 80, 95, 117}},
        {{90, 80, 100, 100, 100, 80}, {333, 27, 100, 100, 333, 82, 87, 27}},
        {{-257, 53, 100, 100, 100, 110}, {263, 97, 100, 95, 263, 75, 95, 97}},
        {{0, -1, 0, 1, 0, 1}, {0, 360, 0, -4, 0}}, // signs 1 and 0 differ
        {{-1, 0, 1, 0, 1, 0}, {0, 360, 1, -5, 0}}};
    for (const auto& [p, shown] : examples)
        EXPECT_EQ(angleOf(p[0], p[1], p[2], p[3], p[4], p[5]), shown) << p[0] << "," << p[1];

    // {dx1, dy1, dx2, dy2, alpha, where alpha and 360 - alpha are written} around V = (100,
    // 100): arm 1 in classes a..d, arm 2 in 1..4, of 27 and 63 degrees so a swapped A, B shows;
    // then a horizontal arm to the left, class c as arm 1 and class 1 as arm 2.
    const std::array<int, 9> classes[] = {
        {10, 20, -20, -10, 324, 100, 100, 82, 87},   {10, 20, -20, 10, 270, 100, 95, 75, 95},
        {10, 20, 20, 10, 144, 100, 88, 76, 102},     {10, 20, 20, -10, 90, 90, 84, 90, 104},
        {10, -20, -20, -10, 270, 100, 95, 80, 95},   {10, -20, -20, 10, 324, 98, 86, 82, 104},
        {10, -20, 20, 10, 90, 90, 103, 90, 87},      {10, -20, 20, -10, 144, 100, 100, 78, 87},
        {-10, -20, -20, -10, 216, 104, 92, 75, 105}, {-10, -20, -20, 10, 270, 90, 86, 90, 104},
        {-10, -20, 20, 10, 36, 100, 103, 75, 87},    {-10, -20, 20, -10, 90, 102, 94, 76, 94},
        {-10, 20, -20, -10, 90, 90, 86, 90, 104},    {-10, 20, -20, 10, 144, 77, 86, 100, 104},
        {-10, 20, 20, 10, 90, 102, 94, 76, 94},      {-10, 20, 20, -10, 36, 102, 85, 76, 103},
        {-10, 0, 20, 10, 27, 100, 103, 75, 87},      {10, 20, -20, 0, 297, 100, 100, 82, 87}};
    for (const auto& [dx1, dy1, dx2, dy2, alpha, x1, y1, x2, y2] : classes)
        EXPECT_EQ(angleOf(100 - dx1, 100 - dy1, 100, 100, 100 + dx2, 100 + dy2),
                  (std::vector{alpha, 360 - alpha, x1, y1, alpha, x2, y2, 360 - alpha}))
            << dx1 << "," << dy1 << " " << dx2 << "," << dy2;
}

TEST(Press, AnglePointTriplesAndTheSixtyPointLimit) {
    // Point 1 was a marker point placed before ROM mode was chosen: triples count from it.
    AnalysisState state;
    std::tie(state.pointCount, state.pointX[1], state.pointY[1]) = std::tuple(1, 100, 100);
    Picture canvas(300, 300, 0), nine(300, 300, 0);
    const auto second = placeAnglePoint(state, canvas.view, 100.4, 199.5); // stored as (100, 200)
    ASSERT_TRUE(second && second->lineNeeded && !second->angle);
    EXPECT_EQ(std::pair(second->lineFrom, second->lineTo),
              std::pair(PixelPoint{100, 100}, PixelPoint{100, 200}));
    EXPECT_EQ(canvas.bits, nine.rect(99, 198, 101, 200, colours::kDarkBlue).bits);
    const auto third = placeAnglePoint(state, canvas.view, 200, 200);
    ASSERT_TRUE(third && third->angle && third->lineFrom == (PixelPoint{100, 200}));
    EXPECT_EQ(third->angle->label4, 90);
    // The triple is numbered at its middle point; the messages are checked end to end.
    EXPECT_EQ(numberAngleTriples(state).numbers, (std::vector<PictureNumber>{{100, 200, 1}}));
    const auto fourth = placeAnglePoint(state, canvas.view, 5, 5);
    EXPECT_TRUE(fourth && !fourth->lineNeeded && !fourth->angle);

    state.pointCount = 59;
    EXPECT_EQ(placeMarkerPoint(state, nine.photo(), canvas.view, 10, 10), (PixelPoint{10, 10}));
    const auto before = canvas.bits; // the 61st is refused without painting
    EXPECT_EQ(placeMarkerPoint(state, nine.photo(), canvas.view, 11, 11), std::nullopt);
    EXPECT_EQ(placeAnglePoint(state, canvas.view, 30, 30), std::nullopt);
    EXPECT_EQ(numberAngleTriples(state).numbers.size(), 20u); // one number per triple
    EXPECT_EQ(canvas.bits, before);
}

TEST(Text, NextPhotoNameAndGeneralNumber) {
    // Numbers in folder names used to be renumbered instead of the photo's.
    EXPECT_EQ(nextPhotoName(R"(D:\test(2)\a(001).bmp)"), R"(D:\test(2)\a(002).bmp)");
    EXPECT_EQ(nextPhotoName("/フォルダー (2)/写真(5).png"), "/フォルダー (2)/写真(6).png");
    const std::pair<std::string, std::string> next[] = {
        {"x(9)", "x(10)"}, {"x(09)", "x(10)"}, {"x(99).jpg", "x(100).jpg"}, {"a(1)(5)", "a(2)(5)"}};
    for (const auto& [path, expected] : next)
        EXPECT_EQ(nextPhotoName(path), expected) << path;
    for (const char* path : {"", "a.bmp", R"(D:\x(1)\a.bmp)", "a)(1)", "a()", "a(1a)", "a(-1)"})
        EXPECT_EQ(nextPhotoName(path), std::nullopt) << path;
    // The same place as nextPhotoName's number, read as a number; beyond 32 bits none.
    const std::pair<std::string, std::optional<int32_t>> numbers[] = {
        {"a(007).bmp", 7}, {"a(2147483647)", 2147483647}, {"a(2147483648)", std::nullopt}};
    for (const auto& [path, number] : numbers)
        EXPECT_EQ(photoSequenceNumber(path), number) << path;

    for (const auto& [v, text] : {std::pair{2.0 / 3.0, "0.666666666666667"}, {1e-5, "1E-05"}})
        EXPECT_EQ(generalNumberText(v), text) << v;
}

} // namespace
