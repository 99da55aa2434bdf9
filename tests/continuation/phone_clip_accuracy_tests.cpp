// SPDX-License-Identifier: GPL-3.0-or-later
// A phone recording measured at its own resolution (fixed seed; prints its figures): a portrait
// 1080 x 1920 H.264 clip at 60 frames a second, stored on its side with rotation metadata, seven
// anti-aliased markers 12 pixels across swaying on known sub-pixel paths over a textured
// background. The trajectory measured on the decoded frames is compared with the true paths,
// beside the centres the display picture (270 x 480) would give.
#include "analysis_file.h"
#include "continuation.h"
#include "file_bytes.h"
#include "marker_scene.h"
#include "press.h"
#include "sample_video.h"
#include "sway_csv.h"
#include "sway_report.h"
#include "sway_tracking.h"
#include "sway_trajectory.h"
#include "video_clips.h"
#include "video_info.h"
#include "video_source.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstdio>
#include <numbers>

namespace {

constexpr int kWidth = 1080, kHeight = 1920; // upright
constexpr int kRate = 60;
constexpr double kRadius = 6.0;

// Marker k's true centre in upright pixels at time t: a figure's landmarks, each on a sway of
// its own (a few pixels, a few tenths of a hertz).
PointD truth(int k, double t) {
    static const PointD base[7] = {{540.3, 300.6},  {700.2, 620.4},  {380.7, 620.1},
                                   {660.5, 1040.8}, {420.1, 1040.3}, {640.6, 1500.2},
                                   {440.4, 1500.7}};
    const double a = 6.0 + k, f = 0.21 + 0.05 * k, phase = 0.7 * k;
    return {base[k].x + a * std::sin(2 * std::numbers::pi * f * t + phase),
            base[k].y + 0.6 * a * std::sin(2 * std::numbers::pi * (f * 1.37) * t + 2 * phase)};
}

// One frame as stored: the upright picture turned a quarter counter-clockwise (the player turns
// it back). Upright (x, y) is stored at (y, kWidth - 1 - x).
QImage storedFrame(const QImage& background, double t) {
    QImage frame = background.copy();
    for (int k = 0; k < 7; ++k) {
        const PointD c = truth(k, t);
        const double sx = c.y, sy = kWidth - 1 - c.x;
        for (int j = int(sy) - 9; j <= int(sy) + 9; ++j) {
            auto* row = reinterpret_cast<QRgb*>(frame.scanLine(j));
            for (int i = int(sx) - 9; i <= int(sx) + 9; ++i) {
                const double cover = discCoverage(i, j, sx, sy, kRadius);
                if (cover <= 0)
                    continue;
                const QRgb under = row[i];
                const auto blend = [cover](int v) {
                    return int(std::lround(v + (250 - v) * cover));
                };
                row[i] = qRgb(blend(qRed(under)), blend(qGreen(under)), blend(qBlue(under)));
            }
        }
    }
    return frame;
}

QImage texturedBackground() {
    std::mt19937 rng(18);
    const Texture texture(rng);
    std::normal_distribution<double> noise(0.0, 2.0);
    QImage image(kHeight, kWidth, QImage::Format_RGB32); // stored: on its side
    for (int j = 0; j < image.height(); ++j) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(j));
        for (int i = 0; i < image.width(); ++i) {
            int c[3];
            for (int ch = 0; ch < 3; ++ch)
                c[ch] = std::clamp(int(std::lround(texture(ch, i, j) + noise(rng))), 0, 255);
            row[i] = qRgb(c[0], c[1], c[2]);
        }
    }
    return image;
}

void writePhoneClip(const QString& path, int frames) {
    VideoWriteOptions options;
    options.width = kHeight;
    options.height = kWidth;
    options.timeBaseDen = options.framesPerSecond = kRate;
    options.rotation = 90;
    options.gop = kRate;
    options.encoderOptions = {{"crf", "18"}}; // and x264's usual preset, as a phone's encoder
    QString error;
    auto writer = VideoWriter::create(path, options, &error);
    if (!writer)
        qFatal("cannot create the clip: %s", qPrintable(error));
    const QImage background = texturedBackground();
    for (int i = 0; i < frames; ++i)
        if (!writer->write(storedFrame(background, double(i) / kRate), i))
            qFatal("cannot write frame %d", i);
    if (!writer->finish())
        qFatal("cannot finish the clip");
}

