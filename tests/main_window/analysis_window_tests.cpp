// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's analysis files, undo and redo, the fresh start and the question about
// unsaved work, driven as the user drives them.
#include "analysis_file.h"
#include "file_bytes.h"
#include "file_dialog_input.h"
#include "sample_photos.h"
#include "window_state.h"
#include "window_test.h"

#include <QAction>
#include <QMenuBar>
#include <QRadioButton>

class AnalysisWindowTests : public WindowTest {
    Q_OBJECT

private slots:
    void init() {
        setUpWindow();
        QVERIFY(writeSampleSequence(mDir->filePath("seq"), "a", SampleOptions{3}, nullptr));
    }
    void cleanup() { closeWindows(); }

    void undoTakesBackEachStepExactly() {
        const QPointF m0 = sampleMarkerCentres(0)[0], m1 = sampleMarkerCentres(0)[1];
        const QList<QPointF> rom = {{100.4, 100.5}, {101, 200}, {200, 201.5}};
        const QList<QPointF> pair = {{195.5, 458}, {445, 458.5}};
        // {the option chosen before the presses, 1: Shift on every press, the presses, the step
        // after them (none: the last press)}: one row per kind of press, then the other steps.
        // Choosing the mode is not a step; its grid is.
        const std::tuple<const char*, int, QList<QPointF>, QString> rows[] = {
            {"Option2", 0, {m0, m1 + QPointF(2, 1)}, ""}, // a marker
            {"Option2", 1, pair, ""},                     // a reference, with its distance
            {"Option1", 0, rom, ""},                      // an angle point, with its angle
            {"Option1", 0, rom, "start"},                 // numbers the triples
            {"Option4", 0, {m0}, "grid"},
            {"Option2", 1, pair, "confirm"}};
        for (const auto& [mode, bits, presses, step] : rows) {
            cleanup(); // a fresh window and history for each
            init();
            undoStep(mode, bits, presses, step);
            if (QTest::currentTestFailed())
                QFAIL(qPrintable(QStringLiteral("%1 %2 %3").arg(mode, step).arg(presses.size())));
        }
    }

    // Refused files change nothing; a moved folder reopens; a missing photo leaves the marks.
    void romAnalysisReopens() {
        QVERIFY(mWindow->loadPhoto(photo(0)));
        QTest::mouseClick(child(w(), "Option4"), Qt::LeftButton); // the grid
        QTest::mouseClick(child(w(), "Option1"), Qt::LeftButton);
        for (const QPointF p :
             {QPointF(100, 100), {100, 200}, {200, 200}, {300.5, 200}, {350, 100}, {400, 200.5}})
            mWindow->pressOnPicture(p, 0);
        child<QAction>(w(), "kaiseki")->setEnabled(true);
        child<QAction>(w(), "kaiseki")->trigger(); // numbers the triples
        mWindow->pressOnPicture(QPointF(50, 450), 1);
        mWindow->pressOnPicture(QPointF(150, 450), 1);
        QTest::keyClicks(child(w(), "Text1"), "120");
        const QString file = mDir->filePath("seq/rom.vestra");
        QVERIFY(mWindow->saveAnalysisFile(file));
        const QImage shown = shownPicture();
        const QImage base = child<PictureArea>(w(), "picOrg")->image();
        const QByteArray state = stateBytes();

        // A landmark name of 100,000 characters (the other reasons: the analysis file tests).
        const QString bad = mDir->filePath("bad.vestra");
        const QByteArray names = "\"landmarkNames\":[\"";
        writeBytes(bad, readBytes(file).replace(names, names + QByteArray(100000, 'a')));
        const QString refusal = nextMessage([&] { QVERIFY(!mWindow->openAnalysisFile(bad)); });
        QVERIFY2(refusal.contains("bad.vestra") && refusal.contains("「record.landmarkNames[0]」"),
                 qPrintable(refusal));
        QCOMPARE(shownPicture(), shown);
        QCOMPARE(stateBytes(), state);
        QCOMPARE(w()->windowTitle(), QStringLiteral("Vestra2007 - rom.vestra"));
        QVERIFY(undoAction()->isEnabled());

        QVERIFY(QDir(mDir->path()).rename("seq", "moved"));
        openWindow();
        mState->darknessTolerance = 25; // changed in the options since
        QVERIFY(mWindow->openAnalysisFile(mDir->filePath("moved/rom.vestra")));
        QCOMPARE(shownPicture(), shown);
        QCOMPARE(child<PictureArea>(w(), "picOrg")->image(), base);
        QCOMPARE(w()->windowTitle(), QStringLiteral("Vestra2007 - rom.vestra"));
        QVERIFY(!mWindow->hasUnsavedChanges() && !undoAction()->isEnabled());
        // The settings are the program's: the analysis does not bring its own.
        QCOMPARE(mState->darknessTolerance, int16_t(25));
        mState->darknessTolerance = 40;
        QCOMPARE(stateBytes(), state);

        const QString missing = mDir->filePath("moved/a(001).bmp");
        QVERIFY(QFile::remove(missing));
        openWindow();
        const QString message = nextMessage(
            [&] { QVERIFY(mWindow->openAnalysisFile(mDir->filePath("moved/rom.vestra"))); });
        QVERIFY2(message.contains(QDir::toNativeSeparators(missing)), qPrintable(message));
        QCOMPARE(stateBytes(), state);
        QImage marks = shown; // the marks on a blank picture
        for (int y = 0; y < marks.height(); ++y)
            for (int x = 0; x < marks.width(); ++x)
                if (shown.pixel(x, y) == base.pixel(x, y))
                    marks.setPixel(x, y, w()->palette().color(QPalette::Window).rgb());
        QCOMPARE(shownPicture(), marks);
    }

