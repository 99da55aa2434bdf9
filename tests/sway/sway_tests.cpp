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

// --- F quantile and prediction ellipse ------------------------------------------------------

TEST(FQuantile, MatchesTables) {
    // {m, F0.95(2, m)} from printed tables of the F distribution.
    const std::pair<int, double> rows[] = {
        {1, 199.5}, {2, 19.0}, {10, 4.103}, {30, 3.316}, {120, 3.072}};
    for (const auto& [m, f] : rows)
        EXPECT_NEAR(fQuantile95(m), f, 0.0005) << "m = " << m;
    EXPECT_TRUE(std::isnan(fQuantile95(0)));
}

TEST(FQuantile, InvertsTheDistributionFunction) {
    // For 2 numerator degrees of freedom P(F <= f) = 1 - (1 + 2 f / m)^(-m / 2).
    for (int m = 1; m <= 900; ++m) {
        const double f = fQuantile95(m);
        EXPECT_NEAR(1.0 - std::pow(1.0 + 2.0 * f / m, -m / 2.0), 0.95, 1e-12) << "m = " << m;
    }
}

TEST(SwayMeasures, HandWorkedCases) {
    const double r2 = std::sqrt(2.0);
    // {name, path, {path length, range X, range Y, RMS X, RMS Y, mean distance, area,
    // semi-major, semi-minor, tilt}}
    const std::tuple<const char*, std::vector<PointD>, std::array<double, 10>> rows[] = {
        // S = 4/3 I, F = 19, k = 71.25: area 95 pi = 298.4513, both semi-axes sqrt(95); a
        // circle has tilt 0.
        {"square",
         {{0, 0}, {2, 0}, {0, 2}, {2, 2}},
         {4 + 2 * r2, 2, 2, 1, 1, r2, 95 * kPi, std::sqrt(95.0), std::sqrt(95.0), 0}},
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
}

TEST(SwayMeasures, LinesLeaveNoAreaDespiteRounding) {
    // Collinear in exact arithmetic but not in binary fractions: the residue must not show up
    // as a sliver of area (or a NaN from a negative eigenvalue).
    for (const double slope : {0.1, 1.0 / 3, 3.0, -7.3, 1e-9}) {
        std::vector<PointD> path;
        for (int i = 0; i < 50; ++i)
            path.push_back({0.1 * i + 1e3, slope * 0.1 * i - 2e3});
        const auto m = swayMeasures(path, kNaN);
        ASSERT_TRUE(m);
        EXPECT_EQ(m->ellipse.area, 0.0) << slope;
        EXPECT_EQ(m->ellipse.semiMinor, 0.0) << slope;
        EXPECT_NEAR(m->ellipse.tiltDegrees, std::atan(slope) * 180 / kPi, 1e-6) << slope;
    }
}

TEST(SwayMeasures, EllipseAxesDiagonaliseTheCovarianceOnRandomPaths) {
    // Turning the positions by minus the tilt must leave them uncorrelated, the larger spread
    // along X, each semi-axis squared equal to k times the variance along it.
    std::mt19937 rng(42);
    std::normal_distribution<double> step(0.0, 1.0);
    std::uniform_int_distribution<int> length(3, 300);
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<PointD> path(static_cast<std::size_t>(length(rng)));
        const double stretch = std::exp(step(rng));
        for (PointD& p : path)
            p = {step(rng) * stretch + 0.4 * p.y, step(rng)};
        const auto e = predictionEllipse(path);
        ASSERT_TRUE(e);
        const double n = static_cast<double>(path.size());
        const double k = 2 * (n + 1) * (n - 1) / (n * (n - 2)) * fQuantile95(int(n) - 2);
        const double a = -e->tiltDegrees * kPi / 180;
        double su = 0, sv = 0, suv = 0;
        for (const PointD& p : path) {
            const double dx = p.x - e->centre.x, dy = p.y - e->centre.y;
            const double u = dx * std::cos(a) - dy * std::sin(a);
            const double v = dx * std::sin(a) + dy * std::cos(a);
            su += u * u;
            sv += v * v;
            suv += u * v;
        }
        su /= n - 1;
        sv /= n - 1;
        suv /= n - 1;
        EXPECT_NEAR(suv, 0.0, 1e-9 * (su + sv));
        EXPECT_GE(su, sv * (1 - 1e-12));
        EXPECT_NEAR(e->semiMajor * e->semiMajor, k * su, 1e-9 * k * su);
        EXPECT_NEAR(e->semiMinor * e->semiMinor, k * sv, 1e-9 * k * su);
        EXPECT_NEAR(e->area, kPi * e->semiMajor * e->semiMinor, 1e-9 * e->area);
    }
}

