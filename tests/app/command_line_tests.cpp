#include "command_line.h"
#include "data_folder.h"
#include "open_at_start.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

// Readable failures for Qt texts.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

template <typename Row> std::string rowName(const testing::TestParamInfo<Row>& row) {
    return row.param.name;
}

// A parsed command line in one line, so each row states its whole expectation.
QString summary(const CommandLine& c) {
    static const char* const kActions[] = {"run", "help", "version", "fail"};
    QString text = QString::fromLatin1(kActions[int(c.action)]);
    if (!c.dataDir.isEmpty())
        text += " data-dir=" + c.dataDir;
    if (c.userData)
        text += " user-data";
    if (c.quitWhenShown)
        text += " quit";
    if (!c.file.isEmpty())
        text += " file=" + c.file;
    return text;
}

struct ParseRow {
    const char* name;
    QStringList arguments; // after the program name
    QString expected;      // summary()
    QString textHas;       // part of the help, version or error text
};

void PrintTo(const ParseRow& row, std::ostream* out) {
    *out << row.name;
}

class ParseTest : public testing::TestWithParam<ParseRow> {};

TEST_P(ParseTest, Parses) {
    const ParseRow& row = GetParam();
    const CommandLine command = parseCommandLine(QStringList{"vestra2007"} + row.arguments);
    EXPECT_EQ(summary(command), row.expected) << command.text.toStdString();
    EXPECT_TRUE(command.text.contains(row.textHas)) << command.text.toStdString();
    if (command.action == CommandAction::Fail) {
        EXPECT_TRUE(command.text.endsWith("Try 'vestra2007 --help' for more information.\n"));
    }
    // The check option is not for users.
    EXPECT_FALSE(command.text.contains("quit-when-shown"));
}

const ParseRow kParseRows[] = {
    {"none_starts_in_the_current_folder", {}, "run", {}},
    {"help", {"--help"}, "help", "Usage: vestra2007 [options] [file]"},
    {"version", {"--version"}, "version", "Vestra2007 1.0.11\n"},
    {"help_wins_over_version", {"--version", "--help"}, "help", "--user-data"},
    {"data_dir", {"--data-dir", "/srv/clinic"}, "run data-dir=/srv/clinic", {}},
    {"data_dir_with_equals", {"--data-dir=rel/dir"}, "run data-dir=rel/dir", {}},
    {"photo_before_option",
     {"a(001).bmp", "--data-dir", "d"},
     "run data-dir=d file=a(001).bmp",
     {}},
    {"user_data_and_analysis",
     {"--user-data", "/p/run.vestra"},
     "run user-data file=/p/run.vestra",
     {}},
    {"quit_when_shown", {"--quit-when-shown", "--data-dir", "d"}, "run data-dir=d quit", {}},
    {"japanese_file", {"写真 (001).jpg"}, "run file=写真 (001).jpg", {}},
    {"file_that_looks_like_an_option", {"--", "-x.bmp"}, "run file=-x.bmp", {}},
    {"unknown_option", {"--bogus"}, "fail", "Unknown option 'bogus'."},
    {"data_dir_without_value", {"--data-dir"}, "fail", "Missing value after '--data-dir'."},
    {"data_dir_empty", {"--data-dir="}, "fail", "--data-dir needs a folder."},
    {"data_dir_twice",
     {"--data-dir", "a", "--data-dir", "b"},
     "fail",
     "--data-dir is given more than once."},
    {"data_dir_and_user_data",
     {"--user-data", "--data-dir", "a"},
     "fail",
     "--data-dir and --user-data cannot be used together."},
    {"two_files",
     {"a.bmp", "b.bmp"},
     "fail",
     "Only one file can be opened at start; 2 were given."},
    {"empty_file_name", {""}, "fail", "The file name is empty."},
    // A wrong option is reported even next to --version.
    {"version_with_unknown_option", {"--version", "--bogus"}, "fail", "Unknown option 'bogus'."},
};
INSTANTIATE_TEST_SUITE_P(Rows, ParseTest, testing::ValuesIn(kParseRows), rowName<ParseRow>);

TEST(CommandLine, AnswersOnTheRightStreamWithTheirExitCodes) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(answerWithoutWindow(parseCommandLine({"vestra2007", "--version"})), 0);
    EXPECT_EQ(answerWithoutWindow(parseCommandLine({"vestra2007", "--bogus"})), kUsageExitCode);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Vestra2007 1.0.11\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "vestra2007: Unknown option 'bogus'.\n"
              "Try 'vestra2007 --help' for more information.\n");
}

TEST(CommandLine, FileKinds) {
    using K = StartFileKind;
    const std::pair<const char*, StartFileKind> rows[] = {
        {"/d/A(001).BMP", K::Photo},
        {"/d/a.jpeg", K::Photo},
        {"/d/walk.mp4", K::Video},
        {"/d/IMG_0001.MOV", K::Video},
        {"/d/RUN.VESTRA", K::Analysis},
        {"/d/clip.mp4.jpg", K::Photo},      // only the last suffix counts
        {"/d/x.vestra/clip.mkv", K::Video}, // not the folder's
        // Unknown and missing files go to the photo loader, which knows pictures by content.
        {"/nonexistent/IMG0001", K::Photo},
    };
    for (const auto& [path, kind] : rows)
        EXPECT_EQ(startFileKind(QString::fromUtf8(path)), kind) << path;
}

TEST(CommandLine, UserDataFolder) {
    const char* const rows[][3] = {
        // XDG_DATA_HOME, home, folder
        {"/data/u/", "/home/u", "/data/u/vestra2007"},
        {"", "/home/u/", "/home/u/.local/share/vestra2007"},
        // Relative values are invalid by the XDG rules and are ignored.
        {"data", "/home/u", "/home/u/.local/share/vestra2007"},
        {"", "/home/山田", "/home/山田/.local/share/vestra2007"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(userDataFolder(QString::fromUtf8(row[0]), QString::fromUtf8(row[1])),
                  QString::fromUtf8(row[2]))
            << row[0] << " " << row[1];
}

} // namespace
