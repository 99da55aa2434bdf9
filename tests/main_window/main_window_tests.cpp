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
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>

constexpr QRgb kDarkRed = 0xFF800000; // as stored in the picture: 0xAARRGGBB
constexpr QRgb kWhite = 0xFFFFFFFF;

class MainWindowTests : public WindowTest {
    Q_OBJECT

private slots:
    void init() { setUpWindow(); }
    void cleanup() { closeWindows(); }

    void displaySize() {
        // {photo, shown}: just under 4:3 (639.147), exactly 4:3, rounded (213.33) and a tie to
        // even (127.5), slivers either way keep a pixel; no pixels: refused (an empty size).
        // Opening photos shows more.
        const int rows[][4] = {{1000, 751, 639, 480}, {4000, 3000, 640, 480}, {3, 1, 640, 213},
                               {17, 64, 128, 480},    {100000, 1, 640, 1},    {1, 100000, 1, 480},
                               {0, 480, 0, 0},        {-1, 480, 0, 0}};
        for (const auto& [width, height, shownWidth, shownHeight] : rows) {
            const auto size = ::displaySize(width, height);
            const QSize shown = shownWidth ? QSize(shownWidth, shownHeight) : QSize();
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

        auto* list = child<QComboBox>(w(), "Combo3"); // full-width brackets in the drop-down
        QCOMPARE(list->count(), 10);
        QCOMPARE(list->itemText(9), QStringLiteral("膝関節（前額右）"));
    }

    void openingPhoto() {
        // {photo size, format, shown size, mode, 解析開始 enabled before, and after}
        const std::tuple<QSize, const char*, QSize, const char*, bool, bool> rows[] = {
            {{640, 480}, "bmp", {640, 480}, "Option2", false, true},  // balance enables
            {{1280, 960}, "jpg", {640, 480}, "Option1", true, false}, // ROM disables
            {{600, 480}, "gif", {600, 480}, "Option4", false, false}, // alignment keeps it off
            {{800, 400}, "bmp", {640, 320}, "Option4", true, true}};  // and on
        for (const auto& [size, format, shown, mode, before, after] : rows) {
            cleanup(); // a fresh window for each
            init();
            const QString path = mDir->filePath(QStringLiteral("photo.") + format);
            if (qstrcmp(format, "gif") == 0) // Qt writes no GIF files
                writeBytes(path, craftedGif(size.width(), size.height()));
            else
                QVERIFY(sampleFrame(0, {1, size.width(), size.height()}).save(path, format));
            mState->pointCount = 3; // points survive opening another photo
            child<QAction>(w(), "kaiseki")->setEnabled(before);
            child<QRadioButton>(w(), mode)->setChecked(true);
            QVERIFY(mWindow->loadPhoto(path));
            QCOMPARE(QString::fromStdString(mState->photoPath), path);
            QCOMPARE(source()->size(), shown + QSize(4, 4)); // the frame lies outside the picture
            // The clean copy is the picture as shown, so reads match what is under the pointer.
            QCOMPARE(source()->image(), child<PictureArea>(w(), "picOrg")->image());
            QCOMPARE(source()->image().size(), shown);
            QCOMPARE(int(mState->pointCount), 3);
            QCOMPARE(child<QAction>(w(), "kaiseki")->isEnabled(), after);
        }
    }

    void presses() {
        const int shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier, alt = Qt::AltModifier;
        const QPoint none(-1, -1), inside(50, 60);
        // {ROM, modifiers, press in pixels of the picture, point 1 (none), reference ((0, 0):
        // none)}. Fractional presses, as a desktop scaled to 125 % or 150 % delivers them: one in
        // the outer half of the last column or row rounded to a pixel off the photo, where the
        // marker at the edge was not found. A press on the frame lines is no press.
        std::vector<std::tuple<bool, int, QPointF, QPoint, QPoint>> rows = {
            {false, 0, {639.5, 240}, {634, 240}, {}},
            {true, ctrl, {639.5, 479.7}, {639, 479}, {}},
            {false, shift, {639.6, 479.5}, none, {639, 479}},
            {false, 0, {640, 240}, none, {}},
            {true, ctrl, {100, 480}, none, {}}};
        // Shift alone takes a reference point in any mode; ROM takes an angle point with any
        // other modifiers, static balance a marker point only without.
        for (bool rom : {false, true})
            for (int m :
                 {0, shift, ctrl, alt, shift | ctrl, shift | alt, ctrl | alt, shift | ctrl | alt})
                rows.emplace_back(rom, m, inside, m == shift || (m && !rom) ? none : inside,
                                  m == shift ? inside : QPoint());
        for (const auto& [rom, modifiers, at, point, reference] : rows) {
            cleanup();
            init();
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
            const QPoint got = mState->pointCount ? this->point(1) : none;
            const QByteArray row =
                QString::asprintf("ROM %d modifiers %x at %g,%g", rom, modifiers, at.x(), at.y())
                    .toUtf8();
            QVERIFY2(got == point && QPoint(mState->refPointX, mState->refPointY) == reference,
                     row);
        }
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
        // Completion is off, yet choosing from the drop-down still sets the item.
        auto* list = child<QComboBox>(w(), "Combo3");
        list->showPopup();
        const QRect item = list->view()->visualRect(list->model()->index(1, 0));
        QTest::mouseClick(list->view()->viewport(), Qt::LeftButton, {}, item.center());
        QCOMPARE(list->currentText(), QStringLiteral("肩峰（矢状面）"));
    }

    void pressAndGridPaintTheDisplayOnly() {
        QVERIFY(writeSampleSequence(mDir->path(), "a", SampleOptions{1}, nullptr) &&
                mWindow->loadPhoto(mDir->filePath(sampleFileName("a", 0))));
        const QImage clean = child<PictureArea>(w(), "picOrg")->image();
        const QPoint head = sampleMarkerCentres(0).constFirst();
        // A press inside the disc but off its centre finds the centre (its marks are the markers
        // tests'); the swatch shows the colour under the press.
        QTest::mouseClick(source(), Qt::LeftButton, Qt::NoModifier, head + QPoint(5, 0));
        QCOMPARE(shown(head), kDarkRed);
        QCOMPARE(child(w(), "picOld")->palette().color(QPalette::Window), QColor(Qt::white));
        QTest::mouseClick(child(w(), "Option4"), Qt::LeftButton);
        QCOMPARE(shown({40, 13}), kWhite);
        QCOMPARE(shown({17, 440}), kWhite);
        QVERIFY(shown({41, 13}) != kWhite);
        QCOMPARE(child<PictureArea>(w(), "picOrg")->image(), clean); // never painted
    }

    // Where a run ends at a lost marker or a missing photo is checked on the report's road.
    void refusalsOfTheScaleAndTheContinuation() {
        const QString plain = mDir->filePath(QStringLiteral("plain.bmp"));
        QVERIFY(sampleFrame(0).save(plain) && mWindow->loadPhoto(plain));
        QVERIFY(nextMessage([&] { mWindow->continueAnalysis(); }).contains("連番がない"));
        QCOMPARE(int(mState->frameCount), 0);
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
    }

private:
    PictureArea* source() const { return child<PictureArea>(w(), "picSource"); }
    QRgb shown(QPoint p) const { return source()->image().pixel(p); }
};

QTEST_MAIN(MainWindowTests)
#include "main_window_tests.moc"
