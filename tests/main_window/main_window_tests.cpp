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
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

namespace {
constexpr QRgb kDarkBlue = 0xFF000080; // as stored in the picture: 0xAARRGGBB
constexpr QRgb kDarkRed = 0xFF800000;
constexpr QRgb kWhite = 0xFFFFFFFF;

bool near(QPoint a, QPoint b) {
    return (a - b).manhattanLength() <= 2;
}
} // namespace

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

    void openingPhotoLoadsCleanCopyAtDisplaySize_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QSize>("shown");
        QTest::newRow("bmp at own size") << QSize(640, 480) << QByteArray("bmp") << QSize(640, 480);
        QTest::newRow("camera jpeg") << QSize(1280, 960) << QByteArray("jpg") << QSize(640, 480);
        QTest::newRow("gif narrow") << QSize(600, 480) << QByteArray("gif") << QSize(600, 480);
        QTest::newRow("bmp wide") << QSize(800, 400) << QByteArray("bmp") << QSize(640, 320);
    }

    void openingPhotoLoadsCleanCopyAtDisplaySize() {
        QFETCH(QSize, size);
        QFETCH(QByteArray, format);
        QFETCH(QSize, shown);
        const QString path = writePhoto(size.width(), size.height(), format.constData());
        mState->pointCount = 3; // points survive opening another photo
        QVERIFY(mWindow->loadPhoto(path));
        auto* source = child<PictureArea>(w(), "picSource");
        auto* org = child<PictureArea>(w(), "picOrg");
        QCOMPARE(QString::fromStdString(mState->photoPath), path);
        QCOMPARE(source->innerSize(), shown);
        QCOMPARE(source->size(), shown + QSize(4, 4)); // the frame lies outside the picture
        // The clean copy is the picture as shown, so reads match what is under the pointer.
        QCOMPARE(org->image().size(), shown);
        QCOMPARE(source->image(), org->image());
        QCOMPARE(int(mState->pointCount), 3);
    }

    void openingPhotoSetsKaisekiByMode_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("before");
        QTest::addColumn<bool>("after");
        QTest::newRow("static balance enables") << "Option2" << false << true;
        QTest::newRow("ROM disables") << "Option1" << true << false;
        QTest::newRow("alignment keeps off") << "Option4" << false << false;
        QTest::newRow("alignment keeps on") << "Option4" << true << true;
    }

    void openingPhotoSetsKaisekiByMode() {
        QFETCH(QString, mode);
        QFETCH(bool, before);
        QFETCH(bool, after);
        auto* kaiseki = child<QAction>(w(), "kaiseki");
        kaiseki->setEnabled(before);
        child<QRadioButton>(w(), qPrintable(mode))->setChecked(true);
        QVERIFY(mWindow->loadPhoto(writePhoto(640, 480, "bmp")));
        QCOMPARE(kaiseki->isEnabled(), after);
    }

    void plainPressOnMarkerStoresItsCentre() {
        QVERIFY(mWindow->loadPhoto(writeSequence("seq", 1)));
        const QPoint head = sampleMarkerCentres(0).constFirst();
        // A press inside the disc but off its centre finds the centre.
        QTest::mouseClick(source(), Qt::LeftButton, Qt::NoModifier, head + QPoint(5, 0));
        QCOMPARE(int(mState->pointCount), 1);
        QCOMPARE(point(1), head);
        QCOMPARE(shown(head), kDarkRed);
        QCOMPARE(shown(head + QPoint(4, 0)), kDarkBlue);
        QCOMPARE(child<PictureArea>(w(), "picOrg")->image().pixel(head), kWhite); // never painted
        QCOMPARE(child(w(), "picOld")->palette().color(QPalette::Window), QColor(Qt::white));
    }

    void pressModifiersDispatch_data() {
        QTest::addColumn<bool>("rom");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("points");
        const int shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier, alt = Qt::AltModifier;
        for (bool rom : {false, true})
            for (int m :
                 {0, shift, ctrl, alt, shift | ctrl, shift | alt, ctrl | alt, shift | ctrl | alt})
                QTest::addRow("%s modifiers %x", rom ? "ROM" : "balance", m)
                    << rom << m << (m == shift ? 0 : (rom || m == 0 ? 1 : 0));
    }

    void pressModifiersDispatch() {
        QFETCH(bool, rom);
        QFETCH(int, modifiers);
        QFETCH(int, points);
        child<QRadioButton>(w(), rom ? "Option1" : "Option2")->setChecked(true);
        QTest::mouseClick(source(), Qt::LeftButton, Qt::KeyboardModifiers(modifiers),
                          QPoint(52, 62));
        QCOMPARE(int(mState->pointCount), points);
        // Shift alone, in any mode, takes a reference point instead.
        QCOMPARE(QPoint(mState->refPointX, mState->refPointY),
                 modifiers == Qt::ShiftModifier ? QPoint(50, 60) : QPoint());
        if (points)
            QCOMPARE(point(1), QPoint(50, 60));
    }

    // Presses at fractional positions, as a desktop scaled to 125 % or 150 % delivers them. One
    // in the outer half of the last column or row rounded to a pixel off the photo, where the
    // marker at the edge was not found; a press on the frame lines is no press on the picture.
    void pressesAtTheEdges_data() {
        QTest::addColumn<int>("modifiers"); // Ctrl: an angle point in ROM mode
        QTest::addColumn<QPointF>("at");    // in pixels of the picture
        QTest::addColumn<QPoint>("stored"); // (-1, -1): no point
        const int ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier;
        QTest::newRow("marker at the right edge") << 0 << QPointF(639.5, 240) << QPoint(634, 240);
        QTest::newRow("angle point") << ctrl << QPointF(639.5, 479.7) << QPoint(639, 479);
        QTest::newRow("reference point") << shift << QPointF(639.6, 479.5) << QPoint(639, 479);
        QTest::newRow("right frame line") << 0 << QPointF(640, 240) << QPoint(-1, -1);
        QTest::newRow("bottom frame line") << ctrl << QPointF(100, 480) << QPoint(-1, -1);
    }

    void pressesAtTheEdges() {
        QFETCH(int, modifiers);
        QFETCH(QPointF, at);
        QFETCH(QPoint, stored);
        QImage photo(640, 480, QImage::Format_RGB32);
        photo.fill(qRgb(60, 60, 60));
        QPainter(&photo).fillRect(630, 236, 10, 9, Qt::white); // touches the right edge
        QVERIFY(photo.save(mDir->filePath("edge.bmp")) &&
                mWindow->loadPhoto(mDir->filePath("edge.bmp")));
        child<QRadioButton>(w(), modifiers == Qt::ControlModifier ? "Option1" : "Option2")
            ->setChecked(true);
        const QPointF local = at + QPointF(PictureArea::kFrame, PictureArea::kFrame);
        QMouseEvent press(QEvent::MouseButtonPress, local, source()->mapToGlobal(local),
                          Qt::LeftButton, Qt::LeftButton, Qt::KeyboardModifiers(modifiers));
        QApplication::sendEvent(source(), &press);
        const QPoint none(-1, -1);
        if (modifiers == Qt::ShiftModifier)
            QCOMPARE(QPoint(mState->refPointX, mState->refPointY), stored);
        else
            QCOMPARE(mState->pointCount ? point(1) : none, stored);
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
        for (const auto& [preset, expected] :
             {std::pair(&MainWindow::applyFrontalPreset, frontal),
              std::pair(&MainWindow::applySagittalPreset, sagittal)}) {
            (mWindow.get()->*preset)();
            for (int k = 1; k <= 7; ++k)
                QCOMPARE(child<QComboBox>(w(), qPrintable(QStringLiteral("Combo%1").arg(k)))
                             ->currentText(),
                         expected[k - 1]);
        }
        auto* list = child<QComboBox>(w(), "Combo3"); // an item chosen from the drop-down
        list->showPopup();
        const QRect item = list->view()->visualRect(list->model()->index(1, 0));
        QTest::mouseClick(list->view()->viewport(), Qt::LeftButton, {}, item.center());
        QCOMPARE(list->currentText(), QStringLiteral("肩峰（矢状面）"));
    }

    void alignmentGridIsDrawnOnTheDisplayOnly() {
        QVERIFY(mWindow->loadPhoto(writeSequence("seq", 1)));
        const QImage clean = child<PictureArea>(w(), "picOrg")->image();
        QTest::mouseClick(child(w(), "Option4"), Qt::LeftButton);
        QCOMPARE(shown({40, 13}), kWhite);
        QCOMPARE(shown({17, 440}), kWhite);
        QVERIFY(shown({41, 13}) != kWhite);
        QCOMPARE(child<PictureArea>(w(), "picOrg")->image(), clean);
    }

    void distanceConfirmation_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("samePixel");
        QTest::addColumn<float>("scale");
        QTest::newRow("500 mm over 250 px") << "500" << false << 20.0f;
        QTest::newRow("decimal point") << "12.5" << false << 0.5f;
        QTest::newRow("letters refused") << "abc" << false << 250.0f;
        QTest::newRow("same pixel refused") << "500" << true << 0.0f;
    }

    void distanceConfirmation() {
        QFETCH(QString, typed);
        QFETCH(bool, samePixel);
        QFETCH(float, scale);
        mWindow->pressOnPicture(QPointF(195, 458), 1);
        QVERIFY(!child(w(), "Text1")->isVisible());
        mWindow->pressOnPicture(samePixel ? QPointF(195, 458) : QPointF(445, 458), 1);
        QVERIFY(child(w(), "Text1")->isVisible() && child(w(), "Command4")->isVisible());
        QCOMPARE(shown({195, 458}), 0xFF0000FFu); // light blue, green ring around it
        QCOMPARE(shown({196, 458}), 0xFF008000u);
        child<QLineEdit>(w(), "Text1")->setText(typed);
        const bool refused = scale != 20.0f && scale != 0.5f;
        if (refused)
            QVERIFY(messageShownBy([&] { mWindow->confirmDistance(); }));
        else
            mWindow->confirmDistance();
        QCOMPARE(mState->mmPerPoint, scale);
        QCOMPARE(child(w(), "Command3")->isVisible(), !refused);
        // OK again divides by the pixel distance again, not by the scale just set.
        if (!refused) {
            mWindow->confirmDistance();
            QCOMPARE(mState->mmPerPoint, scale);
        }
    }

    void continuationRefusesANameWithoutNumber() {
        const QString path = mDir->filePath(QStringLiteral("plain.bmp"));
        QVERIFY(sampleFrame(0).save(path));
        QVERIFY(mWindow->loadPhoto(path));
        QVERIFY(messageShownBy([&] { mWindow->continueAnalysis(); }));
        QCOMPARE(QString::fromStdString(mState->photoPath), path);
        QCOMPARE(int(mState->frameCount), 0);
    }

    void continuationEndsEarly_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<int>("startCount");
        QTest::addColumn<int>("endCount");
        QTest::addColumn<QString>("endName");
        QTest::newRow("lost marker in photo 3") << "lost" << 0 << 1 << "a(003).bmp";
        QTest::newRow("series full after photo 2") << "" << 900 << 901 << "a(003).bmp";
    }

    void continuationEndsEarly() {
        QFETCH(QString, damage);
        QFETCH(int, startCount);
        QFETCH(int, endCount);
        QFETCH(QString, endName);
        QVERIFY(mWindow->loadPhoto(writeSequence("seq", 4)));
        const QString third = mDir->filePath("seq/a(003).bmp");
        if (damage == "lost") { // the third marker painted over
            QImage photo = sampleFrame(2);
            const QPoint gone = sampleMarkerCentres(2)[2];
            for (int y = -8; y <= 8; ++y)
                for (int x = -8; x <= 8; ++x)
                    photo.setPixel(gone + QPoint(x, y), qRgb(60, 60, 60));
            QVERIFY(photo.save(third));
        }
        clickAllMarkers();
        mState->frameCount = int16_t(startCount);
        mWindow->continueAnalysis();
        QCOMPARE(int(mState->frameCount), endCount);
        QVERIFY(QString::fromStdString(mState->photoPath).endsWith(endName));
        const QPoint clicked = sampleMarkerCentres(0)[0];
        if (damage == "lost") {
            // Points before the lost one moved on into photo 3 and recorded it at entry 1, a
            // partial row that is not counted; the lost point and later ones stayed and recorded
            // nothing.
            QVERIFY(near(point(1), sampleMarkerCentres(2)[0]));
            QCOMPARE(mState->deltaX(1)[0] + mState->deltaX(1)[1],
                     float(point(1).x() - clicked.x()));
            QVERIFY(near(point(3), sampleMarkerCentres(1)[2]));
            QCOMPARE(mState->deltaY(3)[1], 0.0f);
            QVERIFY(child<QLabel>(w(), "lblProgress")->text().contains("点3"));
        } else {
            QVERIFY(near(point(1), sampleMarkerCentres(1)[0]));
            QCOMPARE(mState->deltaX(1)[endCount - 1], float(point(1).x() - clicked.x()));
        }
    }

