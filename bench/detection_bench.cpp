// SPDX-License-Identifier: GPL-3.0-or-later
// Marker detection over whole pictures: generated frontal scenes with seven markers and the
// distractors of the accuracy test at HD, 4K and 12 megapixels, and a worst case of white noise
// that passes half its pixels (a run every other pixel). Beside the time, the peak of the heap
// the detection itself allocates, counted by the replaced global operator new.
#include "figure_scene.h"
#include "marker_detection.h"
#include "qt_benchmark_main.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <new>

namespace {

std::atomic<std::size_t> gHeap{0};
std::atomic<std::size_t> gPeak{0};

} // namespace

// Every block carries its size in front, so delete can count it off.
void* operator new(std::size_t size) {
    auto* block = static_cast<std::size_t*>(std::malloc(size + 16));
    if (!block)
        throw std::bad_alloc();
    *block = size;
    const std::size_t now = gHeap += size;
    for (std::size_t peak = gPeak; now > peak && !gPeak.compare_exchange_weak(peak, now);) {
    }
    return reinterpret_cast<char*>(block) + 16;
}
void operator delete(void* p) noexcept {
    if (!p)
        return;
    auto* block = reinterpret_cast<std::size_t*>(static_cast<char*>(p) - 16);
    gHeap -= *block;
    std::free(block);
}
void operator delete(void* p, std::size_t) noexcept {
    operator delete(p);
}

namespace {

const QImage& scene(int width, int height) {
    static std::map<std::pair<int, int>, QImage> scenes;
    QImage& image = scenes[{width, height}];
    if (image.isNull()) {
        std::mt19937 rng(2024);
        image = figureScene(rng, 7, width, height).image;
    }
    return image;
}

const QImage& halfWhiteNoise() {
    static QImage image = [] {
        QImage noise(3840, 2160, QImage::Format_RGB32);
        std::mt19937 rng(7);
        for (int y = 0; y < noise.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(noise.scanLine(y));
            for (int x = 0; x < noise.width(); ++x)
                row[x] = rng() % 2 ? qRgb(255, 255, 255) : qRgb(90, 90, 90);
        }
        return noise;
    }();
    return image;
}

void detect(benchmark::State& bench, const QImage& image) {
    const ArgbPicture picture = pixelsOf<ArgbPicture>(image);
    const MarkerBounds bounds = markerBounds(0, 40);
    std::size_t peak = 0;
    int64_t found = 0;
    for (auto _ : bench) {
        const std::size_t before = gHeap;
        gPeak = before;
        found = detectMarkers(picture, bounds).count;
        benchmark::DoNotOptimize(found);
        peak = std::max(peak, gPeak - before);
    }
    bench.counters["found"] = double(found);
    bench.counters["peak_heap_kB"] = double(peak) / 1024.0;
    bench.counters["Mpixel/s"] = benchmark::Counter(double(image.width()) * image.height() * 1e-6,
                                                    benchmark::Counter::kIsIterationInvariantRate);
}

void BM_DetectHd(benchmark::State& bench) {
    detect(bench, scene(1920, 1080));
}
BENCHMARK(BM_DetectHd)->Unit(benchmark::kMillisecond);

void BM_Detect4k(benchmark::State& bench) {
    detect(bench, scene(3840, 2160));
}
BENCHMARK(BM_Detect4k)->Unit(benchmark::kMillisecond);

void BM_Detect12Megapixels(benchmark::State& bench) {
    detect(bench, scene(4000, 3000));
}
BENCHMARK(BM_Detect12Megapixels)->Unit(benchmark::kMillisecond);

void BM_Detect4kHalfWhiteNoise(benchmark::State& bench) {
    detect(bench, halfWhiteNoise());
}
BENCHMARK(BM_Detect4kHalfWhiteNoise)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return runQtBenchmarks<QGuiApplication>(argc, argv);
}