    // One session: the menus, the question about unsaved work, three clicks and Ctrl+Z, a run
    // through the sequence, the titles of saves and changes, and the fresh start.
    void sessionOfQuestionsUndoTitlesAndAFreshStart() {
        QStringList bar, items;
        for (QAction* action : mWindow->menuBar()->actions())
            bar << action->text();
        QCOMPARE(bar,
                 QStringList({"ファイル", "編集", "解析開始", "解析結果", "オプション", "ヘルプ"}));
        for (QMenu* menu : {child<QMenu>(w(), "mnuFile"), child<QMenu>(w(), "mnuEdit")})
            for (QAction* action : menu->actions())
                items << action->text() + " " + QKeySequence::listToString(action->shortcuts());
        QCOMPARE(items,
                 QStringList({"新しい解析 Ctrl+N", "開く ", "動画を開く... ", "解析を開く... ",
                              "解析を保存... Ctrl+S", "名前を付けて保存... ", " ", "終了 ",
                              "元に戻す Ctrl+Z", "やり直し Ctrl+Y; Ctrl+Shift+Z", " ",
                              "マーカーを自動検出 Ctrl+D"}));
        mState->startDir = "/start";
        const QByteArray fresh = stateBytes();
        const QImage blank = shownPicture();
        QVERIFY(!askedOnClose() && !w()->isVisible()); // untouched: closes without a question
        w()->show();
        QVERIFY(mWindow->loadPhoto(photo(0)));
        QVERIFY(askedOnClose("btnCancel") && w()->isVisible());
        // 保存 without a file asks for a name; cancelling that keeps the window open.
        onNextModal([](QWidget* box) {
            QTest::mouseClick(child(box, "btnSave"), Qt::LeftButton);
            onNextModal([](QWidget* dialog) { qobject_cast<QDialog*>(dialog)->reject(); });
        });
        QVERIFY(!w()->close() && w()->isVisible());

        // Focus in a list first: Ctrl+Z after a click must reach the press, not the typing.
        activate();
        mWindow->startAnalysis();
        QLineEdit* typed = child<QComboBox>(w(), "Combo1")->lineEdit();
        typed->setFocus();
        QTest::keyClicks(typed, "abc");
        QVERIFY(typed->hasFocus());
        const QList<QPoint> markers = sampleMarkerCentres(0);
        for (int k = 0; k < 3; ++k)
            press(markers[k]);
        const QImage afterThree = shownPicture();
        QTest::keyClick(w(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(int(mState->pointCount), 2);
        QCOMPARE(typed->text(), QStringLiteral("abc"));
        press(markers[2]);
        QCOMPARE(point(3), markers[2]);
        QCOMPARE(shownPicture(), afterThree); // the mark back as it was
        QVERIFY(!redoAction()->isEnabled());  // a new press drops what was undone
        // Opening a photo, even the same, clears the history; the points stay.
        QVERIFY(mWindow->loadPhoto(photo(0)));
        QVERIFY(!undoAction()->isEnabled() && !redoAction()->isEnabled());
        mWindow->undo();
        QCOMPARE(int(mState->pointCount), 3);

        for (const QPoint& marker : markers.mid(3))
            mWindow->pressOnPicture(marker, 0);
        mWindow->continueAnalysis(); // clears the history
        QVERIFY(topLevel("DEnd") && !undoAction()->isEnabled());
        QCOMPARE(w()->windowTitle(), QStringLiteral("Vestra2007"));
        activate();
        answerNextFileDialog("dlgSaveAnalysis", mDir->filePath("walk")); // the suffix is added
        QTest::keyClick(w(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(w()->windowTitle(), QStringLiteral("Vestra2007 - walk.vestra"));
        QVERIFY(!askedOnClose()); // saved: no question
        w()->show();
        mWindow->pressOnPicture(QPointF(10, 10), 0);
        QCOMPARE(w()->windowTitle(), QStringLiteral("Vestra2007 - walk.vestra*"));
        mWindow->undo(); // back at the saved state
        QCOMPARE(w()->windowTitle(), QStringLiteral("Vestra2007 - walk.vestra"));
        mWindow->redo();
        QCOMPARE(w()->windowTitle(), QStringLiteral("Vestra2007 - walk.vestra*"));
        activate();
        QTest::keyClick(w(), Qt::Key_S, Qt::ControlModifier); // no dialog the second time
        QCOMPARE(w()->windowTitle(), QStringLiteral("Vestra2007 - walk.vestra"));
        mWindow->undo();
        mWindow->applySagittalPreset(); // a change outside the history
        mWindow->redo();
        QCOMPARE(w()->windowTitle(), QStringLiteral("Vestra2007 - walk.vestra*"));

        QTest::mouseClick(child(w(), "Option1"), Qt::LeftButton);
        onNextModal(
            [](QWidget* box) { QTest::mouseClick(child(box, "btnDiscard"), Qt::LeftButton); });
        QTest::keyClick(w(), Qt::Key_N, Qt::ControlModifier);
        QTRY_VERIFY(!topLevel("DEnd"));
        QCOMPARE(stateBytes(), fresh); // the settings stay
        QCOMPARE(shownPicture(), blank);
        QCOMPARE(w()->windowTitle(), QStringLiteral("Vestra2007"));
        QVERIFY(!mWindow->hasUnsavedChanges() && !undoAction()->isEnabled());
    }

private:
    // The presses, then the step; undone and redone twice, each exactly.
    void undoStep(const char* mode, int bits, const QList<QPointF>& presses, const QString& step) {
        QVERIFY(mWindow->loadPhoto(photo(0)));
        child<QRadioButton>(w(), mode)->setChecked(true);
        child<QLineEdit>(w(), "Text1")->setText("500");
        for (qsizetype i = 0; i < presses.size() - (step.isEmpty() ? 1 : 0); ++i)
            mWindow->pressOnPicture(presses[i], bits);
        const QImage pictureBefore = shownPicture();
        const QByteArray stateBefore = stateBytes();
        if (step == "grid")
            QTest::mouseClick(child(w(), "Option4"), Qt::LeftButton);
        else if (step == "start")
            mWindow->startAnalysis();
        else if (step == "confirm")
            mWindow->confirmDistance();
        else
            mWindow->pressOnPicture(presses.last(), bits);
        const QImage pictureAfter = shownPicture();
        const QByteArray stateAfter = stateBytes();
        QVERIFY(stateAfter != stateBefore || pictureAfter != pictureBefore);
        for (int round = 0; round < 2; ++round) {
            QVERIFY(undoAction()->isEnabled() && !redoAction()->isEnabled());
            undoAction()->trigger();
            QCOMPARE(shownPicture(), pictureBefore);
            QCOMPARE(stateBytes(), stateBefore);
            QVERIFY(redoAction()->isEnabled());
            redoAction()->trigger();
            QCOMPARE(shownPicture(), pictureAfter);
            QCOMPARE(stateBytes(), stateAfter);
        }
    }

    QAction* undoAction() const { return child<QAction>(w(), "mnuEditUndo"); }
    QAction* redoAction() const { return child<QAction>(w(), "mnuEditRedo"); }
    QString photo(int frame) const { return mDir->filePath("seq/" + sampleFileName("a", frame)); }

    // The record and what the window shows as file bytes, paths relative to the photo's folder.
    QByteArray stateBytes() const {
        AnalysisDocument document;
        document.record = *mState;
        document.sway = mWindow->sway();
        document.source = mWindow->source();
        document.window =
            captureWindowState(*mWindow->centralWidget(), *child<QAction>(w(), "kaiseki"));
        return analysisFileBytes(document,
                                 QFileInfo(QString::fromStdString(mState->photoPath)).path());
    }

    // Closes the window; true when it asked about unsaved work, answered with `button`.
    bool askedOnClose(const char* button = "btnCancel") {
        bool asked = false;
        QTimer::singleShot(0, [&asked, button] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                asked = box->objectName() == "msgSaveChanges" && box->text() == "保存しますか";
                QTest::mouseClick(child(box, button), Qt::LeftButton);
            }
        });
        w()->close();
        QCoreApplication::processEvents();
        return asked;
    }
};

QTEST_MAIN(AnalysisWindowTests)
#include "analysis_window_tests.moc"
