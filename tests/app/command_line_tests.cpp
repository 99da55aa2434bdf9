// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_line.h"
#include "data_folder.h"
#include "open_at_start.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A parsed command line in one line, so each row states its whole expectation.
std::string summary(const CommandLine& c) {
    static const char* const kActions[] = {"run", "help", "version", "fail"};
    return QStringLiteral("%1%2%3%4%5")
        .arg(QLatin1String(kActions[int(c.action)]),
             c.dataDir.isEmpty() ? QString() : " data-dir=" + c.dataDir,
             c.userData ? " user-data" : "", c.quitWhenShown ? " quit" : "",
             c.file.isEmpty() ? QString() : " file=" + c.file)
        .toStdString();
}

TEST(CommandLine, Parses) {
    // {arguments after the program name, summary(), part of the help, version or error text}
    const std::tuple<QStringList, const char*, const char*> rows[] = {
        {{}, "run", ""},
        {{"--help"}, "help", "Usage: vestra2007 [options] [file]"},
        {{"--help"}, "help", "ヘルプ → 使い方 (F1);\nit is the file /doc/index.html."},
        {{"--help"}, "help", "samples/sample.mp4"},
        {{"--version"}, "version", "Vestra2007 1.0.11\n"},
        {{"--version", "--help"}, "help", "--user-data"},
        {{"a(001).bmp", "--data-dir", "d"}, "run data-dir=d file=a(001).bmp", ""},
        {{"--user-data", "/p/run.vestra"}, "run user-data file=/p/run.vestra", ""},
        {{"--quit-when-shown", "--data-dir", "d"}, "run data-dir=d quit", ""},
        {{"--bogus"}, "fail", "Unknown option 'bogus'."},
        {{"--data-dir="}, "fail", "--data-dir needs a folder."},
        {{"--data-dir", "a", "--data-dir", "b"}, "fail", "--data-dir is given more than once."},
        {{"--user-data", "--data-dir", "a"},
         "fail",
         "--data-dir and --user-data cannot be used together."},
        {{"a.bmp", "b.bmp"}, "fail", "Only one file can be opened at start; 2 were given."},
        {{""}, "fail", "The file name is empty."},
        // A wrong option is reported even next to --version.
        {{"--version", "--bogus"}, "fail", "Unknown option 'bogus'."},
    };
    for (const auto& [arguments, expected, textHas] : rows) {
        const CommandLine command =
            parseCommandLine(QStringList{"vestra2007"} + arguments, "/doc/index.html");
        SCOPED_TRACE((arguments.join(' ') + " -> " + command.text).toStdString());
        EXPECT_EQ(summary(command), expected);
        EXPECT_TRUE(command.text.contains(QString::fromUtf8(textHas)));
        EXPECT_TRUE(command.action != CommandAction::Fail || // a failure ends with the hint
                    command.text.endsWith("Try 'vestra2007 --help' for more information.\n"));
        EXPECT_FALSE(command.text.contains("quit-when-shown")); // the check option is not for users
    }
}

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
    // Only the last suffix counts, not the folder's. Unknown and missing files go to the photo
    // loader, which knows pictures by their content.
    const std::pair<const char*, StartFileKind> rows[] = {
        {"/d/A(001).BMP", K::Photo},        {"/d/IMG_0001.MOV", K::Video},
        {"/d/RUN.VESTRA", K::Analysis},     {"/d/clip.mp4.jpg", K::Photo},
        {"/d/x.vestra/clip.mkv", K::Video}, {"/nonexistent/IMG0001", K::Photo}};
    for (const auto& [path, kind] : rows)
        EXPECT_EQ(startFileKind(QString::fromUtf8(path)), kind) << path;
}

TEST(CommandLine, UserDataFolder) {
    // {XDG_DATA_HOME, home, folder}; relative values are invalid by the XDG rules and ignored.
    const char* const rows[][3] = {
        {"/data/u/", "/home/u", "/data/u/vestra2007"},
        {"", "/home/u/", "/home/u/.local/share/vestra2007"},
        {"data", "/home/u", "/home/u/.local/share/vestra2007"},
    };
    for (const auto& [xdg, home, folder] : rows)
        EXPECT_EQ(userDataFolder(QString::fromUtf8(xdg), QString::fromUtf8(home)).toStdString(),
                  folder)
            << xdg << " " << home;
}

} // namespace