TEST(SwayMeasures, VelocityOnlyWithAKnownDuration) {
    const std::vector<PointD> path{{0, 0}, {3, 4}, {3, 0}};
    const auto timed = swayMeasures(path, 2.0);
    ASSERT_TRUE(timed && timed->meanVelocity);
    EXPECT_DOUBLE_EQ(*timed->duration, 2.0);
    EXPECT_DOUBLE_EQ(*timed->meanVelocity, 4.5);
    for (const double unknown : {0.0, -1.0, kNaN, std::numeric_limits<double>::infinity()})
        EXPECT_FALSE(swayMeasures(path, unknown)->meanVelocity) << unknown;
    EXPECT_FALSE(swayMeasures(std::vector<PointD>{{0, 0}, {1, 1}}, 1.0));
    EXPECT_FALSE(swayMeasures(std::vector<PointD>{{0, 0}, {1, kNaN}, {2, 2}}, 1.0));
}

// --- Sub-pixel centre ----------------------------------------------------------------------

// An in-memory picture, 0xAARRGGBB.
struct Picture {
    int width, height;
    std::vector<uint32_t> bits;
    Picture(int w, int h, int grey)
        : width(w), height(h), bits(std::size_t(w) * h, 0xFF000000u | grey * 0x010101u) {}
    void set(int x, int y, int grey) {
        bits[std::size_t(y) * width + x] = 0xFF000000u | grey * 0x010101u;
    }
    [[nodiscard]] int get(int x, int y) const { return bits[std::size_t(y) * width + x] & 0xFF; }
    [[nodiscard]] ArgbPicture view() const { return {bits.data(), width, height, width}; }
    // A disc with coverage-blended edges over whatever is below it.
    void disc(double cx, double cy, double r) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                set(x, y,
                    int(std::lround(get(x, y) +
                                    (255 - get(x, y)) * discCoverage(x, y, cx, cy, r))));
    }
};

const MarkerBounds kDefault = markerBounds(0, 40); // channels 215 .. 255
const PixelSeed kSeedAt20[] = {{20, 20}};
const PixelRect kWindowAt20{0, 0, 40, 40};

TEST(SubPixelCentre, FindsDiscsWhereverTheyLie) {
    // {what, picture setup, expected centre, tolerance}
    struct Row {
        const char* what;
        double cx, cy, r;
        int gradient; // grey levels per 10 pixels across the picture
    };
    const Row rows[] = {
        {"on a pixel centre", 20, 20, 5, 0},
        {"between pixels", 20.5, 19.5, 5, 0},
        {"off centre", 20.3, 20.71, 6.5, 0},
        {"small", 19.8, 20.2, 2.5, 0},
        // A plain median of the ring would pull the centre up the slope by about 0.05 px.
        {"on a steep gradient", 20.37, 20.18, 6, 15},
    };
    for (const Row& row : rows) {
        Picture p(41, 41, 0);
        for (int y = 0; y < 41; ++y)
            for (int x = 0; x < 41; ++x)
                p.set(x, y, 60 + row.gradient * x / 10);
        p.disc(row.cx, row.cy, row.r);
        const auto c = subPixelCentre(p.view(), kDefault, kSeedAt20, kWindowAt20);
        ASSERT_TRUE(c) << row.what;
        EXPECT_NEAR(c->x, row.cx, 0.01) << row.what;
        EXPECT_NEAR(c->y, row.cy, 0.01) << row.what;
    }
}

