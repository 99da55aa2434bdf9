// The main window's analysis files, undo and redo, the fresh start and the question about
// unsaved work, driven as the user drives them.
#include "analysis_file.h"
#include "file_dialog_input.h"
#include "sample_photos.h"
#include "window_state.h"
#include "window_test.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

constexpr QRgb kDarkRed = 0xFF800000;

} // namespace

class AnalysisWindowTests : public WindowTest {
    Q_OBJECT

private slots:
    void init() {
        setUpWindow();
        mState->startDir = "/start";
        SampleOptions options;
        options.count = 3;
        QString error;
        QVERIFY2(writeSampleSequence(mDir->filePath("seq"), "a", options, &error),
                 qPrintable(error));
    }
    void cleanup() { closeWindows(); }

    void menus() {
        const QList<QAction*> bar = mWindow->menuBar()->actions();
        QStringList captions;
        for (QAction* action : bar)
            captions << action->text();
        QCOMPARE(captions,
                 QStringList({"ファイル", "編集", "解析開始", "解析結果", "オプション", "ヘルプ"}));
        QStringList names, texts, keys;
        for (QAction* action : child<QMenu>(w(), "mnuFile")->actions()) {
            names << action->objectName();
            texts << action->text();
            keys << action->shortcut().toString();
        }
        QCOMPARE(names, QStringList({"mnuFileNew", "mnuFileOpen", "mnuFileOpenVideo",
                                     "mnuFileOpenAnalysis", "mnuFileSave", "mnuFileSaveAs",
                                     "mnuFileStep", "mnuFileQuit"}));
        QCOMPARE(texts, QStringList({"新しい解析", "開く", "動画を開く...", "解析を開く...",
                                     "解析を保存...", "名前を付けて保存...", "", "終了"}));
        QCOMPARE(keys, QStringList({"Ctrl+N", "", "", "", "Ctrl+S", "", "", ""}));
        auto* undo = child<QAction>(w(), "mnuEditUndo");
        auto* redo = child<QAction>(w(), "mnuEditRedo");
        QCOMPARE(undo->text(), QStringLiteral("元に戻す"));
        QCOMPARE(redo->text(), QStringLiteral("やり直し"));
        QCOMPARE(undo->shortcuts(), QList<QKeySequence>({QKeySequence("Ctrl+Z")}));
        QCOMPARE(redo->shortcuts(),
                 QList<QKeySequence>({QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")}));
        QVERIFY(!undo->isEnabled() && !redo->isEnabled());
    }

    void undoTakesBackEachStepExactly_data() {
        QTest::addColumn<QString>("step");
        for (const char* step : {"marker", "first reference", "second reference", "ROM first",
                                 "ROM second", "ROM third", "grid", "triple numbers", "scale"})
            QTest::newRow(step) << QString::fromLatin1(step);
    }

    void undoTakesBackEachStepExactly() {
        QFETCH(QString, step);
        QVERIFY(mWindow->loadPhoto(photo(0)));
        const QList<QPoint> markers = sampleMarkerCentres(0);
        const QList<QPointF> rom = {{100.4, 100.5}, {101, 200}, {200, 201.5}};
        std::function<void()> act;
        if (step == "marker") {
            mWindow->pressOnPicture(markers[0], 0);
            act = [&] { mWindow->pressOnPicture(markers[1] + QPoint(2, 1), 0); };
        } else if (step.endsWith("reference")) {
            if (step.startsWith("second"))
                mWindow->pressOnPicture(QPointF(195.5, 458), 1);
            act = [&] { mWindow->pressOnPicture(QPointF(445, 458.5), 1); };
        } else if (step.startsWith("ROM") || step == "triple numbers") {
            child<QRadioButton>(w(), "Option1")->setChecked(true);
            const int before = step == "ROM first" ? 0 : step == "ROM second" ? 1 : 2;
            for (int i = 0; i < before; ++i)
                mWindow->pressOnPicture(rom[i], 0);
            if (step == "triple numbers") {
                mWindow->pressOnPicture(rom[2], 0);
                act = [&] { mWindow->startAnalysis(); };
            } else {
                act = [&, before] { mWindow->pressOnPicture(rom[before], 0); };
            }
        } else if (step == "grid") {
            mWindow->pressOnPicture(markers[0], 0);
            // Choosing the mode is not a step; the grid its click draws is.
            child<QRadioButton>(w(), "Option4")->setChecked(true);
            act = [&] { QTest::mouseClick(child(w(), "Option4"), Qt::LeftButton); };
        } else if (step == "scale") {
            mWindow->pressOnPicture(QPointF(195, 458), 1);
            mWindow->pressOnPicture(QPointF(445, 458), 1);
            child<QLineEdit>(w(), "Text1")->setText("500");
            act = [&] { mWindow->confirmDistance(); };
        }
        const QImage pictureBefore = picture();
        const QByteArray stateBefore = stateBytes();
        act();
        const QImage pictureAfter = picture();
        const QByteArray stateAfter = stateBytes();
        QVERIFY(stateAfter != stateBefore || pictureAfter != pictureBefore);
        QVERIFY(undoAction()->isEnabled());
        for (int round = 0; round < 2; ++round) {
            undoAction()->trigger();
            QCOMPARE(picture(), pictureBefore);
            QCOMPARE(stateBytes(), stateBefore);
            QVERIFY(redoAction()->isEnabled());
            redoAction()->trigger();
            QCOMPARE(picture(), pictureAfter);
            QCOMPARE(stateBytes(), stateAfter);
            QVERIFY(!redoAction()->isEnabled());
        }
    }

    void threeClicksAndCtrlZ() {
        QVERIFY(mWindow->loadPhoto(photo(0)));
        const QList<QPoint> markers = sampleMarkerCentres(0);
        // Focus in a list first: Ctrl+Z after a click must reach the press, not the typing.
        child<QRadioButton>(w(), "Option2")->setChecked(true);
        mWindow->startAnalysis();
        QLineEdit* typed = child<QComboBox>(w(), "Combo1")->lineEdit();
        typed->setFocus();
        QTest::keyClicks(typed, "abc");
        QVERIFY(typed->hasFocus());
        QImage afterTwo;
        for (int k = 0; k < 3; ++k) {
            if (k == 2)
                afterTwo = picture();
            press(markers[k]);
        }
        const QImage afterThree = picture();
        QTest::keyClick(w(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(int(mState->pointCount), 2);
        QCOMPARE(picture(), afterTwo);
        QCOMPARE(typed->text(), QStringLiteral("abc"));
        press(markers[2]);
        QCOMPARE(int(mState->pointCount), 3);
        QCOMPARE(QPoint(mState->pointX[3], mState->pointY[3]), markers[2]);
        QCOMPARE(picture(), afterThree);
        QVERIFY(!redoAction()->isEnabled()); // a new press drops what was undone
        QTest::keyClick(w(), Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(w(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(int(mState->pointCount), 3);
    }

    void historyClearedBy_data() {
        QTest::addColumn<QString>("cause");
        for (const char* cause :
             {"photo opened", "continuation", "analysis opened", "new analysis"})
            QTest::newRow(cause) << QString::fromLatin1(cause);
    }

    void historyClearedBy() {
        QFETCH(QString, cause);
        QVERIFY(mWindow->loadPhoto(photo(0)));
        const QString file = mDir->filePath("a.vestra");
        QVERIFY(mWindow->saveAnalysisFile(file));
        for (const QPoint& marker : sampleMarkerCentres(0))
            mWindow->pressOnPicture(marker, 0);
        QVERIFY(undoAction()->isEnabled());
        if (cause == "photo opened") {
            QVERIFY(mWindow->loadPhoto(photo(1)));
        } else if (cause == "continuation") {
            mWindow->continueAnalysis();
            QCOMPARE(int(mState->frameCount), 2);
        } else if (cause == "analysis opened") {
            QVERIFY(mWindow->openAnalysisFile(file));
        } else {
            answerSavePrompt("btnDiscard");
            mWindow->newAnalysis();
        }
        QVERIFY(!undoAction()->isEnabled() && !redoAction()->isEnabled());
        mWindow->undo(); // nothing left to take back
        QCOMPARE(int(mState->pointCount),
                 cause.startsWith("photo") || cause == "continuation" ? 7 : 0);
        // Work that left the history is still unsaved; an opened or new analysis is not.
        QCOMPARE(mWindow->hasUnsavedChanges(), cause == "photo opened" || cause == "continuation");
    }

    void romAnalysisReopensPixelIdentical() {
        QVERIFY(mWindow->loadPhoto(photo(0)));
        QTest::mouseClick(child(w(), "Option4"), Qt::LeftButton); // the grid
        QTest::mouseClick(child(w(), "Option1"), Qt::LeftButton);
        for (const QPointF p : {QPointF(100, 100), QPointF(100, 200), QPointF(200, 200),
                                QPointF(300.5, 200), QPointF(350, 100), QPointF(400, 200.5)})
            mWindow->pressOnPicture(p, 0);
        child<QAction>(w(), "kaiseki")->setEnabled(true);
        child<QAction>(w(), "kaiseki")->trigger(); // numbers the triples
        mWindow->pressOnPicture(QPointF(50, 450), 1);
        mWindow->pressOnPicture(QPointF(150, 450), 1);
        QTest::keyClicks(child(w(), "Text1"), "120");
        const QString file = mDir->filePath("rom.vestra");
        QVERIFY(mWindow->saveAnalysisFile(file));
        QCOMPARE(w()->windowTitle(), QStringLiteral("Vestra2007 - rom.vestra"));
        const QImage shown = picture();
        const QByteArray state = stateBytes();

        restart();
        QVERIFY(mWindow->openAnalysisFile(file));
        QCOMPARE(picture(), shown);
        QCOMPARE(stateBytes(), state);
        QCOMPARE(child<QLabel>(w(), "Label4")->text(), QStringLiteral("54"));
        QVERIFY(child<QRadioButton>(w(), "Option1")->isChecked());
        QVERIFY(child(w(), "Command4")->isVisible() && !child(w(), "Command3")->isVisible());
        QCOMPARE(child<PictureArea>(w(), "picOrg")->image(), loadedPhoto(0));
        QCOMPARE(w()->windowTitle(), QStringLiteral("Vestra2007 - rom.vestra"));
        QVERIFY(!mWindow->hasUnsavedChanges());
    }

    void movedFolderOpensByRelativePaths() {
        QVERIFY(mWindow->loadPhoto(photo(0)));
        mWindow->pressOnPicture(sampleMarkerCentres(0)[0], 0);
        QVERIFY(mWindow->saveAnalysisFile(mDir->filePath("seq/walk.vestra")));
        const QImage shown = picture();
        QVERIFY(QDir(mDir->path()).rename("seq", "moved"));
        restart();
        mState->darknessTolerance = 25; // changed in the options since
        QVERIFY(mWindow->openAnalysisFile(mDir->filePath("moved/walk.vestra")));
        QCOMPARE(QString::fromStdString(mState->photoPath), mDir->filePath("moved/a(001).bmp"));
        QCOMPARE(picture(), shown);
        // The settings are the program's: the analysis does not bring its own.
        QCOMPARE(mState->darknessTolerance, int16_t(25));
        QCOMPARE(mState->startDir, std::string("/start"));
    }

    void missingPhotoOpensBlankWithItsName() {
        QVERIFY(mWindow->loadPhoto(photo(0)));
        const QPoint head = sampleMarkerCentres(0)[0];
        mWindow->pressOnPicture(head, 0);
        const QString file = mDir->filePath("walk.vestra");
        QVERIFY(mWindow->saveAnalysisFile(file));
        QVERIFY(QFile::remove(photo(0)));
        restart();
        const QString message = nextMessage([&] { QVERIFY(mWindow->openAnalysisFile(file)); });
        QVERIFY2(message.contains(QDir::toNativeSeparators(photo(0))), qPrintable(message));
        QCOMPARE(int(mState->pointCount), 1);
        QCOMPARE(picture().pixel(head), kDarkRed); // the marks, on a blank picture
        QCOMPARE(QColor(picture().pixel(5, 5)), w()->palette().color(QPalette::Window));
    }

    void refusedFilesChangeNothing_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("broken") << QByteArray("{\"format\": 1, \"record\": [}");
        QTest::newRow("truncated") << QByteArray("cut");
        QTest::newRow("newer format") << QByteArray("{\"format\": 2}");
        QTest::newRow("wrong type") << QByteArray("wrong");
    }

    void refusedFilesChangeNothing() {
        QFETCH(QByteArray, content);
        QVERIFY(mWindow->loadPhoto(photo(0)));
        mWindow->pressOnPicture(sampleMarkerCentres(0)[0], 0);
        const QString good = mDir->filePath("good.vestra");
        QVERIFY(mWindow->saveAnalysisFile(good));
        mWindow->pressOnPicture(sampleMarkerCentres(0)[1], 0);
        QFile original(good);
        QVERIFY(original.open(QIODevice::ReadOnly));
        QByteArray bytes = original.readAll();
        if (content == "cut")
            bytes.chop(bytes.size() / 3);
        else if (content == "wrong")
            bytes.replace("\"pointCount\":1", "\"pointCount\":true");
        else
            bytes = content;
        const QString bad = mDir->filePath("bad.vestra");
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        const QImage shown = picture();
        const QByteArray state = stateBytes();
        const QString message = nextMessage([&] { QVERIFY(!mWindow->openAnalysisFile(bad)); });
        QVERIFY2(message.contains("bad.vestra"), qPrintable(message));
        QCOMPARE(picture(), shown);
        QCOMPARE(stateBytes(), state);
        QCOMPARE(w()->windowTitle(), QStringLiteral("Vestra2007 - good.vestra*"));
        QVERIFY(undoAction()->isEnabled());
    }

    void closeAsksOnlyWithUnsavedChanges() {
        QVERIFY(!askedWhenClosing()); // untouched: closes without a question
        QVERIFY(!w()->isVisible());
        w()->show();
        QVERIFY(mWindow->loadPhoto(photo(0)));
        answerSavePrompt("btnCancel");
        QVERIFY(askedWhenClosing());
        QVERIFY(w()->isVisible());
        // 保存 without a file asks for a name; cancelling that keeps the window open.
        onNextModal([](QWidget* box) {
            QTest::mouseClick(child(box, "btnSave"), Qt::LeftButton);
            onNextModal([](QWidget* dialog) { qobject_cast<QDialog*>(dialog)->reject(); });
        });
        QVERIFY(!w()->close());
        QVERIFY(w()->isVisible());
        answerSavePrompt("btnDiscard");
        QVERIFY(askedWhenClosing());
        QVERIFY(!w()->isVisible());
        w()->show();
        QVERIFY(mWindow->saveAnalysisFile(mDir->filePath("a.vestra")));
        QVERIFY(!askedWhenClosing()); // saved: no question
    }

    void newAnalysisStartsAfresh() {
        const QByteArray fresh = stateBytes();
        const QImage blank = picture();
        QVERIFY(mWindow->loadPhoto(photo(0)));
        for (const QPoint& marker : sampleMarkerCentres(0))
            mWindow->pressOnPicture(marker, 0);
        mWindow->startAnalysis();
        mWindow->applyFrontalPreset();
        mWindow->pressOnPicture(QPointF(195, 458), 1);
        mWindow->pressOnPicture(QPointF(445, 458), 1);
        child<QLineEdit>(w(), "Text1")->setText("500");
        mWindow->confirmDistance();
        mWindow->continueAnalysis();
        QVERIFY(topLevel("DEnd"));
        QVERIFY(mWindow->saveAnalysisFile(mDir->filePath("a.vestra")));
        QTest::mouseClick(child(w(), "Option1"), Qt::LeftButton);
        answerSavePrompt("btnDiscard");
        QTest::keyClick(w(), Qt::Key_N, Qt::ControlModifier);
        QTRY_VERIFY(!topLevel("DEnd"));
        QCOMPARE(stateBytes(), fresh);
        QCOMPARE(picture(), blank);
        QCOMPARE(mState->darknessTolerance, int16_t(40)); // the settings stay
        QCOMPARE(mState->startDir, std::string("/start"));
        QCOMPARE(w()->windowTitle(), QStringLiteral("Vestra2007"));
        QVERIFY(!mWindow->hasUnsavedChanges());
        mWindow->pressOnPicture(QPointF(10, 10), 0);
        QCOMPARE(int(mState->pointCount), 1); // numbering starts at 1 again
    }

    void titleFollowsSavesAndChanges() {
        QVERIFY(mWindow->loadPhoto(photo(0)));
        mWindow->pressOnPicture(sampleMarkerCentres(0)[0], 0);
        QCOMPARE(w()->windowTitle(), QStringLiteral("Vestra2007"));
        // The first save asks for a name and adds the suffix.
        onNextModal([&](QWidget* dialog) {
            typeIntoFileDialog(dialog, mDir->filePath("walk"), "dlgSaveAnalysis");
        });
        QTest::keyClick(w(), Qt::Key_S, Qt::ControlModifier);
        QVERIFY(QFile::exists(mDir->filePath("walk.vestra")));
        QCOMPARE(w()->windowTitle(), QStringLiteral("Vestra2007 - walk.vestra"));
        mWindow->pressOnPicture(sampleMarkerCentres(0)[1], 0);
        QCOMPARE(w()->windowTitle(), QStringLiteral("Vestra2007 - walk.vestra*"));
        mWindow->undo(); // back at the saved state
        QCOMPARE(w()->windowTitle(), QStringLiteral("Vestra2007 - walk.vestra"));
        mWindow->redo();
        QCOMPARE(w()->windowTitle(), QStringLiteral("Vestra2007 - walk.vestra*"));
        w()->activateWindow(); // the offscreen platform leaves that to the test
        QVERIFY(QTest::qWaitForWindowActive(w()));
        QTest::keyClick(w(), Qt::Key_S, Qt::ControlModifier); // no dialog the second time
        QCOMPARE(w()->windowTitle(), QStringLiteral("Vestra2007 - walk.vestra"));
        mWindow->undo();
        mWindow->applySagittalPreset(); // a change outside the history
        mWindow->redo();
        QCOMPARE(w()->windowTitle(), QStringLiteral("Vestra2007 - walk.vestra*"));
    }

private:
    QAction* undoAction() const { return child<QAction>(w(), "mnuEditUndo"); }
    QAction* redoAction() const { return child<QAction>(w(), "mnuEditRedo"); }
    QImage picture() const { return child<PictureArea>(w(), "picSource")->image(); }
    QString photo(int frame) const {
        return mDir->filePath("seq/" + sampleFileName(QStringLiteral("a"), frame));
    }
    QImage loadedPhoto(int frame) const {
        return QImage(photo(frame)).convertToFormat(QImage::Format_RGB32);
    }

    // The record, the trajectory, the source and what the window shows, as file bytes: equal
    // bytes mean equal bits.
    QByteArray stateBytes() const {
        AnalysisDocument document;
        document.record = *mState;
        document.sway = mWindow->sway();
        document.source = mWindow->source();
        document.window =
            captureWindowState(*mWindow->centralWidget(), *child<QAction>(w(), "kaiseki"));
        document.picture = {1, 1, {}};
        return analysisFileBytes(document, mDir->path());
    }

    // A fresh start of the program with the same settings.
    void restart() {
        mWindow.reset();
        AnalysisState next;
        next.darknessTolerance = mState->darknessTolerance;
        next.startDir = mState->startDir;
        *mState = next;
        mWindow = std::make_unique<MainWindow>(*mState);
        mWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(mWindow.get()));
    }

    void answerSavePrompt(const char* button) {
        onNextModal([this, button](QWidget* box) {
            mAsked = true;
            QCOMPARE(box->objectName(), QStringLiteral("msgSaveChanges"));
            QCOMPARE(qobject_cast<QMessageBox*>(box)->text(), QStringLiteral("保存しますか"));
            QTest::mouseClick(child(box, button), Qt::LeftButton);
        });
    }

    // Closes the window; true when it asked first (the answer is set up by the caller).
    bool askedWhenClosing() {
        mAsked = false;
        // A question nobody expected is answered with Cancel, so the test goes on.
        QTimer::singleShot(0, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                mAsked = true;
                box->reject();
            }
        });
        w()->close();
        QCoreApplication::processEvents();
        return mAsked;
    }

    bool mAsked = false;
};

QTEST_MAIN(AnalysisWindowTests)
#include "analysis_window_tests.moc"
