// SPDX-License-Identifier: GPL-3.0-or-later
// マーカーを自動検出 as the user drives it: when it is offered, the panel's numbers over the
// picture, leaving candidates out, swapping the pairs, Esc and Enter, the undo steps of the
// presses, the messages instead of a panel, where the presses go from a larger source, and the
// road to the exported files.
#include "analysis_file.h"
#include "detection_panel.h"
#include "figure_scene.h"
#include "file_bytes.h"
#include "file_dialog_input.h"
#include "sample_photos.h"
#include "window_state.h"
#include "window_test.h"

#include <QAction>
#include <QLabel>
#include <QSpinBox>

#include <random>

class DetectionWindowTests : public WindowTest {
    Q_OBJECT

private slots:
    void init() {
        setUpWindow();
        QVERIFY(writeSampleSequence(mDir->filePath("seq"), "a", SampleOptions{1}, nullptr));
    }
    void cleanup() { closeWindows(); }

    void offeredOnAPictureWithoutPointsSinceItOpened() {
        const auto open = [&] { QVERIFY(mWindow->loadPhoto(photo())); };
        const auto click = [&](QPoint at, Qt::KeyboardModifiers m = {}) {
            return [=, this] { press(at, m); };
        };
        const QPoint head = sampleMarkerCentres(0)[0];
        const auto key = [](QWidget* to, Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
            return [=] { QTest::keyClick(to ? to : panel(), k, m); };
        };
        // {step, offered after it}
        const std::tuple<const char*, std::function<void()>, bool> steps[] = {
            {"start", [] {}, false},
            {"open", open, true},
            {"reference press", click({100, 458}, Qt::ShiftModifier), true},
            {"marker press", click(head), false},
            {"undo", key(w(), Qt::Key_Z, Qt::ControlModifier), true},
            {"panel open", key(w(), Qt::Key_D, Qt::ControlModifier), false},
            {"Esc", key(nullptr, Qt::Key_Escape), true},
            {"press again", click(head), false},
            {"reopen", open, true}, // the points stay with the next photo; none is on it yet
            {"panel again", key(w(), Qt::Key_D, Qt::ControlModifier), false},
            {"reopen under the panel", open, true},
            {"and again", key(w(), Qt::Key_D, Qt::ControlModifier), false},
            {"new analysis",
             [] {
                 onNextModal([](QWidget* box) {
                     QTest::mouseClick(child(box, "btnDiscard"), Qt::LeftButton);
                 });
                 QTest::keyClick(topLevel("frmMain"), Qt::Key_N, Qt::ControlModifier);
             },
             false},
        };
        activate();
        for (const auto& [name, step, offered] : steps) {
            step();
            QVERIFY2(child<QAction>(w(), "mnuEditDetect")->isEnabled() == offered, name);
        }
        QVERIFY(!topLevel("frmDetect")); // gone with the analysis
    }

