// The continuation through a photo sequence against a loop that only decodes the same photos,
// and large JPEGs decoded straight to the display size against a full decode.
#include "main_window.h"
#include "photo_loader.h"
#include "sample_photos.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImageReader>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kSequenceLength = 900;
constexpr int kLargeJpegs = 4;

QString dataDir() {
    const QByteArray configured = qgetenv("VESTRA_BENCH_DATA");
    return configured.isEmpty() ? QDir::temp().filePath(QStringLiteral("vestra-bench"))
                                : QString::fromLocal8Bit(configured);
}

// Generated once; a marker file says the folder is complete.
QString ensurePhotos(const QString& name, const SampleOptions& options, const char* format) {
    const QString dir = QDir(dataDir()).filePath(name);
    const QString done = QDir(dir).filePath(QStringLiteral(".complete"));
    if (!QFile::exists(done)) {
        QDir().mkpath(dir);
        for (int frame = 0; frame < options.count; ++frame) {
            const QString path =
                QDir(dir).filePath(sampleFileName(QStringLiteral("a"), frame, format));
            if (!sampleFrame(frame, options).save(path, format, 90))
                qFatal("cannot write %s", qPrintable(path));
        }
        QFile marker(done);
        if (!marker.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(done));
    }
    return dir;
}

QString sequenceDir() {
    SampleOptions options;
    options.count = kSequenceLength;
    return ensurePhotos(QStringLiteral("sequence-640x480-bmp"), options, "bmp");
}

QString largeJpegDir() {
    SampleOptions options;
    options.count = kLargeJpegs;
    options.width = 4000;
    options.height = 3000;
    options.markerRadius = 36;
    return ensurePhotos(QStringLiteral("large-4000x3000-jpg"), options, "jpg");
}

// What the continuation cannot avoid: decoding photos 2 .. 900.
void BM_DecodeSequenceOnly(benchmark::State& state) {
    const QDir dir(sequenceDir());
    for (auto _ : state) {
        for (int frame = 1; frame < kSequenceLength; ++frame) {
            QImageReader reader(dir.filePath(sampleFileName(QStringLiteral("a"), frame)));
            QImage image = reader.read();
            benchmark::DoNotOptimize(image.constBits());
        }
    }
    state.SetItemsProcessed(state.iterations() * (kSequenceLength - 1));
}
BENCHMARK(BM_DecodeSequenceOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole continuation with seven markers: load, track, paint the trail, the progress
// read-out and the end of the analysis.
void BM_ContinueSequence(benchmark::State& state) {
    const QDir dir(sequenceDir());
    for (auto _ : state) {
        state.PauseTiming();
        auto record = std::make_unique<AnalysisState>();
        record->darknessTolerance = 40;
        auto window = std::make_unique<MainWindow>(*record);
        if (!window->loadPhoto(dir.filePath(sampleFileName(QStringLiteral("a"), 0))))
            qFatal("cannot open the first photo");
        for (const QPoint& marker : sampleMarkerCentres(0))
            window->pressOnPicture(marker, 0);
        record->mmPerPoint = 20;
        state.ResumeTiming();

        window->continueAnalysis();

        state.PauseTiming();
        if (record->frameCount != kSequenceLength - 1)
            state.SkipWithError("the sequence was not followed to its end");
        for (QWidget* other : QApplication::topLevelWidgets())
            if (other != window.get())
                other->close();
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * (kSequenceLength - 1));
}
BENCHMARK(BM_ContinueSequence)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LargeJpegAtDisplaySize(benchmark::State& state) {
    const QDir dir(largeJpegDir());
    for (auto _ : state) {
        for (int frame = 0; frame < kLargeJpegs; ++frame) {
            auto image = loadPhotoAtSize(
                dir.filePath(sampleFileName(QStringLiteral("a"), frame, QStringLiteral("jpg"))),
                QSize(640, 480));
            benchmark::DoNotOptimize(image);
        }
    }
    state.SetItemsProcessed(state.iterations() * kLargeJpegs);
}
BENCHMARK(BM_LargeJpegAtDisplaySize)->Unit(benchmark::kMillisecond)->UseRealTime();

// The alternative the loader avoids: decode at full size, then scale to the display size.
void BM_LargeJpegFullDecodeThenScale(benchmark::State& state) {
    const QDir dir(largeJpegDir());
    for (auto _ : state) {
        for (int frame = 0; frame < kLargeJpegs; ++frame) {
            QImageReader reader(
                dir.filePath(sampleFileName(QStringLiteral("a"), frame, QStringLiteral("jpg"))));
            QImage image = reader.read().scaled(640, 480, Qt::IgnoreAspectRatio,
                                                Qt::SmoothTransformation);
            benchmark::DoNotOptimize(image.constBits());
        }
    }
    state.SetItemsProcessed(state.iterations() * kLargeJpegs);
}
BENCHMARK(BM_LargeJpegFullDecodeThenScale)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
