// SPDX-License-Identifier: GPL-3.0-or-later
// What the sub-pixel centres add to each photo of a continuation: tracking the seven markers of
// the sample sequence with and without recording their sub-pixel centres, beside decoding the
// photo, which the continuation cannot avoid.
#include "photo_loader.h"
#include "qt_benchmark_main.h"
#include "sample_photos.h"
#include "sway_tracking.h"
#include "tracking.h"

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

constexpr int kFrames = 30;
const QSize kSize(640, 480);

struct Sequence {
    QTemporaryDir dir;
    std::vector<QString> paths;
    std::vector<QImage> images;
    std::vector<uint32_t> canvas = std::vector<uint32_t>(640 * 480);
    AnalysisState placed; // the seven points clicked on the first photo
    SwayRecord placedSway;

    Sequence() {
        for (int f = 0; f < kFrames; ++f) {
            const QString path = dir.filePath(sampleFileName(QStringLiteral("a"), f));
            if (!sampleFrame(f).save(path, "BMP"))
                qFatal("cannot write %s", qPrintable(path));
            paths.push_back(path);
            images.push_back(*loadPhotoAtSize(path, kSize));
        }
        placed.darknessTolerance = 40;
        for (const QPoint& marker : sampleMarkerCentres(0)) {
            const int k = ++placed.pointCount;
            placed.pointX[k] = static_cast<int16_t>(marker.x());
            placed.pointY[k] = static_cast<int16_t>(marker.y());
            recordPlacedPoint(placedSway, placed, argb(0), k, marker.x(), marker.y(),
                              SwayEntry::kNone, SwayEntry::kNoSequence);
        }
    }
    [[nodiscard]] PhotoView photo(int f) const {
        const QImage& image = images[static_cast<std::size_t>(f)];
        return {reinterpret_cast<const uint32_t*>(image.constBits()), image.width(), image.height(),
                image.bytesPerLine() / 4};
    }
    [[nodiscard]] ArgbPicture argb(int f) const {
        const PhotoView p = photo(f);
        return {p.bits, p.width, p.height, p.stride};
    }
    CanvasView canvasView() { return {canvas.data(), 640, 480, 640}; }
};

Sequence& sequence() {
    static Sequence s;
    return s;
}

// Photos 2 .. 30 in turn, from the points of photo 1 again after the last.
template <typename PerPhoto> void followSequence(benchmark::State& bench, PerPhoto perPhoto) {
    Sequence& s = sequence();
    auto state = std::make_unique<AnalysisState>(s.placed);
    SwayRecord sway = s.placedSway;
    int frame = 1;
    for (auto _ : bench) {
        perPhoto(*state, sway, frame);
        if (++frame == kFrames) {
            bench.PauseTiming();
            *state = s.placed;
            sway = s.placedSway;
            frame = 1;
            bench.ResumeTiming();
        }
    }
    bench.SetItemsProcessed(bench.iterations());
}

void BM_DecodePhoto(benchmark::State& bench) {
    Sequence& s = sequence();
    int frame = 1;
    for (auto _ : bench) {
        benchmark::DoNotOptimize(loadPhotoAtSize(s.paths[static_cast<std::size_t>(frame)], kSize));
        frame = frame + 1 == kFrames ? 1 : frame + 1;
    }
    bench.SetItemsProcessed(bench.iterations());
}
BENCHMARK(BM_DecodePhoto)->Unit(benchmark::kMicrosecond);

void BM_TrackSevenMarkers(benchmark::State& bench) {
    CanvasView canvas = sequence().canvasView();
    followSequence(bench, [&](AnalysisState& state, SwayRecord&, int frame) {
        if (!trackMarkers(state, sequence().photo(frame), canvas).allFound)
            bench.SkipWithError("a marker was lost");
    });
}
BENCHMARK(BM_TrackSevenMarkers)->Unit(benchmark::kMicrosecond);

void BM_TrackAndRecordSubPixelCentres(benchmark::State& bench) {
    CanvasView canvas = sequence().canvasView();
    followSequence(bench, [&](AnalysisState& state, SwayRecord& sway, int frame) {
        const TrackedFrom before = trackedFrom(state);
        if (!trackMarkers(state, sequence().photo(frame), canvas).allFound)
            bench.SkipWithError("a marker was lost");
        recordTrackedFrame(sway, state, sequence().argb(frame), before, SwayEntry::kNone,
                           SwayEntry::kNoSequence);
    });
}
BENCHMARK(BM_TrackAndRecordSubPixelCentres)->Unit(benchmark::kMicrosecond);

// One marker: the head's, in the second photo.
void BM_SubPixelCentreOfOneMarker(benchmark::State& bench) {
    const Sequence& s = sequence();
    const ArgbPicture photo = s.argb(1);
    for (auto _ : bench)
        benchmark::DoNotOptimize(
            trackedCentre(photo, s.placed, s.placed.pointX[1], s.placed.pointY[1]));
}
BENCHMARK(BM_SubPixelCentreOfOneMarker)->Unit(benchmark::kMicrosecond);

// Per photo of a continuation: decode, track, record.
void BM_DecodeTrackAndRecord(benchmark::State& bench) {
    CanvasView canvas = sequence().canvasView();
    followSequence(bench, [&](AnalysisState& state, SwayRecord& sway, int frame) {
        const auto image =
            loadPhotoAtSize(sequence().paths[static_cast<std::size_t>(frame)], kSize);
        const PhotoView photo{reinterpret_cast<const uint32_t*>(image->constBits()), image->width(),
                              image->height(), image->bytesPerLine() / 4};
        const TrackedFrom before = trackedFrom(state);
        if (!trackMarkers(state, photo, canvas).allFound)
            bench.SkipWithError("a marker was lost");
        recordTrackedFrame(sway, state,
                           ArgbPicture{photo.bits, photo.width, photo.height, photo.stride},
                           before, SwayEntry::kNone, SwayEntry::kNoSequence);
    });
}
BENCHMARK(BM_DecodeTrackAndRecord)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    return runQtBenchmarks<QGuiApplication>(argc, argv);
}
