// SPDX-License-Identifier: GPL-3.0-or-later
// The video reader on clips written by the libraries: where damage ends a stream, seeking
// against a front-to-back decode, orientation from the display matrix, and files that hold no
// video.
#include "ffmpeg_raii.h"
#include "video_clips.h"
#include "video_info.h"
#include "video_orientation.h"
#include "video_reader.h"
#include "video_source.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

#include <sys/stat.h>

namespace {

QString tempFile(const QString& name) {
    static const QTemporaryDir temp;
    return QDir(temp.path()).filePath(name);
}

// Pixels that differ everywhere, so that any turn or mirror shows.
QImage noise(QSize size, uint32_t seed) {
    std::mt19937 random(seed);
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, 0xFF000000u | (random() & 0xFFFFFFu));
    return image;
}

struct Packet {
    int64_t pos = -1;
    int size = 0;
    bool key = false;
};

// The video packets of a file in file order, read with FFmpeg's demuxer alone.
QList<Packet> videoPackets(const QString& path) {
    AVFormatContext* raw = nullptr;
    const QByteArray name = QFile::encodeName(path);
    if (avformat_open_input(&raw, name.constData(), nullptr, nullptr) < 0)
        qFatal("cannot open %s", name.constData());
    AVFormatContextPtr format(raw);
    avformat_find_stream_info(raw, nullptr);
    const int stream = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    AVPacketPtr packet = makePacket();
    QList<Packet> packets;
    while (av_read_frame(raw, packet.get()) >= 0) {
        if (packet->stream_index == stream)
            packets.append({packet->pos, packet->size, bool(packet->flags & AV_PKT_FLAG_KEY)});
        av_packet_unref(packet.get());
    }
    return packets;
}

// Reads front to back: the frames handed out and how the stream ended.
struct Walk {
    QList<int64_t> pts;
    QList<QImage> pictures;
    VideoReader::Status end = VideoReader::Status::Frame;
    double endSeconds = 0; // the time of the frame that failed or of the last one
};

Walk walk(const QString& path, QSize size, int threads = 0) {
    VideoLimits limits;
    limits.threads = threads;
    auto opened = VideoReader::open(path, limits);
    if (!opened.reader)
        qFatal("cannot read %s: %s", qPrintable(path), qPrintable(opened.error));
    Walk result;
    while ((result.end = opened.reader->next()) == VideoReader::Status::Frame) {
        result.pts.append(opened.reader->pts());
        result.pictures.append(opened.reader->picture(size));
    }
    result.endSeconds = opened.reader->seconds();
    return result;
}

// Every item a video source hands out for a run from the first frame on: the pictures' times,
// then the end's kind and time.
QList<std::pair<SourceItem::Kind, double>> takeRun(const QString& path) {
    AnalysisSource where; // placed on the first frame
    where.kind = AnalysisSource::Kind::Video;
    VideoSource source(where, path, QSize(160, 120));
    QList<std::pair<SourceItem::Kind, double>> items;
    for (;;) {
        std::optional<SourceItem> item;
        while (!(item = source.take(std::chrono::milliseconds(50)))) {
        }
        items.append({item->kind, item->seconds});
        if (item->kind != SourceItem::Kind::Picture)
            return items;
    }
}

// A key frame in the middle of an H.264 clip overwritten: with frame threads the decoder's
// error flags came too late for some runs, and 25 frames built on the concealed picture went
// into the record in 7 runs of 10.
TEST(DamagedVideoTest, endsAtTheDamagedKeyFrameInEveryRunWithAnyThreads) {
    constexpr int kFrames = 90;
    constexpr int kKeyFrame = 45; // the second of two key frames
    VideoWriteOptions options;
    options.gop = kKeyFrame;
    for (const char* name : {"key.mp4", "key.mkv"}) {
        const QString path =
            writeClip(tempFile(QString("whole ") + name), sampleFrames(kFrames), options);
        const QList<Packet> packets = videoPackets(path);
        QList<Packet> keys;
        for (const Packet& packet : packets)
            if (packet.key)
                keys.append(packet);
        ASSERT_EQ(keys.size(), 2) << name;
        ASSERT_GT(keys[1].size, 3200) << name; // the damage stays inside the key frame
        QByteArray bytes = readBytes(path);
        const qsizetype from = keys[1].pos + keys[1].size / 2 - 1500;
        for (int i = 0; i < 3000; ++i)
            bytes[from + i] = char((i * 7919) ^ 0x5A);
        const QString damaged = tempFile(QString("damaged ") + name);
        writeBytes(damaged, bytes);

        // Undamaged, the clip plays to its end.
        const Walk whole = walk(path, QSize(160, 120));
        EXPECT_EQ(whole.end, VideoReader::Status::End) << name;
        EXPECT_EQ(whole.pts.size(), kFrames) << name;
        // Damaged, every frame before the key frame comes out, then the stream fails there,
        // whatever the number of decoding threads.
        for (const int threads : {1, 2, 8}) {
            const Walk broken = walk(damaged, QSize(160, 120), threads);
            EXPECT_EQ(broken.end, VideoReader::Status::Failed) << name << threads;
            ASSERT_EQ(broken.pts.size(), kKeyFrame) << name << " threads " << threads;
            EXPECT_EQ(broken.pictures, whole.pictures.mid(0, kKeyFrame)) << name << threads;
        }
        // A run from the first frame: 44 frames, then the end at the damaged one, ten times.
        QList<std::pair<SourceItem::Kind, double>> expected;
        for (int frame = 1; frame < kKeyFrame; ++frame)
            expected.append({SourceItem::Kind::Picture, frame / 30.0});
        expected.append({SourceItem::Kind::Unreadable, (kKeyFrame - 1) / 30.0});
        for (int run = 0; run < 10; ++run) {
            const auto items = takeRun(damaged); // Matroska keeps milliseconds
            ASSERT_EQ(items.size(), expected.size()) << name << " run " << run;
            for (qsizetype i = 0; i < items.size(); ++i) {
                EXPECT_EQ(items[i].first, expected[i].first) << name << " item " << i;
                EXPECT_NEAR(items[i].second, expected[i].second, 6e-4) << name << " item " << i;
            }
        }
    }
}

