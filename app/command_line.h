// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

// What the command line asks for. Parsed before any application object exists, so --help and
// --version need neither a display nor pcol.dat.
enum class CommandAction : uint8_t {
    Run,         // start the program
    ShowHelp,    // print text to standard output, exit 0
    ShowVersion, // print text to standard output, exit 0
    Fail,        // print text to standard error, exit kUsageExitCode
};

inline constexpr int kUsageExitCode = 2;

struct CommandLine {
    CommandAction action = CommandAction::Run;
    QString dataDir;            // --data-dir DIR as given (relative to the current folder)
    bool userData = false;      // --user-data: the per-user data folder
    QString file;               // photo, video or analysis to open at start, as given
    bool quitWhenShown = false; // --quit-when-shown: end once the main window is on screen
    QString text;               // help or version text, or the error with a hint
};

// Parses the arguments, the program name first, as the process received them:
//   vestra2007 [--data-dir DIR | --user-data] [FILE]
//   vestra2007 --help | --version
// Without options the program starts in the current folder, as it always has. The help names
// guideFile, the guide's start page, when given.
[[nodiscard]] CommandLine parseCommandLine(const QStringList& arguments,
                                           const QString& guideFile = QString());

// The process arguments as text, decoded the way QCoreApplication decodes them.
[[nodiscard]] QStringList argumentList(int argc, char* argv[]);

// The folder of the running program, without an application object.
[[nodiscard]] QString programFolder(const char* argv0);

// Prints the help, the version or the error for an action other than Run and returns the exit
// code.
int answerWithoutWindow(const CommandLine& command);
