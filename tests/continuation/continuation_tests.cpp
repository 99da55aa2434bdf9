// SPDX-License-Identifier: GPL-3.0-or-later
// Runs through videos written by the libraries, the photo and video sources, and the parity
// between a photo sequence and a lossless video of the same pictures.
#include "continuation.h"
#include "csv_export.h"
#include "marker_scene.h"
#include "photo_loader.h"
#include "photo_sequence.h"
#include "photo_sequence_source.h"
#include "picture_difference.h"
#include "press.h"
#include "sway_tracking.h"
#include "video_clips.h"
#include "video_creation_time.h"
#include "video_source.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QTransform>

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>

// Items are alike when they are of the same kind, name and picture.
bool operator==(const SourceItem& a, const SourceItem& b) {
    return a.kind == b.kind && a.name == b.name && a.picture == b.picture;
}

namespace {

using End = ContinuationOutcome::End;

// The analysis as a user leaves it before continuing (the seven markers of sample frame 0
// clicked on `first`, 2 mm per pixel), and the window around a run of it.
class Analysis : public ContinuationHost {
public:
    explicit Analysis(const QImage& first) : trail(first) {
        state.darknessTolerance = 40;
        CanvasView view = canvas();
        for (const QPoint& marker : sampleMarkerCentres(0)) {
            if (!placeMarkerPoint(state, pixelsOf<PhotoView>(first), view, marker.x(), marker.y()))
                qFatal("cannot place a point");
            recordPlacedPoint(sway, state, pixelsOf<ArgbPicture>(first), state.pointCount,
                              marker.x(), marker.y(), SwayEntry::kNone, SwayEntry::kNoSequence);
        }
        state.mmPerPoint = 20;
    }
    // A run of `source`; the end text.
    QString run(FrameSource& source, AnalysisSource::Kind kind) {
        return continuationEndText(kind, runContinuation(state, sway, source, *this));
    }
    // A run through the video from the frame at `placementPts`.
    QString runVideo(const QString& path, int64_t placementPts = 0) {
        AnalysisSource where = videoFrom(placementPts);
        VideoSource video(where, path, QSize(640, 480));
        return run(video, AnalysisSource::Kind::Video);
    }

    void showPicture(const SourceItem& item) override { shown.append(item.picture); }
    CanvasView canvas() override {
        return {reinterpret_cast<uint32_t*>(trail.bits()), trail.width(), trail.height(),
                int(trail.bytesPerLine() / 4)};
    }
    void tracked(int, const SourceItem&) override {}
    void waiting() override {}
    bool stopRequested() override { return false; }