// Matroska keeps milliseconds: frames 100.0 and 100.2 ms after the start share a timestamp in
// the file. The second counts a tick later, and every seek and run keeps both apart.
TEST(VideoTimestampsTest, twoFramesWithOneTimestampStayTwoFrames) {
    QList<QImage> frames;
    for (uint32_t i = 0; i < 6; ++i)
        frames.append(noise(QSize(64, 48), 10 + i));
    VideoWriteOptions options = losslessClip(64, 48);
    options.timeBaseDen = 10000;
    const QString path =
        writeClip(tempFile("twins.mkv"), frames, options, {0, 1000, 1002, 2000, 3000, 4000});
    const Walk all = walk(path, QSize(64, 48));
    EXPECT_EQ(all.pts, QList<int64_t>({0, 100, 101, 200, 300, 400}));
    EXPECT_EQ(all.pictures, frames);
    // The target, and the frame on screen then.
    const QList<std::pair<int64_t, int>> seeks = {{101, 2}, {100, 1}, {99, 0}, {200, 3},
                                                  {199, 2}, {100, 1}, {101, 2}};
    auto opened = VideoReader::open(path);
    ASSERT_TRUE(opened.reader);
    for (const auto& [target, frame] : seeks) {
        ASSERT_EQ(opened.reader->seekToFrameAt(target), VideoReader::Status::Frame) << target;
        EXPECT_EQ(opened.reader->picture(QSize(64, 48)), frames[frame]) << target;
    }
    // Placed on the first of the two, a run goes on with the second; after the second, with
    // the frame after both.
    for (const auto& [lastPts, first] : {std::pair{int64_t(100), 2}, std::pair{int64_t(101), 3}}) {
        AnalysisSource where;
        where.kind = AnalysisSource::Kind::Video;
        where.placementPts = 0;
        where.lastPts = lastPts;
        VideoSource source(where, path, QSize(64, 48));
        for (int frame = first; frame <= 6; ++frame) {
            std::optional<SourceItem> item;
            while (!(item = source.take(std::chrono::milliseconds(50)))) {
            }
            if (frame == 6) {
                EXPECT_EQ(item->kind, SourceItem::Kind::EndOfStream);
            } else {
                ASSERT_EQ(item->kind, SourceItem::Kind::Picture) << lastPts;
                EXPECT_EQ(item->picture, frames[frame]) << lastPts << " frame " << frame;
            }
        }
    }
}

// The sample video of the run command and the data folder, written as they write it, plays
// to its end: no damage is seen where there is none.
TEST(DamagedVideoTest, theSampleVideoPlaysToItsEnd) {
    VideoWriteOptions options;
    options.encoderOptions = {{"preset", "veryfast"}, {"crf", "20"}};
    QString error;
    const QString path = tempFile("sample.mp4");
    ASSERT_TRUE(writeSampleVideo(path, 300, SampleOptions(), options, &error))
        << error.toStdString();
    const auto items = takeRun(path);
    ASSERT_EQ(items.size(), 300);
    EXPECT_EQ(items.back().first, SourceItem::Kind::EndOfStream);
    EXPECT_NEAR(items[298].second, 299 / 30.0, 1e-9);
}

struct SeekRow {
    const char* file; // the container goes by the extension
    const char* encoder;
    QList<std::pair<QByteArray, QByteArray>> options;
};

