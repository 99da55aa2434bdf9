// SPDX-License-Identifier: GPL-3.0-or-later
// Whole roads through the program the way a user drives them: menus, clicks on the photo, the
// real open and save dialogs, message boxes and secondary windows, down to the bytes on disk.
#include "csv_export.h"
#include "file_bytes.h"
#include "file_dialog_input.h"
#include "marker_scene.h"
#include "startup.h"
#include "window_test.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

class EndToEndTests : public WindowTest {
    Q_OBJECT

private slots:
    // Started in the folder, with the default pcol.dat there.
    void init() {
        mDir = std::make_unique<QTemporaryDir>();
        mPreviousDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(mDir->path()));
        writeBytes(mDir->filePath(QStringLiteral("pcol.dat")), "0,40\r\n");
        start();
    }

    void cleanup() {
        closeWindows();
        QDir::setCurrent(mPreviousDir);
    }

    void staticBalanceRoadWritesEveryOrientationAndIsReopened() {
        // Two markers over three photos, moving by known whole pixels; photo 4 is missing:
        //   marker 1: (100,100) -> (103,98) -> (101,99)
        //   marker 2: (300,250) -> (300,254) -> (296,254)
        // Parentheses in a folder name must not be taken for the sequence number.
        const QString folder = writePhotos(
            "walk (2)",
            {{{100, 100}, {300, 250}}, {{103, 98}, {300, 254}}, {{101, 99}, {296, 254}}});

        QStringList filters;
        onNextModal([&filters, folder](QWidget* modal) {
            filters = qobject_cast<QFileDialog*>(modal)->nameFilters();
            typeIntoFileDialog(modal, folder + "/s(1).bmp", "dlgOpen");
        });
        child<QAction>(w(), "mnuFileOpen")->trigger();
        QCOMPARE(filters, QStringList({"ﾋﾞｯﾄﾏｯﾌﾟ(*.bmp)", "GIF(*.gif)", "JPEG(*.jpg)"}));

        press({101, 99}); // off centre: the search finds the disc's centre
        press({300, 250});
        child<QAction>(w(), "kaiseki")->trigger();
        QTest::mouseClick(child(w(), "Command1"), Qt::LeftButton);
        press({100, 400}, Qt::ShiftModifier);
        press({350, 400}, Qt::ShiftModifier); // 250 pixels from the first
        QTest::keyClicks(child(w(), "Text1"), QStringLiteral("500"));
        QTest::mouseClick(child(w(), "Command4"), Qt::LeftButton);
        QTest::mouseClick(child(w(), "Command3"), Qt::LeftButton);
        answerNextFileDialog("dlgSaveAnalysis", folder + "/walk");
        child<QAction>(w(), "mnuFileSave")->trigger();
        QCOMPARE(w()->windowTitle(), QStringLiteral("Vestra2007 - walk.vestra"));
        const QStringList lists = listTexts(); // the ROM analysis reopens with empty lists

        // Expected files, worked out by hand: running totals per row, y counted upwards, the
        // landmark names of the sagittal preset in code page 932, 2 mm per pixel.
        const QByteArray top = "\x93\xAA\x92\xB8\x95\x94",
                         shoulder = "\x8C\xA8\x95\xF4 (\x96\xEE\x8F\xF3\x96\xCA)";
        const QByteArray header =
            "," + top + "-X," + top + "-Y," + shoulder + "-X," + shoulder + "-Y\r\n";
        const QByteArray trailer = "\r\n1point=        2            mm\r\n";
        const QList<std::pair<const char*, QByteArray>> buttons = {
            {"Command4", " 1 , 3 , 2 , 0 ,-4 \r\n 2 , 1 , 1 ,-4 ,-4 \r\n"},
            {"Command1", " 1 ,-3 , 2 , 0 ,-4 \r\n 2 ,-1 , 1 , 4 ,-4 \r\n"},
            {"Command2", " 1 ,-2 ,-3 , 4 , 0 \r\n 2 ,-1 ,-1 , 4 , 4 \r\n"},
            {"Command5", " 1 ,-2 ,-3 , 4 , 0 \r\n 2 ,-1 ,-1 , 4 , 4 \r\n"},
        };
        for (const auto& [button, rows] : buttons) {
            // Naming the points again, then continuing past the end brings the window back.
            QTest::mouseClick(child(w(), "Command1"), Qt::LeftButton);
            QTest::mouseClick(child(w(), "Command3"), Qt::LeftButton);
            QCOMPARE(int(mState->frameCount), 2);
            QVERIFY(topLevel("DEnd") && !child(topLevel("DEnd"), "Check1")->isVisible());
            QCOMPARE(exportFromEnd(folder, button, button), header + rows + trailer);
            QTRY_VERIFY(!topLevel("DEnd")); // a successful press closes the window
            QVERIFY(!QFile::exists(folder + "/" + button + ".csv")); // the chosen name is not made
        }
        QCOMPARE(child<QLabel>(w(), "lblProgress")->text(),
                 "解析結果を Command5_1.csv に保存しました\n保存先: " +
                     QDir::toNativeSeparators(folder));
        QVERIFY(child(w(), "lblProgress")->isVisible());
        // Typed names are kept: a typed prefix was once completed to an item ("頭" to "頭頂部").
        // Ten thousand characters, and characters code page 932 cannot hold, are written too.
        QLineEdit* typed = child<QComboBox>(w(), "Combo1")->lineEdit();
        typed->clear();
        activate(); // back from the closed end window
        QTest::mouseClick(typed, Qt::LeftButton);
        QTRY_VERIFY(typed->hasFocus());
        QTest::sendKeyEvent(QTest::Click, typed, Qt::Key_unknown, QStringLiteral("頭"), {});
        child<QComboBox>(w(), "Combo2")->setEditText("膝😀한" + QString(10000, u'長'));
        QTest::mouseClick(child(w(), "Command3"), Qt::LeftButton);
        const QByteArray head = "\x93\xAA",
                         knee = "\x95\x47??" + QByteArray("\x92\xB7").repeated(10000);
        QCOMPARE(exportFromEnd(folder, "n"), "," + head + "-X," + head + "-Y," + knee + "-X," +
                                                 knee + "-Y\r\n" + buttons[0].second + trailer);

        // The trail of the tracked centres on the first photo.
        QCOMPARE(shownPicture().pixel(101, 99), 0xFF800000u);
        QCOMPARE(shownPicture().pixel(296, 254), 0xFF800000u);
        // The path totals in mm in the lists: the markers moved sqrt(13) + sqrt(5) and 4 + 4 px.
        QCOMPARE(child<QComboBox>(w(), "Combo2")->currentText(), QStringLiteral("16"));
        QCOMPARE(child<QComboBox>(w(), "Combo1")->currentText().toDouble(),
                 (std::sqrt(13.0) + std::sqrt(5.0)) * 2);

        // Quitting asks about the work since the save; not saving it leaves the file as it was.
        onNextModal(
            [](QWidget* box) { QTest::mouseClick(child(box, "btnDiscard"), Qt::LeftButton); });
        child<QAction>(w(), "mnuFileQuit")->trigger();
        QVERIFY(!mWindow->isVisible());
        start();
        answerNextFileDialog("dlgOpenAnalysis", folder + "/walk.vestra");
        child<QAction>(w(), "mnuFileOpenAnalysis")->trigger();
        QCOMPARE(listTexts(), lists);
        // Going on from the name that failed, (004), to (005) and (006); the rows before it
        // came back with the file (picture and title are compared on the ROM analysis).
        writePhotos("walk (2)", {{}, {}, {}, {}, {{102, 97}, {298, 255}}, {{103, 97}, {299, 257}}});
        QTest::mouseClick(child(w(), "Command1"), Qt::LeftButton);
        QTest::mouseClick(child(w(), "Command3"), Qt::LeftButton);
        QCOMPARE(int(mState->frameCount), 4);
        QCOMPARE(exportFromEnd(folder, "reopened"),
                 header + buttons[0].second + " 3 , 2 , 3 ,-2 ,-5 \r\n 4 , 3 , 3 ,-1 ,-7 \r\n" +
                     trailer);
        QCOMPARE(shownPicture().pixel(299, 257), 0xFF800000u);
    }

    void romRoadMeasuresAnglesAndNumbersTriples() {
        QTest::mouseClick(child(w(), "Option1"), Qt::LeftButton);
        // Arm 2 straight down (more angles in the markers tests); Ctrl changes nothing in ROM.
        const std::tuple<QPoint, Qt::KeyboardModifier, QString> steps[] = {
            {{450, 300}, Qt::NoModifier, "角度を求めるには３つ以上の点を指定してください"},
            {{480, 340}, Qt::ControlModifier, "角度を求めるにはあと2つ点を指定する必要があります"},
            {{480, 400}, Qt::NoModifier, "角度を求めるにはもう1つ点を指定する必要があります"}};
        for (const auto& [at, modifier, message] : steps) {
            QCOMPARE(nextMessage([&] { mWindow->startAnalysis(); }), message);
            press(at, modifier);
        }
        QCOMPARE(child<QLabel>(w(), "Label4")->text() + child<QLabel>(w(), "Label7")->text(),
                 QStringLiteral("217143"));
        QCOMPARE(int(mState->pointCount), 3);
        // A complete triple: the start numbers it beside its middle point, without a message.
        const QImage vertex = shownPicture().copy(480, 340, 20, 14);
        child<QAction>(w(), "kaiseki")->setEnabled(true);
        child<QAction>(w(), "kaiseki")->trigger();
        QVERIFY(shownPicture().copy(480, 340, 20, 14) != vertex &&
                !QApplication::activeModalWidget());
    }

    // The options window edits the record the main window works on (its checks and pcol.dat
    // are the options tests').
    void optionsWindowChangesTheRecord() {
        child<QAction>(w(), "option")->trigger();
        QWidget* options = topLevel("opt1Form");
        QVERIFY(options);
        QCOMPARE(child<QLineEdit>(options, "Text2")->text(), QStringLiteral("40"));
        child<QLineEdit>(options, "Text2")->setText(QStringLiteral("20"));
        QTest::mouseClick(child(options, "Command4"), Qt::LeftButton);
        QTRY_VERIFY(!topLevel("opt1Form"));
        QCOMPARE(mState->darknessTolerance, int16_t(20));
    }