    void panelNumbersOverThePictureAndPlacesAsClicks() {
        QVERIFY(mWindow->loadPhoto(photo()));
        const QImage clean = child<PictureArea>(w(), "picOrg")->image(), shown = shownPicture();
        const QByteArray state = stateBytes();
        const QList<QPoint> markers = sampleMarkerCentres(0);
        activate();
        QTest::keyClick(w(), Qt::Key_D, Qt::ControlModifier);
        QVERIFY(panel());
        QCOMPARE(text("lblDetectCount"), QStringLiteral("見つかったマーカー: 7 個"));
        QCOMPARE(numbersAt(markers), QList<int>({1, 2, 3, 4, 5, 6, 7}));
        // A ring is drawn on screen beside each marker (radius 6 + 4, beyond the frame), not into
        // either picture.
        const QImage onScreen = child(w(), "picSource")->grab().toImage();
        QCOMPARE(onScreen.pixelColor(markers[0] + QPoint(2 + 10, 2)), QColor(0, 230, 90));
        QCOMPARE(shownPicture(), shown);
        QCOMPARE(child<PictureArea>(w(), "picOrg")->image(), clean);

        // Presses on the picture toggle candidates and place nothing, with Shift neither.
        press({500, 400});
        press({100, 458}, Qt::ShiftModifier);
        press(markers[0] + QPoint(3, 2)); // inside the head's ring
        QCOMPARE(text("lblDetectPlace"), QStringLiteral("配置する点: 6 個"));
        QCOMPARE(numbersAt(markers), QList<int>({0, 1, 2, 3, 4, 5, 6}));
        // Other limits detect again; a candidate left out stays out when it is found again.
        auto* largest = child<QSpinBox>(panel(), "spnMaxArea");
        largest->setValue(100); // the markers have 137 pixels
        QCOMPARE(text("lblDetectCount"), QStringLiteral("マーカーが見つかりませんでした。"));
        QVERIFY(!child(panel(), "cmdPlace")->isEnabled());
        largest->setValue(1600);
        QCOMPARE(numbersAt(markers), QList<int>({0, 1, 2, 3, 4, 5, 6}));
        press(markers[0]);
        QTest::mouseClick(child(panel(), "chkSwap"), Qt::LeftButton);
        QCOMPARE(numbersAt(markers), QList<int>({1, 3, 2, 5, 4, 7, 6}));
        QTest::mouseClick(child(panel(), "chkSwap"), Qt::LeftButton);
        QTest::keyClick(panel(), Qt::Key_Escape);
        QTRY_VERIFY(!topLevel("frmDetect") && !w()->findChild<QWidget*>("detectionOverlay"));
        QCOMPARE(shownPicture(), shown);
        QCOMPARE(stateBytes(), state);

        // Enter places the seven as seven clicks on their centres: one undo step each.
        activate(); // back from the panel
        QTest::keyClick(w(), Qt::Key_D, Qt::ControlModifier);
        press(markers[6]);
        press(markers[6]); // a second click comes as a double click: back in, nothing placed
        activate();        // a click on the picture leaves the keys with the main window
        QTest::keyClick(w(), Qt::Key_Return);
        QCOMPARE(int(mState->pointCount), 7);
        for (int k = 1; k <= 7; ++k)
            QCOMPARE(point(k), markers[k - 1]);
        for (int k = 6; k >= 0; --k) {
            mWindow->undo();
            QCOMPARE(int(mState->pointCount), k);
        }
        QCOMPARE(shownPicture(), shown);
    }

    void messagesInsteadOfAPanel() {
        QList<QPoint> grid;
        for (int i = 0; i < 61; ++i)
            grid << QPoint(40 + 55 * (i % 11), 40 + 70 * (i / 11));
        std::mt19937 rng(3);
        // {name, picture, the message (empty: the panel opens, and says the record has room for
        // only 59 of the 60)}
        const std::tuple<const char*, QImage, QString> rows[] = {
            {"no markers, only what is not one", figureScene(rng, 0, 640, 480).image,
             "マーカーが見つかりませんでした。画像は変更していません。"},
            {"61 markers", roomWithMarkers(grid),
             "マーカーの候補が多すぎます（61 個、上限 60 個）。オプションで許容値を狭めるか、"
             "マーカーを1つずつクリックしてください。"},
            {"60 markers", roomWithMarkers(grid.mid(0, 60)), ""},
        };
        mState->pointCount = 1; // of an earlier photo
        for (const auto& [name, picture, message] : rows) {
            const QString path = mDir->filePath(QStringLiteral("%1.bmp").arg(name));
            QVERIFY(picture.save(path) && mWindow->loadPhoto(path));
            const QImage shown = shownPicture();
            const QByteArray state = stateBytes();
            if (message.isEmpty()) {
                mWindow->detectMarkers();
                QVERIFY2(panel(), name);
                QCOMPARE(text("lblDetectCount") + ' ' + text("lblDetectPlace"),
                         QStringLiteral("見つかったマーカー: 60 個 "
                                        "配置する点: 60 個（点はあと 59 個までしか置けません）"));
                activate();
                QTest::keyClick(w(), Qt::Key_Return);
                QVERIFY(panel() && mState->pointCount == 1); // nothing placed
                press(grid[0]);                              // 59 fit
                QVERIFY(child(panel(), "cmdPlace")->isEnabled());
                QTest::keyClick(panel(), Qt::Key_Escape);
                QTRY_VERIFY(!topLevel("frmDetect"));
            } else {
                QCOMPARE(nextMessage([&] { mWindow->detectMarkers(); }), message);
                QVERIFY2(!topLevel("frmDetect"), name);
            }
            QVERIFY2(shownPicture() == shown && stateBytes() == state, name);
        }
    }

