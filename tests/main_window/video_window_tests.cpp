// SPDX-License-Identifier: GPL-3.0-or-later
// Videos in the main window as a user meets them: the open and start dialogs, Esc during a run,
// and a refusal and a reopened analysis after it.
#include "file_dialog_input.h"
#include "video_clips.h"
#include "video_dialogs.h"
#include "window_test.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <random>
#include <thread>

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

// Paints of a label: how many since `paints` was set to 0, and the text a label showed first.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QLabel* label) : mLabel(label) { label->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
            if (first.isNull())
                first = mLabel->text();
        }
        return false;
    }
    std::atomic<int> paints{INT_MIN};
    QString first;

private:
    QLabel* mLabel;
};

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
        // Runs from there are the video source's tests.
        QCOMPARE(mWindow->source().startSeconds, 0.5);
        QCOMPARE(mWindow->source().placementPts, int64_t(500)); // Matroska counts milliseconds
        QCOMPARE(mWindow->source().frameStep, 2);
    }

    // One press of ↑ at 30 frames a second showed 0.033 and picked frame 0 (at 0.0333 s the
    // next frame starts): the arrows now go to a time inside the next frame.
    void startArrowsMoveByWholeFrames() {
        // {the clip's time base (one frame a tick), typed first, ↑ and ↓ presses, shown and frame}
        const std::tuple<int, int, const char*, int, int, const char*> rows[] = {
            {1, 30, "", 1, 0, "0.034 1"},       {1, 30, "", 3, 0, "0.100 3"}, // 0.1 exactly
            {1001, 30000, "", 5, 0, "0.167 5"}, {1, 60, "", 7, 2, "0.084 5"},
            {1, 60, "", 0, 1, "0.000 0"},       {1, 30, "0.5", 1, 0, "0.534 16"},
            {1, 30, "0.52", 0, 1, "0.467 14"}};
        const QList<QImage> frames = sampleFrames(20);
        QStringList shown, expected;
        for (const auto& [tickNum, tickDen, typed, up, down, result] : rows) {
            VideoWriteOptions options = losslessClip();
            options.timeBaseNum = tickNum;
            options.timeBaseDen = tickDen;
            options.framesPerSecond = (tickDen + tickNum / 2) / tickNum;
            const QString path = writeClip(mDir->filePath("rate.mov"), frames, options);
            const VideoProbeResult probe = probeVideo(path);
            QVERIFY(probe.info);
            VideoStartDialog dialog(path, *probe.info, w());
            dialog.show();
            auto* box = child<QDoubleSpinBox>(&dialog, "spnVideoStart");
            box->selectAll();
            QTest::keyClicks(box, QLatin1String(typed));
            for (int i = 0; i < up + down; ++i)
                QTest::keyClick(box, i < up ? Qt::Key_Up : Qt::Key_Down);
            QVERIFY(mWindow->openVideo(path, dialog.startSeconds(), 1));
            shown << box->text() + ' ' +
                         QString::number(frames.indexOf(picture("picSource")->image()));
            expected << QLatin1String(result);
        }
        QCOMPARE(shown, expected);
    }

    // 終了位置: the dialog counts the frames a run will track and refuses an end before the
    // start; the run ends after the last frame that starts by the end.
    void endPositionBoundsTheRun() {
        // {start, end, step, rate, length, frames}: to the end of the video, to a frame's own
        // start, every second frame, an unknown rate, an end before the start.
        const std::tuple<double, double, int, double, double, int64_t> rows[] = {
            {0, INFINITY, 1, 30, 10, 299}, {0, 2.0, 1, 30, 10, 60}, {0, 2.0, 2, 30, 10, 30},
            {1.0, 2.0, 1, 30, 10, 30},     {0, 2.0, 1, 0, 10, -1},  {2.0, 1.0, 1, 30, 10, 0}};
        for (const auto& [start, end, step, rate, length, frames] : rows)
            QCOMPARE(framesToTrack(start, end, step, rate, length), frames);

        const QString path = clip(QStringLiteral("end.mkv"), 20);
        const VideoProbeResult probe = probeVideo(path);
        QVERIFY(probe.info);
        VideoStartDialog dialog(path, *probe.info, w());
        dialog.show();
        auto* end = child<QDoubleSpinBox>(&dialog, "spnVideoEnd");
        QCOMPARE(dialog.endSeconds(), INFINITY); // at the end of the video
        QCOMPARE(child<QLabel>(&dialog, "lblVideoTracked")->text(), QStringLiteral("約 19 コマ"));
        child<QDoubleSpinBox>(&dialog, "spnVideoStart")->setValue(0.5);
        end->setValue(0.4);
        QVERIFY(child(&dialog, "lblVideoRangeError")->isVisible());
        QVERIFY(!child(&dialog, "cmdOK")->isEnabled());
        end->setValue(1.0);
        QVERIFY(!child(&dialog, "lblVideoRangeError")->isVisible());
        QCOMPARE(child<QLabel>(&dialog, "lblVideoTracked")->text(), QStringLiteral("約 5 コマ"));

        QVERIFY(mWindow->openVideo(path, 0.0, 1, nullptr, 1.0));
        prepareAnalysis(0);
        mWindow->continueAnalysis();
        QCOMPARE(progress(),
                 QStringLiteral("10コマを追跡しました。終了位置に達したため終了しました"));
        QCOMPARE(picture("picOrg")->image(), sampleFrame(10));
    }

    // The arrows' time against a slow count through the frames' start times: the frame on
    // screen at the time shown is the one stepped to, for rates from 1 to 480 a second, and the
    // time is one the box can show.
    void startArrowsAgreeWithTheFramesTimes() {
        std::mt19937 random(29970);
        for (int round = 0; round < 2000; ++round) {
            // Now and then a rate whose frames start on whole milliseconds, such as 0.29 s.
            const double whole[] = {10, 25, 50, 100};
            const double rate =
                round % 4 == 0 ? whole[random() % 4] : 1 + (random() % 479000) / 1000.0;
            const int start = random() % 5000;
            const int steps = int(random() % 21) - 10;
            // Seconds inside frame `start` as the box shows them, a millisecond at most late.
            const double inside = std::ceil(start / rate * 1000 - 1e-6) / 1000;
            const double seconds = frameStepSeconds(inside, steps, rate);
            int onScreen = 0;
            while ((onScreen + 1) / rate <= seconds + 1e-12)
                ++onScreen;
            QCOMPARE(onScreen, std::max(0, start + steps));
            QCOMPARE(std::round(seconds * 1000) / 1000, seconds);
        }
    }

    void sizeTextSaysHowTheVideoIsTurned() {
        // {{coded width and height, shown width and height, rotation, mirrored}, text}: as stored,
        // wide pixels, a phone held upright, a front camera, upside down, both.
        const std::pair<VideoInfo, const char*> rows[] = {
            {{640, 480, 640, 480, 0, false}, "640 × 480 ピクセル"},
            {{320, 480, 640, 480, 0, false}, "640 × 480 ピクセル（記録は 320 × 480）"},
            {{640, 480, 480, 640, 90, false}, "480 × 640 ピクセル（90°回転して表示）"},
            {{640, 480, 640, 480, 0, true}, "640 × 480 ピクセル（左右反転して表示）"},
            {{640, 480, 640, 480, 180, true}, "640 × 480 ピクセル（上下反転して表示）"},
            {{640, 480, 480, 640, 270, true}, "480 × 640 ピクセル（270°回転し左右反転して表示）"}};
        for (const auto& [info, text] : rows)
            QCOMPARE(videoSizeText(info), QString::fromUtf8(text));
    }

    // The start frame loads on a worker thread: the windows are painted meanwhile, show the
    // wait cursor, and a click made while waiting is not taken.
    void waitingForAFrameKeepsTheWindowsPaintedAndTakesNoInput() {
        QLabel label(QStringLiteral("待つ"));
        label.show();
        PaintWatch painted(&label);
        QPushButton button(QStringLiteral("押す"));
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));
        int clicks = 0;
        connect(&button, &QPushButton::clicked, [&clicks] { ++clicks; });
        Qt::CursorShape cursor = Qt::ArrowCursor;
        QTimer::singleShot(0, [&] {
            if (QApplication::overrideCursor())
                cursor = QApplication::overrideCursor()->shape();
            QTest::mouseClick(&button, Qt::LeftButton);
            painted.paints = 0; // paints before this one asks for do not count
            label.update();
        });
        // Only a user-interface thread that goes on with its events ever paints again.
        runWhileWindowsWait([&] {
            for (int i = 0; i < 1000 && painted.paints <= 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        });
        QVERIFY(painted.paints > 0);
        QCOMPARE(cursor, Qt::WaitCursor);
        QCOMPARE(clicks, 0);
        QVERIFY(!QApplication::overrideCursor());
        QTest::mouseClick(&button, Qt::LeftButton); // and afterwards it is a button again
        QCOMPARE(clicks, 1);
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
        const PaintWatch started(child<QLabel>(w(), "lblProgress"));
        mWindow->continueAnalysis();
        // As it started, the line said how to stop it and how many frames the video has
        // (Matroska does not count them: estimated from its length). Later lines are shown as
        // time allows.
        QCOMPARE(started.first, QStringLiteral("解析中…（全約12コマ、Escキーで中止）"));
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
