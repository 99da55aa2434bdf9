#include "data_folder.h"
#include "sample_photos.h"

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
#include <string>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

// Readable failures for Qt texts.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

// Test names from the rows' names.
template <typename Row> std::string rowName(const testing::TestParamInfo<Row>& row) {
    return row.param.name;
}

constexpr uid_t kNobody = 65534;

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QStringList entries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QString samplePath(const QString& dir, int frame) {
    return QDir(dir).filePath(QStringLiteral("samples/") + sampleFileName("sample", frame));
}

// What prepareDataFolder says when run by a user other than the folder's owner. Root may write
// anywhere, so as root the preparation runs in a child process that has given up root first.
struct Prepared {
    bool ran = false;
    bool ok = false;
    QString error;
};

Prepared prepareAsAnotherUser(const QString& dir) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--prepare-as-nobody"), dir});
    if (!child.waitForFinished(60000) || child.exitCode() != 0) {
        ADD_FAILURE() << "child failed: " << child.readAllStandardError().toStdString();
        return {};
    }
    const QStringList lines = QString::fromUtf8(child.readAllStandardOutput()).split('\n');
    return {true, lines.value(0) == QLatin1String("ok"), lines.mid(1).join('\n').trimmed()};
}

int prepareAsNobody(const char* dir) {
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
        std::perror("giving up root");
        return 3;
    }
    if (::geteuid() == 0) {
        std::fputs("still root\n", stderr);
        return 3;
    }
    int argc = 1;
    char name[] = "data_folder_tests";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    const DataFolderResult result = prepareDataFolder(QString::fromLocal8Bit(dir), 2);
    std::printf("%s\n%s\n", result.ok ? "ok" : "failed", result.error.toUtf8().constData());
    return 0;
}

class DataFolderTest : public testing::Test {
protected:
    QTemporaryDir mRoot;
    QString path(const char* relative) const { return mRoot.filePath(QString::fromUtf8(relative)); }
};

TEST_F(DataFolderTest, FirstStartCreatesTheFolderWithDefaultsAndSamples) {
    const QString dir = path("home/.local/share/vestra2007");
    const DataFolderResult result = prepareDataFolder(dir);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_TRUE(result.filled);
    EXPECT_EQ(readAll(QDir(dir).filePath("pcol.dat")), QByteArray("0,40\r\n"));
    // Nothing else, no probe or temporary file left behind.
    EXPECT_EQ(entries(dir), QStringList({"pcol.dat", "samples"}));
    const QStringList samples = entries(QDir(dir).filePath("samples"));
    ASSERT_EQ(samples.size(), 30);
    EXPECT_EQ(samples.first(), "sample(001).bmp");
    EXPECT_EQ(samples.last(), "sample(030).bmp");
    // The photos the README's first analysis uses: the generator's sequence, pixel for pixel.
    for (int frame : {0, 29}) {
        const QImage written(samplePath(dir, frame));
        EXPECT_EQ(written.convertToFormat(QImage::Format_RGB32), sampleFrame(frame)) << frame;
    }
}

TEST_F(DataFolderTest, SecondStartKeepsTheUsersFiles) {
    const QString dir = path("data");
    ASSERT_TRUE(prepareDataFolder(dir, 3).ok);
    writeAll(QDir(dir).filePath("pcol.dat"), "12,34\r\n");
    writeAll(samplePath(dir, 0), "the user's own picture");
    ASSERT_TRUE(QFile::remove(samplePath(dir, 2)));
    writeAll(QDir(dir).filePath("walk_1.csv"), "1,2\r\n");

    const DataFolderResult again = prepareDataFolder(dir, 3);
    ASSERT_TRUE(again.ok) << again.error.toStdString();
    EXPECT_FALSE(again.filled);
    EXPECT_EQ(readAll(QDir(dir).filePath("pcol.dat")), QByteArray("12,34\r\n"));
    EXPECT_EQ(readAll(samplePath(dir, 0)), QByteArray("the user's own picture"));
    EXPECT_FALSE(QFile::exists(samplePath(dir, 2))); // deleted by the user: stays deleted
    EXPECT_EQ(readAll(QDir(dir).filePath("walk_1.csv")), QByteArray("1,2\r\n"));
}

