// SPDX-License-Identifier: GPL-3.0-or-later
// マーカーを自動検出 as the user drives it: when it is offered, the panel's numbers over the
// picture, leaving candidates out, swapping the pairs, Esc and Enter, the undo steps of the
// presses, the messages instead of a panel, and where the presses go on a smaller display.
#include "analysis_file.h"
#include "detection_panel.h"
#include "detection_photos.h"
#include "figure_scene.h"
#include "window_state.h"
#include "window_test.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QSpinBox>

#include <algorithm>
#include <random>

class DetectionWindowTests : public WindowTest {
    Q_OBJECT

private slots:
    void init() {
        setUpWindow();
        QVERIFY(writeFrontalScenes(mDir->filePath("seq"), "a", 1));
    }
    void cleanup() { closeWindows(); }

    void offeredOnAPictureWithoutPointsSinceItOpened() {
        const QPoint head = sampleMarkerCentres(0)[0];
        // {step, offered after it}
        const std::tuple<const char*, std::function<void()>, bool> steps[] = {
            {"start", [] {}, false},
            {"open", [&] { QVERIFY(mWindow->loadPhoto(photo())); }, true},
            {"reference press",
             [&] {
                 press({100, 458}, Qt::ShiftModifier);
             },
             true},
            {"marker press", [&] { press(head); }, false},
            {"undo", [&] { QTest::keyClick(w(), Qt::Key_Z, Qt::ControlModifier); }, true},
            {"panel open", [&] { QTest::keyClick(w(), Qt::Key_D, Qt::ControlModifier); }, false},
            {"Esc", [&] { QTest::keyClick(panel(), Qt::Key_Escape); }, true},
            {"press again", [&] { press(head); }, false},
            // The points stay with the next photo; none is on it yet.
            {"reopen", [&] { QVERIFY(mWindow->loadPhoto(photo())); }, true},
            {"panel again", [&] { QTest::keyClick(w(), Qt::Key_D, Qt::ControlModifier); }, false},
            {"reopen under the panel", [&] { QVERIFY(mWindow->loadPhoto(photo())); }, true},
            {"and again", [&] { QTest::keyClick(w(), Qt::Key_D, Qt::ControlModifier); }, false},
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
            QVERIFY2(detectAction()->isEnabled() == offered, name);
        }
        QVERIFY(!topLevel("frmDetect")); // gone with the analysis
    }

    void panelNumbersOverThePictureAndPlacesAsClicks() {
        QVERIFY(mWindow->loadPhoto(photo()));
        const QImage clean = child<PictureArea>(w(), "picOrg")->image();
        const QImage shown = shownPicture();
        const QByteArray state = stateBytes();
        const QList<QPoint> markers = sampleMarkerCentres(0);
        activate();
        QTest::keyClick(w(), Qt::Key_D, Qt::ControlModifier);
        QVERIFY(panel());
        QCOMPARE(text("lblDetectCount"), QStringLiteral("見つかったマーカー: 7 個"));
        QCOMPARE(numbersAt(markers), QList<int>({1, 2, 3, 4, 5, 6, 7}));
        // A ring is drawn on screen beside each marker, not into either picture.
        QWidget* overlay = child(w(), "detectionOverlay");
        QCOMPARE(overlay->geometry(), QRect(2, 2, 640, 480));
        const QImage onScreen = child(w(), "picSource")->grab().toImage();
        const QPoint ring = markers[0] + QPoint(2 + 10, 2); // radius 6 + 4, beyond the frame
        QCOMPARE(onScreen.pixelColor(ring), QColor(0, 230, 90));
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
        QCOMPARE(numbersAt(markers), QList<int>({1, 2, 3, 4, 5, 6, 7}));
        QTest::mouseClick(child(panel(), "chkSwap"), Qt::LeftButton);
        QCOMPARE(numbersAt(markers), QList<int>({1, 3, 2, 5, 4, 7, 6}));
        QTest::mouseClick(child(panel(), "chkSwap"), Qt::LeftButton);
        QTest::keyClick(panel(), Qt::Key_Escape);
        QTRY_VERIFY(!topLevel("frmDetect"));
        QTRY_VERIFY(!w()->findChild<QWidget*>("detectionOverlay"));
        QCOMPARE(shownPicture(), shown);
        QCOMPARE(stateBytes(), state);

        // Enter places the seven as seven clicks on their centres: one undo step each.
        activate(); // back from the panel
        QTest::keyClick(w(), Qt::Key_D, Qt::ControlModifier);
        press(markers[6]);
        press(markers[6]);
        activate(); // a click on the picture leaves the keys with the main window
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
        QImage noise(640, 480, QImage::Format_RGB32);
        std::mt19937 rng(3);
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                noise.setPixel(x, y, 0xFF000000u | (rng() & 0xFFFFFFu));
        QList<QPoint> grid;
        for (int j = 0; j < 6; ++j)
            for (int i = 0; i < 11; ++i)
                grid << QPoint(40 + 55 * i, 40 + 70 * j);
        const QString none = "マーカーが見つかりませんでした。画像は変更していません。";
        // {name, picture, the message (empty: the panel opens)}
        const std::tuple<const char*, QImage, QString> rows[] = {
            {"noise", noise, none},
            {"no markers", figureScene(rng, {640, 480, 0}).image, none}, // the distractors alone
            {"61 markers", roomWithMarkers(grid.mid(0, 61)),
             "マーカーの候補が多すぎます（61 個、上限 60 個）。オプションで許容値を狭めるか、"
             "マーカーを1つずつクリックしてください。"},
            {"60 markers", roomWithMarkers(grid.mid(0, 60)), ""},
        };
        for (const auto& [name, picture, message] : rows) {
            const QString path = mDir->filePath(QStringLiteral("%1.bmp").arg(name));
            QVERIFY(picture.save(path) && mWindow->loadPhoto(path));
            const QImage shown = shownPicture();
            const QByteArray state = stateBytes();
            if (message.isEmpty()) {
                mWindow->detectMarkers();
                QVERIFY2(panel(), name);
                QCOMPARE(text("lblDetectCount"), QStringLiteral("見つかったマーカー: 60 個"));
                QTest::keyClick(panel(), Qt::Key_Escape);
                QTRY_VERIFY(!topLevel("frmDetect"));
            } else {
                QCOMPARE(nextMessage([&] { mWindow->detectMarkers(); }), message);
                QVERIFY2(!topLevel("frmDetect"), name);
            }
            QVERIFY2(shownPicture() == shown && stateBytes() == state, name);
        }
    }

