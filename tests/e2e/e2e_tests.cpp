// Whole roads through the program the way a user drives them: menus, clicks on the photo, the
// real open and save dialogs, message boxes and secondary windows, down to the bytes on disk.
#include "csv_export.h"
#include "file_bytes.h"
#include "file_dialog_input.h"
#include "marker_scene.h"
#include "photo_bytes.h"
#include "startup.h"
#include "window_test.h"

#include <QAction>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QtEndian>

class EndToEndTests : public WindowTest {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void staticBalanceRoadWritesEveryOrientation();
    void romRoadMeasuresAnglesAndNumbersTriples();
    void optionsChangeTheNextClickAndSurviveARestart();
    void hostilePhotosAreRefusedAndChangeNothing();
    void staticBalanceRoadIsSavedQuitAndReopened();

private:
    QString mPreviousDir;
};

// Started in the folder, with the default pcol.dat there.
void EndToEndTests::init() {
    mDir = std::make_unique<QTemporaryDir>();
    mPreviousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(mDir->path()));
    writeBytes(mDir->filePath(QStringLiteral("pcol.dat")), "0,40\r\n");
    openWindow();
    QVERIFY(loadStartupSettings(*mState).ok);
}

void EndToEndTests::cleanup() {
    closeWindows();
    QDir::setCurrent(mPreviousDir);
}

void EndToEndTests::staticBalanceRoadWritesEveryOrientation() {
    // Two markers over three photos, moving by known whole pixels:
    //   marker 1: (100,100) -> (103,98) -> (101,99)
    //   marker 2: (300,250) -> (300,254) -> (296,254)
    const QList<QList<QPoint>> photos = {
        {{100, 100}, {300, 250}}, {{103, 98}, {300, 254}}, {{101, 99}, {296, 254}}};
    // Parentheses in a folder name must not be taken for the sequence number.
    const QString folder = mDir->filePath(QStringLiteral("walk (2)"));
    QVERIFY(QDir().mkpath(folder));
    for (int i = 0; i < photos.size(); ++i)
        QVERIFY(roomWithMarkers(photos[i]).save(folder + QStringLiteral("/s(%1).bmp").arg(i + 1)));

    onNextModal(
        [&](QWidget* modal) { typeIntoFileDialog(modal, folder + "/s(1).bmp", "dlgOpen"); });
    child<QAction>(w(), "mnuFileOpen")->trigger();
    QVERIFY(child<QAction>(w(), "kaiseki")->isEnabled());

    press({101, 99}); // off centre: the search finds the disc's centre
    press({300, 250});
    child<QAction>(w(), "kaiseki")->trigger();
    QTest::mouseClick(child(w(), "Command1"), Qt::LeftButton);
    press({100, 400}, Qt::ShiftModifier);
    press({350, 400}, Qt::ShiftModifier); // 250 pixels from the first
    QTest::keyClicks(child(w(), "Text1"), QStringLiteral("500"));
    QTest::mouseClick(child(w(), "Command4"), Qt::LeftButton);
    QVERIFY(child(w(), "Command3")->isVisible());

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
        QWidget* end = topLevel("DEnd");
        QVERIFY(end);
        QVERIFY(!child<QCheckBox>(end, "Check1")->isVisible());

        const QString chosen = folder + QStringLiteral("/%1.csv").arg(QLatin1String(button));
        onNextModal([&](QWidget* modal) { typeIntoFileDialog(modal, chosen, "SaveData"); });
        QTest::mouseClick(child(end, button), Qt::LeftButton);
        QTRY_VERIFY(!topLevel("DEnd")); // a successful press closes the window

        const QString written = folder + QStringLiteral("/%1_1.csv").arg(QLatin1String(button));
        QCOMPARE(readBytes(written), header + rows + trailer);
        QVERIFY(!QFile::exists(chosen)); // the chosen name itself is never created
    }
    // Names typed by hand are kept as typed: a typed prefix of an item was once completed to
    // the item ("頭" to "頭頂部"). Ten thousand characters, and characters code page 932 cannot
    // hold (emoji, Hangul), are written too.
    QLineEdit* typed = child<QComboBox>(w(), "Combo1")->lineEdit();
    typed->clear();
    mWindow->activateWindow(); // back from the closed end window
    QVERIFY(QTest::qWaitForWindowActive(w()));
    QTest::mouseClick(typed, Qt::LeftButton);
    QTRY_VERIFY(typed->hasFocus());
    QTest::sendKeyEvent(QTest::Click, typed, Qt::Key_unknown, QStringLiteral("頭"), {});
    child<QComboBox>(w(), "Combo2")->setEditText("膝😀한" + QString(10000, u'長'));
    QTest::mouseClick(child(w(), "Command3"), Qt::LeftButton);
    onNextModal([&](QWidget* modal) { typeIntoFileDialog(modal, folder + "/n.csv", "SaveData"); });
    QTest::mouseClick(child(topLevel("DEnd"), "Command4"), Qt::LeftButton);
    QTRY_VERIFY(!topLevel("DEnd"));
    const QByteArray head = "\x93\xAA",
                     knee = "\x95\x47??" + QByteArray("\x92\xB7").repeated(10000);
    QCOMPARE(readBytes(folder + "/n_1.csv"), "," + head + "-X," + head + "-Y," + knee + "-X," +
                                                 knee + "-Y\r\n" + buttons[0].second + trailer);

    // The trail of the tracked centres on the first photo.
    const QImage shown = child<PictureArea>(w(), "picSource")->image();
    QCOMPARE(shown.pixel(101, 99), 0xFF800000u);
    QCOMPARE(shown.pixel(296, 254), 0xFF800000u);
    // The path totals in millimetres, shown in the lists: marker 1 moved sqrt(13) + sqrt(5)
    // pixels, marker 2 4 + 4.
    QCOMPARE(child<QComboBox>(w(), "Combo2")->currentText(), QStringLiteral("16"));
    QCOMPARE(child<QComboBox>(w(), "Combo1")->currentText().toDouble(),
             (std::sqrt(13.0) + std::sqrt(5.0)) * 2);
}