private:
    QString writePhoto(int width, int height, const char* format) {
        SampleOptions options;
        options.width = width;
        options.height = height;
        const QString path =
            mDir->filePath(QStringLiteral("p%1x%2.%3").arg(width).arg(height).arg(format));
        if (qstrcmp(format, "gif") == 0)
            writeBytes(path, craftedGif(width, height));
        else if (!sampleFrame(0, options).save(path, format))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    PictureArea* source() const { return child<PictureArea>(w(), "picSource"); }
    QRgb shown(QPoint p) const { return source()->image().pixel(p); }
    QPoint point(int k) const { return {mState->pointX[k], mState->pointY[k]}; }
    QString writeSequence(const QString& folder, int count) {
        SampleOptions options;
        options.count = count;
        QString error;
        if (!writeSampleSequence(mDir->filePath(folder), QStringLiteral("a"), options, &error))
            qFatal("%s", qPrintable(error));
        return QDir(mDir->filePath(folder)).filePath(sampleFileName(QStringLiteral("a"), 0));
    }

    void clickAllMarkers() {
        for (const QPoint& marker : sampleMarkerCentres(0))
            mWindow->pressOnPicture(marker, 0);
    }
    bool messageShownBy(const std::function<void()>& action) {
        bool shown = false;
        onNextModal([&shown](QWidget* modal) {
            shown = modal->windowTitle() == QLatin1String("Vestra2007");
            qobject_cast<QMessageBox*>(modal)->accept();
        });
        action();
        return shown;
    }
};

QTEST_MAIN(MainWindowTests)
#include "main_window_tests.moc"
