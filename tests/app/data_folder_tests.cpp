#include "data_folder.h"
#include "file_bytes.h"
#include "sample_photos.h"
#include "video_info.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ostream>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

// Readable failures for Qt texts.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

QString samplePath(const QString& dir, int frame) {
    return QDir(dir).filePath("samples/" + sampleFileName("sample", frame));
}

// Root may write anywhere, so the preparation of a folder that belongs to someone else runs in
// a child process that has given up root first (or is not root anyway).
int prepareAsNobody(const char* dir) {
    constexpr uid_t kNobody = 65534;
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
        std::perror("giving up root");
        return 3;
    }
    int argc = 1;
    char name[] = "data_folder_tests";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    const DataFolderResult result = prepareDataFolder(QString::fromLocal8Bit(dir), 2, 0);
    std::printf("%s", result.error.toUtf8().constData());
    return ::geteuid() == 0 ? 3 : 0;
}

DataFolderResult prepareAsAnotherUser(const QString& dir) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {"--prepare-as-nobody", dir});
    EXPECT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardError().toStdString();
    const QString error = QString::fromUtf8(child.readAllStandardOutput());
    return {error.isEmpty(), false, error};
}

class DataFolderTest : public testing::Test {
protected:
    QTemporaryDir mRoot;
    QString path(const QString& relative) const { return mRoot.filePath(relative); }
};

TEST_F(DataFolderTest, FirstStartCreatesTheFolderWithDefaultsAndSamples) {
    const QString dir = path("home/.local/share/vestra2007");
    const DataFolderResult result = prepareDataFolder(dir, kSamplePhotoCount, 12);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_TRUE(result.filled);
    EXPECT_EQ(readBytes(dir + "/pcol.dat"), QByteArray("0,40\r\n"));
    // Nothing else: no probe or temporary file left behind.
    EXPECT_EQ(entries(dir), QStringList({"pcol.dat", "samples"}));
    const QStringList samples = entries(dir + "/samples");
    ASSERT_EQ(samples.size(), 31);
    EXPECT_EQ(samples[29], "sample(030).bmp");
    EXPECT_EQ(samples.last(), "sample.mp4");
    const VideoProbeResult video = probeVideo(dir + "/samples/sample.mp4");
    ASSERT_TRUE(video.info) << video.error.toStdString();
    EXPECT_EQ(video.info->frameCount, 12);
    // The photos of the README's first analysis: the generator's sequence, pixel for pixel.
    for (int frame : {0, 29})
        EXPECT_EQ(QImage(samplePath(dir, frame)).convertToFormat(QImage::Format_RGB32),
                  sampleFrame(frame));
}

TEST_F(DataFolderTest, SecondStartKeepsTheUsersFiles) {
    const QString dir = path("data");
    ASSERT_TRUE(prepareDataFolder(dir, 3, 0).ok);
    writeBytes(dir + "/pcol.dat", "12,34\r\n");
    writeBytes(samplePath(dir, 0), "the user's own picture");
    ASSERT_TRUE(QFile::remove(samplePath(dir, 2)));

    const DataFolderResult again = prepareDataFolder(dir, 3, 0);
    ASSERT_TRUE(again.ok) << again.error.toStdString();
    EXPECT_FALSE(again.filled);
    EXPECT_EQ(readBytes(dir + "/pcol.dat"), QByteArray("12,34\r\n"));
    EXPECT_EQ(readBytes(samplePath(dir, 0)), QByteArray("the user's own picture"));
    EXPECT_FALSE(QFile::exists(samplePath(dir, 2))); // deleted by the user: stays deleted
}

TEST_F(DataFolderTest, AFirstStartCutShortIsCompletedWithoutReplacingFiles) {
    // pcol.dat is written last; without it the folder counts as new.
    const QString dir = path("data");
    ASSERT_TRUE(QDir().mkpath(dir + "/samples"));
    writeBytes(samplePath(dir, 0), "kept");
    const DataFolderResult result = prepareDataFolder(dir, 3, 0);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(readBytes(samplePath(dir, 0)), QByteArray("kept"));
    EXPECT_EQ(QImage(samplePath(dir, 2)).size(), QSize(640, 480));
    EXPECT_EQ(readBytes(dir + "/pcol.dat"), QByteArray("0,40\r\n"));
}

struct RefusalRow {
    const char* name;
    const char* blocker; // a regular file put in the way, or nullptr
    bool ready;          // the temporary folder has pcol.dat already
    bool otherUser;      // the temporary folder belongs to someone else
    const char* dir;     // to prepare, in the temporary folder
    const char* message; // with the path as %1; empty when the start goes on
};

void PrintTo(const RefusalRow& row, std::ostream* out) {
    *out << row.name;
}

class RefusalTest : public DataFolderTest, public testing::WithParamInterface<RefusalRow> {};

TEST_P(RefusalTest, SaysWhyAndWritesNothing) {
    const RefusalRow& row = GetParam();
    if (row.blocker)
        writeBytes(path(row.blocker), "not a folder");
    if (row.ready)
        writeBytes(path("pcol.dat"), "5,30\r\n");
    const QStringList before = entries(mRoot.path());
    const QString dir = QDir::cleanPath(path(row.dir));
    const QByteArray root = QFile::encodeName(mRoot.path());
    DataFolderResult result;
    if (row.otherUser) {
        // Reachable by the other user, not writable.
        ASSERT_EQ(::chmod(root.constData(), ::geteuid() == 0 ? 0755 : 0555), 0);
        result = prepareAsAnotherUser(dir);
        ::chmod(root.constData(), 0755);
    } else {
        result = prepareDataFolder(dir, 2, 0);
    }
    const QString message = QString::fromUtf8(row.message);
    EXPECT_EQ(result.error, message.isEmpty() ? message : message.arg(dir));
    EXPECT_EQ(result.ok, message.isEmpty());
    EXPECT_EQ(entries(mRoot.path()), before);
}

const RefusalRow kRefusalRows[] = {
    {"under_a_file", "blocker", false, false, "blocker/vestra2007",
     "データフォルダを作成できません。\n%1\nパスの途中にフォルダではないファイルがあります。"},
    {"is_a_file", "vestra2007", false, false, "vestra2007",
     "データフォルダを作成できません。\n%1\n同じ名前のファイルがあります。"},
    {"read_only_folder", nullptr, false, true, ".",
     "データフォルダに書き込めません。\n%1\nこのユーザーには書き込みの権限がありません。"},
    {"read_only_parent", nullptr, false, true, "vestra2007",
     "データフォルダを作成できません。\n%1\nこのユーザーには書き込みの権限がありません。"},
    // A shared, prepared folder on read-only storage: nothing needs to be written.
    {"read_only_but_ready", nullptr, true, true, ".", ""},
};
INSTANTIATE_TEST_SUITE_P(Rows, RefusalTest, testing::ValuesIn(kRefusalRows),
                         [](const testing::TestParamInfo<RefusalRow>& row) {
                             return std::string(row.param.name);
                         });

} // namespace

int main(int argc, char* argv[]) {
    if (argc == 3 && std::strcmp(argv[1], "--prepare-as-nobody") == 0)
        return prepareAsNobody(argv[2]);
    QGuiApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