void EndToEndTests::romRoadMeasuresAnglesAndNumbersTriples() {
    QTest::mouseClick(child(w(), "Option1"), Qt::LeftButton);
    QCOMPARE(nextMessage([&] { mWindow->startAnalysis(); }),
             QStringLiteral("角度を求めるには３つ以上の点を指定してください"));

    struct Triple {
        QPoint p, v, q;
        const char* alpha;
        const char* complement;
    };
    const QList<Triple> triples = {
        {{100, 100}, {100, 200}, {200, 200}, "90", "270"},  // a right angle
        {{300, 200}, {350, 100}, {400, 200}, "54", "306"},  // an inverted V
        {{450, 300}, {480, 340}, {480, 400}, "217", "143"}, // arm 2 straight down
    };
    for (const Triple& t : triples) {
        press(t.p);
        QCOMPARE(nextMessage([&] { mWindow->startAnalysis(); }),
                 QStringLiteral("角度を求めるにはあと2つ点を指定する必要があります"));
        press(t.v, Qt::ControlModifier); // Ctrl changes nothing in ROM mode
        QCOMPARE(nextMessage([&] { mWindow->startAnalysis(); }),
                 QStringLiteral("角度を求めるにはもう1つ点を指定する必要があります"));
        press(t.q);
        QCOMPARE(child<QLabel>(w(), "Label4")->text(), QLatin1String(t.alpha));
        QCOMPARE(child<QLabel>(w(), "Label7")->text(), QLatin1String(t.complement));
    }
    QCOMPARE(int(mState->pointCount), 9);

    // With complete triples the start numbers them at their middle points: white text appears
    // next to each vertex and no message is shown.
    auto* picture = child<PictureArea>(w(), "picSource");
    const auto whiteNear = [picture](QPoint at) {
        int white = 0;
        for (int y = at.y(); y < at.y() + 14; ++y)
            for (int x = at.x(); x < at.x() + 20; ++x)
                white += picture->image().pixel(x, y) == 0xFFFFFFFFu;
        return white;
    };
    const QPoint vertex(480, 340);
    const int before = whiteNear(vertex);
    child<QAction>(w(), "kaiseki")->setEnabled(true);
    child<QAction>(w(), "kaiseki")->trigger();
    QVERIFY(whiteNear(vertex) > before);
    QVERIFY(!QApplication::activeModalWidget());
}

