// SPDX-License-Identifier: GPL-3.0-or-later
#include "marker_scene.h"
#include "sub_pixel_centre.h"
#include "sway_measures.h"
#include "sway_tracking.h"
#include "sway_trajectory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(FQuantile, MatchesTables) {
    // {m, F0.95(2, m)} from printed tables of the F distribution.
    for (const auto& [m, f] :
         {std::pair{1, 199.5}, {2, 19.0}, {10, 4.103}, {30, 3.316}, {120, 3.072}})
        EXPECT_NEAR(fQuantile95(m), f, 0.0005) << "m = " << m;
    EXPECT_TRUE(std::isnan(fQuantile95(0)));
}

TEST(SwayMeasures, HandWorkedCases) {
    const double r2 = std::sqrt(2.0);
    // {name, path, {path length, range X, range Y, RMS X, RMS Y, mean distance, area,
    // semi-major, semi-minor, tilt}}. The square with its circle is worked in the report's files.
    const std::tuple<const char*, std::vector<PointD>, std::array<double, 10>> rows[] = {
        // Var = cov = 5/3, lambda1 = 10/3, lambda2 = 0: a line has no area.
        {"diagonal line",
         {{0, 0}, {1, 1}, {2, 2}, {3, 3}},
         {3 * r2, 3, 3, std::sqrt(1.25), std::sqrt(1.25), r2, 0, std::sqrt(237.5), 0, 45}},
        {"vertical line",
         {{1, 0}, {1, 1}, {1, 3}},
         {3, 0, 3, 0, std::sqrt(14.0 / 9), 10.0 / 9, 0, std::sqrt(1064 * 7.0 / 3), 0, 90}},
        {"one position", std::vector<PointD>(5, {5, -3}), {}},
        // n = 3: F = 199.5, k = 1064; S = [1/3 -1/6; -1/6 1/3], eigenvalues 1/2 along (1, -1)
        // and 1/6; det 1/12.
        {"smallest n",
         {{0, 0}, {1, 0}, {0, 1}},
         {1 + r2, 1, 1, r2 / 3, r2 / 3, (r2 + 2 * std::sqrt(5.0)) / 9, kPi * 1064 / std::sqrt(12.0),
          std::sqrt(532.0), std::sqrt(1064 / 6.0), -45}},
    };
    for (const auto& [name, path, e] : rows) {
        SCOPED_TRACE(name);
        const auto m = swayMeasures(path, kNaN);
        ASSERT_TRUE(m);
        EXPECT_EQ(m->n, static_cast<int>(path.size()));
        const PredictionEllipse& el = m->ellipse;
        const std::array<double, 10> got{m->pathLength, m->rangeX,       m->rangeY, m->rmsX,
                                         m->rmsY,       m->meanDistance, el.area,   el.semiMajor,
                                         el.semiMinor,  el.tiltDegrees};
        for (std::size_t i = 0; i < e.size(); ++i)
            EXPECT_NEAR(got[i], e[i], 1e-9) << "column " << i;
        EXPECT_FALSE(m->duration || m->meanVelocity);
    }
    // Velocity needs a duration (the timing tests below); measures need 3 finite positions.
    EXPECT_FALSE(swayMeasures(std::vector<PointD>{{0, 0}, {3, 4}, {3, 0}}, 0.0)->duration);
    EXPECT_FALSE(swayMeasures(std::vector<PointD>{{0, 0}, {1, 1}}, 1.0));
    EXPECT_FALSE(swayMeasures(std::vector<PointD>{{0, 0}, {1, kNaN}, {2, 2}}, 1.0));
}