TEST(SubPixelCentre, OnlyTheMarkerConnectedToTheSeedsInsideTheRegionCounts) {
    Picture p(60, 41, 80);
    p.disc(20, 20, 4);
    p.disc(34.4, 22, 4); // a second marker inside the window, not touching the first
    p.set(26, 20, 255);  // and a stray bright pixel in the ring
    const auto c = subPixelCentre(p.view(), kDefault, kSeedAt20, kWindowAt20);
    ASSERT_TRUE(c);
    EXPECT_NEAR(c->x, 20, 0.01);
    EXPECT_NEAR(c->y, 20, 0.01);

    // A seed that fails the test starts nothing; the next one may.
    const PixelSeed seeds[] = {{5, 5}, {34, 22}};
    const auto second = subPixelCentre(p.view(), kDefault, seeds, kWindowAt20);
    ASSERT_TRUE(second);
    EXPECT_NEAR(second->x, 34.4, 0.01);
    EXPECT_NEAR(second->y, 22, 0.01);
    const PixelSeed nothing[] = {{5, 5}, {-3, 2}, {1000, 20}};
    EXPECT_FALSE(subPixelCentre(p.view(), kDefault, nothing, kWindowAt20));
    // Seeds outside the region are not used even where they would pass.
    EXPECT_FALSE(subPixelCentre(p.view(), kDefault, kSeedAt20, PixelRect{30, 0, 40, 40}));
}

TEST(SubPixelCentre, DegenerateSurroundingsGiveTheMeanOfTheMarkerPixels) {
    // All white: no ring inside the picture, the whole region is the marker.
    Picture white(30, 20, 255);
    const PixelSeed seed[] = {{10, 10}};
    auto c = subPixelCentre(white.view(), kDefault, seed, PixelRect{-100, -100, 100, 100});
    ASSERT_TRUE(c);
    EXPECT_DOUBLE_EQ(c->x, 14.5);
    EXPECT_DOUBLE_EQ(c->y, 9.5);
    // Every colour passes: the region is the marker and its ring has the same grey.
    Picture grey(60, 60, 100);
    c = subPixelCentre(grey.view(), markerBounds(0, 255), seed, PixelRect{0, 0, 20, 30});
    ASSERT_TRUE(c);
    EXPECT_DOUBLE_EQ(c->x, 10);
    EXPECT_DOUBLE_EQ(c->y, 15);
    // A marker cut by the picture's edge stays on the picture.
    Picture edge(41, 41, 70);
    edge.disc(1, 39.5, 6);
    const PixelSeed corner[] = {{0, 40}};
    c = subPixelCentre(edge.view(), kDefault, corner, kWindowAt20);
    ASSERT_TRUE(c);
    EXPECT_TRUE(c->x >= 0 && c->x < 5 && c->y > 36 && c->y <= 40);
    // No picture at all.
    EXPECT_FALSE(subPixelCentre(ArgbPicture{}, kDefault, seed, kWindowAt20));
}

// --- Recording the trajectory --------------------------------------------------------------

struct RecordFixture : ::testing::Test {
    AnalysisState state;
    SwayRecord sway;
    Picture photo{200, 100, 70};
    void SetUp() override {
        state.darknessTolerance = 40;
        photo.disc(40.25, 50.5, 5);
        photo.disc(120.75, 30, 5);
    }
    // What a marker press does: the search's stored point, then the recording.
    void place(int x, int y, double clickX, double clickY, int32_t sequence = 7) {
        ++state.pointCount;
        state.pointX[state.pointCount] = static_cast<int16_t>(x);
        state.pointY[state.pointCount] = static_cast<int16_t>(y);
        recordPlacedPoint(sway, state, photo.view(), state.pointCount, clickX, clickY, kNaN,
                          sequence);
    }
};

TEST_F(RecordFixture, PlacedPointsFillEntryZero) {
    state.frameCount = 12;
    place(40, 50, 41.6, 49.2);
    place(120, 30, 120.5, 29.5); // a half-pixel click: the seeds are rounded like the search's
    place(160, 80, 160.2, 80.4); // no marker there: the stored whole-pixel point
    ASSERT_EQ(sway.entries.size(), 1u);
    EXPECT_EQ(sway.seriesStart, 12);
    const SwayEntry& e = sway.entries[0];
    EXPECT_NEAR(e.x[1], 40.25, 0.01);
    EXPECT_NEAR(e.y[1], 50.5, 0.01);
    EXPECT_NEAR(e.x[2], 120.75, 0.01);
    EXPECT_NEAR(e.y[2], 30, 0.01);
    EXPECT_EQ(e.x[3], 160);
    EXPECT_EQ(e.y[3], 80);
    EXPECT_TRUE(std::isnan(e.x[4]));
    EXPECT_TRUE(std::isnan(e.seconds));
    EXPECT_EQ(e.sequence, 7);
    // Points past the seventh leave no trace.
    state.pointCount = 7;
    place(40, 50, 40, 50);
    EXPECT_TRUE(std::isnan(sway.entries[0].x[0]));
    EXPECT_EQ(sway.entries.size(), 1u);
}

