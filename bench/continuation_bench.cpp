// SPDX-License-Identifier: GPL-3.0-or-later
// The continuation through a photo sequence against a loop that only decodes the same photos
// on one thread; large JPEGs decoded straight to the display size against a full decode, and a
// continuation through them against a one-thread loop at display size; a full-HD video from
// 解析を続ける to DEnd against FFmpeg decoding and scaling the same clip with as many threads.
#include "ffmpeg_raii.h"
#include "main_window.h"
#include "photo_loader.h"
#include "qt_benchmark_main.h"
#include "sample_photos.h"
#include "sample_video.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImageReader>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

namespace {

constexpr int kSequenceLength = 900;
constexpr int kLargeJpegs = 4;
constexpr int kLargeJpegSequence = 40;
// The two phone clips: 1920 x 1080 with 900 frames, 3840 x 2160 with 300.
struct ClipSize {
    int width;
    int height;
    int frames;
};
ClipSize clipSize(int64_t height) {
    return height >= 2160 ? ClipSize{3840, 2160, 300} : ClipSize{1920, 1080, 900};
}

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

SampleOptions largeJpegOptions() {
    SampleOptions options;
    options.count = kLargeJpegSequence;
    options.width = 4000;
    options.height = 3000;
    options.markerRadius = 36;
    return options;
}

QString largeJpegDir() {
    return ensurePhotos(QStringLiteral("large-4000x3000-jpg-40"), largeJpegOptions(), "jpg");
}

SampleOptions videoFigure(const ClipSize& size) {
    SampleOptions options;
    options.width = size.width;
    options.height = size.height;
    options.markerRadius = 6 * size.width / 640; // 6 pixels at the display size of 640 x 360
    return options;
}

// A phone-like clip: H.264, 30 frames a second, generated once. Sensor noise on the figure gives
// it a phone's bit rate; flat colours alone would make decoding unrealistically cheap.
QString videoClip(const ClipSize& size) {
    const QString path = QDir(dataDir()).filePath(QStringLiteral("clip-%1x%2-%3-noisy.mp4")
                                                      .arg(size.width)
                                                      .arg(size.height)
                                                      .arg(size.frames));
    if (QFile::exists(path))
        return path;
    QDir().mkpath(dataDir());
    const QString partial = path + QStringLiteral(".part.mp4");
    VideoWriteOptions options;
    options.width = size.width;
    options.height = size.height;
    options.gop = 60;
    options.encoderOptions = {{"preset", "fast"}, {"crf", "20"}};
    QString error;
    auto writer = VideoWriter::create(partial, options, &error);
    if (!writer)
        qFatal("cannot write %s: %s", qPrintable(path), qPrintable(error));
    uint32_t seed = 12345;
    for (int frame = 0; frame < size.frames; ++frame) {
        QImage picture = sampleFrame(frame, videoFigure(size));
        for (int y = 0; y < picture.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
            for (int x = 0; x < picture.width(); ++x) {
                seed = seed * 1664525u + 1013904223u;
                const int noise = int(seed >> 29) - 4; // -4 .. 3
                const auto channel = [noise](int v) { return std::clamp(v + noise, 0, 255); };
                row[x] =
                    qRgb(channel(qRed(row[x])), channel(qGreen(row[x])), channel(qBlue(row[x])));
            }
        }
        if (!writer->write(picture, frame))
            qFatal("cannot encode frame %d", frame);
    }
    if (!writer->finish() || !QFile::rename(partial, path))
        qFatal("cannot complete %s", qPrintable(path));
    return path;
}

// Resets the peak resident size of this process, so that a later reading covers what came after.
void resetPeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

double peakMemoryMb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

// A window with the first picture open, its seven markers clicked and the scale set; after the
// run the window and DEnd are closed.
struct PreparedWindow {
    std::unique_ptr<AnalysisState> record = std::make_unique<AnalysisState>();
    std::unique_ptr<MainWindow> window;