    // The static-balance road on photos twice the display's size, the markers once found by
    // マーカーを自動検出 at the photos' own size and once clicked on their display centres: the
    // exported files must not differ by a byte.
    void detectedMarkersExportWhatClicksExport() {
        const SampleOptions options{4, 1280, 960, 12};
        QVERIFY(writeSampleSequence(mDir->filePath("big"), "b", options, nullptr));
        const QList<QPoint> markers = sampleMarkerCentres(0, options);
        QByteArray exported[2], analysis[2];
        for (const bool detect : {false, true}) {
            openWindow();
            answerNextFileDialog("dlgOpen", mDir->filePath("big/" + sampleFileName("b", 0)));
            child<QAction>(w(), "mnuFileOpen")->trigger();
            activate();
            if (detect) {
                QTest::keyClick(w(), Qt::Key_D, Qt::ControlModifier);
                QVERIFY(panel());
                QCOMPARE(numbersAt(markers), QList<int>({1, 2, 3, 4, 5, 6, 7})); // source pixels
                QTest::keyClick(panel(), Qt::Key_Return);
            } else {
                for (const QPoint& m : markers)
                    press(m / 2);
            }
            QCOMPARE(int(mState->pointCount), 7);
            child<QAction>(w(), "kaiseki")->trigger();
            QTest::mouseClick(child(w(), "Command2"), Qt::LeftButton); // 前額面バランス
            confirmScale(250, QStringLiteral("500"));
            QTest::mouseClick(child(w(), "Command3"), Qt::LeftButton); // 解析を続ける
            QCOMPARE(int(mState->frameCount), 3);
            QWidget* end = topLevel("DEnd");
            QVERIFY(end);
            answerNextFileDialog("SaveData", mDir->filePath("walk.csv"));
            QTest::mouseClick(child(end, "Command4"), Qt::LeftButton);
            exported[detect] = readBytes(mDir->filePath("walk_1.csv"));
            QVERIFY(mWindow->saveAnalysisFile(mDir->filePath("walk.vestra")));
            analysis[detect] = readBytes(mDir->filePath("walk.vestra"));
        }
        QVERIFY(exported[0].startsWith(",")); // the header row of a written file
        QCOMPARE(exported[1], exported[0]);
        QCOMPARE(analysis[1], analysis[0]);
    }

    // The source four times the display: centres come back to display pixels, the press goes to
    // the nearest marker pixel there, or to the centre's own pixel when the display shows none.
    void pressesOnASmallerDisplay() {
        // Display centres (100, 100), (200, 200) and (100, 202): source discs about
        // (4x + 1.5, 4y + 1.5). On display the first is drawn 8 pixels right of its centre, the
        // second on it, the third not at all.
        std::vector<Disc> discs;
        for (const QPoint& p : {QPoint(100, 100), QPoint(200, 200), QPoint(100, 202)})
            discs.push_back({4 * p.x() + 1.5, 4 * p.y() + 1.5, 16, 255});
        std::mt19937 rng(1);
        const QImage source = renderScene(
            2560, 1920, [](int, int, int) { return 80.0; }, discs, 0, rng);
        DetectionInput input{source, SourceScale{2560, 1920, 640, 480},
                             roomWithMarkers({{108, 100}, {200, 200}}), markerBounds(0, 40), 60};
        DetectionPanel detection(input, detectOnImage(source, input.bounds, {}), nullptr, nullptr);
        QCOMPARE(detection.presses(), QList<QPointF>({{102, 100}, {200, 200}, {100, 202}}));
    }

private:
    QString photo() const { return mDir->filePath("seq/" + sampleFileName("a", 0)); }
    static DetectionPanel* panel() { return qobject_cast<DetectionPanel*>(topLevel("frmDetect")); }
    static QString text(const char* label) { return child<QLabel>(panel(), label)->text(); }

    // The number of the candidate at each position, 0 when left out, -1 when none is there.
    static QList<int> numbersAt(const QList<QPoint>& positions) {
        QList<int> numbers;
        for (const QPoint& p : positions) {
            int number = -1;
            for (std::size_t i = 0; i < panel()->candidates().size(); ++i)
                if (std::hypot(panel()->candidates()[i].centre.x - p.x(),
                               panel()->candidates()[i].centre.y - p.y()) < 1)
                    number = panel()->numbers()[i];
            numbers << number;
        }
        return numbers;
    }

    QByteArray stateBytes() const {
        AnalysisDocument document;
        document.record = *mState;
        document.sway = mWindow->sway();
        document.source = mWindow->source();
        document.window =
            captureWindowState(*mWindow->centralWidget(), *child<QAction>(w(), "kaiseki"));
        return analysisFileBytes(document, mDir->path());
    }
};

QTEST_MAIN(DetectionWindowTests)
#include "detection_window_tests.moc"
