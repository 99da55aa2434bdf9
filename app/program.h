// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis_state.h"

#include <QString>

#include <memory>

class MainWindow;
struct CommandLine;

// What start-up made of a command line.
struct ProgramStart {
    std::unique_ptr<AnalysisState> state;
    std::unique_ptr<MainWindow> window; // shown; null when the program cannot start
    QString error;                      // why it cannot start, for the user
    QString fileError;                  // the file argument did not open; the window is up
    ProgramStart();
    ProgramStart(ProgramStart&&) noexcept;
    ~ProgramStart();
};

// Everything between the command line and the event loop, with a QApplication in place: the
// start folder (the current one, or a data folder prepared and entered), pcol.dat, the main
// window, and the file to open. A relative file name is taken from the folder the program was
// started in. xdgDataHome and home locate the per-user data folder.
[[nodiscard]] ProgramStart startProgram(const CommandLine& command, const QString& xdgDataHome,
                                        const QString& home);

// startProgram with the process's environment, the problems reported to the user, then the
// event loop. Returns the exit code.
int runProgram(const CommandLine& command);
