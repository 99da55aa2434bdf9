// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_line.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <cstdio>

namespace {

constexpr char kProgram[] = "vestra2007";

QString failure(const QString& error) {
    return QStringLiteral("%1: %2\nTry '%1 --help' for more information.\n")
        .arg(QLatin1String(kProgram), error);
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments, const QString& guideFile) {
    QCommandLineParser parser;
    // -data-dir reads as --data-dir, as Qt's own options are written, not as eight letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral(
            "Vestra2007: two-dimensional posture and motion analysis from photographs.\n\n"
            "Without options the program starts in the current folder, which must hold\n"
            "the settings file pcol.dat. From the desktop menu, or with --user-data, it\n"
            "starts in the user's data folder, which gets the sample photos\n"
            "samples/sample(001).bmp ... samples/sample(030).bmp and the sample video\n"
            "samples/sample.mp4 on its first start.\n\n"
            "The guide, in Japanese, opens from the menu ヘルプ → 使い方 (F1)%1")
            .arg(guideFile.isEmpty() ? QStringLiteral(".")
                                     : QStringLiteral(";\nit is the file %1.").arg(guideFile)));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption dataDir(
        QStringLiteral("data-dir"),
        QStringLiteral("Start in DIR: it is created if missing and, when it has no pcol.dat, "
                       "filled with the default pcol.dat, the sample photos and the sample "
                       "video."),
        QStringLiteral("DIR"));
    const QCommandLineOption userData(
        QStringLiteral("user-data"),
        QStringLiteral("Start in the user's data folder, $XDG_DATA_HOME/vestra2007 or "
                       "~/.local/share/vestra2007, prepared like --data-dir."));
    QCommandLineOption quitWhenShown(QStringLiteral("quit-when-shown"),
                                     QStringLiteral("End as soon as the main window is shown."));
    // For start-up checks (packaging, CI), not for users.
    quitWhenShown.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({help, version, dataDir, userData, quitWhenShown});
    parser.addPositionalArgument(
        QStringLiteral("file"),
        QStringLiteral("A photo (BMP, GIF, JPEG), a video or a .vestra analysis to open."),
        QStringLiteral("[file]"));

    CommandLine command;
    auto fail = [&command](const QString& error) {
        command.action = CommandAction::Fail;
        command.text = failure(error);
        return command;
    };
    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (parser.isSet(help)) {
        command.action = CommandAction::ShowHelp;
        // Without an application object the parser cannot know the program's name.
        command.text =
            parser.helpText().replace(QStringLiteral("<executable_name>"), QLatin1String(kProgram));
        return command;
    }
    if (parser.isSet(version)) {
        command.action = CommandAction::ShowVersion;
        command.text = QStringLiteral("Vestra2007 %1\n").arg(QStringLiteral(VESTRA_VERSION));
        return command;
    }

    const QStringList dirs = parser.values(dataDir);
    if (dirs.size() > 1)
        return fail(QStringLiteral("--data-dir is given more than once."));
    if (!dirs.isEmpty() && dirs.constFirst().isEmpty())
        return fail(QStringLiteral("--data-dir needs a folder."));
    if (!dirs.isEmpty() && parser.isSet(userData))
        return fail(QStringLiteral("--data-dir and --user-data cannot be used together."));
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return fail(QStringLiteral("Only one file can be opened at start; %1 were given.")
                        .arg(files.size()));
    if (!files.isEmpty() && files.constFirst().isEmpty())
        return fail(QStringLiteral("The file name is empty."));

    command.dataDir = dirs.value(0);
    command.userData = parser.isSet(userData);
    command.file = files.value(0);
    command.quitWhenShown = parser.isSet(quitWhenShown);
    return command;
}

QStringList argumentList(int argc, char* argv[]) {
    QStringList arguments;
    arguments.reserve(argc);
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

QString programFolder(const char* argv0) {
    // The kernel's link names the program file, however it was started.
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (!self.isEmpty())
        return QFileInfo(self).absolutePath();
    return QFileInfo(QString::fromLocal8Bit(argv0)).absolutePath();
}

int answerWithoutWindow(const CommandLine& command) {
    const bool failed = command.action == CommandAction::Fail;
    std::fputs(command.text.toLocal8Bit().constData(), failed ? stderr : stdout);
    return failed ? kUsageExitCode : 0;
}