TEST(SwayMeasures, StraightPathsDespiteRounding) {
    // Collinear in exact arithmetic, not in binary fractions: no sliver of area (or NaN from a
    // negative eigenvalue), and a vertical sway at other offsets and scales reads 90: the
    // rounding of (c + y) s - y s once made it +-89.9999999999, half of which print as -90.
    for (const double slope : {0.1, 1.0 / 3, 3.0, -7.3, 1e-9}) {
        std::vector<PointD> path;
        for (int i = 0; i < 50; ++i)
            path.push_back({0.1 * i + 1e3, slope * 0.1 * i - 2e3});
        const auto e = predictionEllipse(path);
        ASSERT_TRUE(e);
        EXPECT_EQ(std::pair(e->area, e->semiMinor), std::pair(0.0, 0.0)) << slope;
        EXPECT_NEAR(e->tiltDegrees, std::atan(slope) * 180 / kPi, 1e-6) << slope;
    }
    std::mt19937 rng(20240917);
    std::uniform_real_distribution<double> uniform(-5, 5);
    for (int trial = 0; trial < 300; ++trial) {
        const double c = 37 * uniform(rng), s = 0.1 + 0.13 * (trial % 7);
        std::vector<PointD> path;
        for (int i = 0; i < 3 + trial % 20; ++i) {
            const double y = uniform(rng);
            path.push_back({(c + y) * s - y * s, y * s});
        }
        ASSERT_EQ(predictionEllipse(path)->tiltDegrees, 90.0) << trial;
    }
}

TEST(SwayMeasures, PrintedTiltNeverReadsMinusNinety) {
    // {tilt, decimals, printed as}: what would print as -90 reads 90; the rest is kept.
    const std::tuple<double, int, double> rows[] = {
        {-89.96, 1, 90},  {-89.94, 1, -89.94}, {-89.99996, 4, 90}, {-89.99994, 4, -89.99994},
        {-89.6, 0, 90},   {-89.4, 0, -89.4},   {90, 1, 90},        {-12.34, 1, -12.34},
        {89.99, 1, 89.99}};
    for (const auto& [tilt, decimals, printed] : rows)
        EXPECT_EQ(printedTilt(tilt, decimals), printed) << tilt << " " << decimals;
}

TEST(FrequencyMeasures, SwayOfKnownShape) {
    // 300 positions at 30 Hz. Prieto's mean frequency of a sine of frequency f along a line is f:
    // path 4 A f T, mean distance 2 A / pi. Its distance from the mean, A |sin|, repeats at 2 f
    // with variance A^2 (1/2 - 4 / pi^2). Round a circle the distance stays R: no power, and the
    // mean frequency is the turn rate. {what, direction of the sine (NaN: a circle of radius 2
    // at 0.2 turns a second), mean frequency, F50, total power}
    const double a = 3, f = 0.5, sineVariance = a * a * (0.5 - 4 / (kPi * kPi));
    const std::tuple<const char*, double, double, double, double> rows[] = {
        {"sine along X", 0, f, 2 * f, sineVariance},
        {"sine at 30 degrees", kPi / 6, f, 2 * f, sineVariance},
        {"circle, two turns", kNaN, 0.2, kNaN, kNaN}};
    for (const auto& [what, direction, meanFrequency, f50, power] : rows) {
        SCOPED_TRACE(what);
        std::vector<PointD> path;
        std::vector<double> times;
        for (int i = 0; i < 300; ++i) {
            const double t = i / 30.0, s = a * std::sin(2 * kPi * f * t + 1), turn = 0.4 * kPi * t;
            times.push_back(t);
            // Away from the origin: the distance is from the mean.
            path.push_back(std::isnan(direction)
                               ? PointD{5 + 2 * std::cos(turn), 2 * std::sin(turn) - 2}
                               : PointD{5 + s * std::cos(direction), s * std::sin(direction) - 2});
        }
        const auto m = frequencyMeasures(path, times, *swayMeasures(path, times.back()));
        ASSERT_TRUE(m && m->meanFrequency);
        EXPECT_EQ(m->duration, 299 / 30.0);
        // Measured: 0.1 % off, from the sampling of one sine period in 60 positions.
        EXPECT_NEAR(*m->meanFrequency / meanFrequency, 1, 0.0015);
        ASSERT_EQ(m->spectrum.has_value(), !std::isnan(f50));
        if (m->spectrum) {
            EXPECT_LE(std::abs(m->spectrum->f50 - f50), m->spectrum->binWidth);
            EXPECT_NEAR(m->spectrum->totalPower / power, 1, 0.01); // measured: 0.8 %
        }
    }
}