    // With points of an earlier photo the record may lack room: the panel says so and does not
    // place.
    void noPlacingPastSixtyPoints() {
        mState->pointCount = 55;
        QVERIFY(mWindow->loadPhoto(photo()));
        mWindow->detectMarkers();
        QVERIFY(panel());
        QCOMPARE(text("lblDetectPlace"),
                 QStringLiteral("配置する点: 7 個（点はあと 5 個までしか置けません）"));
        QVERIFY(!child(panel(), "cmdPlace")->isEnabled());
        QTest::keyClick(panel(), Qt::Key_Return);
        QCOMPARE(int(mState->pointCount), 55);
        // Left out one by one: six do not fit either, five do.
        press(sampleMarkerCentres(0)[0]);
        QVERIFY(!child(panel(), "cmdPlace")->isEnabled());
        press(sampleMarkerCentres(0)[1]);
        QVERIFY(child(panel(), "cmdPlace")->isEnabled());
        QCOMPARE(text("lblDetectPlace"), QStringLiteral("配置する点: 5 個"));
    }

    // A photo twice the display's size is searched at its own size; the presses land where
    // clicks on the display centres of its markers land.
    void largerPhotoSearchedAtItsOwnSize() {
        SampleOptions options{1, 1280, 960, 12};
        QVERIFY(writeSampleSequence(mDir->filePath("big"), "b", options, nullptr));
        const QString path = mDir->filePath("big/" + sampleFileName("b", 0));
        const QList<QPoint> markers = sampleMarkerCentres(0, options);
        QImage shown[2];
        QList<QPoint> points[2];
        for (const bool detect : {true, false}) {
            openWindow();
            QVERIFY(mWindow->loadPhoto(path));
            if (detect) {
                mWindow->detectMarkers();
                QVERIFY(panel());
                for (int k = 0; k < 7; ++k) { // symmetric discs: centres exact in source pixels
                    const MarkerCandidate& c = panel()->candidates()[std::size_t(
                        std::find(panel()->numbers().begin(), panel()->numbers().end(), k + 1) -
                        panel()->numbers().begin())];
                    QCOMPARE(QPointF(c.centre.x, c.centre.y), QPointF(markers[k]));
                }
                QTest::keyClick(panel(), Qt::Key_Return);
            } else {
                for (const QPoint& m : markers)
                    press(m / 2);
            }
            shown[detect] = shownPicture();
            for (int k = 1; k <= 7; ++k)
                points[detect] << point(k);
        }
        QCOMPARE(points[1], points[0]);
        QCOMPARE(shown[1], shown[0]);
    }

    // The source four times the display: centres come back to display pixels, the press goes to
    // the nearest marker pixel there, or to the centre's own pixel when the display shows none.
    void pressesOnASmallerDisplay() {
        QImage source(2560, 1920, QImage::Format_RGB32);
        source.fill(qRgb(80, 80, 80));
        // Display centres (100, 100), (200, 200) and (100, 202): source discs of radius 16 about
        // (4x + 1.5, 4y + 1.5).
        std::vector<Disc> discs;
        for (const QPoint& p : {QPoint(100, 100), QPoint(200, 200), QPoint(100, 202)})
            discs.push_back({4 * p.x() + 1.5, 4 * p.y() + 1.5, 16, 255});
        for (const Disc& d : discs)
            for (int y = int(d.y - d.r); y <= int(d.y + d.r) + 1; ++y)
                for (int x = int(d.x - d.r); x <= int(d.x + d.r) + 1; ++x)
                    if (std::hypot(x - d.x, y - d.y) <= d.r)
                        source.setPixel(x, y, qRgb(255, 255, 255));
        // On display: the first marker drawn 3 pixels right of its centre, the second on it,
        // the third missing.
        QImage display(640, 480, QImage::Format_RGB32);
        display.fill(qRgb(80, 80, 80));
        for (const QPoint& p : {QPoint(103, 100), QPoint(200, 200)})
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx)
                    if (dx * dx + dy * dy <= 4)
                        display.setPixel(p + QPoint(dx, dy), qRgb(255, 255, 255));
        DetectionInput input{source, SourceScale{2560, 1920, 640, 480}, display,
                             markerBounds(0, 40), 60};
        DetectionPanel detection(input, detectOnImage(source, input.bounds, {}), nullptr, nullptr);
        QCOMPARE(detection.presses(), QList<QPointF>({{101, 100}, {200, 200}, {100, 202}}));
    }

private:
    QString photo() const { return mDir->filePath("seq/" + sampleFileName("a", 0)); }
    QAction* detectAction() const { return child<QAction>(w(), "mnuEditDetect"); }
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