    AnalysisState state;
    SwayRecord sway;
    QImage trail; // the picture on display, with the trail of centres
    QList<QImage> shown;
};

// Codecs and containers cameras and phones write, display matrices (a phone held upright, a front
// camera's mirror) and pixels wider than high.
TEST(CodecTest, everyFrameIsShownUprightAtItsTimeAndTrackedToTheEnd) {
    struct Row {
        const char* file; // the container goes by the extension
        const char* encoder;
        const char* pixelFormat; // bgr0 is stored losslessly
        QList<std::pair<QByteArray, QByteArray>> options;
        int rotation = 0;                  // clockwise degrees a player turns the frames
        bool hflip = false, vflip = false; // then mirrors them left to right, or upside down
        int aspect = 1;                    // stored pixels `aspect` times as wide as high
    };
    const Row rows[] = {
        {"ffv1.mov", "ffv1", "bgr0", {}, 90},
        {"mirrored.mov", "ffv1", "bgr0", {}, 0, true},
        {"flipped.mov", "ffv1", "bgr0", {}, 0, false, true}, // turned half and mirrored
        {"flipped90.mov", "ffv1", "bgr0", {}, 90, false, true},
        {"both.mov", "ffv1", "bgr0", {}, 180, true, true}, // neither turned nor mirrored
        {"mirrored270.mov", "ffv1", "bgr0", {}, 270, true},
        {"wide.mkv", "ffv1", "bgr0", {}, 0, false, false, 2},
        {"h264.mp4", "libx264", "yuv420p", {{"crf", "12"}}, 90},
        {"hevc.mp4", "libx265", "yuv420p", {{"x265-params", "crf=12:log-level=error"}}, 180},
        {"mpeg4.avi", "mpeg4", "yuv420p", {{"qscale", "2"}}},
        {"mjpeg.mov", "mjpeg", "yuvj420p", {{"q", "2"}}, 270, true}};
    // A phone drops its rate in dim light: milliseconds between frames vary.
    const QList<int64_t> pts = {0, 33, 67, 140, 173, 290, 300, 412, 445, 520, 600, 633};
    const QList<QImage> frames = sampleFrames(12);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        // Stored as the camera sensor saw them: mirrored, turned back, squeezed.
        const QTransform toSensor = QTransform().scale(1.0 / row.aspect, 1).rotate(-row.rotation);
        QList<QImage> stored;
        for (const QImage& frame : frames)
            stored.append(frame.mirrored(row.hflip, row.vflip)
                              .transformed(toSensor, Qt::SmoothTransformation));
        VideoWriteOptions options = losslessClip(stored[0].width(), stored[0].height());
        options.encoder = QLatin1String(row.encoder);
        options.pixelFormat = QLatin1String(row.pixelFormat);
        options.encoderOptions = row.options;
        options.rotation = row.rotation;
        options.hflip = row.hflip;
        options.vflip = row.vflip;
        options.aspectNum = row.aspect;
        options.timeBaseDen = 1000;
        const QString path = writeClip(tempFile(QLatin1String(row.file)), stored, options, pts);
        // Lossless and square pixels: every frame as it was; else close, upright at display size.
        const double difference = options.pixelFormat == "bgr0" && row.aspect == 1 ? 0.0 : 6.0;
        const VideoFrameResult first = loadVideoFrameAtSeconds(path, 0);
        ASSERT_TRUE(first.frame) << first.error.toStdString();
        ASSERT_LE(meanDifference(first.frame->picture, frames[0]), difference);
        Analysis run(first.frame->picture);
        EXPECT_EQ(run.runVideo(path, first.frame->pts).toStdString(),
                  "11コマを追跡しました。動画の最後に達したため終了しました");
        ASSERT_EQ(run.shown.size(), 11);
        for (int i = 1; i < 12; ++i) {
            EXPECT_NEAR(run.sway.entries[i].seconds, pts[i] / 1000.0, 1e-6) << i;
            EXPECT_LE(meanDifference(run.shown[i - 1], frames[i]), difference) << i;
        }
    }
}

TEST(BrokenVideoTest, aRunEndsWhereTheVideoBreaksOrChangesSize) {
    // A video gone since it was opened ends the run at once.
    EXPECT_EQ(Analysis(sampleFrame(0)).runVideo(tempFile("gone.mp4")),
              QStringLiteral("0コマを追跡しました。動画 gone.mp4 を読み込めないため終了しました"));
    // A frame the decoder flags as damaged ends the run there, like an unreadable photo.
    VideoWriteOptions mpeg4 = losslessClip();
    mpeg4.encoder = QStringLiteral("mpeg4");
    mpeg4.pixelFormat = QStringLiteral("yuv420p");
    mpeg4.encoderOptions = {{"qscale", "2"}};
    const QString damaged = writeClip(tempFile("damaged.avi"), sampleFrames(12), mpeg4);
    QByteArray bytes = readBytes(damaged);
    qsizetype at = -1;
    for (int frame = 0; frame <= 8; ++frame) // the picture data of frame 8
        at = bytes.indexOf(QByteArray("\0\0\1\xB6", 4), at + 1);
    ASSERT_GT(at, 0);
    for (int i = 0; i < 60; ++i)
        bytes[at + 12 + i] = char(0x5A ^ (i * 37));
    writeBytes(damaged, bytes);
    EXPECT_EQ(Analysis(sampleFrame(0)).runVideo(damaged).toStdString(),
              "7コマを追跡しました。0.700秒より後のコマを読み込めないため終了しました");
    // A seek to the exact time of the frame before the damaged one stands on that frame; the
    // damage comes with the next, though the decoder's threads may have met it already.
    auto beforeDamage = VideoReader::open(damaged);
    ASSERT_TRUE(beforeDamage.reader);
    ASSERT_EQ(beforeDamage.reader->seekToFrameAt(7), VideoReader::Status::Frame);
    EXPECT_LT(meanDifference(beforeDamage.reader->picture(QSize(640, 480)), sampleFrame(7)), 6.0);
    EXPECT_EQ(beforeDamage.reader->next(), VideoReader::Status::Failed);

    // Two recordings joined (raw H.264, 30 frames a second), the second smaller: the run ends
    // at its first frame.
    VideoWriteOptions small;
    small.width = 320;
    small.height = 240;
    const QString joined = tempFile("joined.h264");
    writeBytes(joined, readBytes(writeClip(tempFile("a.h264"), sampleFrames(6), {})) +
                           readBytes(writeClip(tempFile("b.h264"), sampleFrames(6), small)));
    EXPECT_EQ(Analysis(sampleFrame(0)).runVideo(joined).toStdString(),
              "5コマを追跡しました。0.200秒のコマで映像の大きさが変わったため終了しました");
}