// The window around the run: a trail picture, and beside the run the centres the display picture
// gives around the points' display positions (today's sub-pixel method, scaled up).
struct Host : ContinuationHost {
    Host(AnalysisState& analysis, QSize display, SourceScale sourceScale)
        : state(analysis), scale(sourceScale), trail(display, QImage::Format_RGB32) {
        trail.fill(Qt::black);
    }
    void showPicture(const SourceItem& item) override {
        const ArgbPicture display = pixelsOf<ArgbPicture>(item.picture);
        std::array<PointD, 8> row;
        for (int k = 1; k <= 7; ++k) {
            const auto c = trackedCentre(display, state, state.pointX[k], state.pointY[k]);
            row[k] = c ? PointD{scale.toSourceX(c->x), scale.toSourceY(c->y)} : PointD{NAN, NAN};
        }
        displayCentres.push_back(row);
    }
    CanvasView canvas() override {
        return {reinterpret_cast<uint32_t*>(trail.bits()), trail.width(), trail.height(),
                int(trail.bytesPerLine() / 4)};
    }
    void tracked(int, const SourceItem&) override {}
    void waiting() override {}
    bool stopRequested() override { return false; }

    AnalysisState& state;
    SourceScale scale;
    QImage trail;
    std::vector<std::array<PointD, 8>> displayCentres;
};

// Marker k's move from time 0 to time t.
PointD moved(int k, double t) {
    return {truth(k, t).x - truth(k, 0).x, truth(k, t).y - truth(k, 0).y};
}