TEST(FrequencyMeasures, OnlyWithTimes) {
    std::vector<PointD> path;
    std::vector<double> times;
    for (int i = 0; i < 20; ++i) {
        path.push_back({std::sin(i * 0.7), std::cos(i * 1.3)});
        times.push_back(i * 0.1);
    }
    const SwayMeasures measures = *swayMeasures(path, 1.9);
    EXPECT_TRUE(frequencyMeasures(path, times, measures)->spectrum);
    // Photos 0.1 s apart with some skipped: resampled, so the spectrum stays.
    for (int i = 12; i < 20; ++i)
        times[i] += 0.3;
    EXPECT_TRUE(frequencyMeasures(path, times, measures)->spectrum);
    // 15 positions are too few for a spectrum; the mean frequency needs none.
    const auto fifteen =
        frequencyMeasures(std::span(path).first(15), std::span(times).first(15), measures);
    EXPECT_TRUE(fifteen && fifteen->meanFrequency && !fifteen->spectrum);
    times[5] = times[4]; // two photos at one time: no grid to resample onto
    EXPECT_FALSE(frequencyMeasures(path, times, measures)->spectrum);
    times[5] = kNaN;
    EXPECT_FALSE(frequencyMeasures(path, times, measures));
    EXPECT_FALSE(frequencyMeasures(path, std::vector<double>(20, 1.0), measures));
}

// A grey picture, `gradient` levels brighter per 10 pixels to the right, with white discs.
QImage scene(int width, int height, double grey, const std::vector<Disc>& discs,
             double gradient = 0) {
    std::mt19937 unused;
    const auto background = [=](int, int x, int) { return grey + gradient * x / 10; };
    return renderScene(width, height, background, discs, 0, unused);
}

// A grey picture with hand-set pixels: {x, y, grey or 0xRRGGBB} rectangles, later ones on top.
struct Paint {
    int left, top, right, bottom;
    QRgb colour;
};
QImage painted(int width, int height, QRgb background, std::initializer_list<Paint> paints) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(background);
    for (const Paint& p : paints)
        for (int y = p.top; y <= p.bottom; ++y)
            for (int x = p.left; x <= p.right; ++x)
                image.setPixel(x, y, p.colour);
    return image;
}
QRgb grey(int v) {
    return qRgb(v, v, v);
}

// Where the weights of the visible part of a disc put its centre: the coverage-weighted mean
// over the pixels of the picture.
PointD visibleCentre(int width, int height, const Disc& d) {
    double sw = 0, sx = 0, sy = 0;
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i) {
            const double c = discCoverage(i, j, d.x, d.y, d.r);
            std::tie(sw, sx, sy) = std::tuple(sw + c, sx + c * i, sy + c * j);
        }
    return {sx / sw, sy / sw};
}

