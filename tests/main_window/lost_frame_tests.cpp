// SPDX-License-Identifier: GPL-3.0-or-later
// Going on with an analysis: past a lost marker (the picture where it was lost, the lost marker
// placed by hand and the run going on from that picture, or the picture left out, also after
// saving and opening the analysis again), and a second run keeping the landmark names.
#include "marker_scene.h"
#include "window_test.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>

namespace {

// Three markers on a plain room; from photo `from` on marker 2 stands 30 pixels to the right,
// beyond the tracking's reach, and on photo `hidden` it is covered.
struct Sequence {
    int jumpFrom = 99;
    int hidden = 99;
    static QPoint base(int k) { return {200 + 100 * k, 240}; }
    [[nodiscard]] QList<QPoint> markers(int frame) const {
        QList<QPoint> centres;
        for (int k = 1; k <= 3; ++k) {
            if (k == 2 && frame == hidden)
                continue;
            centres << base(k) + QPoint(k == 2 && frame >= jumpFrom ? 30 : 0, frame % 2);
        }
        return centres;
    }
};

} // namespace

class LostFrameTests : public WindowTest {
    Q_OBJECT

    QString photo(int frame) const {
        return mDir->filePath(QStringLiteral("s(%1).bmp").arg(frame + 1, 3, 10, QLatin1Char('0')));
    }
    void writeSequence(const Sequence& s, int count) {
        for (int frame = 0; frame < count; ++frame)
            QVERIFY(roomWithMarkers(s.markers(frame)).save(photo(frame)));
    }
    // The first photo opened, its markers clicked, 2 mm per pixel, and the run to its end.
    void startRun() {
        QVERIFY(mWindow->loadPhoto(photo(0)));
        for (int k = 1; k <= 3; ++k)
            press(Sequence::base(k));
        mState->mmPerPoint = 20;
        mWindow->continueAnalysis();
    }
    QLabel* line() const { return child<QLabel>(w(), "lblProgress"); }
    QLabel* offer() const { return child<QLabel>(w(), "lblLostFrame"); }

private slots:
    void init() { setUpWindow(); }
    void cleanup() { closeWindows(); }

    // Marker 2 jumps 30 px on photo 3: placed there by hand, the run goes on to the end, saved
    // and opened again in between.
    void placedByHandAfterReopening() {
        writeSequence({3, 99}, 6);
        startRun();
        QCOMPARE(line()->text(), QStringLiteral("2枚の写真を追跡しました。s(004).bmp で点2の"
                                                "マーカーが見つからないため終了しました"));
        QVERIFY(offer()->text().contains(QStringLiteral("このコマで指定して続ける")));
        const QString file = mDir->filePath("lost.vestra");
        QVERIFY(mWindow->saveAnalysisFile(file));

        openWindow();
        QVERIFY(mWindow->openAnalysisFileQuietly(file).opened);
        QVERIFY(offer()->isVisible());
        mWindow->showLostFrame();
        QCOMPARE(line()->text(),
                 QStringLiteral("s(004).bmp：点2のマーカーを順にクリックしてください"));
        press({100, 100}); // no marker there: nothing placed, the user is told
        QVERIFY(line()->text().contains(QStringLiteral("マーカーがありません")));
        const QPoint jumped = Sequence::base(2) + QPoint(30, 1);
        press(jumped);
        QCOMPARE(line()->text(),
                 QStringLiteral("s(004).bmp：解析を続けるを押すと、このコマから続けます"));
        mWindow->undo(); // the placing is a step of its own
        QVERIFY(line()->text().contains(QStringLiteral("点2のマーカー")));
        mWindow->redo();
        mWindow->continueAnalysis();
        QCOMPARE(line()->text(), QStringLiteral("3枚の写真を追跡しました。次の写真 s(007).bmp が"
                                                "ないため終了しました"));
        QVERIFY(!offer()->isVisible());
        // The move into photo 4 is the jump itself; the trail goes on on the first picture.
        QCOMPARE(int(mState->frameCount), 5);
        QCOMPARE(mState->deltaX2[2], 30.0f);
        QCOMPARE(mState->deltaX1[2], 0.0f);
        QCOMPARE(point(2), jumped + QPoint(0, 0)); // photo 6 (index 5) has the odd row
        QCOMPARE(mWindow->sway().entries.size(), std::size_t(6));
        QCOMPARE(shownPicture().pixel(jumped), 0xFF800000); // the trail's dark red
    }

    // Marker 2 is covered on photo 3: that photo is left out and the run reaches the end.
    void coveredFrameLeftOut() {
        writeSequence({99, 3}, 6);
        startRun();
        QVERIFY(offer()->isVisible());
        const double pathBefore = mState->pathLength[1];
        mWindow->showLostFrame();
        mWindow->skipLostFrame();
        QCOMPARE(line()->text(), QStringLiteral("s(004).bmpを飛ばしました。解析を続けるを押すと次の"
                                                "コマから続けます"));
        QCOMPARE(mState->pathLength[1], pathBefore - 1.0); // point 1's move into it taken back
        mWindow->continueAnalysis();
        QCOMPARE(line()->text(), QStringLiteral("2枚の写真を追跡しました。次の写真 s(007).bmp が"
                                                "ないため終了しました"));
        QCOMPARE(int(mState->frameCount), 4);
        // One move from photo 3 to photo 5, both on even rows.
        QCOMPARE(mState->deltaY1[2], 0.0f);
        std::vector<int32_t> sequences;
        for (const SwayEntry& e : mWindow->sway().entries)
            sequences.push_back(e.sequence);
        QCOMPARE(sequences, (std::vector<int32_t>{1, 2, 3, 5, 6}));
    }

    // The lists show the path totals after a run; a second run keeps the names the user gave,
    // and takes a name typed over a total.
    void namesKeptWhenGoingOn() {
        writeSequence({}, 6);
        QVERIFY(QFile::remove(photo(2))); // the first run ends before photo 3
        mWindow->startAnalysis();
        mWindow->applyFrontalPreset();
        startRun();
        QCOMPARE(listTexts()[0], QStringLiteral("2")); // one pixel at 2 mm per pixel
        QCOMPARE(QString::fromStdString(mState->landmarkNames[2]), QStringLiteral("肩峰 (前額左)"));
        child<QComboBox>(w(), "Combo3")->setEditText(QStringLiteral("右肩"));
        mWindow->continueAnalysis();
        QCOMPARE(int(mState->frameCount), 4);
        QCOMPARE(QString::fromStdString(mState->landmarkNames[1]), QStringLiteral("頭頂部"));
        QCOMPARE(QString::fromStdString(mState->landmarkNames[2]), QStringLiteral("肩峰 (前額左)"));
        QCOMPARE(QString::fromStdString(mState->landmarkNames[3]), QStringLiteral("右肩"));
        // Saved and opened again, a third run still keeps them.
        const QString file = mDir->filePath("names.vestra");
        QVERIFY(mWindow->saveAnalysisFile(file));
        openWindow();
        QVERIFY(mWindow->openAnalysisFileQuietly(file).opened);
        QVERIFY(QFile::copy(photo(5), mDir->filePath("s(008).bmp"))); // after the one that failed
        mWindow->continueAnalysis();
        QCOMPARE(int(mState->frameCount), 5);
        QCOMPARE(QString::fromStdString(mState->landmarkNames[3]), QStringLiteral("右肩"));
        QCOMPARE(QString::fromStdString(mState->landmarkNames[4]),
                 QStringLiteral("腸骨棘 (前額左)"));
    }
};

QTEST_MAIN(LostFrameTests)
#include "lost_frame_tests.moc"
