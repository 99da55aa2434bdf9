// SPDX-License-Identifier: GPL-3.0-or-later
#include "program.h"

#include "command_line.h"
#include "data_folder.h"
#include "main_window.h"
#include "open_at_start.h"
#include "settings_file.h"
#include "startup.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <memory>

namespace {

constexpr int kShownPollMs = 20;
constexpr int kShownLimitMs = 30000;

void printError(const QString& text) {
    std::fprintf(stderr, "vestra2007: %s\n", text.toLocal8Bit().constData());
}

// For --quit-when-shown: once the window is on screen, says where the program started and what
// it opened, and ends the event loop; exit code 1 if the window never showed up or the file did
// not open.
void quitWhenShown(const ProgramStart& start) {
    auto* poll = new QTimer(start.window.get());
    auto waited = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, poll, [&start, poll, waited] {
        QWindow* handle = start.window->windowHandle();
        const bool shown = handle && handle->isExposed();
        *waited += kShownPollMs;
        if (!shown && *waited < kShownLimitMs)
            return;
        poll->stop();
        if (shown)
            std::printf("vestra2007: %s shown; startDir %s; photoPath %s\n",
                        qPrintable(start.window->objectName()), start.state->startDir.c_str(),
                        start.state->photoPath.c_str());
        else
            printError(QStringLiteral("the main window was not shown"));
        std::fflush(stdout);
        QCoreApplication::exit(shown && start.fileError.isEmpty() ? 0 : 1);
    });
    poll->start(kShownPollMs);
}

QString userDataHint(const QString& folder) {
    return QStringLiteral("\n\nこのフォルダには pcol.dat がありません。データフォルダ %1 で始める"
                          "には、デスクトップのメニューから Vestra2007 を選ぶか、"
                          "vestra2007 --user-data と入力してください（初めての起動で pcol.dat と"
                          "見本の写真・動画が用意されます）。")
        .arg(QDir::toNativeSeparators(folder));
}

} // namespace

ProgramStart::ProgramStart() = default;
ProgramStart::ProgramStart(ProgramStart&&) noexcept = default;
ProgramStart::~ProgramStart() = default;

ProgramStart startProgram(const CommandLine& command, const QString& xdgDataHome,
                          const QString& home) {
    ProgramStart start;
    const QString file =
        command.file.isEmpty() ? QString() : QFileInfo(command.file).absoluteFilePath();

    QString folder;
    if (command.userData)
        folder = userDataFolder(xdgDataHome, home);
    else if (!command.dataDir.isEmpty())
        folder = QDir::cleanPath(QDir::current().absoluteFilePath(command.dataDir));
    if (!folder.isEmpty()) {
        const DataFolderResult prepared = prepareDataFolder(folder);
        if (!prepared.ok) {
            start.error = prepared.error;
            return start;
        }
        // The open and save dialogs start in the current folder.
        if (!QDir::setCurrent(folder)) {
            start.error = QStringLiteral("データフォルダに移動できません。\n%1")
                              .arg(QDir::toNativeSeparators(folder));
            return start;
        }
    }

    start.state = std::make_unique<AnalysisState>();
    const StartupResult settings = loadStartupSettings(*start.state);
    if (!settings.ok) {
        start.error = settings.error;
        // Started from a terminal in some folder: say how to start where the data is.
        if (folder.isEmpty() && !QFileInfo::exists(QLatin1String(kToleranceFileName)))
            start.error += userDataHint(userDataFolder(xdgDataHome, home));
        return start;
    }
    start.window = std::make_unique<MainWindow>(*start.state);
    start.window->show();
    if (!file.isEmpty())
        start.fileError = openAtStart(*start.window, file);
    return start;
}

int runProgram(const CommandLine& command) {
    const ProgramStart start =
        startProgram(command, qEnvironmentVariable("XDG_DATA_HOME"), QDir::homePath());
    if (!start.window) {
        printError(start.error);
        if (!command.quitWhenShown)
            QMessageBox::critical(nullptr, QStringLiteral("Vestra2007"), start.error);
        return 1;
    }
    if (!start.fileError.isEmpty()) {
        printError(start.fileError);
        if (!command.quitWhenShown) {
            // Over the main window, once it is on screen.
            QTimer::singleShot(0, start.window.get(), [&start] {
                QMessageBox::warning(start.window.get(), QStringLiteral("Vestra2007"),
                                     start.fileError);
            });
        }
    }
    if (command.quitWhenShown)
        quitWhenShown(start);
    return QApplication::exec();
}
