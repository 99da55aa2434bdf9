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

// Test names from the rows' names.
template <typename Row> std::string rowName(const testing::TestParamInfo<Row>& row) {
    return row.param.name;
}

struct ParseRow {
    const char* name;
    QStringList arguments; // after the program name
    CommandAction action;
    QString dataDir;
    bool userData = false;
    QString file;
    bool quitWhenShown = false;
    QString textHas; // part of the help, version or error text
};

void PrintTo(const ParseRow& row, std::ostream* out) {
    *out << row.name;
}

class ParseTest : public testing::TestWithParam<ParseRow> {};

TEST_P(ParseTest, Parses) {
    const ParseRow& row = GetParam();
    const CommandLine command = parseCommandLine(QStringList{"vestra2007"} + row.arguments);
    EXPECT_EQ(command.action, row.action) << command.text.toStdString();
    EXPECT_EQ(command.dataDir, row.dataDir);
    EXPECT_EQ(command.userData, row.userData);
    EXPECT_EQ(command.file, row.file);
    EXPECT_EQ(command.quitWhenShown, row.quitWhenShown);
    EXPECT_TRUE(command.text.contains(row.textHas)) << command.text.toStdString();
    if (row.action == CommandAction::Fail) {
        EXPECT_TRUE(command.text.endsWith("Try 'vestra2007 --help' for more information.\n"));
    }
}

using A = CommandAction;
const ParseRow kParseRows[] = {
    {"none_starts_in_the_current_folder", {}, A::Run, {}, false, {}, false, {}},
    {"help", {"--help"}, A::ShowHelp, {}, false, {}, false, "Usage: vestra2007 [options] [file]"},
    {"help_short", {"-h"}, A::ShowHelp, {}, false, {}, false, "--data-dir <DIR>"},
    {"help_lists_user_data", {"--help"}, A::ShowHelp, {}, false, {}, false, "--user-data"},
    {"version", {"--version"}, A::ShowVersion, {}, false, {}, false, "Vestra2007 1.0.11\n"},
    {"version_short", {"-v"}, A::ShowVersion, {}, false, {}, false, "Vestra2007 1.0.11\n"},
    {"help_wins_over_version",
     {"--version", "--help"},
     A::ShowHelp,
     {},
     false,
     {},
     false,
     "Usage:"},
    // Help is answered before the options are checked against each other.
    {"help_with_conflicting_options",
     {"--data-dir", "d", "--user-data", "--help"},
     A::ShowHelp,
     {},
     false,
     {},
     false,
     "Usage:"},
    {"data_dir", {"--data-dir", "/srv/clinic"}, A::Run, "/srv/clinic", false, {}, false, {}},
    {"data_dir_with_equals", {"--data-dir=rel/dir"}, A::Run, "rel/dir", false, {}, false, {}},
    {"data_dir_single_dash", {"-data-dir", "d"}, A::Run, "d", false, {}, false, {}},
    {"data_dir_and_photo",
     {"--data-dir", "d", "a(001).bmp"},
     A::Run,
     "d",
     false,
     "a(001).bmp",
     false,
     {}},
    {"photo_before_option", {"a.jpg", "--data-dir", "d"}, A::Run, "d", false, "a.jpg", false, {}},
    {"user_data", {"--user-data"}, A::Run, {}, true, {}, false, {}},
    {"user_data_and_analysis",
     {"--user-data", "/p/run.vestra"},
     A::Run,
     {},
     true,
     "/p/run.vestra",
     false,
     {}},
    {"quit_when_shown", {"--quit-when-shown", "--data-dir", "d"}, A::Run, "d", false, {}, true, {}},
    {"file_only", {"写真 (001).jpg"}, A::Run, {}, false, "写真 (001).jpg", false, {}},
    {"file_that_looks_like_an_option", {"--", "-x.bmp"}, A::Run, {}, false, "-x.bmp", false, {}},
    {"unknown_option", {"--bogus"}, A::Fail, {}, false, {}, false, "Unknown option 'bogus'."},
    {"compacted_short_options", {"-vh"}, A::Fail, {}, false, {}, false, "Unknown option 'vh'."},
    {"data_dir_without_value",
     {"--data-dir"},
     A::Fail,
     {},
     false,
     {},
     false,
     "Missing value after '--data-dir'."},
    {"data_dir_empty",
     {"--data-dir="},
     A::Fail,
     {},
     false,
     {},
     false,
     "--data-dir needs a folder."},
    {"data_dir_twice",
     {"--data-dir", "a", "--data-dir", "b"},
     A::Fail,
     {},
     false,
     {},
     false,
     "--data-dir is given more than once."},
    {"data_dir_and_user_data",
     {"--user-data", "--data-dir", "a"},
     A::Fail,
     {},
     false,
     {},
     false,
     "--data-dir and --user-data cannot be used together."},
    {"user_data_with_value",
     {"--user-data=x"},
     A::Fail,
     {},
     false,
     {},
     false,
     "Unexpected value after '--user-data'."},
    {"two_files",
     {"a.bmp", "b.bmp"},
     A::Fail,
     {},
     false,
     {},
     false,
     "Only one file can be opened at start; 2 were given."},
    {"empty_file_name", {""}, A::Fail, {}, false, {}, false, "The file name is empty."},
    // A failing option is reported even next to --version.
    {"version_with_unknown_option",
     {"--version", "--bogus"},
     A::Fail,
     {},
     false,
     {},
     false,
     "Unknown option 'bogus'."},
};
INSTANTIATE_TEST_SUITE_P(Rows, ParseTest, testing::ValuesIn(kParseRows), rowName<ParseRow>);