class SeekTest : public ::testing::TestWithParam<SeekRow> {};

// Seeks land on the frame a front-to-back decode shows at that time. A transport stream finds
// a time by searching its bytes and may land after the key frame before the target, or
// between key frames; an open group's first B-frames refer to pictures before the seek.
TEST_P(SeekTest, showsTheFrameAFrontToBackDecodeShowsAtThatTime) {
    const SeekRow& row = GetParam();
    VideoWriteOptions options;
    options.encoder = QLatin1String(row.encoder);
    options.encoderOptions = row.options;
    options.width = 320;
    options.height = 240;
    options.gop = 30;
    const QString path =
        writeClip(tempFile(QLatin1String(row.file)),
                  sampleFrames(150, {.width = 320, .height = 240, .markerRadius = 3}), options);
    const Walk reference = walk(path, QSize(160, 120));
    ASSERT_EQ(reference.end, VideoReader::Status::End);
    ASSERT_EQ(reference.pts.size(), 150);
    // The frame on screen at `target` in the front-to-back decode.
    const auto expectedAt = [&reference](int64_t target) {
        qsizetype frame = 0;
        while (frame + 1 < reference.pts.size() && reference.pts[frame + 1] <= target)
            ++frame;
        return frame;
    };
    std::mt19937 random(20261207);
    const int64_t first = reference.pts.front();
    const int64_t span = reference.pts.back() - first;
    QList<int64_t> targets = {first - 1, first, reference.pts.back(), reference.pts.back() + 99};
    for (int i = 0; i < 24; ++i) {
        const qsizetype frame = random() % reference.pts.size();
        targets.append(reference.pts[frame]);                       // exactly a frame's time
        targets.append(first + int64_t(random() % uint64_t(span))); // between frames
    }
    // One reader seeking back and forth, as a continuation does after the start dialog.
    auto opened = VideoReader::open(path);
    ASSERT_TRUE(opened.reader);
    for (const int64_t target : targets) {
        const qsizetype frame = expectedAt(target);
        ASSERT_EQ(opened.reader->seekToFrameAt(target), VideoReader::Status::Frame) << target;
        EXPECT_EQ(opened.reader->pts(), reference.pts[frame]) << target;
        EXPECT_EQ(opened.reader->picture(QSize(160, 120)), reference.pictures[frame]) << target;
        // And on from there.
        if (frame + 1 < reference.pts.size()) {
            ASSERT_EQ(opened.reader->next(), VideoReader::Status::Frame) << target;
            EXPECT_EQ(opened.reader->pts(), reference.pts[frame + 1]) << target;
        }
    }
    // A fresh reader for each, as the start dialog and a reopened analysis load one frame.
    for (const qsizetype frame : {qsizetype(1), qsizetype(29), qsizetype(61), qsizetype(149)}) {
        const VideoFrameResult loaded =
            loadVideoFrameAt(path, reference.pts[frame], QSize(160, 120));
        ASSERT_TRUE(loaded.frame) << frame << " " << loaded.error.toStdString();
        EXPECT_EQ(loaded.frame->picture, reference.pictures[frame]) << frame;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Containers, SeekTest,
    ::testing::Values(SeekRow{"closed.mts", "libx264", {}},
                      SeekRow{"open.mts", "libx264", {{"x264-params", "open-gop=1"}}},
                      SeekRow{"hevc.mts", "libx265", {{"x265-params", "log-level=error"}}},
                      SeekRow{"mpeg2.mts", "mpeg2video", {{"bf", "2"}}},
                      SeekRow{"open.mp4", "libx264", {{"x264-params", "open-gop=1"}}}),
    [](const auto& row) { return QString(row.param.file).replace('.', '_').toStdString(); });

struct MatrixRow {
    int rotation; // clockwise degrees written into the display matrix
    bool hflip;   // then mirrored left to right
    bool vflip;   // or upside down
    VideoOrientation expected;
};

// A front camera writes a mirror into the display matrix; read as a turn alone, up and down
// swapped places in the picture, and so did forward and backward sway.
TEST(OrientationTest, theDisplayMatrixTurnsAndMirrorsEveryFrameUpright) {
    const MatrixRow rows[] = {
        {0, false, false, {0, false}},   {0, true, false, {0, true}},
        {0, false, true, {180, true}},   {90, true, false, {90, true}},
        {90, false, true, {270, true}},  {180, true, true, {0, false}},
        {270, true, false, {270, true}}, {180, false, false, {180, false}},
    };
    const QList<QImage> upright = {noise(QSize(48, 32), 1), noise(QSize(48, 32), 2)};
    for (const MatrixRow& row : rows) {
        // Stored as the sensor saw it: what a player shows, with the flips and the turn undone.
        QList<QImage> stored;
        for (const QImage& picture : upright)
            stored.append(picture.mirrored(row.hflip, row.vflip)
                              .transformed(QTransform().rotate(-row.rotation)));
        VideoWriteOptions options = losslessClip(stored[0].width(), stored[0].height());
        options.rotation = row.rotation;
        options.hflip = row.hflip;
        options.vflip = row.vflip;
        const QString path = writeClip(
            tempFile(QStringLiteral("m%1%2%3.mov").arg(row.rotation).arg(row.hflip).arg(row.vflip)),
            stored, options);
        auto opened = VideoReader::open(path);
        ASSERT_TRUE(opened.reader);
        const VideoInfo& info = opened.reader->info();
        EXPECT_EQ(info.orientation(), row.expected) << row.rotation << row.hflip << row.vflip;
        EXPECT_EQ(QSize(info.width, info.height), QSize(48, 32));
        for (const QImage& picture : upright) {
            ASSERT_EQ(opened.reader->next(), VideoReader::Status::Frame);
            EXPECT_EQ(opened.reader->picture(QSize(48, 32)), picture)
                << row.rotation << row.hflip << row.vflip;
        }
    }
}

// A window of the upright picture, cut from the stored frame and turned, is the same window of
// the whole frame turned: random frames, windows and display scales.
TEST(OrientationTest, aStoredWindowTurnedUprightIsTheUprightWindow) {
    std::mt19937 random(7);
    for (int round = 0; round < 400; ++round) {
        const VideoOrientation orientation{int(random() % 4) * 90, bool(random() % 2)};
        const QSize stored(1 + random() % 9, 1 + random() % 9);
        const QImage frame = noise(stored, round);
        const QImage upright = orientation.apply(frame);
        ASSERT_EQ(upright.size(), orientation.uprightSize(stored));
        ASSERT_EQ(orientation.storedSize(upright.size()), stored);
        // The transform takes each stored pixel's centre to where apply() put it.
        const QTransform map = orientation.transform(stored);
        for (int y = 0; y < stored.height(); ++y)
            for (int x = 0; x < stored.width(); ++x) {
                const QPointF to = map.map(QPointF(x + 0.5, y + 0.5));
                ASSERT_EQ(upright.pixel(int(to.x()), int(to.y())), frame.pixel(x, y))
                    << round << " " << x << "," << y;
            }
        // A window given in quarter pixels of the picture shown at 1x to 3x its size; the cut
        // holds the whole upright pixels it touches.
        const int scale = 1 + random() % 3;
        const int quarters = 4 * scale;
        const int left = random() % (upright.width() * quarters);
        const int top = random() % (upright.height() * quarters);
        const int right = left + 1 + random() % (upright.width() * quarters - left);
        const int bottom = top + 1 + random() % (upright.height() * quarters - top);
        const QRectF asShown(left / 4.0, top / 4.0, (right - left) / 4.0, (bottom - top) / 4.0);
        const QRect window(
            QPoint(left / quarters, top / quarters),
            QPoint((right + quarters - 1) / quarters - 1, (bottom + quarters - 1) / quarters - 1));
        const QRect cut = storedRectFor(orientation, stored, upright.size() * scale, asShown);
        ASSERT_EQ(orientation.apply(frame.copy(cut)), upright.copy(window)) << round;
    }
    // Outside the picture nothing is cut; a part outside is clipped.
    EXPECT_TRUE(storedRectFor({90, true}, QSize(8, 6), QSize(6, 8), QRectF(7, 0, 3, 3)).isEmpty());
    EXPECT_EQ(storedRectFor({}, QSize(8, 6), QSize(16, 12), QRectF(-4, 2.5, 10, 2)),
              QRect(0, 1, 3, 2));
}

// Files that hold no video are refused at once with a reason, before any decoding.
TEST(NotAVideoTest, isRefusedWithAReason) {
    const QString song = tempFile(QStringLiteral("歌.mka"));
    QString error;
    ASSERT_TRUE(writeSoundWithCover(song, noise(QSize(64, 64), 3), &error)) << error.toStdString();
    const QString pipe = tempFile(QStringLiteral("pipe.mp4"));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString folder = tempFile(QStringLiteral("folder.mp4"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QList<std::pair<QString, const char*>> rows = {
        {song, "映像が入っていません"},         // its cover art is a picture, not a video
        {pipe, "通常のファイルではありません"}, // opening it would wait for a writer forever
        {folder, "通常のファイルではありません"},
        {QStringLiteral("/dev/zero"), "通常のファイルではありません"},
    };
    for (const auto& [path, reason] : rows) {
        const VideoProbeResult probe = probeVideo(path);
        EXPECT_FALSE(probe.info) << path.toStdString();
        EXPECT_EQ(probe.error, QString::fromUtf8(reason)) << path.toStdString();
    }
}

} // namespace
