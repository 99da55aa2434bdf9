// SPDX-License-Identifier: GPL-3.0-or-later
#include "data_folder.h"
#include "file_bytes.h"
#include "read_only_folder.h"
#include "sample_photos.h"
#include "video_info.h"

#include <QGuiApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(DataFolder, FirstStartFillsItSecondKeepsItACutShortOneIsCompleted) {
    QTemporaryDir root;
    const QString dir = root.filePath("home/.local/share/vestra2007");
    const auto sample = [&dir](int frame) {
        return QDir(dir).filePath("samples/" + sampleFileName("sample", frame));
    };
    DataFolderResult result = prepareDataFolder(dir, kSamplePhotoCount, 12);
    ASSERT_TRUE(result.ok && result.filled) << result.error.toStdString();
    EXPECT_EQ(readBytes(dir + "/pcol.dat"), QByteArray("0,40\r\n"));
    EXPECT_EQ(entries(dir), QStringList({"pcol.dat", "samples"})); // no probe, no temporary file
    const QStringList samples = entries(dir + "/samples");
    ASSERT_EQ(samples.size(), 31);
    EXPECT_EQ(samples[29], "sample(030).bmp");
    EXPECT_EQ(samples.last(), "sample.mp4");
    const VideoProbeResult video = probeVideo(dir + "/samples/sample.mp4");
    ASSERT_TRUE(video.info) << video.error.toStdString();
    EXPECT_EQ(video.info->frameCount, 12);
    // The photos of the README's first analysis: the generator's sequence, pixel for pixel.
    for (int frame : {0, 29})
        EXPECT_EQ(QImage(sample(frame)).convertToFormat(QImage::Format_RGB32), sampleFrame(frame));

    // A second start keeps the user's files; a sample the user deleted stays deleted.
    writeBytes(dir + "/pcol.dat", "12,34\r\n");
    writeBytes(sample(0), "the user's own picture");
    ASSERT_TRUE(QFile::remove(sample(2)));
    result = prepareDataFolder(dir, kSamplePhotoCount, 12);
    EXPECT_TRUE(result.ok && !result.filled) << result.error.toStdString();
    EXPECT_EQ(readBytes(dir + "/pcol.dat"), QByteArray("12,34\r\n"));
    EXPECT_FALSE(QFile::exists(sample(2)));
    // pcol.dat is written last: without it a first start was cut short. The next one completes
    // it without replacing files.
    ASSERT_TRUE(QFile::remove(dir + "/pcol.dat"));
    result = prepareDataFolder(dir, kSamplePhotoCount, 12);
    EXPECT_TRUE(result.ok && result.filled) << result.error.toStdString();
    EXPECT_EQ(readBytes(sample(0)), QByteArray("the user's own picture"));
    EXPECT_EQ(QImage(sample(2)).size(), QSize(640, 480));
    EXPECT_EQ(readBytes(dir + "/pcol.dat"), QByteArray("0,40\r\n"));

    // No video frames, no video (nor a half-written one).
    const QString noVideo = root.filePath("no video");
    result = prepareDataFolder(noVideo, 2, 0);
    EXPECT_TRUE(result.ok && result.filled) << result.error.toStdString();
    EXPECT_EQ(entries(noVideo + "/samples").join(' ').toStdString(),
              "sample(001).bmp sample(002).bmp");
}

TEST(DataFolder, RefusalsSayWhyAndWriteNothing) {
    // {a file put in the way, the temporary folder has pcol.dat already, it belongs to another
    // user, the folder to prepare in it, the message with the folder as %1 (empty: started)}
    const std::tuple<const char*, bool, bool, const char*, const char*> rows[] = {
        {"blocker", false, false, "blocker/vestra2007",
         "データフォルダを作成できません。\n%1\nパスの途中にフォルダではないファイルがあります。"},
        {"vestra2007", false, false, "vestra2007",
         "データフォルダを作成できません。\n%1\n同じ名前のファイルがあります。"},
        {"", false, true, ".",
         "データフォルダに書き込めません。\n%1\nこのユーザーには書き込みの権限がありません。"},
        {"", false, true, "vestra2007",
         "データフォルダを作成できません。\n%1\nこのユーザーには書き込みの権限がありません。"},
        // A shared, prepared folder on read-only storage: nothing needs to be written.
        {"", true, true, ".", ""}};
    for (const auto& [blocker, ready, otherUser, name, message] : rows) {
        QTemporaryDir root;
        if (*blocker)
            writeBytes(root.filePath(blocker), "not a folder");
        if (ready)
            writeBytes(root.filePath("pcol.dat"), "5,30\r\n");
        const QStringList before = entries(root.path());
        const QString dir = QDir::cleanPath(root.filePath(name));
        const QString expected = *message ? QString::fromUtf8(message).arg(dir) : QString();
        SCOPED_TRACE(dir.toStdString());
        const auto prepared = [&] { // as expected (a failure in a child process is printed)
            const DataFolderResult r = prepareDataFolder(dir, 2, 0);
            EXPECT_EQ(r.error.toStdString(), expected.toStdString());
            return r.ok == expected.isEmpty() && r.error == expected;
        };
        const QByteArray path = QFile::encodeName(root.path());
        if (otherUser) { // the folder is reachable for the other user, not writable
            ASSERT_EQ(::chmod(path.constData(), ::geteuid() == 0 ? 0755 : 0555), 0);
            EXPECT_EQ(ReadOnlyFolder::asNobody(prepared), 0);
            ::chmod(path.constData(), 0755);
        } else {
            prepared();
        }
        EXPECT_EQ(entries(root.path()), before);
    }
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
