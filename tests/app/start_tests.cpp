// Start-up from the command line to the shown main window, in a temporary start folder.
#include "command_line.h"
#include "file_bytes.h"
#include "main_window.h"
#include "program.h"
#include "settings_file.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

namespace {

CommandLine parsed(const QStringList& arguments) {
    return parseCommandLine(QStringList{QStringLiteral("vestra2007")} + arguments);
}

} // namespace

class StartTests : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> mRoot;
    QString mPreviousDir;

    // Paths as the program sees them once it runs in the folder.
    QString path(const QString& relative) const {
        return QDir(mRoot->path()).canonicalPath() + QLatin1Char('/') + relative;
    }
    ProgramStart start(const QStringList& arguments) {
        return startProgram(parsed(arguments), path(QStringLiteral("xdg")),
                            path(QStringLiteral("home")));
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
        const ProgramStart failed = start({});
        QVERIFY(!failed.window);
        QCOMPARE(failed.error, readToleranceFile(path(QStringLiteral("pcol.dat"))).error);
        QVERIFY(entries(mRoot->path()).isEmpty()); // nothing is created

        writeBytes(path(QStringLiteral("pcol.dat")), "7,9\r\n");
        const ProgramStart started = start({});
        QVERIFY2(started.window, qPrintable(started.error));
        QVERIFY(QTest::qWaitForWindowExposed(started.window.get()));
        QCOMPARE(QString::fromStdString(started.state->startDir), path(QString()).chopped(1));
        QCOMPARE(started.state->darknessTolerance, int16_t(9));
        QCOMPARE(entries(mRoot->path()), QStringList({QStringLiteral("pcol.dat")}));
    }

    void dataDirIsPreparedEnteredAndTheFileComesFromTheStartFolder() {
        // The photo's relative name is taken from where the program was started, not from the
        // data folder it moves into.
        QImage photo(800, 400, QImage::Format_RGB32);
        photo.fill(Qt::gray);
        QVERIFY(photo.save(path(QStringLiteral("own.bmp"))));
        const ProgramStart started =
            start({QStringLiteral("--data-dir"), QStringLiteral("clinic/2026"),
                   QStringLiteral("own.bmp")});
        QVERIFY2(started.window, qPrintable(started.error));
        QCOMPARE(started.fileError, QString());
        const QString data = path(QStringLiteral("clinic/2026"));
        QCOMPARE(QDir::currentPath(), data);
        QCOMPARE(QString::fromStdString(started.state->startDir), data);
        QCOMPARE(QString::fromStdString(started.state->photoPath), path(QStringLiteral("own.bmp")));
        QCOMPARE(started.state->darknessTolerance, int16_t(40));
        QVERIFY(QFile::exists(data + QStringLiteral("/samples/sample(030).bmp")));
        QVERIFY(started.window->findChild<QWidget*>(QStringLiteral("picSource"))->isVisible());
    }

    void aFileThatDoesNotOpenLeavesTheWindowUp_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << "gone.jpg" << QByteArray() << "ファイルが見つかりません。";
        QTest::newRow("not a picture")
            << "notes.bmp" << QByteArray("BM but no bitmap") << "写真を開けません。";
        QTest::newRow("no suffix, not a picture")
            << "README" << QByteArray("text") << "写真を開けません。";
        QTest::newRow("video") << "walk.mp4" << QByteArray("....ftypisom") << "動画を開けません。";
    }
    void aFileThatDoesNotOpenLeavesTheWindowUp() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        if (!content.isEmpty())
            writeBytes(path(name), content);
        writeBytes(path(QStringLiteral("pcol.dat")), "0,40\r\n");
        const ProgramStart started = start({name});
        QVERIFY2(started.window, qPrintable(started.error));
        // A video's refusal goes on with the decoder's reason.
        QVERIFY2(started.fileError == message + QLatin1Char('\n') + path(name) ||
                     started.fileError.startsWith(message + QLatin1Char('\n') + path(name) +
                                                  QLatin1Char('\n')),
                 qPrintable(started.fileError));
        QCOMPARE(started.state->photoPath, std::string());
    }

    void anAnalysisFileOpensAtStartOrIsRefusedWithItsReason() {
        writeBytes(path(QStringLiteral("pcol.dat")), "0,40\r\n");
        QImage photo(64, 48, QImage::Format_RGB32);
        photo.fill(Qt::gray);
        QVERIFY(photo.save(path(QStringLiteral("a(001).bmp"))));
        {
            const ProgramStart first = start({QStringLiteral("a(001).bmp")});
            QVERIFY(first.window);
            first.window->pressOnPicture(QPointF(10, 10), 0);
            QVERIFY(first.window->saveAnalysisFile(path(QStringLiteral("run.vestra"))));
        }
        const ProgramStart reopened = start({QStringLiteral("run.vestra")});
        QVERIFY(reopened.window);
        QCOMPARE(reopened.fileError, QString());
        QCOMPARE(int(reopened.state->pointCount), 1);
        QCOMPARE(reopened.window->analysisFilePath(), path(QStringLiteral("run.vestra")));

        writeBytes(path(QStringLiteral("broken.vestra")), "{\"format\": 1, \"record\": [");
        const ProgramStart refused = start({QStringLiteral("broken.vestra")});
        QVERIFY(refused.window);
        QVERIFY(!refused.fileError.isEmpty());
        QCOMPARE(refused.fileError,
                 reopened.window->openAnalysisFileQuietly(path(QStringLiteral("broken.vestra")))
                     .message);
        QCOMPARE(int(refused.state->pointCount), 0);
    }

    void quitWhenShownEndsTheEventLoopWithItsVerdict() {
        // Used by the packaging checks: no dialog may wait for a click.
        const QString data = path(QStringLiteral("d"));
        const QString quit = QStringLiteral("--quit-when-shown");
        QCOMPARE(runProgram(parsed({QStringLiteral("--data-dir"), data, quit})), 0);
        QCOMPARE(runProgram(parsed({QStringLiteral("--data-dir"), data, quit, data + "/gone.bmp"})),
                 1);
        writeBytes(path(QStringLiteral("blocker")), "x");
        QCOMPARE(runProgram(parsed({QStringLiteral("--data-dir"), path("blocker/d"), quit})), 1);
    }
};

QTEST_MAIN(StartTests)
#include "start_tests.moc"