TEST(SubPixelCentre, FindsTheMarkerConnectedToTheSeedsInsideTheRegion) {
    const auto disc = [](double x, double y, double r, double gradient = 0) {
        return scene(41, 41, 60, {{x, y, r, 255}}, gradient);
    };
    // A second marker in the window, not touching the first, and a stray bright pixel in the ring.
    QImage two = scene(60, 41, 80, {{20, 20, 4, 255}, {34.4, 22, 4, 255}});
    two.setPixel(26, 20, qRgb(255, 255, 255));
    // A white square 10..14 with column 15 half covered, on a bright grey: 765 against a ring of
    // 741 is a contrast of exactly 24, weighted: x = (25 x 12 + 5 x 0.5 x 15) / 27.5.
    const auto halfColumn = [](QRgb background) {
        return painted(30, 30, background,
                       {{10, 10, 14, 14, grey(255)}, {15, 10, 15, 14, grey(251)}});
    };
    const QImage square = painted(30, 30, grey(60), {{8, 8, 16, 16, grey(255)}});
    const QImage shadow =
        painted(30, 30, grey(60), {{10, 10, 14, 14, grey(255)}, {9, 10, 9, 14, grey(0)}});
    // Three marker pixels in the top left corner, the next 300 / 585 covered: a ring of 7, not
    // flat (two pixels at 62), is too small for a plane: the median, 180.
    const QImage corner = painted(12, 12, grey(60),
                                  {{0, 0, 2, 0, grey(255)},
                                   {3, 0, 3, 0, grey(160)},
                                   {4, 1, 4, 1, grey(62)},
                                   {0, 2, 0, 2, grey(62)}});
    const double w7 = 300.0 / 585;
    // Four there on grey 80 - 3x: a ring of 8 is enough for the plane, 240 - 9x, which leaves
    // (4, 0) at 480 a weight of 276 / 561 and the pixels below none.
    QImage sloped(12, 12, QImage::Format_RGB32);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x)
            sloped.setPixel(x, y, grey(y > 0 || x > 4 ? 80 - 3 * x : x == 4 ? 160 : 255));
    const double w8 = 276.0 / 561;
    // Part of a disc in the corner of a picture whose background rises along the diagonal.
    const Disc cut{1.3, 2.2, 4.6, 255}, edge{1, 39.5, 6, 255};
    std::mt19937 unused;
    const QImage diagonal = renderScene(
        30, 30, [](int, int x, int y) { return 40 + 6.0 * x + 3.0 * y; }, std::vector{cut}, 0,
        unused);
    struct Row {
        const char* what;
        QImage picture;
        std::vector<PixelSeed> seeds;
        std::optional<PointD> centre; // nothing: no centre
        double tolerance = 0.01;
        PixelRect region = {0, 0, 40, 40};
        MarkerBounds bounds = markerBounds(0, 40); // channels 215 .. 255
    };
    const PixelRect all{0, 0, 40, 40};
    const MarkerBounds white = markerBounds(0, 0);
    constexpr double exact = 1e-9;
    const Row rows[] = {
        {"small", disc(19.8, 20.2, 2.5), {{20, 20}}, PointD{19.8, 20.2}},
        // A plain median of the ring would pull the centre up the slope by about 0.05 px.
        {"on a slope", disc(20.37, 20.18, 6, 15), {{20, 20}}, PointD{20.37, 20.18}},
        {"beside another marker", two, {{20, 20}}, PointD{20, 20}},
        {"a seed that fails starts nothing", two, {{5, 5}, {34, 22}}, PointD{34.4, 22}},
        {"no seed passes", two, {{5, 5}, {-3, 2}, {1000, 20}}, {}},
        {"seeds outside the region", two, {{20, 20}}, {}, 0, {30, 0, 40, 40}},
        {"contrast 24",
         halfColumn(grey(247)),
         {{12, 12}},
         PointD{337.5 / 27.5, 12},
         exact,
         all,
         white},
        // Without a ring, or without contrast to it: the plain mean of the marker pixels.
        {"contrast 23", halfColumn(qRgb(248, 247, 247)), {{12, 12}}, PointD{12, 12}, 0, all, white},
        {"all white", scene(30, 20, 255, {}), {{10, 10}}, PointD{14.5, 9.5}, 0, {-99, -99, 99, 99}},
        {"no contrast", scene(60, 60, 230, {}), {{10, 10}}, PointD{10, 15}, 0, {0, 0, 20, 30}},
        // Weighed: the marker inside the region and its (white) neighbours just outside.
        {"region cuts left, top", square, {{14, 14}}, PointD{13.5, 13.5}, exact, {12, 12, 29, 29}},
        {"cuts right, bottom", square, {{10, 10}}, PointD{10.5, 10.5}, exact, {0, 0, 12, 12}},
        {"a darker neighbour is no negative coverage", shadow, {{12, 12}}, PointD{12, 12}, exact},
        {"ring of 7", corner, {{0, 0}}, PointD{(3 + 3 * w7) / (3 + w7), 0}, exact},
        {"ring of 8, sloped", sloped, {{0, 0}}, PointD{(6 + 4 * w8) / (4 + w8), 0}, exact},
        // An asymmetric ring: a wrong sign in the plane's cross terms shows.
        {"cut by the corner, diagonal slope", diagonal, {{1, 2}}, visibleCentre(30, 30, cut), 1e-3},
        {"cut by the edge",
         scene(41, 41, 70, {edge}),
         {{0, 40}},
         visibleCentre(41, 41, edge),
         1e-3}};
    for (const Row& row : rows) {
        const auto c =
            subPixelCentre(pixelsOf<ArgbPicture>(row.picture), row.bounds, row.seeds, row.region);
        ASSERT_EQ(c.has_value(), row.centre.has_value()) << row.what;
        const PointD got = c.value_or(PointD{}), expected = row.centre.value_or(PointD{});
        EXPECT_NEAR(got.x, expected.x, row.tolerance) << row.what;
        EXPECT_NEAR(got.y, expected.y, row.tolerance) << row.what;
    }
    EXPECT_FALSE(subPixelCentre(ArgbPicture{}, markerBounds(0, 40), rows[0].seeds, rows[0].region));
}