TEST(VideoCreationTimeTest, fromTheContainersTagOrNothing) {
    // {tag, seconds since 1970 UTC, or -1 for nothing}: a phone's date keeps its zone; muxers
    // write 1970 (or 1904) when they know no time.
    const std::pair<const char*, qint64> rows[] = {{"2024-05-01T09:30:00.000000Z", 1714555800},
                                                   {"2024-05-01 09:30:00", 1714555800},
                                                   {"2024-05-01T18:30:00+0900", 1714555800},
                                                   {"2024-05-01T18:30:00+09:00", 1714555800},
                                                   {"1970-01-01T00:00:00.000000Z", -1},
                                                   {"2024-02-30T00:00:00Z", -1},
                                                   {"yesterday", -1},
                                                   {"", -1}};
    for (const auto& [tag, seconds] : rows) {
        const auto time = parseCreationTime(QString::fromUtf8(tag));
        EXPECT_EQ(time ? time->toSecsSinceEpoch() : -1, seconds) << tag;
    }
    VideoWriteOptions tagged = losslessClip(160, 120);
    tagged.metadata = {{"creation_time", "2023-11-02T08:15:00.000000Z"}};
    const auto time = videoCreationTime(writeClip(tempFile("tagged.mov"), sampleFrames(2), tagged));
    ASSERT_TRUE(time);
    EXPECT_EQ(time->toUTC(), QDateTime(QDate(2023, 11, 2), QTime(8, 15), Qt::UTC));
    EXPECT_FALSE(
        videoCreationTime(writeClip(tempFile("plain.mkv"), sampleFrames(2), losslessClip())));
    EXPECT_FALSE(videoCreationTime(tempFile("missing.mp4")));
}

TEST(VideoSourceTest, goesOnFromWhereTheAnalysisStandsEveryStepFrames) {
    const QList<QImage> frames = sampleFrames(12);
    // The stream's first timestamp is 2.5 s (Matroska counts milliseconds): times and positions
    // count from there. Frame i then starts at i / 10 s and stays on screen until the next one.
    const QList<int64_t> pts = {25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36};
    const QString path = writeClip(tempFile("steps.mkv"), frames, losslessClip(), pts);
    // The time on screen when the points were placed, the frame the previous continuation
    // ended on (-1 before the first one), the step, and the frames taken.
    const QList<std::tuple<double, int, int, QList<int>>> rows = {
        {0, -1, 1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
        {-3, -1, 5, {5, 10}},
        {0.349, -1, 4, {7, 11}},
        {100, -1, 1, {}},         // past the end the last frame stays on screen
        {0.3, 8, 1, {9, 10, 11}}, // a second continuation goes on after the last frame taken
        {0, 11, 1, {}},
    };
    const auto ptsOf = [](double seconds) { return 2500 + std::llround(seconds * 1000); };
    const auto framePts = [&](int frame) {
        return frame < 0 ? AnalysisSource::kNoFrame : ptsOf(frame / 10.0);
    };
    for (const auto& [placed, last, step, taken] : rows) {
        AnalysisSource where = videoFrom(ptsOf(placed), step, framePts(last));
        VideoSource source(where, path, QSize(640, 480));
        const std::vector<Step> items = takeAll(source);
        ASSERT_EQ(items.size(), size_t(taken.size() + 1)) << placed << "/" << step;
        for (qsizetype i = 0; i < taken.size(); ++i) {
            EXPECT_EQ(items[i].second.picture, frames[taken[i]]) << placed;
            EXPECT_NEAR(items[i].second.seconds, taken[i] / 10.0, 1e-9);
            EXPECT_EQ(items[i].second.name, QStringLiteral("steps.mkv"));
        }
        EXPECT_EQ(items.back().second.kind, SourceItem::Kind::EndOfStream);
        EXPECT_EQ(where.lastPts, framePts(taken.isEmpty() ? last : taken.back()));
        EXPECT_EQ(where.placementPts, ptsOf(placed)); // never moved
    }
}

enum class Damage { None, Missing, Corrupt, CutBitmap, CutJpeg, Count };

// Photos stem(001).bmp ..., bitmaps and JPEGs mixed (all named .bmp: loading goes by content),
// with one damaged photo.
std::string writeDamagedSequence(const QString& stem, int count, int damaged, Damage damage) {
    for (int i = 0; i < count; ++i) {
        const bool jpeg = i % 3 == 2 || (i == damaged && damage == Damage::CutJpeg);
        const QString path = tempFile(sampleFileName(stem, i));
        if (i == damaged && damage == Damage::Missing)
            continue;
        if (!sampleFrame(i, {.width = 64, .height = 48}).save(path, jpeg ? "JPG" : "BMP"))
            qFatal("cannot save a photo");
        if (i == damaged && damage == Damage::Corrupt)
            writeBytes(path, "not a photo");
        else if (i == damaged && damage != Damage::None)
            QFile::resize(path, QFileInfo(path).size() * 2 / 3);
    }
    return tempFile(sampleFileName(stem, 0)).toStdString();
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
        const auto picture = loadPhotoAtSize(path, size);
        SourceItem item;
        item.kind = picture                   ? SourceItem::Kind::Picture
                    : QFileInfo::exists(path) ? SourceItem::Kind::Unreadable
                                              : SourceItem::Kind::Missing;
        item.picture = picture.value_or(QImage());
        item.name = QFileInfo(path).fileName();
        steps.emplace_back(photoPath, item);
        if (!picture)
            break;
    }
    return steps;
}

