// SPDX-License-Identifier: GPL-3.0-or-later
// The static-balance road with the markers found by マーカーを自動検出 against the same road
// clicked by hand on the same display pixels: the exported files must not differ by a byte.
#include "detection_photos.h"
#include "file_bytes.h"
#include "file_dialog_input.h"
#include "startup.h"
#include "window_test.h"

#include <QAction>
#include <QLabel>

class DetectionRoadTests : public WindowTest {
    Q_OBJECT

private slots:
    void init() {
        mDir = std::make_unique<QTemporaryDir>();
        mPreviousDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(mDir->path()));
        writeBytes(mDir->filePath(QStringLiteral("pcol.dat")), "0,40\r\n");
    }
    void cleanup() {
        closeWindows();
        QDir::setCurrent(mPreviousDir);
    }

    void detectedMarkersExportWhatClicksExport() {
        // Four photos of the frontal figure with its stripe, highlights and cut discs; the
        // markers sway a few pixels from photo to photo.
        const QString folder = mDir->filePath(QStringLiteral("scene"));
        QVERIFY(writeFrontalScenes(folder, QStringLiteral("s"), 4));
        QByteArray exported[2], analysis[2];
        QImage picture[2];
        for (const bool detect : {false, true}) {
            // One name for both: the line under the picture names the file written.
            const QString name = QStringLiteral("walk");
            openWindow();
            QVERIFY(loadStartupSettings(*mState).ok);
            answerNextFileDialog("dlgOpen", folder + QStringLiteral("/s(001).bmp"));
            child<QAction>(w(), "mnuFileOpen")->trigger();
            activate();
            if (detect) {
                QTest::keyClick(w(), Qt::Key_D, Qt::ControlModifier);
                QWidget* panel = topLevel("frmDetect");
                QVERIFY(panel);
                QCOMPARE(child<QLabel>(panel, "lblDetectCount")->text(),
                         QStringLiteral("見つかったマーカー: 7 個"));
                QTest::keyClick(panel, Qt::Key_Return);
            } else {
                for (const QPoint& marker : sampleMarkerCentres(0))
                    press(marker);
            }
            QCOMPARE(int(mState->pointCount), 7);
            child<QAction>(w(), "kaiseki")->trigger();
            QTest::mouseClick(child(w(), "Command2"), Qt::LeftButton); // 前額面バランス
            press(sampleRulerStart(), Qt::ShiftModifier);
            press(sampleRulerEnd(), Qt::ShiftModifier);
            QTest::keyClicks(child(w(), "Text1"), QStringLiteral("500"));
            QTest::mouseClick(child(w(), "Command4"), Qt::LeftButton);
            QTest::mouseClick(child(w(), "Command3"), Qt::LeftButton); // 解析を続ける
            QCOMPARE(int(mState->frameCount), 3);

            QWidget* end = topLevel("DEnd");
            QVERIFY(end);
            answerNextFileDialog("SaveData", folder + "/" + name + ".csv");
            QTest::mouseClick(child(end, "Command4"), Qt::LeftButton);
            exported[detect] = readBytes(folder + "/" + name + "_1.csv");
            QVERIFY(mWindow->saveAnalysisFile(folder + "/" + name + ".vestra"));
            analysis[detect] = readBytes(folder + "/" + name + ".vestra");
            picture[detect] = shownPicture();
        }
        QVERIFY(exported[0].startsWith(",")); // the header row of a written file
        QCOMPARE(exported[1], exported[0]);
        QCOMPARE(analysis[1], analysis[0]);
        QCOMPARE(picture[1], picture[0]);
    }

private:
    QString mPreviousDir;
};

QTEST_MAIN(DetectionRoadTests)
#include "detection_road_tests.moc"
