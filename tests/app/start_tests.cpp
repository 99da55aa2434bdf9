// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up from the command line to the shown main window, in a temporary start folder.
#include "command_line.h"
#include "file_bytes.h"
#include "main_window.h"
#include "program.h"
#include "settings_file.h"

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

class StartTests : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> mRoot;
    QString mPreviousDir;

    // Paths as the program sees them once it runs in the folder.
    QString path(const QString& relative) const {
        return QDir(mRoot->path()).canonicalPath() + QLatin1Char('/') + relative;
    }
    static CommandLine parsed(const QStringList& arguments) {
        return parseCommandLine(QStringList{QStringLiteral("vestra2007")} + arguments);
    }
    ProgramStart start(const QStringList& arguments) {
        return startProgram(parsed(arguments), path(QStringLiteral("xdg")),
                            path(QStringLiteral("home")));
    }
    void writeGreyPhoto(const QString& name, int width, int height) const {
        QImage photo(width, height, QImage::Format_RGB32);
        photo.fill(Qt::gray);
        QVERIFY(photo.save(path(name)));
    }

private slots:
    void init() {
        mRoot = std::make_unique<QTemporaryDir>();
        mPreviousDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(mRoot->path()));
    }
    void cleanup() {
        QDir::setCurrent(mPreviousDir);
        mRoot.reset();
    }

    void withoutOptionsTheCurrentFolderIsStartDirAndNeedsPcol() {
        // Without pcol.dat the reason says how to start in the user's data folder instead.
        const ProgramStart failed = start({});
        QVERIFY(!failed.window);
        QCOMPARE(failed.error,
                 readToleranceFile(path(QStringLiteral("pcol.dat"))).error +
                     QStringLiteral("\n\nこのフォルダには pcol.dat がありません。データフォルダ %1 "
                                    "で始めるには、デスクトップのメニューから Vestra2007 を選ぶか、"
                                    "vestra2007 --user-data と入力してください（初めての起動で "
                                    "pcol.dat と見本の写真・動画が用意されます）。")
                         .arg(path(QStringLiteral("xdg/vestra2007"))));
        QVERIFY(entries(mRoot->path()).isEmpty()); // nothing is created
        // A pcol.dat that is there but broken only says what is wrong with it.
        writeBytes(path(QStringLiteral("pcol.dat")), "7");
        QCOMPARE(start({}).error, readToleranceFile(path(QStringLiteral("pcol.dat"))).error);
        writeBytes(path(QStringLiteral("pcol.dat")), "7,9\r\n");
        const ProgramStart started = start({});
        QVERIFY2(started.window && started.window->isVisible(), qPrintable(started.error));
        QCOMPARE(QString::fromStdString(started.state->startDir), path(QString()).chopped(1));
        QCOMPARE(started.state->darknessTolerance, int16_t(9));
        QCOMPARE(entries(mRoot->path()), QStringList({QStringLiteral("pcol.dat")}));
    }

    void dataDirIsPreparedEnteredAndTheFileComesFromTheStartFolder() {
        // A relative file name is taken from the start folder, not from the data folder.
        writeGreyPhoto(QStringLiteral("own.bmp"), 800, 400);
        const ProgramStart started = start({"--data-dir", "clinic/2026", "own.bmp"});
        QVERIFY2(started.window, qPrintable(started.error));
        const QString data = path(QStringLiteral("clinic/2026"));
        QCOMPARE(QDir::currentPath(), data);
        QCOMPARE(QString::fromStdString(started.state->startDir), data);
        QCOMPARE(QString::fromStdString(started.state->photoPath), path(QStringLiteral("own.bmp")));
        QCOMPARE(started.state->darknessTolerance, int16_t(40)); // the data folder's pcol.dat
    }

    // A file that does not open leaves the window up with the reason; an analysis file opens.
    void theFileArgumentOpensOrIsRefusedWithItsReason() {
        writeBytes(path(QStringLiteral("pcol.dat")), "0,40\r\n");
        writeBytes(path(QStringLiteral("notes.bmp")), "BM but no bitmap");
        writeBytes(path(QStringLiteral("walk.mp4")), "....ftypisom");
        writeBytes(path(QStringLiteral("broken.vestra")), "{\"format\": 1, \"record\": [");
        const std::pair<const char*, const char*> refusals[] = {
            {"gone.jpg", "ファイルが見つかりません。"},
            {"notes.bmp", "写真を開けません。"},
            {"walk.mp4", "動画を開けません。"}}; // the decoder's reason follows
        for (const auto& [name, message] : refusals) {
            const ProgramStart started = start({name});
            QVERIFY2(started.window, qPrintable(started.error));
            QVERIFY2((started.fileError + '\n')
                         .startsWith(QString::fromUtf8(message) + '\n' + path(name) + '\n'),
                     qPrintable(started.fileError));
            QCOMPARE(started.state->photoPath, std::string());
        }
        writeGreyPhoto(QStringLiteral("a(001).bmp"), 64, 48);
        {
            const ProgramStart first = start({"a(001).bmp"});
            first.window->pressOnPicture(QPointF(10, 10), 0);
            QVERIFY(first.window->saveAnalysisFile(path(QStringLiteral("run.vestra"))));
        }
        const ProgramStart reopened = start({"run.vestra"});
        QCOMPARE(reopened.fileError, QString());
        QCOMPARE(int(reopened.state->pointCount), 1);
        QCOMPARE(reopened.window->analysisFilePath(), path(QStringLiteral("run.vestra")));
        const ProgramStart refused = start({"broken.vestra"}); // its reasons: analysis_file_tests
        QVERIFY(refused.window && refused.fileError.contains(path("broken.vestra")));
    }

    void quitWhenShownEndsTheEventLoopWithItsVerdict() {
        // Used by the packaging checks: no dialog may wait for a click.
        const QString data = path(QStringLiteral("d"));
        QCOMPARE(runProgram(parsed({"--data-dir", data, "--quit-when-shown"})), 0);
        QCOMPARE(runProgram(parsed({"--data-dir", data, "--quit-when-shown", data + "/gone.bmp"})),
                 1);
        writeBytes(path(QStringLiteral("blocker")), "x");
        QCOMPARE(runProgram(parsed({"--data-dir", path("blocker/d"), "--quit-when-shown"})), 1);
    }
};

QTEST_MAIN(StartTests)
#include "start_tests.moc"