TEST_F(RecordFixture, TrackedPhotosAppendOneEntryMeasuredLikeTheClick) {
    place(40, 50, 40, 50);
    const TrackedFrom before = trackedFrom(state);
    state.pointX[1] = 41; // the tracking moved the whole-pixel point; the centre stays the same
    recordTrackedFrame(sway, state, photo.view(), before, 1.5, 9);
    ASSERT_EQ(sway.entries.size(), 2u);
    // The same method for both: the same photo gives the same centre, no jump at the first step.
    EXPECT_EQ(sway.entries[1].x[1], sway.entries[0].x[1]);
    EXPECT_EQ(sway.entries[1].y[1], sway.entries[0].y[1]);
    EXPECT_EQ(sway.entries[1].seconds, 1.5);
    EXPECT_EQ(sway.entries[1].sequence, 9);

    // A point placed after the last entry joins that entry and is followed from then on; the
    // entry keeps its photo's number.
    place(120, 30, 121, 31, 3);
    EXPECT_EQ(sway.entries[1].sequence, 9);
    EXPECT_NEAR(sway.entries[1].x[2], 120.75, 0.01);
    EXPECT_TRUE(std::isnan(sway.entries[0].x[2]));
    recordTrackedFrame(sway, state, photo.view(), trackedFrom(state), kNaN, SwayEntry::kNoSequence);
    EXPECT_NEAR(sway.entries[2].x[2], 120.75, 0.01);

    // The capacity is kept.
    sway.entries.resize(SwayRecord::kMaxEntries);
    recordTrackedFrame(sway, state, photo.view(), trackedFrom(state), kNaN, SwayEntry::kNoSequence);
    EXPECT_EQ(sway.entries.size(), std::size_t(SwayRecord::kMaxEntries));
}

TEST_F(RecordFixture, NothingIsTrackedBeforeEntryZero) {
    state.pointCount = 1;
    state.pointX[1] = 40;
    state.pointY[1] = 50;
    recordTrackedFrame(sway, state, photo.view(), trackedFrom(state), kNaN, SwayEntry::kNoSequence);
    EXPECT_TRUE(sway.entries.empty());
}

// --- Units, times and trajectories ---------------------------------------------------------

TEST(SwayUnits, MillimetresOnlyOnceTheScaleIsConfirmed) {
    // {mmPerPoint, confirmed, millimetres}
    const std::tuple<float, bool, bool> rows[] = {
        {20, true, true},    // 500 mm over 250 pixels
        {100, true, true},   // 1000 mm over 100 pixels: the scale equals the pixel distance
        {250, false, false}, // a pixel distance waiting for its confirmation
        {0, true, false},    // not a scale
        {-3, true, false},
        {std::numeric_limits<float>::infinity(), true, false},
        {std::numeric_limits<float>::quiet_NaN(), true, false},
    };
    for (const auto& [scale, confirmed, millimetres] : rows) {
        AnalysisState s;
        s.mmPerPoint = scale;
        s.refDistance = 100;
        SwayRecord sway;
        sway.scaleConfirmed = confirmed;
        EXPECT_EQ(swayUnits(s, sway).millimetres, millimetres) << scale << " " << confirmed;
        EXPECT_DOUBLE_EQ(swayUnits(s, sway).perPixel, millimetres ? scale / 10.0 : 1.0);
    }
}

SwayRecord threeEntries() {
    SwayRecord sway;
    sway.entries.resize(4);
    const double x1[] = {10, 12, 11, 10}, y1[] = {20, 17, 20, 20};
    for (std::size_t e = 0; e < 4; ++e) {
        sway.entries[e].x[1] = x1[e];
        sway.entries[e].y[1] = y1[e];
    }
    // Point 3 placed on the second photo.
    for (std::size_t e = 1; e < 4; ++e) {
        sway.entries[e].x[3] = 50.0 + double(e);
        sway.entries[e].y[3] = 5.0;
    }
    return sway;
}