TEST(SwayRecording, PlacedPointsFillEntryZeroAndTrackedPhotosAppend) {
    AnalysisState state;
    state.darknessTolerance = 40;
    state.frameCount = 12;
    SwayRecord sway;
    const QImage image = scene(200, 100, 70, {{40.25, 50.5, 5, 255}, {120.75, 30, 5, 255}});
    const ArgbPicture photo = pixelsOf<ArgbPicture>(image);
    const auto track = [&](double seconds, int32_t sequence) {
        recordTrackedFrame(sway, state, photo, trackedFrom(state), seconds, sequence);
    };
    // What a marker press does: the search's stored point, then the recording.
    const auto place = [&](int16_t x, int16_t y, double clickX, double clickY, int32_t sequence) {
        const int k = ++state.pointCount;
        std::tie(state.pointX[k], state.pointY[k]) = std::pair(x, y);
        recordPlacedPoint(sway, state, photo, k, clickX, clickY, kNaN, sequence);
    };
    track(kNaN, 6); // nothing is tracked before entry 0
    EXPECT_TRUE(sway.entries.empty());
    place(40, 50, 41.6, 49.2, 7);
    place(160, 80, 160.2, 80.4, 8); // no marker there: the stored whole-pixel point
    ASSERT_EQ(sway.entries.size(), 1u);
    EXPECT_EQ(sway.seriesStart, 12);
    const SwayEntry first = sway.entries[0];
    EXPECT_NEAR(first.x[1], 40.25, 0.01);
    EXPECT_NEAR(first.y[1], 50.5, 0.01);
    EXPECT_EQ(std::pair(first.x[2], first.y[2]), std::pair(160.0, 80.0));
    EXPECT_TRUE(std::isnan(first.x[3]) && std::isnan(first.seconds));
    EXPECT_EQ(first.sequence, 7);

    state.pointX[1] = 41; // the tracking moved the whole-pixel point; the centre stays the same
    track(1.5, 9);
    ASSERT_EQ(sway.entries.size(), 2u);
    // The same method for both: the same photo gives the same centre, no jump at the first step.
    EXPECT_EQ(std::pair(sway.entries[1].x[1], sway.entries[1].y[1]),
              std::pair(first.x[1], first.y[1]));
    EXPECT_EQ(std::pair(sway.entries[1].seconds, sway.entries[1].sequence), std::pair(1.5, 9));
    // A point placed after the last entry joins that entry, which keeps its photo's number, and
    // is followed from then on. A half-pixel click's seeds are rounded like the search's.
    place(120, 30, 120.5, 29.5, 3);
    EXPECT_EQ(sway.entries[1].sequence, 9);
    EXPECT_NEAR(sway.entries[1].x[3], 120.75, 0.01);
    EXPECT_TRUE(std::isnan(sway.entries[0].x[3]));
    track(kNaN, SwayEntry::kNoSequence);
    EXPECT_NEAR(sway.entries[2].x[3], 120.75, 0.01);
    // Points past the seventh leave no trace. Points 4 to 7 have no centre in the last entry
    // (their presses were recorded nowhere): they are not followed. The capacity is kept.
    state.pointCount = 7;
    place(40, 50, 40, 50, 3);
    track(kNaN, SwayEntry::kNoSequence);
    EXPECT_TRUE(std::isnan(sway.entries[3].x[0]) && std::isnan(sway.entries[3].x[4]));
    EXPECT_NEAR(sway.entries[3].x[3], 120.75, 0.01);
    sway.entries.resize(SwayRecord::kMaxEntries);
    track(kNaN, SwayEntry::kNoSequence);
    EXPECT_EQ(sway.entries.size(), std::size_t(SwayRecord::kMaxEntries));
}

