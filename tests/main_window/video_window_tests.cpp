// Videos in the main window as a user meets them: the menu item, the open dialog and its
// filters, the start dialog and the road to the end of the clip, refusals, Esc during a run,
// and a reopened analysis going on. (Reading, tracking and parity with photos are the
// continuation's tests.)
#include "file_dialog_input.h"
#include "video_clips.h"
#include "window_test.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTransform>

#include <cmath>
#include <functional>
#include <memory>

namespace {

// Runs `handle` on the first modal dialog of type T (and name, when given) that comes up. Polls
// without blocking, so that a handler may set up the next dialog before closing its own.
template <typename T> void whenModal(std::function<void(T*)> handle, const char* name = nullptr) {
    auto* poll = new QTimer(qApp);
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(poll, &QTimer::timeout, [poll, clock, handle, name] {
        T* modal = qobject_cast<T*>(QApplication::activeModalWidget());
        const bool found = modal && (!name || modal->objectName() == QLatin1String(name));
        if (!found && clock->elapsed() < 10000)
            return;
        poll->stop();
        poll->deleteLater();
        delete clock;
        if (found)
            handle(modal);
        else
            qWarning("no modal %s came up", name ? name : "dialog");
    });
    poll->start(10);
}

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

private slots:
    void init();
    void cleanup();
    void openDialogShowsItsFiltersAsWrittenAndFiltersByThem();
    void startDialogTellsTheVideoAndStartsWhereAsked();
    void aFileThatIsNoVideoIsRefusedByNameAndChangesNothing_data();
    void aFileThatIsNoVideoIsRefusedByNameAndChangesNothing();
    void escStopsAfterTheCurrentPictureAndInputIsIgnored_data();
    void escStopsAfterTheCurrentPictureAndInputIsIgnored();
    void aReopenedVideoAnalysisGoesOnWhereItStopped();

private:
    PictureArea* picture(const char* name) const { return child<PictureArea>(w(), name); }
    QString clip(const QString& name, int frames, const VideoWriteOptions& options) {
        return writeClip(mDir->filePath(name), sampleFrames(frames), options);
    }
    // Points on the seven markers of sample frame `frame`, the frontal preset, the ruler, 500 mm.
    void prepareAnalysis(int frame = 0) {
        for (const QPoint& marker : sampleMarkerCentres(frame))
            press(marker);
        child<QAction>(w(), "kaiseki")->trigger();
        QTest::mouseClick(child(w(), "Command2"), Qt::LeftButton);
        mWindow->pressOnPicture(sampleRulerStart(), 1);
        mWindow->pressOnPicture(sampleRulerEnd(), 1);
        child<QLineEdit>(w(), "Text1")->setText(QStringLiteral("500"));
        QTest::mouseClick(child(w(), "Command4"), Qt::LeftButton);
        QVERIFY(child(w(), "Command3")->isVisible());
    }
    QString progress() const { return child<QLabel>(w(), "lblProgress")->text(); }
};

void VideoWindowTests::init() {
    setUpWindow();
    QVERIFY(QDir(mDir->path()).mkpath(QStringLiteral("撮影 (1)")));
}

void VideoWindowTests::cleanup() {
    closeWindows();
}

void VideoWindowTests::openDialogShowsItsFiltersAsWrittenAndFiltersByThem() {
    const QString folder = mDir->filePath(QStringLiteral("撮影 (1)"));
    for (const char* name :
         {"a.mp4", "B.MOV", "c.Mts", "d.wmv", "notes.txt", "photo.bmp", "README"})
        writeBytes(QDir(folder).filePath(QLatin1String(name)), "x");
    QVERIFY(QDir(folder).mkpath(QStringLiteral("sub")));
    QStringList filters;
    bool listed = false;
    whenModal<QFileDialog>([&](QFileDialog* dialog) {
        filters = dialog->nameFilters();
        dialog->setDirectory(folder);
        // Camera files are named in capitals as often as not.
        QTRY_COMPARE(listedNames(dialog), QStringList({"B.MOV", "a.mp4", "c.Mts", "d.wmv", "sub"}));
        QTest::keyClick(child<QComboBox>(dialog, "fileTypeCombo"), Qt::Key_Down);
        QTRY_COMPARE(listedNames(dialog).size(), 8); // files without an extension too
        listed = true;
        dialog->reject();
    });
    child<QAction>(w(), "mnuFileOpenVideo")->trigger();
    QCOMPARE(filters, QStringList({"動画ファイル (*.mp4;*.mov;*.m4v;*.avi;*.mkv;*.wmv;*.mts)",
                                   "すべてのファイル (*.*)"}));
    QVERIFY(listed);
    QCOMPARE(mState->photoPath, std::string()); // cancelled: nothing opened
}