TEST(SwayTrajectory, RelativeToTheFirstCentreWithYUpward) {
    const SwayRecord sway = threeEntries();
    const auto all = swayTrajectories(sway, SwayUnits{true, 0.5});
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].point, 1);
    EXPECT_EQ(all[0].positions, (std::vector<PointD>{{0, 0}, {1, 1.5}, {0.5, 0}, {0, 0}}));
    EXPECT_EQ(all[1].point, 3);
    EXPECT_EQ(all[1].entries, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(all[1].positions, (std::vector<PointD>{{0, 0}, {0.5, 0}, {1, 0}}));
    ASSERT_TRUE(all[1].measures);
    EXPECT_DOUBLE_EQ(all[1].measures->pathLength, 1.0);
    EXPECT_FALSE(all[1].measures->meanVelocity);
    EXPECT_TRUE(std::isnan(all[0].interval));
    EXPECT_TRUE(std::isnan(all[0].times[2]));
}

TEST(SwayTrajectory, TimesFromTheTypedIntervalOrTheVideoFrames) {
    SwayRecord sway = threeEntries();
    EXPECT_EQ(swayTiming(sway), SwayTiming::Unknown);
    EXPECT_FALSE(swayReportAvailable(SwayRecord{}));
    EXPECT_TRUE(swayReportAvailable(sway));

    sway.frameInterval = 0.25;
    EXPECT_EQ(swayTiming(sway), SwayTiming::PhotoInterval);
    auto t = pointTrajectory(sway, 3, SwayUnits{});
    EXPECT_EQ(t.times, (std::vector<double>{0.25, 0.5, 0.75}));
    EXPECT_EQ(t.interval, 0.25);
    EXPECT_DOUBLE_EQ(*t.measures->duration, 0.5);
    EXPECT_DOUBLE_EQ(*t.measures->meanVelocity, 4.0); // two one-pixel steps in half a second

    // Frame times of a video win over a typed interval; their spacing may vary.
    const double seconds[] = {10.0, 10.04, 10.12, 10.16};
    for (std::size_t e = 0; e < 4; ++e)
        sway.entries[e].seconds = seconds[e];
    EXPECT_EQ(swayTiming(sway), SwayTiming::VideoTimestamps);
    t = pointTrajectory(sway, 3, SwayUnits{});
    EXPECT_NEAR(t.times[0], 0.04, 1e-12);
    EXPECT_NEAR(*t.measures->duration, 0.12, 1e-12);
    EXPECT_NEAR(t.interval, 0.06, 1e-12);
    // One entry without a time makes the timing fall back to the typed interval.
    sway.entries[2].seconds = kNaN;
    EXPECT_EQ(swayTiming(sway), SwayTiming::PhotoInterval);
}

TEST(SwayTrajectory, PhotoTimesFollowTheSequenceNumbers) {
    constexpr int32_t none = SwayEntry::kNoSequence;
    struct Row {
        const char* name;
        std::array<int32_t, 4> sequence;
        std::array<double, 4> times;
    };
    const Row rows[] = {
        // Photo 4 lost a marker; the next continuation went on with photo 5.
        {"gap", {1, 2, 3, 5}, {0, 0.1, 0.2, 0.4}},
        {"consecutive", {7, 8, 9, 10}, {0, 0.1, 0.2, 0.3}},
        {"a number missing", {1, 2, none, 5}, {0, 0.1, 0.2, 0.3}},
        {"an earlier photo opened", {3, 2, 4, 5}, {0, 0.1, 0.2, 0.3}},
    };
    for (const Row& row : rows) {
        SwayRecord sway;
        sway.frameInterval = 0.1;
        sway.entries.resize(4);
        const double x[] = {10, 11, 11, 12};
        for (std::size_t e = 0; e < 4; ++e) {
            sway.entries[e].x[1] = x[e];
            sway.entries[e].y[1] = 20;
            sway.entries[e].sequence = row.sequence[e];
        }
        const std::vector<double> times = entryTimes(sway);
        for (std::size_t e = 0; e < 4; ++e)
            EXPECT_NEAR(times[e], row.times[e], 1e-12) << row.name << " entry " << e;
        const PointTrajectory t = pointTrajectory(sway, 1, SwayUnits{});
        EXPECT_EQ(t.interval, 0.1) << row.name;
        EXPECT_NEAR(*t.measures->duration, row.times[3], 1e-12) << row.name;
        // A path of 2 pixels.
        EXPECT_NEAR(*t.measures->meanVelocity, 2 / row.times[3], 1e-9) << row.name;
    }
}

} // namespace
