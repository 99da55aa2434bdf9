// SPDX-License-Identifier: GPL-3.0-or-later
// The video reader on clips written by the libraries: where damage ends a stream, seeking
// against a front-to-back decode, orientation from the display matrix, and files it refuses.
#include "ffmpeg_raii.h"
#include "video_clips.h"
#include "video_info.h"
#include "video_orientation.h"
#include "video_source.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

// The key frames' {position, size} in the file, read with FFmpeg's demuxer alone.
QList<std::pair<int64_t, int>> keyPackets(const QString& path) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        qFatal("cannot open %s", qPrintable(path));
    AVFormatContextPtr format(raw);
    avformat_find_stream_info(raw, nullptr);
    const int stream = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    AVPacketPtr packet = makePacket();
    QList<std::pair<int64_t, int>> keys;
    for (; av_read_frame(raw, packet.get()) >= 0; av_packet_unref(packet.get()))
        if (packet->stream_index == stream && (packet->flags & AV_PKT_FLAG_KEY))
            keys.append({packet->pos, packet->size});
    return keys;
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
        SCOPED_TRACE(name);
        const QString path = writeClip(tempFile(name), sampleFrames(kFrames), options);
        const auto keys = keyPackets(path);
        ASSERT_EQ(keys.size(), 2);
        ASSERT_GT(keys[1].second, 3200); // the damage stays inside the key frame
        QByteArray bytes = readBytes(path);
        for (int i = 0; i < 3000; ++i)
            bytes[qsizetype(keys[1].first + keys[1].second / 2 - 1500 + i)] =
                char((i * 7919) ^ 0x5A);
        const QString damaged = tempFile(QStringLiteral("damaged ") + name);
        writeBytes(damaged, bytes);

        // Undamaged, the clip plays to its end. Damaged, every frame before the key frame comes
        // out, then the stream fails there, whatever the number of decoding threads.
        const Walk whole = walk(path, QSize(160, 120));
        EXPECT_EQ(whole.end, VideoReader::Status::End);
        EXPECT_EQ(whole.pts.size(), kFrames);
        for (const int threads : {1, 2, 8}) {
            const Walk broken = walk(damaged, QSize(160, 120), threads);
            EXPECT_EQ(broken.end, VideoReader::Status::Failed) << threads;
            EXPECT_EQ(broken.pictures, whole.pictures.mid(0, kKeyFrame)) << threads;
        }
        // A run from the first frame: 44 frames, then the end at the damaged one, ten times.
        for (int run = 0; run < 10; ++run) {
            AnalysisSource where = videoFrom();
            VideoSource source(where, damaged, QSize(160, 120));
            const std::vector<Step> items = takeAll(source);
            ASSERT_EQ(items.size(), size_t(kKeyFrame)) << "run " << run;
            EXPECT_EQ(items.back().second.kind, SourceItem::Kind::Unreadable) << "run " << run;
            for (int i = 0; i < kKeyFrame; ++i) // Matroska keeps milliseconds
                EXPECT_NEAR(items[i].second.seconds, std::min(i + 1, kKeyFrame - 1) / 30.0, 6e-4);
        }
    }
    // A recording that broke off gives its whole frames, then ends.
    const QList<QImage> frames = sampleFrames(20, {.width = 160, .height = 120, .markerRadius = 3});
    const QByteArray whole =
        readBytes(writeClip(tempFile("whole.mkv"), frames, losslessClip(160, 120)));
    for (const double kept : {0.35, 0.9}) {
        const QString path = tempFile(QStringLiteral("cut%1.mkv").arg(kept));
        writeBytes(path, whole.left(qsizetype(whole.size() * kept)));
        const Walk cut = walk(path, QSize(160, 120));
        EXPECT_GT(cut.pictures.size(), 0) << kept;
        EXPECT_LT(cut.pictures.size(), frames.size()) << kept;
        EXPECT_EQ(cut.pictures, frames.mid(0, cut.pictures.size())) << kept;
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
        AnalysisSource where = videoFrom(0, 1, lastPts);
        VideoSource source(where, path, QSize(64, 48));
        const std::vector<Step> items = takeAll(source);
        ASSERT_EQ(items.size(), size_t(7 - first)) << lastPts;
        for (int frame = first; frame < 6; ++frame)
            EXPECT_EQ(items[frame - first].second.picture, frames[frame])
                << lastPts << " " << frame;
        EXPECT_EQ(items.back().second.kind, SourceItem::Kind::EndOfStream);
    }
}