void VideoWindowTests::startDialogTellsTheVideoAndStartsWhereAsked() {
    const QString path = clip(QStringLiteral("撮影 (1)/歩行 テスト.mkv"), 20, losslessClip());
    QStringList readOuts;
    QString caption;
    double start = -1;
    int step = -1;
    whenModal<QFileDialog>([&](QFileDialog* modal) {
        whenModal<QDialog>(
            [&](QDialog* startDialog) {
                caption = startDialog->windowTitle();
                for (const char* name : {"lblVideoFile", "lblVideoSize", "lblVideoRate",
                                         "lblVideoDuration", "lblVideoFrames"})
                    readOuts.append(child<QLabel>(startDialog, name)->text());
                auto* startBox = child<QDoubleSpinBox>(startDialog, "spnVideoStart");
                auto* stepBox = child<QSpinBox>(startDialog, "spnVideoStep");
                start = startBox->value();
                step = stepBox->value();
                QVERIFY(child<QPushButton>(startDialog, "cmdOK")->isDefault());
                startBox->selectAll();
                QTest::keyClicks(startBox, QStringLiteral("0.5"));
                stepBox->selectAll();
                QTest::keyClicks(stepBox, QStringLiteral("2"));
                QTest::keyClick(stepBox, Qt::Key_Return); // Enter accepts
            },
            "dlgVideoStart");
        typeIntoFileDialog(modal, path, "dlgOpenVideo");
    });
    child<QAction>(w(), "mnuFileOpenVideo")->trigger();
    QCOMPARE(caption, QStringLiteral("動画の読み込み"));
    QCOMPARE(readOuts, QStringList({"歩行 テスト.mkv", "640 × 480 ピクセル", "10 コマ/秒", "2 秒",
                                    "約 20"})); // Matroska does not count its frames
    QCOMPARE(start, 0.0);
    QCOMPARE(step, 1);

    // The frame at 0.5 s is shown exactly as an opened photo would be.
    QCOMPARE(QString::fromStdString(mState->photoPath), path);
    QCOMPARE(picture("picOrg")->image(), sampleFrame(5));
    QCOMPARE(picture("picSource")->image(), sampleFrame(5));
    QVERIFY(child<QAction>(w(), "kaiseki")->isEnabled());
    const AnalysisSource& source = mWindow->source();
    QCOMPARE(source.kind, AnalysisSource::Kind::Video);
    QCOMPARE(QString::fromStdString(source.placementPath), path);
    QCOMPARE(source.startSeconds, 0.5);
    QCOMPARE(source.frameStep, 2);
    QCOMPARE(source.placementPts, int64_t(500)); // Matroska counts milliseconds
    QCOMPARE(source.lastPts, AnalysisSource::kNoFrame);

    // Every second frame after it: 7, 9, ..., 19.
    prepareAnalysis(5);
    QCOMPARE(mWindow->sway().entries.size(), size_t(1));
    QCOMPARE(mWindow->sway().entries[0].seconds, 0.5);
    mWindow->continueAnalysis();
    QCOMPARE(int(mState->frameCount), 7);
    QCOMPARE(picture("picOrg")->image(), sampleFrame(19));
    QCOMPARE(mWindow->source().lastPts, int64_t(1900));
    QCOMPARE(progress(), QStringLiteral("7コマを追跡しました。動画の最後に達したため終了しました"));
    QCOMPARE(mWindow->sway().entries.size(), size_t(8));
    QCOMPARE(mWindow->sway().entries.back().seconds, 1.9);
}

void VideoWindowTests::aFileThatIsNoVideoIsRefusedByNameAndChangesNothing_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes"); // "cut" for the first third of an MP4
    QTest::addColumn<QString>("reason");
    QTest::newRow("text renamed") << "メモ.mp4" << QByteArray("会議のメモ\n")
                                  << "動画として読み取れないデータです";
    QTest::newRow("cut off") << "cut.mp4" << QByteArray("cut")
                             << "動画として読み取れないデータです";
    QTest::newRow("empty") << "empty.mov" << QByteArray() << "動画として読み取れないデータです";
}