    PreparedWindow() {
        record->darknessTolerance = 40;
        window = std::make_unique<MainWindow>(*record);
    }
    void click(const QList<QPoint>& markers, double scaleX, double scaleY) {
        for (const QPoint& marker : markers)
            window->pressOnPicture(
                QPointF(std::round(marker.x() * scaleX), std::round(marker.y() * scaleY)), 0);
        if (record->pointCount != kSampleMarkers)
            qFatal("the markers were not all placed");
        record->mmPerPoint = 20;
    }
    ~PreparedWindow() {
        for (QWidget* other : QApplication::topLevelWidgets())
            if (other != window.get())
                other->close();
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

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

// The whole continuation with seven markers: load (decoded ahead on every core), track, paint
// the trail, the progress read-out and the end of the analysis.
void BM_ContinueSequence(benchmark::State& state) {
    const QDir dir(sequenceDir());
    for (auto _ : state) {
        state.PauseTiming();
        auto prepared = std::make_unique<PreparedWindow>();
        if (!prepared->window->loadPhoto(dir.filePath(sampleFileName(QStringLiteral("a"), 0))))
            qFatal("cannot open the first photo");
        prepared->click(sampleMarkerCentres(0), 1, 1);
        state.ResumeTiming();

        prepared->window->continueAnalysis();

        state.PauseTiming();
        if (prepared->record->frameCount != kSequenceLength - 1)
            state.SkipWithError("the sequence was not followed to its end");
        prepared.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * (kSequenceLength - 1));
}
BENCHMARK(BM_ContinueSequence)->Unit(benchmark::kMillisecond)->UseRealTime();

// What a one-thread continuation through large photos cannot avoid: decoding photos 2 .. 40
// straight to the display size.
void BM_LargeJpegSequenceAtDisplaySize(benchmark::State& state) {
    const QDir dir(largeJpegDir());
    for (auto _ : state) {
        for (int frame = 1; frame < kLargeJpegSequence; ++frame) {
            auto image = loadPhotoAtSize(
                dir.filePath(sampleFileName(QStringLiteral("a"), frame, QStringLiteral("jpg"))),
                QSize(640, 480));
            benchmark::DoNotOptimize(image);
        }
    }
    state.SetItemsProcessed(state.iterations() * (kLargeJpegSequence - 1));
}
BENCHMARK(BM_LargeJpegSequenceAtDisplaySize)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ContinueLargeJpegSequence(benchmark::State& state) {
    const QDir dir(largeJpegDir());
    for (auto _ : state) {
        state.PauseTiming();
        auto prepared = std::make_unique<PreparedWindow>();
        if (!prepared->window->loadPhoto(
                dir.filePath(sampleFileName(QStringLiteral("a"), 0, QStringLiteral("jpg")))))
            qFatal("cannot open the first photo");
        prepared->click(sampleMarkerCentres(0, largeJpegOptions()), 640.0 / 4000, 480.0 / 3000);
        state.ResumeTiming();

        prepared->window->continueAnalysis();

        state.PauseTiming();
        if (prepared->record->frameCount != kLargeJpegSequence - 1)
            state.SkipWithError("the sequence was not followed to its end");
        prepared.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * (kLargeJpegSequence - 1));
}
BENCHMARK(BM_ContinueLargeJpegSequence)->Unit(benchmark::kMillisecond)->UseRealTime();

// The decoder's limit: FFmpeg decoding the clip with one thread per core and scaling every frame
// to the display size, written directly against the libraries.
void BM_VideoDecodeAndScale(benchmark::State& state) {
    const ClipSize size = clipSize(state.range(0));
    const QByteArray path = QFile::encodeName(videoClip(size));
    for (auto _ : state) {
        AVFormatContext* opened = nullptr;
        if (avformat_open_input(&opened, path.constData(), nullptr, nullptr) < 0)
            qFatal("cannot open the clip");
        AVFormatContextPtr format(opened);
        avformat_find_stream_info(format.get(), nullptr);
        const AVCodec* codec = nullptr;
        const int index = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
        AVCodecContextPtr decoder(avcodec_alloc_context3(codec));
        avcodec_parameters_to_context(decoder.get(), format->streams[index]->codecpar);
        decoder->thread_count = static_cast<int>(std::thread::hardware_concurrency());
        decoder->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
        if (avcodec_open2(decoder.get(), codec, nullptr) < 0)
            qFatal("cannot open the decoder");
        AVPacketPtr packet = makePacket();
        AVFramePtr frame = makeFrame();
        SwsContextPtr scaler;
        QImage picture(640, 360, QImage::Format_RGB32);
        int frames = 0;
        const auto drain = [&] {
            while (avcodec_receive_frame(decoder.get(), frame.get()) == 0) {
                scaler.reset(sws_getCachedContext(scaler.release(), frame->width, frame->height,
                                                  static_cast<AVPixelFormat>(frame->format), 640,
                                                  360, AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr,
                                                  nullptr, nullptr));
                uint8_t* planes[4] = {picture.bits(), nullptr, nullptr, nullptr};
                const int strides[4] = {static_cast<int>(picture.bytesPerLine()), 0, 0, 0};
                sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, planes,
                          strides);
                ++frames;
            }
        };
        while (av_read_frame(format.get(), packet.get()) >= 0) {
            if (packet->stream_index == index)
                avcodec_send_packet(decoder.get(), packet.get());
            av_packet_unref(packet.get());
            drain();
        }
        avcodec_send_packet(decoder.get(), nullptr);
        drain();
        if (frames != size.frames)
            state.SkipWithError("the clip was not decoded whole");
    }
    state.SetItemsProcessed(state.iterations() * size.frames);
}
BENCHMARK(BM_VideoDecodeAndScale)
    ->Arg(1080)
    ->Arg(2160)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// From 解析を続ける to DEnd through the whole clip: decode ahead, scale, follow seven markers at
// the clip's own resolution, record, progress. Also the peak resident memory of the process
// during the run.
void BM_ContinueVideo(benchmark::State& state) {
    const ClipSize size = clipSize(state.range(0));
    const QString path = videoClip(size);
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto prepared = std::make_unique<PreparedWindow>();
        if (!prepared->window->openVideo(path, 0, 1))
            qFatal("cannot open the clip");
        prepared->click(sampleMarkerCentres(0, videoFigure(size)), 640.0 / size.width,
                        360.0 / size.height);
        resetPeakMemory();
        state.ResumeTiming();

        prepared->window->continueAnalysis();

        state.PauseTiming();
        peak = std::max(peak, peakMemoryMb());
        if (prepared->record->frameCount != size.frames - 1 ||
            prepared->window->sway().scale.identity())
            state.SkipWithError("the clip was not followed to its end at its own size");
        prepared.reset();
        state.ResumeTiming();
    }
    state.counters["peak_rss_mb"] = peak;
    state.SetItemsProcessed(state.iterations() * (size.frames - 1));
}
BENCHMARK(BM_ContinueVideo)->Arg(1080)->Arg(2160)->Unit(benchmark::kMillisecond)->UseRealTime();

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

// What the sequence of large photos is measured against now that each is also read whole: a
// one-thread loop decoding photos 2 .. 40 at full size.
void BM_LargeJpegSequenceFullDecode(benchmark::State& state) {
    const QDir dir(largeJpegDir());
    for (auto _ : state) {
        for (int frame = 1; frame < kLargeJpegSequence; ++frame) {
            QImageReader reader(
                dir.filePath(sampleFileName(QStringLiteral("a"), frame, QStringLiteral("jpg"))));
            QImage image = reader.read();
            benchmark::DoNotOptimize(image.constBits());
        }
    }
    state.SetItemsProcessed(state.iterations() * (kLargeJpegSequence - 1));
}
BENCHMARK(BM_LargeJpegSequenceFullDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

// The alternative the loader avoids: decode at full size, then scale to the display size.
void BM_LargeJpegFullDecodeThenScale(benchmark::State& state) {
    const QDir dir(largeJpegDir());
    for (auto _ : state) {
        for (int frame = 0; frame < kLargeJpegs; ++frame) {
            QImageReader reader(
                dir.filePath(sampleFileName(QStringLiteral("a"), frame, QStringLiteral("jpg"))));
            QImage image =
                reader.read().scaled(640, 480, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            benchmark::DoNotOptimize(image.constBits());
        }
    }
    state.SetItemsProcessed(state.iterations() * kLargeJpegs);
}
BENCHMARK(BM_LargeJpegFullDecodeThenScale)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    return runQtBenchmarks<QApplication>(argc, argv);
}
