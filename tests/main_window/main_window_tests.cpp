// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as the user drives it: its start state, opening photos, presses on the
// picture, starting the analysis, the grid, the scale and the continuation through a sequence.
#include "display_size.h"
#include "file_bytes.h"
#include "photo_bytes.h"
#include "sample_photos.h"
#include "window_test.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>

constexpr QRgb kDarkBlue = 0xFF000080; // as stored in the picture: 0xAARRGGBB
constexpr QRgb kDarkRed = 0xFF800000;
constexpr QRgb kWhite = 0xFFFFFFFF;

class MainWindowTests : public WindowTest {
    Q_OBJECT

private slots:
    void init() { setUpWindow(); }
    void cleanup() { closeWindows(); }

    void displaySize() {
        // {photo, shown}: as is, halved, narrower, wider, just under 4:3 (639.147), exactly 4:3,
        // rounded (213.33) and a tie to even (127.5), a sliver keeps a pixel; no pixels: refused.
        const std::pair<QSize, QSize> rows[] = {
            {{640, 480}, {640, 480}},  {{1280, 960}, {640, 480}},
            {{600, 480}, {600, 480}},  {{800, 400}, {640, 320}},
            {{1000, 751}, {639, 480}}, {{4000, 3000}, {640, 480}},
            {{3, 1}, {640, 213}},      {{17, 64}, {128, 480}},
            {{100000, 1}, {640, 1}},   {{0, 480}, {}}};
        for (const auto& [photo, shown] : rows) {
            const auto size = ::displaySize(photo.width(), photo.height());
            QCOMPARE(size ? QSize(size->width, size->height) : QSize(), shown);
        }
    }

    void startState() {
        QCOMPARE(w()->windowTitle(), QStringLiteral("Vestra2007"));
        QCOMPARE(mWindow->centralWidget()->size(), QSize(782, 551));
        for (const char* name : {"picSource", "Frame1", "Option1", "Option2", "Option3", "Option4",
                                 "Label4", "Label7"})
            QVERIFY2(child(w(), name)->isVisible(), name);
        for (const char* name :
             {"picOrg", "picOld", "Label1", "Label2", "Label3", "Label5", "Label6", "Text1",
              "Command1", "Command2", "Command3", "Command4", "Mpoi1", "Combo7"})
            QVERIFY2(!child(w(), name)->isVisible(), name);
        QVERIFY(child<QRadioButton>(w(), "Option2")->isChecked());
        QVERIFY(!child(w(), "Option3")->isEnabled());
        QVERIFY(!child<QAction>(w(), "kaiseki")->isEnabled());
        QCOMPARE(child(w(), "Combo7")->geometry(), QRect(665, 191, 112, 20));
        QCOMPARE(child(w(), "Command3")->geometry(), QRect(674, 516, 101, 25));
        QCOMPARE(child<PictureArea>(w(), "picSource")->innerSize(), QSize(640, 480));

        auto* list = child<QComboBox>(w(), "Combo3");
        QVERIFY(list->isEditable());
        QCOMPARE(list->currentText(), QString());
        QCOMPARE(list->count(), 10);
        QCOMPARE(list->itemText(1), QStringLiteral("肩峰（矢状面）")); // full-width brackets
        QCOMPARE(list->itemText(9), QStringLiteral("膝関節（前額右）"));
    }