TEST(PhotoSequenceSourceTest, decodingAheadTakesTheSamePhotosAndStopsAtTheSameOne) {
    std::mt19937 random(20260615);
    for (int round = 0; round < 28; ++round) {
        const QString stem = QStringLiteral("s%1").arg(round);
        const auto damage = Damage(round % int(Damage::Count));
        const int count = 6 + int(random() % 10);
        const int damaged = 1 + int(random() % (count - 1));
        const int limit = round % 4 == 3 ? int(random() % 4) : 1000; // sometimes stop early
        const std::string start = writeDamagedSequence(stem, count, damaged, damage);
        // The display size of the first photo, and a stretched one for the later photos.
        for (const QSize size : {QSize(64, 48), QSize(100, 30)}) {
            const auto reference = referenceWalk(start, size, limit);
            // libjpeg tells of a cut-off file only on the thread that decodes it.
            for (const int threads : {PhotoSequenceSource::kSameThread, 1, 2, 4}) {
                std::string photoPath = start;
                PhotoSequenceSource source(photoPath, size, threads);
                ASSERT_EQ(takeAll(source, limit, photoPath), reference)
                    << "round " << round << " threads " << threads;
                EXPECT_EQ(photoPath, reference.empty() ? start : reference.back().first);
            }
            if (limit == 1000) { // to the end: photoPath holds the first name that failed
                ASSERT_FALSE(reference.empty());
                EXPECT_EQ(QString::fromStdString(reference.back().first),
                          tempFile(sampleFileName(stem, damage == Damage::None ? count : damaged)));
            }
        }
    }
}

TEST(PhotoSequenceSourceTest, photosCarryTheNumberOfTheirName) {
    // The number in the name (the photos need not exist); beyond 32 bits, none.
    const std::pair<const char*, int32_t> rows[] = {{"n(007).bmp", 7},
                                                    {"n(2147483647).bmp", 2147483647},
                                                    {"n(2147483648).bmp", SwayEntry::kNoSequence},
                                                    {"n(99999999999).bmp", SwayEntry::kNoSequence},
                                                    {"n.bmp", SwayEntry::kNoSequence}};
    for (const auto& [name, sequence] : rows)
        EXPECT_EQ(PhotoSequenceSource::load(tempFile(name).toStdString(), QSize(64, 48)).sequence,
                  sequence)
            << name;
}