void EndToEndTests::optionsChangeTheNextClickAndSurviveARestart() {
    // A light grey marker (channels 225): white enough for darkness 40, not for darkness 20.
    QImage photo(640, 480, QImage::Format_RGB32);
    photo.fill(qRgb(40, 40, 40));
    for (int y = 95; y <= 105; ++y)
        for (int x = 195; x <= 205; ++x)
            photo.setPixel(x, y, qRgb(225, 225, 225));
    const QString path = mDir->filePath(QStringLiteral("grey.bmp"));
    QVERIFY(photo.save(path));
    QVERIFY(mWindow->loadPhoto(path));

    press({198, 97});
    QCOMPARE(QPoint(mState->pointX[1], mState->pointY[1]), QPoint(200, 100));

    child<QAction>(w(), "option")->trigger();
    QWidget* options = topLevel("opt1Form");
    QVERIFY(options);
    QCOMPARE(child<QLineEdit>(options, "Text1")->text(), QStringLiteral("0"));
    QCOMPARE(child<QLineEdit>(options, "Text2")->text(), QStringLiteral("40"));
    child<QLineEdit>(options, "Text2")->clear();
    QTest::keyClicks(child(options, "Text2"), QStringLiteral("20"));
    QTest::mouseClick(child(options, "Command4"), Qt::LeftButton);
    QTRY_VERIFY(!topLevel("opt1Form"));
    QCOMPARE(mState->darknessTolerance, int16_t(20));
    QCOMPARE(readBytes(mDir->filePath("pcol.dat")), QByteArray("0,20\r\n"));

    // The next click no longer sees the grey marker: the point is the click itself.
    press({198, 97});
    QCOMPARE(QPoint(mState->pointX[2], mState->pointY[2]), QPoint(198, 97));

    // A new start of the program reads the saved values. (The file's quirks, a byte-order
    // mark or a broken value, are the options' and the start's tests.)
    AnalysisState restarted;
    QVERIFY(loadStartupSettings(restarted).ok);
    QCOMPARE(restarted.darknessTolerance, int16_t(20));
}

void EndToEndTests::hostilePhotosAreRefusedAndChangeNothing() {
    const QString good = mDir->filePath(QStringLiteral("good.bmp"));
    QVERIFY(roomWithMarkers({{100, 100}}).save(good));
    QVERIFY(mWindow->loadPhoto(good));
    press({100, 100});
    const QImage shown = child<PictureArea>(w(), "picSource")->image();

    const auto bitmapHeader = [](quint32 width, quint32 height) { // 32 bits per pixel, no data
        QByteArray header("BM" + QByteArray(52, '\0'));
        header[10] = 54;
        header[14] = 40;
        header[28] = 32;
        qToLittleEndian(width, header.data() + 18);
        qToLittleEndian(height, header.data() + 22);
        return header;
    };
    QByteArray jpeg, bitmap;
    QBuffer jpegBuffer(&jpeg), bitmapBuffer(&bitmap);
    QVERIFY(roomWithMarkers({}).save(&jpegBuffer, "JPG") &&
            roomWithMarkers({}).copy(0, 0, 639, 480).save(&bitmapBuffer, "BMP"));
    const QByteArray gif = craftedGif(320, 240);
    const QList<std::pair<const char*, QByteArray>> files = {
        {"huge.gif", craftedGif(20000, 20000)}, // decoding it would take 1.6 GB
        {"empty.bmp", bitmapHeader(0, 0)},
        {"giant.bmp", bitmapHeader(0x7FFFFFFF, 0x7FFFFFFF)}, // overflowed the size check (fuzzing)
        {"notes.jpg", "not a picture"},
        // Decoders report success for cut-off files and fill the rest with grey or stale memory.
        {"cut.bmp", bitmap.left(100)},
        {"padding cut.bmp", bitmap.chopped(2)}, // rows of 639 pixels end in 3 padding bytes
        {"cut.jpg", jpeg.left(jpeg.size() / 2)},
        {"cut.gif", gif.left(gif.size() - 1)},
    };
    for (const auto& [name, bytes] : files) {
        const QString path = mDir->filePath(QLatin1String(name));
        writeBytes(path, bytes);
        QStringList filters;
        onNextModal([&](QWidget* modal) {
            filters = qobject_cast<QFileDialog*>(modal)->nameFilters();
            typeIntoFileDialog(modal, path, "dlgOpen");
        });
        child<QAction>(w(), "mnuFileOpen")->trigger();
        QCOMPARE(filters, QStringList({"ﾋﾞｯﾄﾏｯﾌﾟ(*.bmp)", "GIF(*.gif)", "JPEG(*.jpg)"}));
        QCOMPARE(QString::fromStdString(mState->photoPath), good);
        QCOMPARE(child<PictureArea>(w(), "picSource")->image(), shown);
        QCOMPARE(int(mState->pointCount), 1);
    }
    onNextModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    child<QAction>(w(), "mnuFileOpen")->trigger(); // cancelled: nothing changes either
    QCOMPARE(QString::fromStdString(mState->photoPath), good);
}

