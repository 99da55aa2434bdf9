// Video reading on clips written by the libraries, the photo and video sources, the loop, and
// the parity between a photo sequence and a lossless video of the same pictures.
#include "continuation.h"
#include "csv_export.h"
#include "photo_loader.h"
#include "photo_sequence.h"
#include "photo_sequence_source.h"
#include "picture_difference.h"
#include "press.h"
#include "sway_tracking.h"
#include "video_clips.h"
#include "video_reader.h"
#include "video_source.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTransform>

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Every test writes under a folder whose name has Japanese characters, blanks, parentheses
// and a colon, as users' folders do.
class Folder {
public:
    Folder() : mRoot(QDir(mTemp.path()).filePath(QStringLiteral("動画 (テスト):1"))) {
        QDir().mkpath(mRoot);
    }
    [[nodiscard]] QString file(const QString& name) const { return QDir(mRoot).filePath(name); }
    // The sample photos stem(001).bmp ... in the folder; the first one's path.
    QString sequence(const char* stem, int count) const {
        SampleOptions options;
        options.count = count;
        QString error;
        if (!writeSampleSequence(mRoot, QLatin1String(stem), options, &error))
            qFatal("%s", qPrintable(error));
        return file(sampleFileName(QLatin1String(stem), 0));
    }

private:
    QTemporaryDir mTemp;
    QString mRoot;
};

SampleOptions figure(int width, int height, int radius = 6) {
    SampleOptions options;
    options.width = width;
    options.height = height;
    options.markerRadius = radius;
    return options;
}

struct Decoded {
    QList<QImage> pictures;
    QList<double> seconds;
    VideoReader::Status last = VideoReader::Status::Frame;
};

Decoded decodeAll(VideoReader& reader, QSize size) {
    Decoded out;
    for (;;) {
        out.last = reader.next();
        if (out.last != VideoReader::Status::Frame)
            return out;
        out.pictures.append(reader.picture(size));
        out.seconds.append(reader.seconds());
    }
}

// --- Reading the codecs a camera or phone writes ------------------------------------------

struct CodecRow {
    const char* name;
    const char* file;
    const char* encoder;
    const char* pixelFormat;
    bool lossless;
    QList<std::pair<QByteArray, QByteArray>> options;
};

void PrintTo(const CodecRow& row, std::ostream* out) {
    *out << row.name;
}

class CodecTest : public ::testing::TestWithParam<CodecRow> {};