private:
    // The program started in the folder: a main window and the settings of pcol.dat.
    void start() {
        openWindow();
        QVERIFY(loadStartupSettings(*mState).ok);
    }

    // Rooms with markers at the given centres, saved as s(1).bmp, s(2).bmp … in a new folder;
    // an empty list leaves its photo out.
    QString writePhotos(const QString& name, const QList<QList<QPoint>>& photos) {
        const QString folder = mDir->filePath(name);
        QDir().mkpath(folder);
        for (int i = 0; i < photos.size(); ++i)
            if (!photos[i].isEmpty() &&
                !roomWithMarkers(photos[i]).save(folder + QStringLiteral("/s(%1).bmp").arg(i + 1)))
                qFatal("cannot write the photos");
        return folder;
    }

    // Exports through the end window's `button` to `name`_1.csv in `folder`; its bytes.
    QByteArray exportFromEnd(const QString& folder, const QString& name,
                             const char* button = "Command4") {
        QWidget* end = topLevel("DEnd");
        if (!end)
            return "<no DEnd>";
        answerNextFileDialog("SaveData", folder + "/" + name + ".csv");
        QTest::mouseClick(child(end, button), Qt::LeftButton);
        return readBytes(folder + "/" + name + "_1.csv");
    }

    QString mPreviousDir;
};

QTEST_MAIN(EndToEndTests)
#include "e2e_tests.moc"
