#include "settings_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#ifdef __linux__
#include <csignal>
#include <sys/resource.h>
#endif

namespace {

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

using Error = ToleranceFileError;

struct ReadRow {
    const char* name;
    std::optional<std::string> content; // nothing: no file at all
    Error failure;
    int16_t brightness = 0;
    int16_t darkness = 0;
};

class ReadToleranceFileTest : public testing::TestWithParam<ReadRow> {};

// Every row goes through a real file, so the size cap and the error texts are covered too.
TEST_P(ReadToleranceFileTest, ReadsFirstTwoFields) {
    const ReadRow& row = GetParam();
    // A "%1" in the folder name once took the field number in the error text.
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/50%1-XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("pcol.dat"));
    if (row.content) {
        ASSERT_TRUE(writeBytes(path, QByteArray::fromStdString(*row.content)));
    }

    const ToleranceReadResult result = readToleranceFile(path);
    EXPECT_EQ(result.failure, row.failure);
    EXPECT_EQ(result.ok, row.failure == Error::None);
    EXPECT_EQ(result.brightness, row.brightness);
    EXPECT_EQ(result.darkness, row.darkness);
    EXPECT_EQ(result.error.contains(QDir::toNativeSeparators(path)), !result.ok);
}

const ReadRow kReadRows[] = {
    {"AsWritten", "30,45\r\n", Error::None, 30, 45},
    {"BlanksAroundComma", " 30 , 45 ", Error::None, 30, 45},
    {"BlankSeparates", "30 45", Error::None, 30, 45},
    {"LineBreakSeparates", "30\r\n45", Error::None, 30, 45},
    {"LeadingLineBreaksAndTabs", "\r\n\n\t30,\t45", Error::None, 30, 45},
    {"ExtraFieldsIgnored", "30,45,99\r\njunk", Error::None, 30, 45},
    {"EmptyFirstFieldIsZero", ",45", Error::None, 0, 45},
    {"WordIsZero", "abc,45", Error::None, 0, 45},
    {"NumberWithTailIsZero", "12abc,1e2", Error::None, 0, 0},
    {"HalvesToEven", "12.5,13.5", Error::None, 12, 14},
    {"SmallNegativeRoundsToZero", "-0.4,254.5", Error::None, 0, 254},
    {"Int16Limits", "-32768,32767", Error::None, -32768, 32767},
    {"NegativeHalfStaysInRange", "-32768.5,+0", Error::None, -32768, 0},
    {"JunkBytesAreZero", std::string("\xff\x00\x01,\x80\xfe\r\n", 7), Error::None, 0, 0},
    {"ExactlyAtCap", "30,45" + std::string(64 * 1024 - 5, ' '), Error::None, 30, 45},
    {"NoFile", std::nullopt, Error::Unreadable},
    {"TrailingComma", "30,\r\n", Error::MissingValue},
    {"OneField", "30", Error::MissingValue},
    {"Empty", "", Error::MissingValue},
    {"JunkWithoutSeparator", "\x01\x02\x03", Error::MissingValue},
    {"FirstTooBig", "40000,1", Error::OutOfRange},
    {"SecondTooSmall", "1,-40000", Error::OutOfRange},
    {"HalfRoundsOutOfRange", "32767.5,0", Error::OutOfRange},
    {"ManyDigits", std::string(50, '9') + ",1", Error::OutOfRange},
    {"OneByteOverCap", "30,45" + std::string(64 * 1024 - 4, ' '), Error::TooLarge},
    {"OneMegabyte", "30,45\r\n" + std::string(1024 * 1024, 'x'), Error::TooLarge},
};

INSTANTIATE_TEST_SUITE_P(Rows, ReadToleranceFileTest, testing::ValuesIn(kReadRows),
                         [](const auto& row) { return std::string(row.param.name); });

struct WriteRow {
    int16_t brightness;
    int16_t darkness;
    QByteArray bytes;
};

class WriteToleranceFileTest : public testing::TestWithParam<WriteRow> {};

TEST_P(WriteToleranceFileTest, ReplacesFileWithExactBytesThatReadBack) {
    const WriteRow& row = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pcol.dat"));
    ASSERT_TRUE(writeBytes(path, "1,2\r\n"));

    ASSERT_TRUE(writeToleranceFile(dir.path(), row.brightness, row.darkness).ok);
    EXPECT_EQ(fileBytes(path), row.bytes);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"pcol.dat"});
    const ToleranceReadResult read = readToleranceFile(path);
    EXPECT_TRUE(read.ok && read.brightness == row.brightness && read.darkness == row.darkness);
}

// Hand-edited files may hold any 16-bit value; a save must keep them.
INSTANTIATE_TEST_SUITE_P(Rows, WriteToleranceFileTest,
                         testing::Values(WriteRow{30, 45, "30,45\r\n"},
                                         WriteRow{0, 255, "0,255\r\n"},
                                         WriteRow{-32768, 32767, "-32768,32767\r\n"}));

// The open-file dialog may move the current directory; the file still goes to the folder given,
// and a missing folder fails without falling back to the current one.
TEST(WriteToleranceFile, IgnoresCurrentDirectory) {
    QTemporaryDir startDir, current;
    const QString oldCurrent = QDir::currentPath();
    QDir::setCurrent(current.path());
    ASSERT_TRUE(writeBytes(QStringLiteral("pcol.dat"), "1,2\r\n"));
    const QString missing = startDir.filePath(QStringLiteral("gone"));

    const bool written = writeToleranceFile(startDir.path(), 30, 45).ok;
    const ToleranceWriteResult failed = writeToleranceFile(missing, 7, 8);
    QDir::setCurrent(oldCurrent);

    EXPECT_TRUE(written);
    EXPECT_EQ(fileBytes(startDir.filePath(QStringLiteral("pcol.dat"))), "30,45\r\n");
    EXPECT_FALSE(failed.ok);
    EXPECT_TRUE(failed.error.contains(QDir::toNativeSeparators(missing)));
    EXPECT_FALSE(QFile::exists(missing));
    EXPECT_EQ(fileBytes(current.filePath(QStringLiteral("pcol.dat"))), "1,2\r\n");
}

#ifdef __linux__
// A file size limit makes the write fail the way a full disk does, even for root.
// Buffered, QSaveFile once committed the three bytes that fitted as the new pcol.dat.
TEST(WriteToleranceFile, FullDiskLeavesOldFileIntact) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pcol.dat"));
    ASSERT_TRUE(writeBytes(path, "1,2\r\n"));

    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = old;
    tiny.rlim_cur = 3;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    const ToleranceWriteResult written = writeToleranceFile(dir.path(), 30, 45);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written.ok);
    EXPECT_TRUE(written.error.contains(path));
    EXPECT_EQ(fileBytes(path), "1,2\r\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"pcol.dat"});
}
#endif

} // namespace