void EndToEndTests::staticBalanceRoadIsSavedQuitAndReopened() {
    // Three markers over six photos; photo 4 is missing, so the first continuation stops there.
    const QList<QList<QPoint>> photos = {
        {{100, 100}, {300, 250}, {500, 300}}, {{102, 99}, {300, 252}, {498, 301}},
        {{103, 98}, {301, 254}, {497, 303}},  {},
        {{105, 97}, {303, 256}, {494, 304}},  {{106, 97}, {304, 257}, {493, 305}}};
    const QString folder = mDir->filePath(QStringLiteral("kept"));
    QVERIFY(QDir().mkpath(folder));
    for (int i = 0; i < photos.size(); ++i)
        if (!photos[i].isEmpty())
            QVERIFY(
                roomWithMarkers(photos[i]).save(folder + QStringLiteral("/k(%1).bmp").arg(i + 1)));
    const auto exportFromEnd = [&](const QString& name) {
        QWidget* end = topLevel("DEnd");
        if (!end)
            return QByteArray("<no DEnd>");
        onNextModal([&](QWidget* modal) {
            typeIntoFileDialog(modal, folder + "/" + name + ".csv", "SaveData");
        });
        QTest::mouseClick(child(end, "Command4"), Qt::LeftButton);
        return readBytes(folder + "/" + name + "_1.csv");
    };
    const auto listTexts = [&] {
        QStringList texts;
        for (int k = 1; k <= 7; ++k)
            texts << child<QComboBox>(w(), qPrintable(QStringLiteral("Combo%1").arg(k)))
                         ->currentText();
        return texts;
    };
    const auto picture = [&] { return child<PictureArea>(w(), "picSource")->image(); };

    QVERIFY(mWindow->loadPhoto(folder + "/k(1).bmp"));
    for (const QPoint& marker : photos[0])
        press(marker);
    child<QAction>(w(), "kaiseki")->trigger();
    QTest::mouseClick(child(w(), "Command2"), Qt::LeftButton);
    press({100, 400}, Qt::ShiftModifier);
    press({350, 400}, Qt::ShiftModifier);
    QTest::keyClicks(child(w(), "Text1"), QStringLiteral("500"));
    QTest::mouseClick(child(w(), "Command4"), Qt::LeftButton);
    QTest::mouseClick(child(w(), "Command3"), Qt::LeftButton);
    QCOMPARE(int(mState->frameCount), 2);
    const QByteArray exported = exportFromEnd("before");

    onNextModal(
        [&](QWidget* modal) { typeIntoFileDialog(modal, folder + "/walk", "dlgSaveAnalysis"); });
    child<QAction>(w(), "mnuFileSave")->trigger();
    QCOMPARE(w()->windowTitle(), QStringLiteral("Vestra2007 - walk.vestra"));
    const QImage saved = picture();
    const QStringList lists = listTexts();

    // Going on in this session: from the name that failed, (004), to (005) and (006).
    QTest::mouseClick(child(w(), "Command3"), Qt::LeftButton);
    QCOMPARE(int(mState->frameCount), 4);
    const QByteArray goneOn = exportFromEnd("goneOn");
    const QImage goneOnPicture = picture();

    // Quitting asks about the work since the save; not saving it leaves the file as it was.
    onNextModal([](QWidget* box) { QTest::mouseClick(child(box, "btnDiscard"), Qt::LeftButton); });
    child<QAction>(w(), "mnuFileQuit")->trigger();
    QVERIFY(!mWindow->isVisible());
    openWindow();
    QVERIFY(loadStartupSettings(*mState).ok);

    onNextModal([&](QWidget* modal) {
        typeIntoFileDialog(modal, folder + "/walk.vestra", "dlgOpenAnalysis");
    });
    child<QAction>(w(), "mnuFileOpenAnalysis")->trigger();
    QCOMPARE(w()->windowTitle(), QStringLiteral("Vestra2007 - walk.vestra"));
    QCOMPARE(picture(), saved);
    QCOMPARE(listTexts(), lists);
    QCOMPARE(QByteArray::fromStdString(asIsFileBytes(*mState, AxisMapping::StandingSide)),
             exported);
    QTest::mouseClick(child(w(), "Command3"), Qt::LeftButton);
    QCOMPARE(exportFromEnd("reopened"), goneOn);
    QCOMPARE(picture(), goneOnPicture);
}

QTEST_MAIN(EndToEndTests)
#include "e2e_tests.moc"
