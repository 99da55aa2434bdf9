// SPDX-License-Identifier: GPL-3.0-or-later
#include "region_search.h"
#include "tracking.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

constexpr uint32_t kWhiteArgb = 0xFFFFFFFFu;
constexpr uint32_t kGreyArgb = 0xFF808080u;

struct Photo {
    int width;
    int height;
    std::vector<uint32_t> photoBits;
    std::vector<uint32_t> canvasBits;

    Photo(int w, int h, uint32_t argb)
        : width(w), height(h), photoBits(static_cast<std::size_t>(w) * h, argb),
          canvasBits(photoBits) {}
    void disc(int cx, int cy, int r) {
        for (int y = cy - r; y <= cy + r; ++y)
            for (int x = cx - r; x <= cx + r; ++x)
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r)
                    photoBits[static_cast<std::size_t>(y) * width + x] = kWhiteArgb;
    }
    [[nodiscard]] PhotoView photo() const { return {photoBits.data(), width, height, width}; }
    [[nodiscard]] CanvasView canvas() { return {canvasBits.data(), width, height, width}; }
};

// Every loop runs to its end: about two million colour tests.
void BM_SearchAllWhite(benchmark::State& bench) {
    AnalysisState state;
    Photo photo(1100, 1100, kWhiteArgb);
    CanvasView canvas = photo.canvas();
    for (auto _ : bench)
        benchmark::DoNotOptimize(findMarkerCentre(state, photo.photo(), canvas, 550, 550));
}
BENCHMARK(BM_SearchAllWhite)->Unit(benchmark::kMillisecond);

// A typical marker: a disc of radius 6 on grey.
void BM_SearchSmallDisc(benchmark::State& bench) {
    AnalysisState state;
    state.darknessTolerance = 40;
    Photo photo(640, 480, kGreyArgb);
    photo.disc(320, 240, 6);
    CanvasView canvas = photo.canvas();
    for (auto _ : bench)
        benchmark::DoNotOptimize(findMarkerCentre(state, photo.photo(), canvas, 322, 238));
}
BENCHMARK(BM_SearchSmallDisc)->Unit(benchmark::kMicrosecond);

// One photo of a sequence with seven markers that stay in place.
void BM_TrackSevenMarkers(benchmark::State& bench) {
    Photo photo(640, 480, kGreyArgb);
    AnalysisState state;
    state.darknessTolerance = 40;
    state.pointCount = 7;
    for (int k = 1; k <= 7; ++k) {
        photo.disc(80 * k, 60 * k, 6);
        state.pointX[k] = static_cast<int16_t>(80 * k);
        state.pointY[k] = static_cast<int16_t>(60 * k);
    }
    CanvasView canvas = photo.canvas();
    for (auto _ : bench) {
        state.frameCount = 0; // keep recording into the series
        benchmark::DoNotOptimize(trackMarkers(state, photo.photo(), canvas));
    }
}
BENCHMARK(BM_TrackSevenMarkers)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