// A photo run that can name no further photo gives no reason (the runs here end with theirs);
// while a run goes on, Esc stops it, and a video tells its frames when it knows them (a photo
// sequence never does).
TEST(ContinuationTest, progressAndEndTexts) {
    const auto photo = AnalysisSource::Kind::Photo;
    const auto video = AnalysisSource::Kind::Video;
    EXPECT_EQ(continuationEndText(photo, {End::NoNextName, 12, "x(013).bmp", NAN, 0, 12, {}}),
              QStringLiteral("12枚の写真を追跡しました。"));
    SourceItem item;
    item.name = QStringLiteral("x(002).bmp");
    // {a video, its length, how the line tells it}
    const std::tuple<bool, VideoLength, const char*> rows[] = {{false, {}, ""},
                                                               {false, {900, false}, ""},
                                                               {true, {900, false}, "全900コマ、"},
                                                               {true, {31, true}, "全約31コマ、"},
                                                               {true, {0, true}, ""}};
    for (const auto& [isVideo, length, frames] : rows) {
        const QString stop = QString::fromUtf8(frames) + QStringLiteral("Escキーで中止）");
        item.seconds = isVideo ? 12.3456 : NAN;
        EXPECT_EQ(continuationProgressText(isVideo ? video : photo, isVideo ? 7 : 1, item, length),
                  (isVideo ? QStringLiteral("解析中… 7コマ目 12.346秒（")
                           : QStringLiteral("解析中… 1枚目 x(002).bmp（")) +
                      stop);
        EXPECT_EQ(continuationStartText(isVideo ? video : photo, length),
                  QStringLiteral("解析中…（") + stop);
    }
}

TEST(ParityTest, aLosslessVideoGivesThePhotoSequencesPointsSeriesAndFiles) {
    QList<QImage> frames = sampleFrames(30);
    // The last picture has lost the marker of point 5: both runs end there alike.
    QPainter(&frames[29])
        .fillRect(QRect(sampleMarkerCentres(29)[4] - QPoint(8, 8), QSize(17, 17)),
                  QColor(60, 60, 60));
    for (int i = 0; i < frames.size(); ++i)
        ASSERT_TRUE(frames[i].save(tempFile(sampleFileName("p", i))));
    const QString path = writeClip(tempFile("p.mkv"), frames, losslessClip());
    // The first picture is the same either way, so the clicks land alike.
    const auto photo = loadPhotoForDisplay(tempFile(sampleFileName("p", 0)));
    const VideoFrameResult videoFirst = loadVideoFrameAtSeconds(path, 0);
    ASSERT_TRUE(photo && videoFirst.frame);
    ASSERT_EQ(videoFirst.frame->picture, photo->image);

    Analysis byPhotos(photo->image);
    byPhotos.state.photoPath = tempFile(sampleFileName("p", 0)).toStdString();
    PhotoSequenceSource photos(byPhotos.state.photoPath, QSize(640, 480), 2);
    EXPECT_EQ(byPhotos.run(photos, AnalysisSource::Kind::Photo).toStdString(),
              "28枚の写真を追跡しました。p(030).bmp で点5のマーカーが見つからないため終了しました");
    Analysis byVideo(videoFirst.frame->picture);
    EXPECT_EQ(byVideo.runVideo(path, videoFirst.frame->pts).toStdString(),
              "28コマを追跡しました。2.900秒のコマで点5のマーカーが見つからないため終了しました");
    // The partly tracked picture is not recorded.
    ASSERT_EQ(byPhotos.sway.entries.size(), 29u);
    ASSERT_EQ(byVideo.sway.entries.size(), 29u);
    EXPECT_EQ(byVideo.state.pointX, byPhotos.state.pointX);
    EXPECT_EQ(byVideo.state.pointY, byPhotos.state.pointY);
    EXPECT_EQ(byVideo.trail, byPhotos.trail);
    for (size_t e = 0; e < byVideo.sway.entries.size(); ++e) {
        // The sub-pixel trajectories bit for bit, the NaNs of points not yet placed included.
        EXPECT_EQ(std::memcmp(&byVideo.sway.entries[e], &byPhotos.sway.entries[e],
                              offsetof(SwayEntry, seconds)),
                  0)
            << e;
        // Photo p(e + 1) was tracked into entry e; frames have no numbers.
        if (e > 0) {
            EXPECT_EQ(
                std::pair(byPhotos.sway.entries[e].sequence, byVideo.sway.entries[e].sequence),
                std::pair(int32_t(e + 1), SwayEntry::kNoSequence));
        }
    }
    // The files hold the series.
    for (AxisMapping mapping : {AxisMapping::StandingSide, AxisMapping::StandingFront,
                                AxisMapping::LyingSide, AxisMapping::LyingFront})
        EXPECT_EQ(asIsFileBytes(byVideo.state, mapping), asIsFileBytes(byPhotos.state, mapping));
    for (int group = kSmallestGroup; group <= kLargestGroup; ++group)
        EXPECT_EQ(groupedFileBytes(byVideo.state, group), groupedFileBytes(byPhotos.state, group));
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
