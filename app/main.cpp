// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_line.h"
#include "guide_window.h"
#include "program.h"
#include "startup.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    // Before any application object: --help and --version need no display.
    const CommandLine command =
        parseCommandLine(argumentList(argc, argv), guideFileFor(programFolder(argv[0])));
    if (command.action != CommandAction::Run)
        return answerWithoutWindow(command);

    QApplication app(argc, argv);
    configureApplication(app);
    return runProgram(command);
}