TEST(SwayTracking, SeedsAndWindowsAtTheirEdges) {
    AnalysisState white; // tolerances 0, 0: only pure white is marker
    // A white square 20..24 on grey 60. Clicks are rounded as the search rounds them, halves to
    // even, and the search starts at the click and the pixels above and left of it: at 25.5 the
    // click lands on 26, outside, but 24.5 -> 24 is inside; at 24.5 the click itself is.
    const QImage square = painted(60, 60, grey(60), {{20, 20, 24, 24, grey(255)}});
    const std::tuple<const char*, double, double, bool> clicks[] = {
        {"last column and row + 0.5", 24.5, 24.5, true},
        {"last column + 1.5", 25.5, 22, true},
        {"last row + 1.5", 22, 25.5, true},
        {"last column + 2.5", 26.5, 22, false},
        {"first column - 0.5", 19.5, 22, true}};
    for (const auto& [what, x, y, found] : clicks)
        EXPECT_EQ(clickedCentre(pixelsOf<ArgbPicture>(square), white, x, y),
                  found ? std::optional(PointD{22, 22}) : std::nullopt)
            << what;
    // Bars from 2 pixels before the old position (30, 30) to exactly 20 after it, right or down,
    // on a bright grey (contrast 15): the plain mean of the marker pixels, which the window cuts.
    const QImage right = painted(60, 60, grey(250), {{28, 29, 50, 31, grey(255)}});
    const QImage down = painted(60, 60, grey(250), {{29, 28, 31, 50, grey(255)}});
    const QImage rightFar = painted(60, 60, grey(250), {{28, 29, 55, 31, grey(255)}});
    // {what, picture, old position, centre}: the window reaches 20 pixels; the tracking's scans
    // start at the old position and the pixels left of it and above it.
    const std::tuple<const char*, QImage, std::pair<int, int>, PointD> tracked[] = {
        {"20 right", right, {30, 30}, {39, 30}},
        {"20 down", down, {30, 30}, {30, 39}},
        {"25 right, cut at 20", rightFar, {30, 30}, {39, 30}},
        {"from just right of it", square, {25, 22}, {22, 22}},
        {"from just below it", square, {22, 25}, {22, 22}}};
    for (const auto& [what, picture, from, centre] : tracked)
        EXPECT_EQ(trackedCentre(pixelsOf<ArgbPicture>(picture), white, from.first, from.second),
                  centre)
            << what;
}

TEST(SwayUnits, MillimetresOnlyOnceTheScaleIsConfirmed) {
    // {mmPerPoint, confirmed, millimetres}: 1000 mm over 100 pixels makes mmPerPoint equal the
    // pixel distance, still a scale; 250 is a pixel distance waiting for its confirmation.
    const std::tuple<float, bool, bool> rows[] = {
        {20, true, true},  {100, true, true},       {250, false, false}, {0, true, false},
        {-3, true, false}, {INFINITY, true, false}, {NAN, true, false}};
    for (const auto& [scale, confirmed, millimetres] : rows) {
        AnalysisState s;
        std::tie(s.mmPerPoint, s.refDistance) = std::pair(scale, 100.0f);
        SwayRecord sway;
        sway.scaleConfirmed = confirmed;
        const SwayUnits units = swayUnits(s, sway);
        EXPECT_EQ(units.millimetres, millimetres) << scale << " " << confirmed;
        EXPECT_DOUBLE_EQ(units.perPixel, millimetres ? scale / 10.0 : 1.0);
    }
}

