// SPDX-License-Identifier: GPL-3.0-or-later
// Videos in the main window as a user meets them: the open and start dialogs, Esc during a run,
// and a refusal and a reopened analysis after it.
#include "file_dialog_input.h"
#include "video_clips.h"
#include "window_test.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

namespace {

// The names the dialog's file list shows in its current folder.
QStringList listedNames(QFileDialog* dialog) {
    auto* model = dialog->findChild<QFileSystemModel*>();
    const QModelIndex folder = model->index(dialog->directory().absolutePath());
    QStringList names;
    for (int row = 0; row < model->rowCount(folder); ++row)
        names.append(model->index(row, 0, folder).data().toString());
    names.sort();
    return names;
}

} // namespace

class VideoWindowTests : public WindowTest {
    Q_OBJECT

    PictureArea* picture(const char* name) const { return child<PictureArea>(w(), name); }
    QString clip(const QString& name, int frames) {
        return writeClip(mDir->filePath(name), sampleFrames(frames), losslessClip());
    }
    // Points on the seven markers of sample frame `frame`, the frontal preset, the ruler, 500 mm.
    void prepareAnalysis(int frame = 0) {
        for (const QPoint& marker : sampleMarkerCentres(frame))
            press(marker);
        child<QAction>(w(), "kaiseki")->trigger();
        QTest::mouseClick(child(w(), "Command2"), Qt::LeftButton);
        confirmScale(250, QStringLiteral("500"));
        QVERIFY(child(w(), "Command3")->isVisible());
    }
    QString progress() const { return child<QLabel>(w(), "lblProgress")->text(); }

private slots:
    void init() { setUpWindow(); }
    void cleanup() { closeWindows(); }