TEST_P(CodecTest, decodesEveryFrameInOrderWithItsTime) {
    const CodecRow& row = GetParam();
    const Folder folder;
    VideoWriteOptions options = losslessClip(320, 240);
    options.encoder = QLatin1String(row.encoder);
    options.pixelFormat = QLatin1String(row.pixelFormat);
    options.encoderOptions = row.options;
    const QList<QImage> frames = sampleFrames(12, figure(320, 240, 4));
    auto opened =
        VideoReader::open(writeClip(folder.file(QLatin1String(row.file)), frames, options));
    ASSERT_TRUE(opened.reader) << opened.error.toStdString();
    EXPECT_NEAR(opened.reader->info().frameRate, 10.0, 0.5);
    EXPECT_NEAR(double(opened.reader->info().frameCount), 12.0, 1.0);
    EXPECT_EQ(opened.reader->displaySize(), QSize(640, 480));
    const Decoded decoded = decodeAll(*opened.reader, QSize(320, 240));
    EXPECT_EQ(decoded.last, VideoReader::Status::End);
    ASSERT_EQ(decoded.pictures.size(), frames.size());
    for (qsizetype i = 0; i < frames.size(); ++i) {
        EXPECT_NEAR(decoded.seconds[i], double(i) / 10, 1e-6) << "frame " << i;
        if (row.lossless)
            EXPECT_EQ(decoded.pictures[i], frames[i]) << "frame " << i;
        else
            EXPECT_LT(meanDifference(decoded.pictures[i], frames[i]), 6.0) << "frame " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, CodecTest,
    ::testing::Values(CodecRow{"ffv1_mkv", "a.mkv", "ffv1", "bgr0", true, {}},
                      CodecRow{"raw_nut", "a.nut", "rawvideo", "bgr0", true, {}},
                      CodecRow{"h264_mp4", "a.mp4", "libx264", "yuv420p", false, {{"crf", "12"}}},
                      CodecRow{"hevc_mp4",
                               "a.mp4",
                               "libx265",
                               "yuv420p",
                               false,
                               {{"crf", "12"}, {"x265-params", "log-level=error"}}},
                      CodecRow{"mpeg4_avi", "a.avi", "mpeg4", "yuv420p", false, {{"qscale", "2"}}},
                      CodecRow{"mjpeg_mov", "a.mov", "mjpeg", "yuvj420p", false, {{"q", "2"}}}),
    [](const auto& row) { return std::string(row.param.name); });

// --- Positions and times ------------------------------------------------------------------

TEST(VideoReaderTest, seekingFindsTheFrameOnScreenAtEachTime) {
    const Folder folder;
    const QList<QImage> frames = sampleFrames(20);
    const QString path = writeClip(folder.file("seek.mkv"), frames, losslessClip());
    struct Row {
        double seconds;
        int frame;
    };
    // Frame i starts at i / 10 s and stays on screen until the next one.
    for (const Row& row : {Row{0, 0}, Row{-3, 0}, Row{0.05, 0}, Row{0.1, 1}, Row{0.349, 3},
                           Row{1.0, 10}, Row{1.95, 19}, Row{100, 19}, Row{0.7, 7}}) {
        auto opened = VideoReader::open(path);
        ASSERT_TRUE(opened.reader);
        ASSERT_EQ(opened.reader->seekToFrameAt(opened.reader->ptsOf(row.seconds)),
                  VideoReader::Status::Frame);
        EXPECT_EQ(opened.reader->picture(QSize(640, 480)), frames[row.frame]) << row.seconds;
        EXPECT_NEAR(opened.reader->seconds(), row.frame / 10.0, 1e-9);
        // Going on from there gives the next frame.
        if (row.frame + 1 < frames.size()) {
            ASSERT_EQ(opened.reader->next(), VideoReader::Status::Frame);
            EXPECT_EQ(opened.reader->picture(QSize(640, 480)), frames[row.frame + 1]);
        }
    }
}

TEST(VideoReaderTest, variableFrameRateKeepsTheStreamTimes) {
    const Folder folder;
    // A phone drops its rate in dim light: milliseconds between frames vary.
    const QList<int64_t> milliseconds = {0, 33, 67, 140, 173, 290, 300, 412};
    VideoWriteOptions options = losslessClip(320, 240);
    options.timeBaseDen = 1000;
    for (const char* file : {"vfr.mkv", "vfr.mp4"}) {
        options.encoder = QLatin1String(qstrcmp(file, "vfr.mp4") == 0 ? "libx264" : "ffv1");
        options.pixelFormat = QLatin1String(qstrcmp(file, "vfr.mp4") == 0 ? "yuv420p" : "bgr0");
        const QString path = writeClip(folder.file(QLatin1String(file)),
                                       sampleFrames(8, figure(320, 240)), options, milliseconds);
        auto opened = VideoReader::open(path);
        ASSERT_TRUE(opened.reader) << file;
        const Decoded decoded = decodeAll(*opened.reader, QSize(320, 240));
        ASSERT_EQ(decoded.seconds.size(), milliseconds.size()) << file;
        for (qsizetype i = 0; i < milliseconds.size(); ++i)
            EXPECT_NEAR(decoded.seconds[i], milliseconds[i] / 1000.0, 1e-6) << file << " " << i;
    }
}

TEST(VideoReaderTest, timesCountFromTheFirstFrame) {
    const Folder folder;
    VideoWriteOptions options = losslessClip(320, 240);
    const QList<QImage> frames = sampleFrames(5, figure(320, 240));
    // The stream's first timestamp is 2.5 s: times and start positions count from there.
    const QString path = writeClip(folder.file("late.mkv"), frames, options, {25, 26, 27, 28, 29});
    auto opened = VideoReader::open(path);
    ASSERT_TRUE(opened.reader);
    ASSERT_EQ(opened.reader->seekToFrameAt(opened.reader->ptsOf(0.2)), VideoReader::Status::Frame);
    EXPECT_NEAR(opened.reader->seconds(), 0.2, 1e-9);
    EXPECT_EQ(opened.reader->picture(QSize(320, 240)), frames[2]);
}

// --- Frames as they are meant to be seen ------------------------------------------------------

TEST(VideoReaderTest, rotationMetadataTurnsTheFramesUpright) {
    const Folder folder;
    // Upright the picture is 360 x 480, which is also its display size: no scaling, so the
    // turned frames must equal it exactly.
    const QImage upright = sampleFrame(0, figure(360, 480));
    for (int rotation : {90, 180, 270}) {
        // Stored as the camera sensor saw it: turned back against the rotation.
        const QImage stored = upright.transformed(QTransform().rotate(-rotation));
        VideoWriteOptions options = losslessClip(stored.width(), stored.height());
        options.rotation = rotation;
        const QString path = writeClip(folder.file(QStringLiteral("turned%1.mov").arg(rotation)),
                                       {stored, stored}, options);
        auto opened = VideoReader::open(path);
        ASSERT_TRUE(opened.reader) << rotation << opened.error.toStdString();
        EXPECT_EQ(opened.reader->info().rotation, rotation);
        EXPECT_EQ(opened.reader->info().codedWidth, stored.width());
        EXPECT_EQ(QSize(opened.reader->info().width, opened.reader->info().height), upright.size());
        EXPECT_EQ(opened.reader->displaySize(), QSize(360, 480));
        ASSERT_EQ(opened.reader->next(), VideoReader::Status::Frame);
        EXPECT_EQ(opened.reader->picture(QSize(360, 480)), upright) << rotation;
    }
}

TEST(VideoReaderTest, nonSquarePixelsAreWidened) {
    const Folder folder;
    // Anamorphic: 320 x 480 stored pixels twice as wide as high show a 640 x 480 picture.
    const QImage seen = sampleFrame(0);
    const QImage squeezed = seen.scaled(320, 480, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    VideoWriteOptions options = losslessClip(320, 480);
    options.aspectNum = 2;
    const QString path = writeClip(folder.file("wide.mkv"), {squeezed}, options);
    auto opened = VideoReader::open(path);
    ASSERT_TRUE(opened.reader);
    EXPECT_EQ(opened.reader->info().width, 640);
    EXPECT_EQ(opened.reader->info().height, 480);
    EXPECT_EQ(opened.reader->displaySize(), QSize(640, 480));
    ASSERT_EQ(opened.reader->next(), VideoReader::Status::Frame);
    const QImage shown = opened.reader->picture(QSize(640, 480));
    EXPECT_LT(meanDifference(shown, seen), 4.0);
}

// --- Files that are not videos, or broken ones ----------------------------------------------

TEST(VideoReaderTest, refusesWhatIsNoVideoWithAReason) {
    const Folder folder;
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    ASSERT_TRUE(sampleFrame(0).save(&buffer, "JPG"));
    const QByteArray mp4 = readBytes(
        writeClip(folder.file("whole.mp4"), sampleFrames(6, figure(160, 120)), h264Clip(160, 120)));
    struct Row {
        const char* name;
        QByteArray bytes;
        const char* reason;
    };
    const QList<Row> rows = {
        {"notes.mp4", "これは動画ではありません\r\n", "動画として読み取れない"},
        {"empty.mp4", "", "動画として読み取れない"},
        {"photo.mp4", jpeg, "動画として読み取れない"}, // a photo is opened as a photo
        // The index of an MP4 is written last: a copy that broke off has none.
        {"cut.mp4", mp4.left(mp4.size() / 2), "動画として読み取れない"},
        {"playlist.mp4", "#EXTM3U\n#EXTINF:1,\nfile:///etc/passwd\n", "動画として読み取れない"},
    };
    for (const Row& row : rows) {
        const QString path = folder.file(QLatin1String(row.name));
        writeBytes(path, row.bytes);
        const VideoProbeResult probe = probeVideo(path);
        EXPECT_FALSE(probe.info) << row.name;
        EXPECT_TRUE(probe.error.contains(QString::fromUtf8(row.reason)))
            << row.name << ": " << probe.error.toStdString();
    }
    const VideoProbeResult missing = probeVideo(folder.file("nothing here.mp4"));
    EXPECT_FALSE(missing.info);
    EXPECT_EQ(missing.error, QStringLiteral("ファイルがありません"));
}

TEST(VideoReaderTest, aCutOffVideoGivesItsWholeFramesThenEnds) {
    const Folder folder;
    const QList<QImage> frames = sampleFrames(20, figure(160, 120, 3));
    const QByteArray whole =
        readBytes(writeClip(folder.file("whole.mkv"), frames, losslessClip(160, 120)));
    for (const double kept : {0.35, 0.6, 0.9}) {
        const QString path = folder.file(QStringLiteral("cut%1.mkv").arg(kept));
        writeBytes(path, whole.left(qsizetype(whole.size() * kept)));
        auto opened = VideoReader::open(path);
        ASSERT_TRUE(opened.reader) << kept;
        const Decoded decoded = decodeAll(*opened.reader, QSize(160, 120));
        EXPECT_NE(decoded.last, VideoReader::Status::Frame);
        EXPECT_LT(decoded.pictures.size(), frames.size()) << kept;
        EXPECT_GT(decoded.pictures.size(), 0) << kept;
        for (qsizetype i = 0; i < decoded.pictures.size(); ++i)
            EXPECT_EQ(decoded.pictures[i], frames[i]) << kept << " frame " << i;
    }
}

// --- The video source ------------------------------------------------------------------------

// The timestamp of the frame at `seconds`, in the clip's own time base.
int64_t ptsAt(const QString& path, double seconds) {
    auto opened = VideoReader::open(path);
    if (!opened.reader)
        qFatal("cannot open %s", qPrintable(path));
    return opened.reader->ptsOf(seconds);
}

std::vector<SourceItem> takeAll(FrameSource& source) {
    std::vector<SourceItem> items;
    for (;;) {
        EXPECT_TRUE(source.advance());
        std::optional<SourceItem> item;
        while (!(item = source.take(10ms))) {
        }
        items.push_back(*item);
        if (item->kind != SourceItem::Kind::Picture || items.size() > 100)
            return items;
    }
}

TEST(VideoSourceTest, goesOnFromWhereTheAnalysisStandsEveryStepFrames) {
    const Folder folder;
    const QList<QImage> frames = sampleFrames(12);
    const QString path = writeClip(folder.file("steps.mkv"), frames, losslessClip());
    struct Row {
        int placement; // frame the points were placed on
        int last;      // frame the previous continuation ended on; -1 before the first one
        int step;
        QList<int> taken;
    };
    const QList<Row> rows = {
        {0, -1, 1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
        {5, -1, 2, {7, 9, 11}},
        {0, -1, 5, {5, 10}},
        {3, 8, 1, {9, 10, 11}}, // a second continuation goes on after the last frame taken
        {0, 11, 1, {}},
        {4, -1, 20, {}},
    };
    for (const Row& row : rows) {
        AnalysisSource where;
        where.kind = AnalysisSource::Kind::Video;
        where.frameStep = row.step;
        where.placementPts = ptsAt(path, row.placement / 10.0);
        where.lastPts = row.last < 0 ? AnalysisSource::kNoFrame : ptsAt(path, row.last / 10.0);
        std::vector<SourceItem> items;
        {
            VideoSource source(where, path, QSize(640, 480));
            items = takeAll(source);
        }
        ASSERT_EQ(items.size(), size_t(row.taken.size() + 1)) << row.placement << "/" << row.step;
        for (qsizetype i = 0; i < row.taken.size(); ++i) {
            EXPECT_EQ(items[i].picture, frames[row.taken[i]]);
            EXPECT_NEAR(items[i].seconds, row.taken[i] / 10.0, 1e-9);
            EXPECT_EQ(items[i].name, QStringLiteral("steps.mkv"));
        }
        EXPECT_EQ(items.back().kind, SourceItem::Kind::EndOfStream);
        const int expectedLast = row.taken.isEmpty() ? row.last : row.taken.back();
        EXPECT_EQ(where.lastPts,
                  expectedLast < 0 ? AnalysisSource::kNoFrame : ptsAt(path, expectedLast / 10.0));
        EXPECT_EQ(where.placementPts, ptsAt(path, row.placement / 10.0)); // never moved
    }
}

TEST(VideoSourceTest, aVanishedVideoEndsAsUnreadableAndStoppingEarlyIsQuick) {
    const Folder folder;
    AnalysisSource where;
    where.kind = AnalysisSource::Kind::Video;
    where.placementPts = 0;
    {
        VideoSource gone(where, folder.file("gone.mp4"), QSize(640, 480));
        const auto items = takeAll(gone);
        ASSERT_EQ(items.size(), 1u);
        EXPECT_EQ(items[0].kind, SourceItem::Kind::Unreadable);
        EXPECT_EQ(items[0].name, QStringLiteral("gone.mp4"));
        EXPECT_TRUE(std::isnan(items[0].seconds));
    }
    const QString path = writeClip(folder.file("long.mkv"), sampleFrames(40, figure(160, 120, 3)),
                                   losslessClip(160, 120));
    VideoSource source(where, path, QSize(160, 120));
    ASSERT_TRUE(source.advance());
    std::optional<SourceItem> first;
    while (!(first = source.take(10ms))) {
    }
    EXPECT_EQ(where.lastPts, ptsAt(path, 0.1));
    // Destroyed with frames decoded ahead and the worker waiting for room: no hang.
}

// --- The photo source: decoding ahead changes nothing ------------------------------------------

enum class Damage { None, Missing, Text, CutBitmap, CutJpeg, Empty, CutGif };

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!image.save(&buffer, format))
        qFatal("cannot encode %s", format);
    return bytes;
}

// A sequence of small photos, bitmaps and JPEGs mixed (all named .bmp: loading goes by
// content), with one damaged photo.
QString writeDamagedSequence(const Folder& folder, const QString& stem, int count, int damaged,
                             Damage damage) {
    const SampleOptions small = figure(64, 48, 2);
    for (int i = 0; i < count; ++i) {
        const bool jpeg = i % 3 == 2 || (i == damaged && damage == Damage::CutJpeg);
        const QString path = folder.file(sampleFileName(stem, i));
        const QByteArray bytes = encoded(sampleFrame(i, small), jpeg ? "JPG" : "BMP");
        if (i != damaged || damage == Damage::None)
            writeBytes(path, bytes);
        else if (damage == Damage::Text)
            writeBytes(path, "not a photo");
        else if (damage == Damage::CutBitmap || damage == Damage::CutJpeg)
            writeBytes(path, bytes.left(bytes.size() * 2 / 3));
        else if (damage == Damage::Empty)
            writeBytes(path, QByteArray());
        else if (damage == Damage::CutGif)
            writeBytes(path, QByteArray("GIF89a\x10\0\x10\0", 10));
    }
    return folder.file(sampleFileName(stem, 0));
}

struct Step {
    std::string photoPath;
    SourceItem::Kind kind;
    QString name;
    QImage picture;
    friend bool operator==(const Step& a, const Step& b) {
        return a.photoPath == b.photoPath && a.kind == b.kind && a.name == b.name &&
               a.picture == b.picture;
    }
};

// Takes items until the first failure, or `limit` pictures.
std::vector<Step> walk(FrameSource& source, std::string& photoPath, int limit) {
    std::vector<Step> steps;
    while (int(steps.size()) < limit && source.advance()) {
        std::optional<SourceItem> item;
        while (!(item = source.take(5ms))) {
        }
        // A copy, so that the source may decode later photos into the memory of this one, as
        // it does in a run.
        steps.push_back({photoPath, item->kind, item->name, item->picture.copy()});
        if (item->kind != SourceItem::Kind::Picture)
            break;
    }
    return steps;
}

// The continuation as it was before photos were decoded ahead: name, load, on failure look
// whether the file exists.
std::vector<Step> referenceWalk(std::string photoPath, QSize size, int limit) {
    std::vector<Step> steps;
    while (int(steps.size()) < limit) {
        auto next = nextPhotoName(photoPath);
        if (!next)
            break;
        photoPath = *next;
        const QString path = QString::fromStdString(photoPath);
        auto picture = loadPhotoAtSize(path, size);
        const auto kind = picture                   ? SourceItem::Kind::Picture
                          : QFileInfo::exists(path) ? SourceItem::Kind::Unreadable
                                                    : SourceItem::Kind::Missing;
        steps.push_back(
            {photoPath, kind, QFileInfo(path).fileName(), picture ? *picture : QImage()});
        if (!picture)
            break;
    }
    return steps;
}

TEST(PhotoSequenceSourceTest, decodingAheadTakesTheSamePhotosAndStopsAtTheSameOne) {
    std::mt19937 random(20260615);
    const QList<Damage> damages = {Damage::None,      Damage::Missing, Damage::Text,
                                   Damage::CutBitmap, Damage::CutJpeg, Damage::Empty,
                                   Damage::CutGif};
    for (int round = 0; round < 28; ++round) {
        const Folder folder;
        const Damage damage = damages[round % damages.size()];
        const int count = 6 + int(random() % 10);
        const int damaged = 1 + int(random() % (count - 1));
        const int limit = round % 4 == 3 ? int(random() % 4) : 1000; // sometimes stop early
        const QString first = writeDamagedSequence(folder, "s", count, damaged, damage);
        // The display size of the first photo, and a stretched one for the later photos.
        for (const QSize size : {QSize(64, 48), QSize(100, 30)}) {
            const std::string start = first.toStdString();
            const auto reference = referenceWalk(start, size, limit);
            std::string singlePath = start;
            std::string parallelPath = start;
            std::vector<Step> single, parallel;
            {
                PhotoSequenceSource source(singlePath, size, PhotoSequenceSource::kSameThread);
                single = walk(source, singlePath, limit);
            }
            for (const int threads : {1, 2, 4}) {
                parallelPath = start;
                PhotoSequenceSource source(parallelPath, size, threads);
                parallel = walk(source, parallelPath, limit);
                ASSERT_EQ(parallel, reference) << "round " << round << " threads " << threads;
                EXPECT_EQ(parallelPath, reference.empty() ? start : reference.back().photoPath);
            }
            ASSERT_EQ(single, reference) << "round " << round;
            if (limit == 1000) {
                ASSERT_FALSE(reference.empty());
                const bool ended = reference.back().kind != SourceItem::Kind::Picture;
                EXPECT_TRUE(ended);
                // After the end photoPath holds the first name that failed.
                EXPECT_EQ(parallelPath,
                          folder.file(sampleFileName("s", damage == Damage::None ? count : damaged))
                              .toStdString());
            }
        }
    }
}

TEST(PhotoLoaderTest, cutOffJpegsAreRecognisedOnManyThreadsAtOnce) {
    const Folder folder;
    const QByteArray jpeg = encoded(sampleFrame(0, figure(320, 240, 4)), "JPG");
    const QString whole = folder.file("whole.jpg");
    const QString cut = folder.file("cut.jpg");
    writeBytes(whole, jpeg);
    writeBytes(cut, jpeg.left(jpeg.size() / 2));
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 40; ++i) {
                const bool takeCut = (i + t) % 2 == 0;
                const bool loaded =
                    loadPhotoAtSize(takeCut ? cut : whole, QSize(160, 120)).has_value();
                if (loaded == takeCut)
                    ++wrong;
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

// --- The loop ------------------------------------------------------------------------------

class FakeHost : public ContinuationHost {
public:
    explicit FakeHost(QImage& canvas, int stopAfter = -1)
        : mCanvas(canvas), mStopAfter(stopAfter) {}
    void showPicture(const SourceItem& item) override {
        shown = item.picture;
        ++pictures;
    }
    CanvasView canvas() override {
        return {reinterpret_cast<uint32_t*>(mCanvas.bits()), mCanvas.width(), mCanvas.height(),
                mCanvas.bytesPerLine() / 4};
    }
    void tracked(int count, const SourceItem&) override { trackedCount = count; }
    void waiting() override { ++waits; }
    bool stopRequested() override { return mStopAfter >= 0 && trackedCount >= mStopAfter; }

    QImage shown;
    int pictures = 0;
    int trackedCount = 0;
    int waits = 0;

private:
    QImage& mCanvas;
    int mStopAfter;
};

// The analysis as a user leaves it before continuing: the seven markers of the first picture
// clicked, 2 mm per pixel.
struct Analysis {
    AnalysisState state;
    SwayRecord sway;
    QImage canvas;

    // `frame` says where the sample's markers are in `first`.
    explicit Analysis(const QImage& first, int frame = 0) : canvas(first) {
        state.darknessTolerance = 40;
        const PhotoView photo{reinterpret_cast<const uint32_t*>(first.constBits()), first.width(),
                              first.height(), first.bytesPerLine() / 4};
        CanvasView view{reinterpret_cast<uint32_t*>(canvas.bits()), canvas.width(), canvas.height(),
                        canvas.bytesPerLine() / 4};
        for (const QPoint& marker : sampleMarkerCentres(frame)) {
            if (!placeMarkerPoint(state, photo, view, marker.x(), marker.y()))
                qFatal("cannot place a point");
            recordPlacedPoint(sway, state, {photo.bits, photo.width, photo.height, photo.stride},
                              state.pointCount, marker.x(), marker.y(), SwayEntry::kNone,
                              SwayEntry::kNoSequence);
        }
        state.mmPerPoint = 20;
    }
};

TEST(ContinuationTest, endsWhenAskedAtCapacityAndAtALostMarker) {
    const Folder folder;
    const QString first = folder.sequence("a", 8);
    {
        Analysis a(sampleFrame(0));
        a.state.photoPath = first.toStdString();
        PhotoSequenceSource source(a.state.photoPath, QSize(640, 480), 2);
        FakeHost host(a.canvas, 3);
        const ContinuationOutcome outcome = runContinuation(a.state, a.sway, source, host);
        EXPECT_EQ(outcome.end, ContinuationOutcome::End::Stopped);
        EXPECT_EQ(outcome.tracked, 3);
        EXPECT_EQ(a.state.frameCount, 3);
        EXPECT_EQ(a.sway.entries.size(), 4u);
        // Stopped after a photo: photoPath names that photo, so pressing again goes on after it.
        EXPECT_TRUE(a.state.photoPath.ends_with("a(004).bmp"));
        EXPECT_EQ(host.shown, sampleFrame(3));
    }
    {
        Analysis a(sampleFrame(0));
        a.state.photoPath = first.toStdString();
        a.state.frameCount = 899;
        PhotoSequenceSource source(a.state.photoPath, QSize(640, 480), 2);
        FakeHost host(a.canvas);
        const ContinuationOutcome outcome = runContinuation(a.state, a.sway, source, host);
        EXPECT_EQ(outcome.end, ContinuationOutcome::End::Capacity);
        EXPECT_EQ(outcome.tracked, 2);
        EXPECT_EQ(a.state.frameCount, 901);
        EXPECT_TRUE(a.state.photoPath.ends_with("a(004).bmp")); // named, never loaded
    }
    {
        QImage lost = sampleFrame(2);
        const QPoint gone = sampleMarkerCentres(2)[4];
        for (int y = -8; y <= 8; ++y)
            for (int x = -8; x <= 8; ++x)
                lost.setPixel(gone + QPoint(x, y), qRgb(60, 60, 60));
        ASSERT_TRUE(lost.save(folder.file(sampleFileName("a", 2))));
        Analysis a(sampleFrame(0));
        a.state.photoPath = first.toStdString();
        PhotoSequenceSource source(a.state.photoPath, QSize(640, 480), 2);
        FakeHost host(a.canvas);
        const ContinuationOutcome outcome = runContinuation(a.state, a.sway, source, host);
        EXPECT_EQ(outcome.end, ContinuationOutcome::End::LostMarker);
        EXPECT_EQ(outcome.lostPoint, 5);
        EXPECT_EQ(outcome.name, QStringLiteral("a(003).bmp"));
        EXPECT_EQ(outcome.tracked, 1);
        EXPECT_EQ(a.state.frameCount, 1);
        EXPECT_EQ(a.sway.entries.size(), 2u); // the partial photo is not recorded
    }
}

TEST(ContinuationTest, progressAndEndTexts) {
    using End = ContinuationOutcome::End;
    const auto photo = AnalysisSource::Kind::Photo;
    const auto video = AnalysisSource::Kind::Video;
    struct Row {
        AnalysisSource::Kind kind;
        End end;
        double seconds;
        const char* text;
    };
    const QList<Row> rows = {
        {photo, End::NoNextName, NAN, "12枚の写真を追跡しました。"},
        {photo, End::Missing, NAN,
         "12枚の写真を追跡しました。次の写真 x(013).bmp がないため終了しました"},
        {photo, End::LostMarker, NAN,
         "12枚の写真を追跡しました。x(013).bmp で点3のマーカーが見つからないため終了しました"},
        {video, End::Unreadable, 1.5,
         "12コマを追跡しました。1.500秒より後のコマを読み込めないため終了しました"},
        // Unreadable from the start: no frame time to tell.
        {video, End::Unreadable, NAN,
         "12コマを追跡しました。動画 x(013).bmp を読み込めないため終了しました"},
        {video, End::LostMarker, 0.0333,
         "12コマを追跡しました。0.033秒のコマで点3のマーカーが見つからないため終了しました"},
    };
    for (const Row& row : rows) {
        ContinuationOutcome outcome;
        outcome.end = row.end;
        outcome.tracked = 12;
        outcome.name = QStringLiteral("x(013).bmp");
        outcome.seconds = row.seconds;
        outcome.lostPoint = 3;
        EXPECT_EQ(continuationEndText(row.kind, outcome), QString::fromUtf8(row.text));
    }
    SourceItem item;
    item.name = QStringLiteral("x(002).bmp");
    EXPECT_EQ(continuationProgressText(photo, 1, item), QStringLiteral("解析中… 1枚目 x(002).bmp"));
    item.seconds = 12.3456;
    EXPECT_EQ(continuationProgressText(video, 7, item), QStringLiteral("解析中… 7コマ目 12.346秒"));
}

// --- Parity: a lossless video of a photo sequence gives the sequence's results -----------------

struct RunResult {
    AnalysisState state;
    SwayRecord sway;
    QImage canvas;
    ContinuationOutcome outcome;
};

// `frame` says where the sample's markers are in `first`.
RunResult runOn(const QImage& first, FrameSource& source, int frame = 0) {
    Analysis a(first, frame);
    FakeHost host(a.canvas);
    RunResult result;
    result.outcome = runContinuation(a.state, a.sway, source, host);
    result.state = a.state;
    result.sway = a.sway;
    result.canvas = a.canvas;
    return result;
}

void expectSameAnalysis(const RunResult& photos, const RunResult& video) {
    EXPECT_EQ(video.outcome.tracked, photos.outcome.tracked);
    EXPECT_EQ(video.state.frameCount, photos.state.frameCount);
    EXPECT_EQ(video.state.pointX, photos.state.pointX);
    EXPECT_EQ(video.state.pointY, photos.state.pointY);
    EXPECT_EQ(video.state.pathLength, photos.state.pathLength);
    for (int k = 1; k <= 7; ++k) {
        EXPECT_EQ(video.state.deltaX(k), photos.state.deltaX(k)) << k;
        EXPECT_EQ(video.state.deltaY(k), photos.state.deltaY(k)) << k;
    }
    EXPECT_EQ(video.canvas, photos.canvas); // the same trail
    ASSERT_EQ(video.sway.entries.size(), photos.sway.entries.size());
    for (size_t e = 0; e < video.sway.entries.size(); ++e) {
        for (int k = 1; k <= 7; ++k) {
            EXPECT_EQ(std::isnan(video.sway.entries[e].x[k]),
                      std::isnan(photos.sway.entries[e].x[k]));
            if (!std::isnan(photos.sway.entries[e].x[k])) {
                EXPECT_EQ(video.sway.entries[e].x[k], photos.sway.entries[e].x[k]);
                EXPECT_EQ(video.sway.entries[e].y[k], photos.sway.entries[e].y[k]);
            }
        }
    }
    for (AxisMapping mapping : {AxisMapping::StandingSide, AxisMapping::StandingFront,
                                AxisMapping::LyingSide, AxisMapping::LyingFront})
        EXPECT_EQ(asIsFileBytes(video.state, mapping), asIsFileBytes(photos.state, mapping));
    for (int group = kSmallestGroup; group <= kLargestGroup; ++group)
        EXPECT_EQ(groupedFileBytes(video.state, group), groupedFileBytes(photos.state, group));
}

TEST(ParityTest, aLosslessVideoGivesThePhotoSequencesPointsSeriesAndFiles) {
    const Folder folder;
    folder.sequence("p", 30);
    const QList<QImage> frames = sampleFrames(30);
    const QString clip = writeClip(folder.file("p.mkv"), frames, losslessClip());

    // The first picture is the same either way, so the clicks land alike.
    const auto photo = loadPhotoForDisplay(folder.file(sampleFileName("p", 0)));
    const VideoFrameResult videoFirst = loadVideoFrameAtSeconds(clip, 0);
    ASSERT_TRUE(photo && videoFirst.frame);
    ASSERT_EQ(videoFirst.frame->picture, photo->image);

    std::string photoPath = folder.file(sampleFileName("p", 0)).toStdString();
    PhotoSequenceSource photos(photoPath, QSize(640, 480), 2);
    const RunResult byPhotos = runOn(photo->image, photos);
    AnalysisSource where;
    where.kind = AnalysisSource::Kind::Video;
    where.placementPts = videoFirst.frame->pts;
    VideoSource video(where, clip, QSize(640, 480));
    const RunResult byVideo = runOn(videoFirst.frame->picture, video);

    EXPECT_EQ(byPhotos.outcome.end, ContinuationOutcome::End::Missing);
    EXPECT_EQ(byVideo.outcome.end, ContinuationOutcome::End::EndOfStream);
    EXPECT_EQ(byPhotos.outcome.tracked, 29);
    expectSameAnalysis(byPhotos, byVideo);
    // Video frames carry their times; photos none.
    for (size_t e = 1; e < byVideo.sway.entries.size(); ++e) {
        EXPECT_NEAR(byVideo.sway.entries[e].seconds, e / 10.0, 1e-9);
        EXPECT_TRUE(std::isnan(byPhotos.sway.entries[e].seconds));
    }
}

TEST(ParityTest, startPositionAndFrameStepMatchThePhotosTheyPick) {
    const Folder folder;
    const QList<QImage> frames = sampleFrames(30);
    const QString clip = writeClip(folder.file("p.mkv"), frames, losslessClip());
    // Start at 0.5 s (frame 5), every third frame: 5, 8, 11, ... as photos q(001), q(002), ...
    QList<QImage> picked;
    for (int i = 5; i < 30; i += 3)
        picked.append(frames[i]);
    for (qsizetype i = 0; i < picked.size(); ++i)
        ASSERT_TRUE(picked[i].save(folder.file(sampleFileName("q", int(i)))));

    const VideoFrameResult first = loadVideoFrameAtSeconds(clip, 0.5);
    ASSERT_TRUE(first.frame);
    ASSERT_EQ(first.frame->picture, picked[0]);
    AnalysisSource where;
    where.kind = AnalysisSource::Kind::Video;
    where.startSeconds = 0.5;
    where.frameStep = 3;
    where.placementPts = first.frame->pts;

    // The points are placed on frame 5, where the run starts.
    std::string photoPath = folder.file(sampleFileName("q", 0)).toStdString();
    PhotoSequenceSource photos(photoPath, QSize(640, 480), 2);
    const RunResult byPhotos = runOn(picked[0], photos, 5);
    VideoSource video(where, clip, QSize(640, 480));
    const RunResult byVideo = runOn(picked[0], video, 5);
    EXPECT_EQ(byPhotos.outcome.tracked, int(picked.size()) - 1);
    expectSameAnalysis(byPhotos, byVideo);
    EXPECT_EQ(where.lastPts, ptsAt(clip, 2.9));
}

TEST(ParityTest, lossyVideosAreTrackedToTheEnd) {
    const Folder folder;
    struct Row {
        const char* file;
        VideoWriteOptions options;
    };
    VideoWriteOptions mpeg4;
    mpeg4.encoder = QStringLiteral("mpeg4");
    mpeg4.encoderOptions = {{"qscale", "3"}};
    const QList<Row> rows = {{"phone.mp4", h264Clip()}, {"camera.avi", mpeg4}};
    for (const Row& row : rows) {
        const QString clip =
            writeClip(folder.file(QLatin1String(row.file)), sampleFrames(45), row.options);
        const VideoFrameResult first = loadVideoFrameAtSeconds(clip, 0);
        ASSERT_TRUE(first.frame) << row.file;
        AnalysisSource where;
        where.kind = AnalysisSource::Kind::Video;
        where.placementPts = first.frame->pts;
        VideoSource video(where, clip, QSize(640, 480));
        const RunResult result = runOn(first.frame->picture, video);
        EXPECT_EQ(result.outcome.end, ContinuationOutcome::End::EndOfStream) << row.file;
        EXPECT_EQ(result.outcome.tracked, 44) << row.file;
        // Every point ends on its marker's true centre, give or take the codec's pixel.
        const QList<QPoint> truth = sampleMarkerCentres(44);
        for (int k = 1; k <= 7; ++k) {
            EXPECT_LE(std::abs(result.state.pointX[k] - truth[k - 1].x()), 1) << row.file << k;
            EXPECT_LE(std::abs(result.state.pointY[k] - truth[k - 1].y()), 1) << row.file << k;
        }
    }
}

} // namespace

// The HEVC encoder that writes the test clips keeps one allocation for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libx265.so\n";
}

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