void VideoWindowTests::aFileThatIsNoVideoIsRefusedByNameAndChangesNothing() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    const QString first = clip(QStringLiteral("first.mkv"), 3, losslessClip());
    QVERIFY(mWindow->openVideo(first, 0, 1));
    QTest::mouseClick(picture("picSource"), Qt::LeftButton, Qt::NoModifier, QPoint(322, 64));
    const QImage shown = picture("picSource")->image();
    const AnalysisSource before = mWindow->source();

    if (bytes == "cut") {
        const QByteArray mp4 =
            readBytes(writeClip(mDir->filePath("whole.mp4"), sampleFrames(8), h264Clip()));
        bytes = mp4.left(mp4.size() / 3);
    }
    const QString path = mDir->filePath(name);
    writeBytes(path, bytes);
    QString message;
    whenModal<QFileDialog>([&](QFileDialog* modal) {
        whenModal<QMessageBox>([&](QMessageBox* box) {
            message = box->text();
            QTest::keyClick(box, Qt::Key_Return);
        });
        typeIntoFileDialog(modal, path, "dlgOpenVideo");
    });
    child<QAction>(w(), "mnuFileOpenVideo")->trigger();
    QVERIFY2(message.contains(QDir::toNativeSeparators(path)), qPrintable(message));
    QVERIFY2(message.contains(reason), qPrintable(message));
    QCOMPARE(QString::fromStdString(mState->photoPath), first);
    QCOMPARE(picture("picSource")->image(), shown);
    QCOMPARE(int(mState->pointCount), 1);
    QCOMPARE(mWindow->source().placementPts, before.placementPts);
    QString error;
    QVERIFY(!mWindow->openVideo(path, 0, 1, &error));
    QVERIFY(error.startsWith(reason));
}

void VideoWindowTests::escStopsAfterTheCurrentPictureAndInputIsIgnored_data() {
    QTest::addColumn<bool>("video");
    QTest::newRow("photos") << false;
    QTest::newRow("video") << true;
}

void VideoWindowTests::escStopsAfterTheCurrentPictureAndInputIsIgnored() {
    QFETCH(bool, video);
    if (video) {
        QVERIFY(mWindow->openVideo(clip(QStringLiteral("run.mkv"), 12, losslessClip()), 0, 1));
    } else {
        SampleOptions options;
        options.count = 12;
        QString error;
        QVERIFY(writeSampleSequence(mDir->filePath("run"), "a", options, &error));
        QVERIFY(mWindow->loadPhoto(mDir->filePath("run/" + sampleFileName("a", 0))));
    }
    prepareAnalysis();
    // Waiting for the run: a click on a marker, a menu shortcut, a key in the distance box,
    // then Esc. None may act but Esc, which ends the run after the picture being tracked.
    QWidget* shown = picture("picSource");
    const QPoint head =
        sampleMarkerCentres(0)[0] + QPoint(PictureArea::kFrame, PictureArea::kFrame);
    QCoreApplication::postEvent(shown, new QMouseEvent(QEvent::MouseButtonPress, head,
                                                       shown->mapToGlobal(head), Qt::LeftButton,
                                                       Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(child(w(), "Text1"),
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_7, Qt::NoModifier, "7"));
    QCoreApplication::postEvent(w(),
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    mWindow->continueAnalysis();
    QCOMPARE(int(mState->frameCount), 1);
    QCOMPARE(int(mState->pointCount), 7);
    QCOMPARE(child<QLineEdit>(w(), "Text1")->text(), QStringLiteral("500"));
    QVERIFY(topLevel("DEnd"));
    QCOMPARE(progress(), video ? QStringLiteral("1コマを追跡しました。Escキーで中止しました")
                               : QStringLiteral("1枚の写真を追跡しました。Escキーで中止しました"));
    QCOMPARE(picture("picOrg")->image(), sampleFrame(1));
    if (!video)
        QVERIFY(mState->photoPath.ends_with("a(002).bmp"));

    // Continuing again goes on after the picture where Esc stopped, to the end.
    mWindow->continueAnalysis();
    QCOMPARE(int(mState->frameCount), 11);
    QCOMPARE(picture("picOrg")->image(), sampleFrame(11));
}

void VideoWindowTests::aReopenedVideoAnalysisGoesOnWhereItStopped() {
    const QString path = clip(QStringLiteral("reopen.mkv"), 12, losslessClip());
    QVERIFY(mWindow->openVideo(path, 0.2, 3));
    prepareAnalysis(2);
    mState->frameCount = AnalysisState::kSeriesLength - 2; // room for two more frames: 5 and 8
    mWindow->continueAnalysis();
    QCOMPARE(picture("picOrg")->image(), sampleFrame(8));
    QCOMPARE(progress(),
             QStringLiteral(
                 "2コマを追跡しました。記録できるコマの数（901コマ）に達したため終了しました"));
    const AnalysisSource saved = mWindow->source();
    const AnalysisState record = *mState;

    // As a saved analysis is opened again: the record, the placement frame, the source.
    openWindow();
    *mState = record;
    mState->frameCount = 0;
    QVERIFY(mWindow->openVideo(path, saved.startSeconds, saved.frameStep));
    QCOMPARE(mWindow->source().placementPts, saved.placementPts);
    mWindow->restoreSource(saved);
    mWindow->continueAnalysis();
    QCOMPARE(int(mState->frameCount), 1); // frame 11, the last of the clip
    QCOMPARE(picture("picOrg")->image(), sampleFrame(11));
    QCOMPARE(progress(), QStringLiteral("1コマを追跡しました。動画の最後に達したため終了しました"));
}

QTEST_MAIN(VideoWindowTests)
#include "video_window_tests.moc"