    void openAndStartDialogsTellTheVideoAndStartWhereAsked() {
        const QString folder = mDir->filePath(QStringLiteral("撮影 (1)"));
        QVERIFY(QDir().mkpath(folder + "/sub"));
        for (const char* name :
             {"a.mp4", "B.MOV", "c.Mts", "d.wmv", "notes.txt", "photo.bmp", "README"})
            writeBytes(QDir(folder).filePath(QLatin1String(name)), "x");
        const QString path = clip(QStringLiteral("撮影 (1)/歩行 テスト.mkv"), 20);
        QStringList texts; // the filters, then what the start dialog shows
        onNextModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            texts = dialog->nameFilters();
            dialog->setDirectory(folder);
            // Camera files are named in capitals as often as not.
            QTRY_COMPARE(listedNames(dialog), QStringList({"B.MOV", "a.mp4", "c.Mts", "d.wmv",
                                                           "sub", "歩行 テスト.mkv"}));
            QTest::keyClick(child<QComboBox>(dialog, "fileTypeCombo"), Qt::Key_Down);
            QTRY_COMPARE(listedNames(dialog).size(), 9); // files without an extension too
            typeIntoFileDialog(modal, path, "dlgOpenVideo");
            onNextModal([&](QWidget* start) {
                texts.append(start->windowTitle());
                for (const char* name : {"lblVideoFile", "lblVideoSize", "lblVideoRate",
                                         "lblVideoDuration", "lblVideoFrames"})
                    texts.append(child<QLabel>(start, name)->text());
                auto* startBox = child<QDoubleSpinBox>(start, "spnVideoStart");
                auto* stepBox = child<QSpinBox>(start, "spnVideoStep");
                texts << startBox->text() << stepBox->text();
                startBox->selectAll();
                QTest::keyClicks(startBox, QStringLiteral("0.5"));
                stepBox->selectAll();
                QTest::keyClicks(stepBox, QStringLiteral("2"));
                QTest::keyClick(stepBox, Qt::Key_Return); // Enter accepts
            });
        });
        child<QAction>(w(), "mnuFileOpenVideo")->trigger();
        QCOMPARE(texts, QStringList({"動画ファイル (*.mp4;*.mov;*.m4v;*.avi;*.mkv;*.wmv;*.mts)",
                                     "すべてのファイル (*.*)", "動画の読み込み", "歩行 テスト.mkv",
                                     "640 × 480 ピクセル", "10 コマ/秒", "2 秒",
                                     "約 20", // Matroska does not count its frames
                                     "0.000", "1"}));

        // The frame at 0.5 s is shown exactly as an opened photo would be.
        QCOMPARE(QString::fromStdString(mState->photoPath), path);
        QCOMPARE(picture("picOrg")->image(), sampleFrame(5));
        QCOMPARE(picture("picSource")->image(), sampleFrame(5));
        // Runs from there are the video source's tests; the window's is the next test's.
        QCOMPARE(mWindow->source().startSeconds, 0.5);
        QCOMPARE(mWindow->source().placementPts, int64_t(500)); // Matroska counts milliseconds
        QCOMPARE(mWindow->source().frameStep, 2);
    }

    // Esc ends a run, a refused video changes nothing, and the analysis reopened goes on.
    void escRefusalAndAReopenedAnalysisGoingOn() {
        const QString path = clip(QStringLiteral("run.mkv"), 12);
        QVERIFY(mWindow->openVideo(path, 0.2, 2));
        prepareAnalysis(2);
        QCOMPARE(mWindow->sway().entries[0].seconds, 0.2);
        // Waiting for the run: a click on a marker, a key in the distance box, then Esc. None may
        // act but Esc, which ends the run after the picture being tracked.
        QWidget* shown = picture("picSource");
        const QPoint head =
            sampleMarkerCentres(2)[0] + QPoint(PictureArea::kFrame, PictureArea::kFrame);
        QCoreApplication::postEvent(shown, new QMouseEvent(QEvent::MouseButtonPress, head,
                                                           shown->mapToGlobal(head), Qt::LeftButton,
                                                           Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(
            child(w(), "Text1"), new QKeyEvent(QEvent::KeyPress, Qt::Key_7, Qt::NoModifier, "7"));
        QCoreApplication::postEvent(
            w(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        mWindow->continueAnalysis();
        QCOMPARE(int(mState->frameCount), 1);
        QCOMPARE(int(mState->pointCount), 7);
        QCOMPARE(child<QLineEdit>(w(), "Text1")->text(), QStringLiteral("500"));
        QVERIFY(topLevel("DEnd"));
        QCOMPARE(progress(), QStringLiteral("1コマを追跡しました。Escキーで中止しました"));
        QCOMPARE(picture("picOrg")->image(), sampleFrame(4));

        // A text file renamed .mp4 is refused by name and changes nothing.
        const QString memo = mDir->filePath(QStringLiteral("メモ.mp4"));
        writeBytes(memo, "会議のメモ\n");
        const QImage before = picture("picSource")->image();
        QString message;
        onNextModal([&](QWidget* modal) {
            typeIntoFileDialog(modal, memo, "dlgOpenVideo");
            onNextModal([&](QWidget* box) {
                message = qobject_cast<QMessageBox*>(box)->text();
                QTest::keyClick(box, Qt::Key_Return);
            });
        });
        child<QAction>(w(), "mnuFileOpenVideo")->trigger();
        QCOMPARE(message, QStringLiteral("%1 を動画として開けません。\n動画として読み取れないデー"
                                         "タです（対応していない形式か、壊れています）")
                              .arg(QDir::toNativeSeparators(memo)));
        QCOMPARE(picture("picSource")->image(), before);
        QCOMPARE(QString::fromStdString(mState->photoPath), path);
        const AnalysisSource saved = mWindow->source();
        QCOMPARE(saved.lastPts, int64_t(400)); // the next run goes on after it
        const AnalysisState record = *mState;

        // As a saved analysis is opened again: the record, the placement frame, the source.
        // The series has room for two more frames, 6 and 8; the video goes on past it.
        openWindow();
        *mState = record;
        mState->frameCount = AnalysisState::kSeriesLength - 2;
        QVERIFY(mWindow->openVideo(path, saved.startSeconds, saved.frameStep));
        QCOMPARE(mWindow->source().placementPts, saved.placementPts);
        mWindow->restoreSource(saved);
        mWindow->continueAnalysis();
        QCOMPARE(picture("picOrg")->image(), sampleFrame(10));
        QCOMPARE(int(mState->frameCount), AnalysisState::kSeriesLength);
        QCOMPARE(progress(), QStringLiteral("3コマを追跡しました（解析終了のCSVは最初の2コマ）。"
                                            "動画の最後に達したため終了しました"));
    }
};

QTEST_MAIN(VideoWindowTests)
#include "video_window_tests.moc"