TEST(PhoneClipAccuracy, PortraitH264At60FramesMeasuredAtItsOwnSize) {
    // The full 30 s in an ordinary build; the sanitizer build takes a shorter clip of the same.
#ifdef VESTRA_SHORT_ACCURACY_CLIP
    constexpr int kFrames = 240;
#else
    constexpr int kFrames = 30 * kRate;
#endif
    QTemporaryDir dir;
    const QString path = dir.filePath("phone.mp4");
    writePhoneClip(path, kFrames);

    const VideoFrameResult first = loadVideoFrameAtSeconds(path, 0.0);
    ASSERT_TRUE(first.frame);
    ASSERT_EQ(first.info.width, kWidth);
    ASSERT_EQ(first.frame->picture.size(), QSize(270, 480));
    ASSERT_EQ(first.frame->source.size(), QSize(kWidth, kHeight));
    const QImage display = first.frame->picture;
    const SourceScale scale{kWidth, kHeight, 270, 480};
    PictureSourceFrame source(pixelsOf<ArgbPicture>(first.frame->source));
    const SwayPictures pictures(pixelsOf<ArgbPicture>(display), &source, scale);

    AnalysisState state;
    state.darknessTolerance = 40;
    SwayRecord sway;
    Host host(state, display.size(), scale);
    CanvasView canvas = host.canvas();
    for (int k = 0; k < 7; ++k) {
        const PointD c = truth(k, 0.0);
        const double x = std::round(scale.toDisplayX(c.x)), y = std::round(scale.toDisplayY(c.y));
        ASSERT_TRUE(placeMarkerPoint(state, pixelsOf<PhotoView>(display), canvas, x, y));
        recordPlacedPoint(sway, state, pictures, state.pointCount, x, y, first.frame->seconds,
                          SwayEntry::kNoSequence);
    }
    AnalysisSource where = videoFrom(first.frame->pts);
    where.placementPath = path.toStdString();
    VideoSource video(where, path, display.size());
    const ContinuationOutcome outcome = runContinuation(state, sway, video, host);
    EXPECT_EQ(outcome.end, ContinuationOutcome::End::EndOfStream) << outcome.lostPoint;
    EXPECT_EQ(outcome.tracked, kFrames - 1);
    EXPECT_EQ(outcome.inSeries, std::min(kFrames - 1, AnalysisState::kSeriesLength));
    ASSERT_EQ(sway.entries.size(), std::size_t(kFrames));

    // Errors per axis relative to entry 0, at source resolution and from the display picture.
    double source2[2] = {}, display2[2] = {};
    int fellBack = 0, counted = 0, displayCounted = 0;
    for (int e = 0; e < kFrames; ++e) {
        const SwayEntry& entry = sway.entries[std::size_t(e)];
        EXPECT_NEAR(entry.seconds, double(e) / kRate, 1e-9);
        for (int k = 1; k <= 7; ++k) {
            const PointD move = moved(k - 1, entry.seconds);
            const double dx = entry.x[k] - sway.entries[0].x[k] - move.x;
            const double dy = entry.y[k] - sway.entries[0].y[k] - move.y;
            source2[0] += dx * dx;
            source2[1] += dy * dy;
            ++counted;
            fellBack += (entry.fellBack >> k) & 1;
            const PointD d = e > 0 ? host.displayCentres[std::size_t(e - 1)][k] : PointD{NAN, NAN};
            if (std::isfinite(d.x)) {
                const PointD at = truth(k - 1, entry.seconds);
                display2[0] += (d.x - at.x) * (d.x - at.x);
                display2[1] += (d.y - at.y) * (d.y - at.y);
                ++displayCounted;
            }
        }
    }
    const double rmsX = std::sqrt(source2[0] / counted), rmsY = std::sqrt(source2[1] / counted);
    const double displayX = std::sqrt(display2[0] / std::max(1, displayCounted));
    const double displayY = std::sqrt(display2[1] / std::max(1, displayCounted));
    std::printf("phone clip, %d frames: source-resolution error %.4f x %.4f px RMS (relative to "
                "entry 0), %d entries fell back; display-size centres %.3f x %.3f source px RMS "
                "(absolute, %d of %d found)\n",
                kFrames, rmsX, rmsY, fellBack, displayX, displayY, displayCounted,
                7 * (kFrames - 1));
    EXPECT_LE(rmsX, 0.03);
    EXPECT_LE(rmsY, 0.03);
    EXPECT_EQ(fellBack, 0);

    // Every measure within 2 % of the true path's, in source pixels.
    const SwayUnits pixels{};
    for (int k = 1; k <= 7; ++k) {
        const PointTrajectory measured = pointTrajectory(sway, k, pixels);
        std::vector<PointD> truePath; // forward and up count positive
        for (int e = 0; e < kFrames; ++e)
            truePath.push_back(
                {moved(k - 1, double(e) / kRate).x, -moved(k - 1, double(e) / kRate).y});
        const auto expected = swayMeasures(truePath, double(kFrames - 1) / kRate);
        ASSERT_TRUE(measured.measures && expected);
        const SwayMeasures& m = *measured.measures;
        SCOPED_TRACE(k);
        for (const auto& [what, got, want] :
             {std::tuple{"path", m.pathLength, expected->pathLength},
              {"range X", m.rangeX, expected->rangeX},
              {"range Y", m.rangeY, expected->rangeY},
              {"RMS X", m.rmsX, expected->rmsX},
              {"RMS Y", m.rmsY, expected->rmsY},
              {"mean distance", m.meanDistance, expected->meanDistance},
              {"ellipse area", m.ellipse.area, expected->ellipse.area}})
            EXPECT_LE(std::abs(got - want) / std::abs(want), 0.02)
                << what << ": " << got << " against " << want;
    }

    // Saved and opened again, the report and both of its files hold every entry.
    AnalysisDocument document;
    document.record = state;
    document.sway = sway;
    document.source = where;
    document.picture = {270, 480, {}};
    const QString file = dir.filePath("phone.vestra");
    ASSERT_TRUE(writeAnalysisFile(file, document).ok);
    const AnalysisReadResult read = readAnalysisFile(file);
    ASSERT_TRUE(read.document) << read.error.toStdString();
    EXPECT_EQ(read.document->sway.entries.size(), std::size_t(kFrames));
    EXPECT_EQ(read.document->sway.scale, scale);
    const SwayReport report = makeSwayReport(read.document->record, read.document->sway);
    EXPECT_EQ(report.entryCount, kFrames);
    const std::string trajectory = trajectoryFileBytes(report);
    EXPECT_EQ(std::count(trajectory.begin(), trajectory.end(), '\n'), kFrames + 1 + 4);
    EXPECT_NE(measuresFileBytes(report).find("\r\n7,"), std::string::npos);
}

} // namespace