    void openingPhoto_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QSize>("shown");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("before"); // 解析開始 enabled before and after
        QTest::addColumn<bool>("after");
        QTest::newRow("bmp at own size, balance enables")
            << QSize(640, 480) << QByteArray("bmp") << QSize(640, 480) << "Option2" << false
            << true;
        QTest::newRow("camera jpeg, ROM disables") << QSize(1280, 960) << QByteArray("jpg")
                                                   << QSize(640, 480) << "Option1" << true << false;
        QTest::newRow("gif narrow, alignment keeps off")
            << QSize(600, 480) << QByteArray("gif") << QSize(600, 480) << "Option4" << false
            << false;
        QTest::newRow("bmp wide, alignment keeps on")
            << QSize(800, 400) << QByteArray("bmp") << QSize(640, 320) << "Option4" << true << true;
    }

    void openingPhoto() {
        QFETCH(QSize, size);
        QFETCH(QByteArray, format);
        QFETCH(QSize, shown);
        QFETCH(QString, mode);
        QFETCH(bool, before);
        QFETCH(bool, after);
        const QString path = mDir->filePath("photo." + format);
        if (format == "gif") // Qt writes no GIF files
            writeBytes(path, craftedGif(size.width(), size.height()));
        else
            QVERIFY(sampleFrame(0, {1, size.width(), size.height()}).save(path, format));
        mState->pointCount = 3; // points survive opening another photo
        child<QAction>(w(), "kaiseki")->setEnabled(before);
        child<QRadioButton>(w(), qPrintable(mode))->setChecked(true);
        QVERIFY(mWindow->loadPhoto(path));
        QCOMPARE(QString::fromStdString(mState->photoPath), path);
        QCOMPARE(source()->innerSize(), shown);
        QCOMPARE(source()->size(), shown + QSize(4, 4)); // the frame lies outside the picture
        // The clean copy is the picture as shown, so reads match what is under the pointer.
        QCOMPARE(source()->image(), child<PictureArea>(w(), "picOrg")->image());
        QCOMPARE(source()->image().size(), shown);
        QCOMPARE(int(mState->pointCount), 3);
        QCOMPARE(child<QAction>(w(), "kaiseki")->isEnabled(), after);
    }

    void presses_data() {
        QTest::addColumn<bool>("rom");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QPointF>("at");       // in pixels of the picture
        QTest::addColumn<QPoint>("point");     // point 1; (-1, -1): none
        QTest::addColumn<QPoint>("reference"); // (0, 0): none
        const int shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier, alt = Qt::AltModifier;
        const QPoint none(-1, -1), at(50, 60);
        // Shift alone takes a reference point in any mode; ROM takes an angle point with any
        // other modifiers, static balance a marker point only without.
        for (bool rom : {false, true})
            for (int m :
                 {0, shift, ctrl, alt, shift | ctrl, shift | alt, ctrl | alt, shift | ctrl | alt})
                QTest::addRow("%s modifiers %x", rom ? "ROM" : "balance", m)
                    << rom << m << QPointF(at) << (m == shift || (m && !rom) ? none : at)
                    << (m == shift ? at : QPoint());
        // Fractional presses, as a desktop scaled to 125 % or 150 % delivers them: one in the
        // outer half of the last column or row rounded to a pixel off the photo, where the
        // marker at the edge was not found. A press on the frame lines is no press.
        QTest::newRow("marker at the right edge")
            << false << 0 << QPointF(639.5, 240) << QPoint(634, 240) << QPoint();
        QTest::newRow("angle point")
            << true << ctrl << QPointF(639.5, 479.7) << QPoint(639, 479) << QPoint();
        QTest::newRow("reference point")
            << false << shift << QPointF(639.6, 479.5) << none << QPoint(639, 479);
        QTest::newRow("right frame line") << false << 0 << QPointF(640, 240) << none << QPoint();
        QTest::newRow("bottom frame line") << true << ctrl << QPointF(100, 480) << none << QPoint();
    }

    void presses() {
        QFETCH(bool, rom);
        QFETCH(int, modifiers);
        QFETCH(QPointF, at);
        QFETCH(QPoint, point);
        QFETCH(QPoint, reference);
        QImage photo(640, 480, QImage::Format_RGB32);
        photo.fill(qRgb(60, 60, 60));
        QPainter(&photo).fillRect(630, 236, 10, 9, Qt::white); // touches the right edge
        QVERIFY(photo.save(mDir->filePath("edge.bmp")) &&
                mWindow->loadPhoto(mDir->filePath("edge.bmp")));
        child<QRadioButton>(w(), rom ? "Option1" : "Option2")->setChecked(true);
        const QPointF local = at + QPointF(PictureArea::kFrame, PictureArea::kFrame);
        QMouseEvent press(QEvent::MouseButtonPress, local, source()->mapToGlobal(local),
                          Qt::LeftButton, Qt::LeftButton, Qt::KeyboardModifiers(modifiers));
        QApplication::sendEvent(source(), &press);
        QCOMPARE(mState->pointCount ? this->point(1) : QPoint(-1, -1), point);
        QCOMPARE(QPoint(mState->refPointX, mState->refPointY), reference);
    }

    void startInStaticBalanceShowsTheLandmarkColumnAndPresets() {
        mWindow->startAnalysis();
        for (const char* name :
             {"Combo1", "Combo7", "Mpoi7", "Command1", "Command2", "Label1", "Label3"})
            QVERIFY2(child(w(), name)->isVisible(), name);
        QVERIFY(!child(w(), "Text1")->isVisible());
        // The presets' own texts, half-width brackets after a blank; the sagittal one empties
        // lists 5 to 7.
        const QStringList frontal = {"頭頂部",          "肩峰 (前額左)",   "肩峰 (前額右)",
                                     "腸骨棘 (前額左)", "腸骨棘 (前額右)", "膝関節 (前額左)",
                                     "膝関節 (前額右)"};
        const QStringList sagittal = {
            "頭頂部", "肩峰 (矢状面)", "腸骨棘 (矢状面)", "膝関節 (矢状面)", "", "", ""};
        mWindow->applyFrontalPreset();
        QCOMPARE(listTexts(), frontal);
        mWindow->applySagittalPreset();
        QCOMPARE(listTexts(), sagittal);
        auto* list = child<QComboBox>(w(), "Combo3"); // an item chosen from the drop-down
        list->showPopup();
        const QRect item = list->view()->visualRect(list->model()->index(1, 0));
        QTest::mouseClick(list->view()->viewport(), Qt::LeftButton, {}, item.center());
        QCOMPARE(list->currentText(), QStringLiteral("肩峰（矢状面）"));
    }

    void pressAndGridPaintTheDisplayOnly() {
        QVERIFY(mWindow->loadPhoto(writeSequence(1)));
        const QImage clean = child<PictureArea>(w(), "picOrg")->image();
        const QPoint head = sampleMarkerCentres(0).constFirst();
        // A press inside the disc but off its centre finds the centre.
        QTest::mouseClick(source(), Qt::LeftButton, Qt::NoModifier, head + QPoint(5, 0));
        QCOMPARE(int(mState->pointCount), 1);
        QCOMPARE(point(1), head);
        QCOMPARE(shown(head), kDarkRed);
        QCOMPARE(shown(head + QPoint(4, 0)), kDarkBlue);
        QCOMPARE(child(w(), "picOld")->palette().color(QPalette::Window), QColor(Qt::white));
        QTest::mouseClick(child(w(), "Option4"), Qt::LeftButton);
        QCOMPARE(shown({40, 13}), kWhite);
        QCOMPARE(shown({17, 440}), kWhite);
        QVERIFY(shown({41, 13}) != kWhite);
        QCOMPARE(child<PictureArea>(w(), "picOrg")->image(), clean); // never painted
    }

    void distanceConfirmation() {
        const auto refusal = [this] { return nextMessage([this] { mWindow->confirmDistance(); }); };
        mWindow->pressOnPicture(QPointF(195, 458), 1);
        QVERIFY(!child(w(), "Text1")->isVisible());
        mWindow->pressOnPicture(QPointF(195, 458), 1); // the same pixel: no distance
        QVERIFY(child(w(), "Text1")->isVisible() && child(w(), "Command4")->isVisible());
        child<QLineEdit>(w(), "Text1")->setText("500");
        QVERIFY(refusal().contains("同じ位置"));
        mWindow->pressOnPicture(QPointF(445, 458), 1); // 250 pixels from the last
        child<QLineEdit>(w(), "Text1")->setText("abc");
        QVERIFY(refusal().contains("半角の数値"));
        QCOMPARE(mState->mmPerPoint, 250.0f);
        QVERIFY(!child(w(), "Command3")->isVisible());
        child<QLineEdit>(w(), "Text1")->setText("500");
        mWindow->confirmDistance();
        QCOMPARE(mState->mmPerPoint, 20.0f);
        QVERIFY(child(w(), "Command3")->isVisible());
        mWindow->confirmDistance(); // again divides the pixel distance, not the scale just set
        QCOMPARE(mState->mmPerPoint, 20.0f);
    }

    void continuationEndsWithAMessageOrAtALostMarker() {
        const QString plain = mDir->filePath(QStringLiteral("plain.bmp"));
        QVERIFY(sampleFrame(0).save(plain) && mWindow->loadPhoto(plain));
        QVERIFY(nextMessage([&] { mWindow->continueAnalysis(); }).contains("連番がない"));
        QCOMPARE(int(mState->frameCount), 0);
        QVERIFY(mWindow->loadPhoto(writeSequence(4)));
        QImage photo = sampleFrame(2); // the third marker painted over
        QPainter(&photo).fillRect(QRect(sampleMarkerCentres(2)[2] - QPoint(8, 8), QSize(17, 17)),
                                  QColor(60, 60, 60));
        QVERIFY(photo.save(mDir->filePath("seq/a(003).bmp")));
        for (const QPoint& marker : sampleMarkerCentres(0))
            mWindow->pressOnPicture(marker, 0);
        mWindow->continueAnalysis();
        QCOMPARE(int(mState->frameCount), 1);
        QVERIFY(QString::fromStdString(mState->photoPath).endsWith("a(003).bmp"));
        QVERIFY(child<QLabel>(w(), "lblProgress")->text().contains("点3"));
        QVERIFY(topLevel("DEnd"));
    }

private:
    // The first photo of a sequence of `count` in seq/.
    QString writeSequence(int count) {
        if (!writeSampleSequence(mDir->filePath("seq"), "a", SampleOptions{count}, nullptr))
            qFatal("cannot write the sequence");
        return mDir->filePath("seq/" + sampleFileName("a", 0));
    }
    PictureArea* source() const { return child<PictureArea>(w(), "picSource"); }
    QRgb shown(QPoint p) const { return source()->image().pixel(p); }
};

QTEST_MAIN(MainWindowTests)
#include "main_window_tests.moc"