// Seeks land on the frame a front-to-back decode shows at that time. A transport stream finds
// a time by searching its bytes and may land after the key frame before the target, or
// between key frames; an open group's first B-frames refer to pictures before the seek.
TEST(SeekTest, showsTheFrameAFrontToBackDecodeShowsAtThatTime) {
    // {file (the container goes by the extension), encoder, its options}
    const std::tuple<const char*, const char*, QList<std::pair<QByteArray, QByteArray>>> rows[] = {
        {"closed.mts", "libx264", {}},
        {"open.mts", "libx264", {{"x264-params", "open-gop=1"}}},
        {"hevc.mts", "libx265", {{"x265-params", "log-level=error"}}},
        {"mpeg2.mts", "mpeg2video", {{"bf", "2"}}},
        {"open.mp4", "libx264", {{"x264-params", "open-gop=1"}}}};
    const QList<QImage> frames =
        sampleFrames(150, {.width = 320, .height = 240, .markerRadius = 3});
    for (const auto& [file, encoder, encoderOptions] : rows) {
        SCOPED_TRACE(file);
        VideoWriteOptions options;
        options.encoder = QLatin1String(encoder);
        options.encoderOptions = encoderOptions;
        options.width = 320;
        options.height = 240;
        options.gop = 30;
        const QString path = writeClip(tempFile(QLatin1String(file)), frames, options);
        const Walk reference = walk(path, QSize(160, 120));
        ASSERT_EQ(reference.end, VideoReader::Status::End);
        ASSERT_EQ(reference.pts.size(), 150);
        std::mt19937 random(20261207);
        const int64_t first = reference.pts.front(), last = reference.pts.back();
        QList<int64_t> targets = {first - 1, first, last, last + 99};
        for (int i = 0; i < 24; ++i) {
            targets.append(reference.pts[random() % 150]);                      // a frame's time
            targets.append(first + int64_t(random() % uint64_t(last - first))); // between frames
        }
        // One reader seeking back and forth, as a continuation does after the start dialog.
        auto opened = VideoReader::open(path);
        ASSERT_TRUE(opened.reader);
        for (const int64_t target : targets) {
            // The frame on screen at `target` in the front-to-back decode.
            qsizetype frame = 0;
            while (frame + 1 < 150 && reference.pts[frame + 1] <= target)
                ++frame;
            ASSERT_EQ(opened.reader->seekToFrameAt(target), VideoReader::Status::Frame) << target;
            EXPECT_EQ(opened.reader->pts(), reference.pts[frame]) << target;
            EXPECT_EQ(opened.reader->picture(QSize(160, 120)), reference.pictures[frame]) << target;
            if (frame + 1 < 150) { // and on from there
                ASSERT_EQ(opened.reader->next(), VideoReader::Status::Frame) << target;
                EXPECT_EQ(opened.reader->pts(), reference.pts[frame + 1]) << target;
            }
        }
        // A fresh reader for each, as 動画を開く loads the frame at a time (frame i at i / 30 s
        // after the first) and a reopened analysis the frame at its timestamp.
        for (const qsizetype frame : {1, 29, 61, 149}) {
            const VideoFrameResult atTime = loadVideoFrameAtSeconds(path, frame / 30.0);
            ASSERT_TRUE(atTime.frame) << frame << " " << atTime.error.toStdString();
            EXPECT_EQ(atTime.frame->pts, reference.pts[frame]) << frame;
            const VideoFrameResult atPts =
                loadVideoFrameAt(path, reference.pts[frame], QSize(160, 120));
            ASSERT_TRUE(atPts.frame) << frame << " " << atPts.error.toStdString();
            EXPECT_EQ(atPts.frame->picture, reference.pictures[frame]) << frame;
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

// What is no readable video is refused at once with a reason, before any decoding.
TEST(NotAVideoTest, isRefusedWithAReason) {
    const QString song = tempFile(QStringLiteral("歌.mka"));
    QString error;
    ASSERT_TRUE(writeSoundWithCover(song, noise(QSize(64, 64), 3), &error)) << error.toStdString();
    const QString pipe = tempFile(QStringLiteral("pipe.mp4"));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString folder = tempFile(QStringLiteral("folder.mp4"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QByteArray mov =
        readBytes(writeClip(tempFile("whole.mov"), sampleFrames(6), losslessClip()));
    ASSERT_TRUE(sampleFrame(0).save(tempFile("photo.jpg")));
    const char* const unreadable =
        "動画として読み取れないデータです（対応していない形式か、壊れています）";
    // {a file's name and bytes (none: as it is), the reason}
    const std::tuple<QString, QByteArray, const char*> rows[] = {
        {tempFile("empty.mp4"), "", unreadable},
        {tempFile("photo.mp4"), readBytes(tempFile("photo.jpg")), unreadable},
        // The index of a MOV or MP4 is written last: a copy that broke off has none.
        {tempFile("cut.mov"), mov.left(mov.size() / 2), unreadable},
        {tempFile("playlist.mp4"), "#EXTM3U\n#EXTINF:1,\nfile:///etc/passwd\n", unreadable},
        {tempFile("nothing here.mp4"), {}, "ファイルがありません"},
        {song, {}, "映像が入っていません"},         // its cover art is a picture, not a video
        {pipe, {}, "通常のファイルではありません"}, // opening it would wait for a writer forever
        {folder, {}, "通常のファイルではありません"},
        {QStringLiteral("/dev/zero"), {}, "通常のファイルではありません"},
    };
    for (const auto& [path, bytes, reason] : rows) {
        if (!bytes.isNull())
            writeBytes(path, bytes);
        const VideoProbeResult probe = probeVideo(path);
        EXPECT_FALSE(probe.info) << path.toStdString();
        EXPECT_EQ(probe.error, QString::fromUtf8(reason)) << path.toStdString();
    }
}

} // namespace