TEST(CommandLine, TheHiddenCheckOptionIsNotInTheHelp) {
    const CommandLine command = parseCommandLine({"vestra2007", "--help"});
    EXPECT_FALSE(command.text.contains("quit-when-shown"));
}

TEST(CommandLine, AnswersWithTheirExitCodes) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(answerWithoutWindow(parseCommandLine({"vestra2007", "--version"})), 0);
    EXPECT_EQ(answerWithoutWindow(parseCommandLine({"vestra2007", "--bogus"})), kUsageExitCode);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Vestra2007 1.0.11\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "vestra2007: Unknown option 'bogus'.\n"
              "Try 'vestra2007 --help' for more information.\n");
}

struct KindRow {
    const char* name;
    QString path;
    StartFileKind kind;
};

void PrintTo(const KindRow& row, std::ostream* out) {
    *out << row.name;
}

class KindTest : public testing::TestWithParam<KindRow> {};

TEST_P(KindTest, Dispatches) {
    EXPECT_EQ(startFileKind(GetParam().path), GetParam().kind);
}

using K = StartFileKind;
const KindRow kKindRows[] = {
    {"bitmap", "/d/a(001).bmp", K::Photo},
    {"upper_case_suffix", "/d/A(001).BMP", K::Photo},
    {"jpeg_long_suffix", "/d/a.jpeg", K::Photo},
    {"gif", "/d/a.gif", K::Photo},
    {"mp4", "/d/walk.mp4", K::Video},
    {"quicktime_upper", "/d/IMG_0001.MOV", K::Video},
    {"m4v", "/d/a.m4v", K::Video},
    {"avi", "/d/a.avi", K::Video},
    {"matroska", "/d/a.mkv", K::Video},
    {"windows_media", "/d/a.wmv", K::Video},
    {"transport_stream", "/d/a.m2ts", K::Video},
    {"analysis", "/d/run.vestra", K::Analysis},
    {"analysis_upper", "/d/RUN.VESTRA", K::Analysis},
    // Only the last suffix counts.
    {"photo_named_like_a_video", "/d/clip.mp4.jpg", K::Photo},
    {"video_in_a_dotted_folder", "/d/x.vestra/clip.mp4", K::Video},
    // Unknown and missing files go to the photo loader, which knows pictures by content.
    {"no_suffix_missing_file", "/nonexistent/IMG0001", K::Photo},
    {"unknown_suffix", "/nonexistent/a.xyz", K::Photo},
};
INSTANTIATE_TEST_SUITE_P(Rows, KindTest, testing::ValuesIn(kKindRows), rowName<KindRow>);

struct FolderRow {
    const char* name;
    QString xdgDataHome;
    QString home;
    QString folder;
};

void PrintTo(const FolderRow& row, std::ostream* out) {
    *out << row.name;
}

class UserFolderTest : public testing::TestWithParam<FolderRow> {};

TEST_P(UserFolderTest, Resolves) {
    EXPECT_EQ(userDataFolder(GetParam().xdgDataHome, GetParam().home), GetParam().folder);
}

const FolderRow kFolderRows[] = {
    {"xdg_data_home", "/data/u", "/home/u", "/data/u/vestra2007"},
    {"xdg_with_slash", "/data/u/", "/home/u", "/data/u/vestra2007"},
    {"unset", "", "/home/u", "/home/u/.local/share/vestra2007"},
    // Relative values are invalid by the XDG rules and are ignored.
    {"relative_xdg", "data", "/home/u", "/home/u/.local/share/vestra2007"},
    {"home_with_slash", "", "/home/u/", "/home/u/.local/share/vestra2007"},
    {"root_home", "", "/", "/.local/share/vestra2007"},
    {"japanese_home", "", "/home/山田", "/home/山田/.local/share/vestra2007"},
};
INSTANTIATE_TEST_SUITE_P(Rows, UserFolderTest, testing::ValuesIn(kFolderRows), rowName<FolderRow>);

} // namespace