TEST_F(DataFolderTest, AFirstStartCutShortIsCompletedWithoutReplacingFiles) {
    // pcol.dat is written last; without it the folder counts as new.
    const QString dir = path("data");
    ASSERT_TRUE(QDir().mkpath(QDir(dir).filePath("samples")));
    writeAll(samplePath(dir, 0), "kept");
    const DataFolderResult result = prepareDataFolder(dir, 3);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_TRUE(result.filled);
    EXPECT_EQ(readAll(samplePath(dir, 0)), QByteArray("kept"));
    EXPECT_TRUE(QImage(samplePath(dir, 2)).size() == QSize(640, 480));
    EXPECT_EQ(readAll(QDir(dir).filePath("pcol.dat")), QByteArray("0,40\r\n"));
}

struct FailureRow {
    const char* name;
    const char* blocker; // a regular file put in the way
    const char* dir;
    const char* message;
};

void PrintTo(const FailureRow& row, std::ostream* out) {
    *out << row.name;
}

class DataFolderFailureTest : public DataFolderTest,
                              public testing::WithParamInterface<FailureRow> {};

TEST_P(DataFolderFailureTest, SaysWhyAndChangesNothing) {
    const FailureRow& row = GetParam();
    writeAll(path(row.blocker), "not a folder");
    const QString dir = path(row.dir);
    const DataFolderResult result = prepareDataFolder(dir, 2);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error,
              QStringLiteral("データフォルダを作成できません。\n%1\n%2").arg(dir, row.message));
    EXPECT_EQ(readAll(path(row.blocker)), QByteArray("not a folder"));
    EXPECT_EQ(entries(mRoot.path()), QStringList({row.blocker}));
}

const FailureRow kFailureRows[] = {
    {"under_a_file", "blocker", "blocker/vestra2007",
     "パスの途中にフォルダではないファイルがあります。"},
    {"deep_under_a_file", "blocker", "blocker/a/b",
     "パスの途中にフォルダではないファイルがあります。"},
    {"is_a_file", "vestra2007", "vestra2007", "同じ名前のファイルがあります。"},
};
INSTANTIATE_TEST_SUITE_P(Rows, DataFolderFailureTest, testing::ValuesIn(kFailureRows),
                         rowName<FailureRow>);

class ForeignFolderTest : public DataFolderTest {
protected:
    void SetUp() override {
        // Another user must be able to reach the folders but not write to them.
        ASSERT_EQ(::chmod(QFile::encodeName(mRoot.path()).constData(), 0755), 0);
        if (::geteuid() != 0) {
            ASSERT_EQ(::chmod(QFile::encodeName(mRoot.path()).constData(), 0555), 0);
        }
    }
    void TearDown() override { ::chmod(QFile::encodeName(mRoot.path()).constData(), 0755); }
};

TEST_F(ForeignFolderTest, AReadOnlyFolderIsReportedAndGetsNothing) {
    const Prepared prepared = prepareAsAnotherUser(mRoot.path());
    ASSERT_TRUE(prepared.ran);
    EXPECT_FALSE(prepared.ok);
    EXPECT_EQ(prepared.error, QStringLiteral("データフォルダに書き込めません。\n%1\n"
                                             "このユーザーには書き込みの権限がありません。")
                                  .arg(mRoot.path()));
    EXPECT_TRUE(entries(mRoot.path()).isEmpty());
}

TEST_F(ForeignFolderTest, AFolderThatCannotBeMadeInAReadOnlyParentIsReported) {
    const QString dir = mRoot.filePath("vestra2007");
    const Prepared prepared = prepareAsAnotherUser(dir);
    ASSERT_TRUE(prepared.ran);
    EXPECT_FALSE(prepared.ok);
    EXPECT_EQ(prepared.error, QStringLiteral("データフォルダを作成できません。\n%1\n"
                                             "このユーザーには書き込みの権限がありません。")
                                  .arg(dir));
    EXPECT_TRUE(entries(mRoot.path()).isEmpty());
}

TEST_F(ForeignFolderTest, AReadOnlyFolderThatIsReadyStillStarts) {
    // A shared, prepared folder on read-only storage: nothing needs to be written.
    ::chmod(QFile::encodeName(mRoot.path()).constData(), 0755);
    writeAll(mRoot.filePath("pcol.dat"), "5,30\r\n");
    SetUp();
    const Prepared prepared = prepareAsAnotherUser(mRoot.path());
    ASSERT_TRUE(prepared.ran);
    EXPECT_TRUE(prepared.ok) << prepared.error.toStdString();
    EXPECT_EQ(entries(mRoot.path()), QStringList({"pcol.dat"}));
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc == 3 && std::strcmp(argv[1], "--prepare-as-nobody") == 0)
        return prepareAsNobody(argv[2]);
    QGuiApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
