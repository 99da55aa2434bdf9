// SPDX-License-Identifier: GPL-3.0-or-later
// Centres measured on the source picture at its own size beside a display picture four times
// smaller: where they are found, where they fall back to the display centre scaled up, and how
// a video larger than the display is followed.
#include "marker_scene.h"
#include "source_marker.h"
#include "sway_tracking.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <cstdio>

namespace {

constexpr int kScale = 4;
constexpr int kSourceWidth = 640, kSourceHeight = 480;
const SourceScale kSourceScale{kSourceWidth, kSourceHeight, kSourceWidth / kScale,
                               kSourceHeight / kScale};

struct Scene {
    QImage source;
    QImage display;
};

// Discs of radius 6 on a textured room at source size, an optional white block, and the display
// picture scaled down from it.
Scene scene(const std::vector<Disc>& discs, QRect white = {}, unsigned seed = 7) {
    std::mt19937 rng(seed);
    const Texture texture(rng);
    Scene s;
    s.source = renderScene(kSourceWidth, kSourceHeight, texture, discs, 2.0, rng);
    if (!white.isNull())
        QPainter(&s.source).fillRect(white, Qt::white);
    s.display = s.source.scaled(kSourceWidth / kScale, kSourceHeight / kScale,
                                Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return s;
}

struct Measuring {
    explicit Measuring(const Scene& s)
        : source(pixelsOf<ArgbPicture>(s.source)),
          pictures(pixelsOf<ArgbPicture>(s.display), &source, kSourceScale) {
        state.darknessTolerance = 40;
    }
    PictureSourceFrame source;
    SwayPictures pictures;
    AnalysisState state;
    SwayRecord sway;

    // A marker press at the display pixel nearest the source position (x, y).
    void place(double x, double y) {
        const double dx = kSourceScale.toDisplayX(x), dy = kSourceScale.toDisplayY(y);
        ++state.pointCount;
        state.pointX[state.pointCount] = int16_t(std::lround(dx));
        state.pointY[state.pointCount] = int16_t(std::lround(dy));
        recordPlacedPoint(sway, state, pictures, state.pointCount, std::round(dx), std::round(dy),
                          SwayEntry::kNone, SwayEntry::kNoSequence);
    }
};

bool fellBack(const SwayEntry& e, int k) {
    return (e.fellBack >> k) & 1u;
}

TEST(SourceResolution, PlacedCentreAtSourceOrTheDisplayCentreScaledUp) {
    // {what, disc, white block beside it, with the source picture, falls back}
    const Disc alone{300.3, 200.7, 6.0};
    const std::tuple<const char*, Disc, QRect, bool, bool> rows[] = {
        {"alone", alone, {}, true, false},
        {"touching a white stripe", alone, QRect(306, 190, 60, 25), true, true},
        {"cut by the picture's left edge", {2.6, 200.4, 6.0}, {}, true, true},
        {"cut by the bottom edge", {300.5, 477.2, 6.0}, {}, true, true},
        {"without the source: the display as it is", alone, {}, false, false}};
    for (const auto& [what, disc, white, atSource, expectFallback] : rows) {
        SCOPED_TRACE(what);
        const Scene s = scene({disc}, white);
        Measuring m(s);
        if (!atSource)
            m.pictures = SwayPictures(m.pictures.display);
        m.place(disc.x, disc.y);
        ASSERT_EQ(m.sway.entries.size(), 1u);
        const SourceScale scale = atSource ? kSourceScale : SourceScale::same(160, 120);
        EXPECT_EQ(m.sway.scale, scale);
        const SwayEntry& e = m.sway.entries[0];
        EXPECT_EQ(fellBack(e, 1), expectFallback);
        if (expectFallback || !atSource) { // exactly the display-size centre, scaled up
            const auto display =
                clickedCentre(m.pictures.display, m.state, m.state.pointX[1], m.state.pointY[1]);
            ASSERT_TRUE(display);
            EXPECT_DOUBLE_EQ(e.x[1], scale.toSourceX(display->x));
            EXPECT_DOUBLE_EQ(e.y[1], scale.toSourceY(display->y));
        } else {
            EXPECT_NEAR(e.x[1], disc.x, 0.03);
            EXPECT_NEAR(e.y[1], disc.y, 0.03);
        }
    }
}

TEST(SourceResolution, VideoFollowedAtSourceWithinTheScaledReach) {
    // The reach is 20 display pixels, 80 source pixels: a marker whose nearest pixel lies within
    // it is followed, one farther is lost. {move of the centre in x, found}
    const std::pair<double, bool> rows[] = {{0.4, true},   {40.2, true},  {83.5, true},
                                            {-83.5, true}, {88.5, false}, {-88.5, false}};
    for (const auto& [move, found] : rows) {
        SCOPED_TRACE(move);
        const Disc first{300.3, 200.7, 6.0};
        const Scene start = scene({first}); // the views into it must outlive `m`
        Measuring m(start);
        m.place(first.x, first.y);
        const Disc moved{first.x + move, first.y - 0.6, 6.0};
        const Scene next = scene({moved}, {}, 8);
        PictureSourceFrame source(pixelsOf<ArgbPicture>(next.source));
        const SwayPictures pictures(pixelsOf<ArgbPicture>(next.display), &source, kSourceScale);
        const SourceTrack track = trackAtSource(m.state, m.sway, pictures);
        EXPECT_EQ(track.lostPoint, found ? 0 : 1);
        if (!found)
            continue;
        EXPECT_NEAR(track.centres[1].x, moved.x, 0.03);
        EXPECT_NEAR(track.centres[1].y, moved.y, 0.03);
        EXPECT_FALSE(track.fellBack[1]);
        // The classic point goes to the display pixel that holds the centre.
        const auto pixel = displayPixelOf(track.centres[1], kSourceScale);
        EXPECT_EQ(pixel[0], std::lround((moved.x + 0.5) / kScale - 0.5));
        recordSourceTrack(m.sway, m.state, pictures, track, 0.1, SwayEntry::kNoSequence);
        ASSERT_EQ(m.sway.entries.size(), 2u);
        EXPECT_EQ(m.sway.entries[1].x[1], track.centres[1].x);
    }
}

TEST(SourceResolution, NearestMarkerPixelAndWidenedWindow) {
    // A marker of radius 30 is wider than the first window of reach 20: the window widens to
    // twice the reach and the centre is the whole marker's. Of two markers, the nearer wins.
    const Scene big = scene({{320.0, 240.0, 30.0}, {380.0, 240.0, 6.0}});
    PictureSourceFrame frame(pixelsOf<ArgbPicture>(big.source));
    const MarkerBounds bounds = markerBounds(0, 40);
    SourceMarker m = followSourceMarker(frame, bounds, {330.0, 240.0}, 20);
    EXPECT_EQ(m.status, SourceMarker::Status::Found);
    EXPECT_NEAR(m.centre.x, 320.0, 0.05);
    m = followSourceMarker(frame, bounds, {372.0, 240.0}, 20);
    EXPECT_NEAR(m.centre.x, 380.0, 0.05);
    // Wider than twice the reach: clipped by the window.
    EXPECT_EQ(followSourceMarker(frame, bounds, {320.0, 240.0}, 12).status,
              SourceMarker::Status::Clipped);
    EXPECT_EQ(followSourceMarker(frame, bounds, {200.0, 100.0}, 20).status,
              SourceMarker::Status::NotFound);
}

} // namespace