TEST(SwayTrajectory, TimesFromTheSequenceNumbersOrTheVideoFrames) {
    constexpr int32_t none = SwayEntry::kNoSequence;
    SwayRecord sway;
    sway.entries.resize(4);
    for (std::size_t e = 1; e < 4; ++e) // point 3, placed on the second photo, moves 2 pixels
        std::tie(sway.entries[e].x[3], sway.entries[e].y[3]) = std::pair(50.0 + e, 5.0);
    EXPECT_EQ(swayTiming(sway), SwayTiming::Unknown);
    EXPECT_TRUE(std::isnan(pointTrajectory(sway, 3, SwayUnits{}).times[1]));
    EXPECT_FALSE(pointTrajectory(sway, 3, SwayUnits{}).frequency);
    sway.frameInterval = 0.25;
    // {sequence numbers, intervals from entry 0}
    const std::pair<std::array<int32_t, 4>, std::array<double, 4>> rows[] = {
        {{none, none, none, none}, {0, 1, 2, 3}},
        {{1, 2, 3, 5}, {0, 1, 2, 4}}, // photo 4 lost a marker; the next continuation took 5
        {{7, 8, 9, 10}, {0, 1, 2, 3}},
        {{1, 2, none, 5}, {0, 1, 2, 3}},
        {{3, 2, 4, 5}, {0, 1, 2, 3}},  // an earlier photo opened
        {{1, 2, 2, 3}, {0, 1, 2, 3}},  // the same photo twice
        {{0, 1, 2, 4}, {0, 1, 2, 4}}}; // photo 0 is a photo
    for (const auto& [sequence, steps] : rows) {
        for (std::size_t e = 0; e < 4; ++e)
            sway.entries[e].sequence = sequence[e];
        EXPECT_EQ(swayTiming(sway), SwayTiming::PhotoInterval);
        const std::vector<double> times = entryTimes(sway);
        for (std::size_t e = 0; e < 4; ++e)
            EXPECT_EQ(times[e], steps[e] * 0.25) << sequence[1] << " entry " << e;
        const PointTrajectory t = pointTrajectory(sway, 3, SwayUnits{});
        EXPECT_EQ(t.interval, 0.25);
        EXPECT_EQ(*t.measures->duration, (steps[3] - steps[1]) * 0.25) << sequence[1];
        EXPECT_DOUBLE_EQ(*t.measures->meanVelocity, 2 / *t.measures->duration) << sequence[1];
        EXPECT_EQ(t.frequency->duration, *t.measures->duration) << sequence[1];
    }
    // Frame times of a video win over a typed interval; their spacing may vary.
    const double seconds[] = {10.0, 10.04, 10.12, 10.16};
    for (std::size_t e = 0; e < 4; ++e)
        sway.entries[e].seconds = seconds[e];
    EXPECT_EQ(swayTiming(sway), SwayTiming::VideoTimestamps);
    const PointTrajectory t = pointTrajectory(sway, 3, SwayUnits{});
    EXPECT_NEAR(t.times[0], 0.04, 1e-12);
    EXPECT_NEAR(*t.measures->duration, 0.12, 1e-12);
    EXPECT_NEAR(t.interval, 0.06, 1e-12);
    // One entry without a time makes the timing fall back to the typed interval.
    sway.entries[2].seconds = kNaN;
    EXPECT_EQ(swayTiming(sway), SwayTiming::PhotoInterval);
    sway.entries.pop_back(); // three entries make a trajectory to report, two do not
    EXPECT_TRUE(swayReportAvailable(sway));
    sway.entries.pop_back();
    EXPECT_FALSE(swayReportAvailable(sway));
}

} // namespace
