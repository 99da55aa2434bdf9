// The analysis as the user drives it in the main window: presses on the picture, starting the
// analysis, presets, the grid, the scale and the continuation through a photo sequence.
#include "main_window.h"
#include "picture_area.h"
#include "sample_photos.h"
#include "widget_lookup.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>

namespace {

constexpr QRgb kDarkBlue = 0xFF000080; // as stored in the picture: 0xAARRGGBB
constexpr QRgb kDarkRed = 0xFF800000;
constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kWhite = 0xFFFFFFFF;

} // namespace

class AnalysisFlowTests : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void plainPressOnMarkerStoresItsCentre();
    void pressModifiersDispatch_data();
    void pressModifiersDispatch();
    void sixtyFirstPointIsRefused();
    void romTriplesDrawLinesAndShowAngles();
    void kaisekiInRomNumbersTriplesOrAsksForPoints();
    void kaisekiInStaticBalanceShowsTheLandmarkColumn();
    void presetsWriteTheirOwnTexts();
    void alignmentGridIsDrawnOnTheDisplayOnly();
    void secondReferencePressShowsThePrompt();
    void distanceConfirmationAndItsRefusals_data();
    void distanceConfirmationAndItsRefusals();
    void continuationFollowsTheMarkersToTheEnd();
    void continuationRefusesANameWithoutNumber();
    void continuationEndsAtALostMarker();
    void continuationEndsAtACorruptPhoto();
    void continuationStopsAtTheCapacityOfTheSeries();

private:
    PictureArea* source() const { return child<PictureArea>(mWindow.get(), "picSource"); }
    QRgb shown(int x, int y) const { return source()->image().pixel(x, y); }
    QString writeSequence(const QString& folder, int count);
    void clickAllMarkers();
    void setScale(double millimetres);

    std::unique_ptr<QTemporaryDir> mDir;
    std::unique_ptr<AnalysisState> mState;
    std::unique_ptr<MainWindow> mWindow;
};

void AnalysisFlowTests::init() {
    mDir = std::make_unique<QTemporaryDir>();
    mState = std::make_unique<AnalysisState>();
    mState->darknessTolerance = 40;
    mWindow = std::make_unique<MainWindow>(*mState);
    mWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(mWindow.get()));
}

void AnalysisFlowTests::cleanup() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window != mWindow.get())
            window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    mWindow.reset();
    mState.reset();
    mDir.reset();
}

QString AnalysisFlowTests::writeSequence(const QString& folder, int count) {
    SampleOptions options;
    options.count = count;
    const QString dir = mDir->filePath(folder);
    QString error;
    if (!writeSampleSequence(dir, QStringLiteral("a"), options, &error))
        qFatal("%s", qPrintable(error));
    return QDir(dir).filePath(sampleFileName(QStringLiteral("a"), 0));
}

void AnalysisFlowTests::clickAllMarkers() {
    for (const QPoint& marker : sampleMarkerCentres(0))
        QTest::mouseClick(source(), Qt::LeftButton, Qt::NoModifier,
                          marker + QPoint(PictureArea::kFrame, PictureArea::kFrame));
}

void AnalysisFlowTests::setScale(double millimetres) {
    auto* text = child<QLineEdit>(mWindow.get(), "Text1");
    text->setText(QString::number(millimetres));
    mWindow->confirmDistance();
}

void AnalysisFlowTests::plainPressOnMarkerStoresItsCentre() {
    QVERIFY(mWindow->loadPhoto(writeSequence("seq", 1)));
    const QPoint head = sampleMarkerCentres(0).constFirst();
    // Pressing a few pixels off centre, inside the disc, still finds the disc's centre.
    QTest::mouseClick(source(), Qt::LeftButton, Qt::NoModifier,
                      head + QPoint(3, -2) + QPoint(PictureArea::kFrame, PictureArea::kFrame));
    QCOMPARE(mState->pointCount, 1);
    QCOMPARE(QPoint(mState->pointX[1], mState->pointY[1]), head);
    QCOMPARE(shown(head.x(), head.y()), kDarkRed);
    QCOMPARE(shown(head.x() + 4, head.y()), kDarkBlue);
    // The clean copy is never painted on.
    QCOMPARE(child<PictureArea>(mWindow.get(), "picOrg")->image().pixel(head), kWhite);
    // The swatch shows the colour under the press: the marker's white.
    QCOMPARE(child(mWindow.get(), "picOld")->palette().color(QPalette::Window), QColor(Qt::white));
}

void AnalysisFlowTests::pressModifiersDispatch_data() {
    QTest::addColumn<bool>("rom");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("points");     // numbered points added
    QTest::addColumn<bool>("reference"); // a reference point was taken
    const QList<std::pair<int, QString>> all = {
        {Qt::NoModifier, "none"},
        {Qt::ShiftModifier, "shift"},
        {Qt::ControlModifier, "ctrl"},
        {Qt::AltModifier, "alt"},
        {Qt::ShiftModifier | Qt::ControlModifier, "shift+ctrl"},
        {Qt::ShiftModifier | Qt::AltModifier, "shift+alt"},
        {Qt::ControlModifier | Qt::AltModifier, "ctrl+alt"},
        {Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier, "shift+ctrl+alt"},
    };
    for (bool rom : {false, true}) {
        for (const auto& [modifiers, name] : all) {
            const bool shiftAlone = modifiers == Qt::ShiftModifier;
            const int added = shiftAlone ? 0 : (rom || modifiers == Qt::NoModifier ? 1 : 0);
            QTest::addRow("%s %s", rom ? "ROM" : "balance", qPrintable(name))
                << rom << modifiers << added << shiftAlone;
        }
    }
}

void AnalysisFlowTests::pressModifiersDispatch() {
    QFETCH(bool, rom);
    QFETCH(int, modifiers);
    QFETCH(int, points);
    QFETCH(bool, reference);
    child<QRadioButton>(mWindow.get(), rom ? "Option1" : "Option2")->setChecked(true);
    QTest::mouseClick(source(), Qt::LeftButton, Qt::KeyboardModifiers(modifiers), QPoint(52, 62));
    QCOMPARE(int(mState->pointCount), points);
    QCOMPARE(mState->refPointX != 0, reference);
    if (reference)
        QCOMPARE(QPoint(mState->refPointX, mState->refPointY), QPoint(50, 60));
    if (points)
        QCOMPARE(QPoint(mState->pointX[1], mState->pointY[1]), QPoint(50, 60));
}

void AnalysisFlowTests::sixtyFirstPointIsRefused() {
    mState->pointCount = 60;
    const QImage before = source()->image();
    for (const char* mode : {"Option2", "Option1"}) {
        child<QRadioButton>(mWindow.get(), mode)->setChecked(true);
        mWindow->pressOnPicture(QPointF(100, 100), 0);
        QCOMPARE(int(mState->pointCount), 60);
        QCOMPARE(mState->pointX[60], int16_t(0));
        QCOMPARE(source()->image(), before); // nothing painted
    }
    // Reference presses still work with a full record.
    mWindow->pressOnPicture(QPointF(100, 100), 1);
    QCOMPARE(mState->refPointX, int16_t(100));
}

void AnalysisFlowTests::romTriplesDrawLinesAndShowAngles() {
    child<QRadioButton>(mWindow.get(), "Option1")->setChecked(true);
    // A right angle: P above V, Q to the right of V.
    for (const QPointF p : {QPointF(100, 100), QPointF(100, 200), QPointF(200, 200)})
        mWindow->pressOnPicture(p, 0);
    QCOMPARE(int(mState->pointCount), 3);
    QCOMPARE(shown(100, 150), kRed); // line 1-2
    QCOMPARE(shown(150, 200), kRed); // line 2-3
    QCOMPARE(child<QLabel>(mWindow.get(), "Label4")->text(), QStringLiteral("90"));
    QCOMPARE(child<QLabel>(mWindow.get(), "Label7")->text(), QStringLiteral("270"));
    // The next triple starts without a line from point 3.
    mWindow->pressOnPicture(QPointF(300, 100), 0);
    QCOMPARE(shown(250, 150), source()->palette().color(QPalette::Window).rgb());
    QCOMPARE(shown(300, 100), kDarkBlue);
}

void AnalysisFlowTests::kaisekiInRomNumbersTriplesOrAsksForPoints() {
    child<QRadioButton>(mWindow.get(), "Option1")->setChecked(true);
    QString message;
    onNextModal([&message](QWidget* modal) {
        message = qobject_cast<QMessageBox*>(modal)->text();
        qobject_cast<QMessageBox*>(modal)->accept();
    });
    mWindow->startAnalysis();
    QCOMPARE(message, QStringLiteral("角度を求めるには３つ以上の点を指定してください"));
    QVERIFY(!child(mWindow.get(), "Combo1")->isVisible());

    for (const QPointF p : {QPointF(100, 100), QPointF(100, 200), QPointF(200, 200)})
        mWindow->pressOnPicture(p, 0);
    const QImage before = source()->image();
    mWindow->startAnalysis(); // numbers the one triple at its middle point: no message
    QVERIFY(source()->image() != before);
    QVERIFY(child(mWindow.get(), "Label4")->isVisible());
}

void AnalysisFlowTests::kaisekiInStaticBalanceShowsTheLandmarkColumn() {
    mWindow->startAnalysis();
    for (const char* name : {"Combo1", "Combo7", "Mpoi1", "Mpoi7", "Command1", "Command2",
                             "Label1", "Label2", "Label3"})
        QVERIFY2(child(mWindow.get(), name)->isVisible(), name);
    for (const char* name : {"Label5", "Text1", "Command3", "Command4"})
        QVERIFY2(!child(mWindow.get(), name)->isVisible(), name);
    // Alignment mode does nothing at all.
    child<QRadioButton>(mWindow.get(), "Option4")->setChecked(true);
    const QImage before = source()->image();
    mWindow->startAnalysis();
    QCOMPARE(source()->image(), before);
}

void AnalysisFlowTests::presetsWriteTheirOwnTexts() {
    mWindow->startAnalysis();
    mWindow->applyFrontalPreset();
    mWindow->applySagittalPreset();
    const QStringList expected = {"頭頂部", "肩峰 (矢状面)", "腸骨棘 (矢状面)", "膝関節 (矢状面)",
                                  "", "", ""};
    for (int k = 1; k <= 7; ++k)
        QCOMPARE(child<QComboBox>(mWindow.get(), qPrintable(QStringLiteral("Combo%1").arg(k)))
                     ->currentText(),
                 expected[k - 1]);
    mWindow->applyFrontalPreset();
    QCOMPARE(child<QComboBox>(mWindow.get(), "Combo7")->currentText(),
             QStringLiteral("膝関節 (前額右)"));
}

void AnalysisFlowTests::alignmentGridIsDrawnOnTheDisplayOnly() {
    QVERIFY(mWindow->loadPhoto(writeSequence("seq", 1)));
    const QImage clean = child<PictureArea>(mWindow.get(), "picOrg")->image();
    QTest::mouseClick(child(mWindow.get(), "Option4"), Qt::LeftButton);
    QCOMPARE(shown(40, 13), kWhite);
    QCOMPARE(shown(600, 13), kWhite);
    QCOMPARE(shown(17, 440), kWhite);
    QVERIFY(shown(41, 13) != kWhite);
    QCOMPARE(child<PictureArea>(mWindow.get(), "picOrg")->image(), clean);
}

void AnalysisFlowTests::secondReferencePressShowsThePrompt() {
    mWindow->pressOnPicture(QPointF(195, 458), 1);
    QVERIFY(!child(mWindow.get(), "Text1")->isVisible());
    mWindow->pressOnPicture(QPointF(445, 458), 1);
    for (const char* name : {"Label5", "Label6", "Text1", "Command4"})
        QVERIFY2(child(mWindow.get(), name)->isVisible(), name);
    QCOMPARE(mState->mmPerPoint, 250.0f);
    QCOMPARE(shown(445, 458), 0xFF0000FFu); // light blue
    QCOMPARE(shown(446, 458), 0xFF008000u); // green ring
}

void AnalysisFlowTests::distanceConfirmationAndItsRefusals_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("samePixel");
    QTest::addColumn<float>("scale");
    QTest::addColumn<bool>("refused");
    QTest::newRow("500 mm over 250 px") << "500" << false << 20.0f << false;
    QTest::newRow("decimal point") << "12.5" << false << 0.5f << false;
    QTest::newRow("letters") << "abc" << false << 250.0f << true;
    QTest::newRow("empty") << "" << false << 250.0f << true;
    QTest::newRow("zero") << "0" << false << 250.0f << true;
    QTest::newRow("negative") << "-5" << false << 250.0f << true;
    QTest::newRow("same pixel twice") << "500" << true << 0.0f << true;
}

void AnalysisFlowTests::distanceConfirmationAndItsRefusals() {
    QFETCH(QString, typed);
    QFETCH(bool, samePixel);
    QFETCH(float, scale);
    QFETCH(bool, refused);
    mWindow->pressOnPicture(QPointF(195, 458), 1);
    mWindow->pressOnPicture(samePixel ? QPointF(195, 458) : QPointF(445, 458), 1);
    child<QLineEdit>(mWindow.get(), "Text1")->setText(typed);
    bool messageShown = false;
    if (refused)
        onNextModal([&messageShown](QWidget* modal) {
            messageShown = true;
            qobject_cast<QMessageBox*>(modal)->accept();
        });
    mWindow->confirmDistance();
    QCOMPARE(messageShown, refused);
    QCOMPARE(mState->mmPerPoint, scale);
    QCOMPARE(child(mWindow.get(), "Command3")->isVisible(), !refused);
    if (!refused) {
        // Pressing OK again, or after correcting the distance, divides by the pixel distance
        // again, not by the scale just set.
        mWindow->confirmDistance();
        QCOMPARE(mState->mmPerPoint, scale);
    }
}

void AnalysisFlowTests::continuationFollowsTheMarkersToTheEnd() {
    // A folder name with parentheses must not be taken for the sequence number.
    QVERIFY(mWindow->loadPhoto(writeSequence("session (2)", 6)));
    clickAllMarkers();
    QCOMPARE(int(mState->pointCount), 7);
    mWindow->startAnalysis();
    mWindow->applyFrontalPreset();
    mWindow->pressOnPicture(sampleRulerStart(), 1);
    mWindow->pressOnPicture(sampleRulerEnd(), 1);
    setScale(500); // 250 px: 2 mm per pixel, mmPerPoint 20

    QTest::mouseClick(child(mWindow.get(), "Command3"), Qt::LeftButton);

    QCOMPARE(int(mState->frameCount), 5);
    QVERIFY(QString::fromStdString(mState->photoPath).endsWith("session (2)/a(007).bmp"));
    const QList<QPoint> first = sampleMarkerCentres(0);
    const QList<QPoint> last = sampleMarkerCentres(5);
    for (int k = 1; k <= 7; ++k) {
        const QPoint tracked(mState->pointX[k], mState->pointY[k]);
        // The centre of a tracked disc may be truncated by a pixel, never more.
        QVERIFY2((tracked - last[k - 1]).manhattanLength() <= 2, qPrintable(QString::number(k)));
        // The displacements add up to the whole movement, y counted upwards.
        float sumX = 0, sumY = 0;
        for (int i = 0; i < 5; ++i) {
            sumX += mState->deltaX(k)[i];
            sumY += mState->deltaY(k)[i];
        }
        QCOMPARE(sumX, float(tracked.x() - first[k - 1].x()));
        QCOMPARE(sumY, float(first[k - 1].y() - tracked.y()));
        QCOMPARE(mState->deltaX(k)[5], 0.0f);
        QVERIFY(mState->pathLength[k] >= std::hypot(sumX, sumY));
        // The trail: every tracked centre is dark red on the first photo.
        QCOMPARE(shown(tracked.x(), tracked.y()), kDarkRed);
        // The list shows the path in millimetres: 2 mm per pixel.
        const auto* list =
            child<QComboBox>(mWindow.get(), qPrintable(QStringLiteral("Combo%1").arg(k)));
        QCOMPARE(list->currentText().toDouble(), mState->pathLength[k] * 2);
    }
    QCOMPARE(QString::fromStdString(mState->landmarkNames[1]), QStringLiteral("頭頂部"));
    QCOMPARE(QString::fromStdString(mState->landmarkNames[7]), QStringLiteral("膝関節 (前額右)"));
    QWidget* end = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == QLatin1String("DEnd") && window->isVisible())
            end = window;
    QVERIFY(end);
    QVERIFY(child<QLabel>(mWindow.get(), "lblProgress")->text().contains("a(007).bmp"));

    // Continuing again steps past the name that failed; nothing more is found.
    QTest::mouseClick(child(mWindow.get(), "Command3"), Qt::LeftButton);
    QCOMPARE(int(mState->frameCount), 5);
    QVERIFY(QString::fromStdString(mState->photoPath).endsWith("a(008).bmp"));
}

void AnalysisFlowTests::continuationRefusesANameWithoutNumber() {
    SampleOptions options;
    const QString path = mDir->filePath(QStringLiteral("plain.bmp"));
    QVERIFY(sampleFrame(0, options).save(path));
    QVERIFY(mWindow->loadPhoto(path));
    bool messageShown = false;
    onNextModal([&messageShown](QWidget* modal) {
        messageShown = true;
        qobject_cast<QMessageBox*>(modal)->accept();
    });
    mWindow->continueAnalysis();
    QVERIFY(messageShown);
    QCOMPARE(QString::fromStdString(mState->photoPath), path);
    QCOMPARE(int(mState->frameCount), 0);
}

void AnalysisFlowTests::continuationEndsAtALostMarker() {
    QVERIFY(mWindow->loadPhoto(writeSequence("seq", 4)));
    clickAllMarkers();
    // Photo 3 has lost its third marker: painted over with the background.
    SampleOptions options;
    QImage third = sampleFrame(2, options);
    const QPoint gone = sampleMarkerCentres(2)[2];
    for (int y = -8; y <= 8; ++y)
        for (int x = -8; x <= 8; ++x)
            third.setPixel(gone + QPoint(x, y), qRgb(60, 60, 60));
    QVERIFY(third.save(mDir->filePath("seq/a(003).bmp")));

    mWindow->continueAnalysis();
    QCOMPARE(int(mState->frameCount), 1); // only photo 2 counts
    QVERIFY(QString::fromStdString(mState->photoPath).endsWith("a(003).bmp"));
    // Points before the lost one moved on into photo 3; the lost one and later ones did not.
    const auto near = [](QPoint a, QPoint b) { return (a - b).manhattanLength() <= 2; };
    QVERIFY(near(QPoint(mState->pointX[1], mState->pointY[1]), sampleMarkerCentres(2)[0]));
    QVERIFY(near(QPoint(mState->pointX[3], mState->pointY[3]), sampleMarkerCentres(1)[2]));
    QVERIFY(near(QPoint(mState->pointX[7], mState->pointY[7]), sampleMarkerCentres(1)[6]));
    // Point 1 recorded its move into photo 3 at entry 1 (a partial row, not counted);
    // the lost point 3 recorded nothing there.
    const QPoint clicked = sampleMarkerCentres(0)[0];
    QCOMPARE(mState->deltaX(1)[0] + mState->deltaX(1)[1], float(mState->pointX[1] - clicked.x()));
    QCOMPARE(mState->deltaX(3)[1], 0.0f);
    QCOMPARE(mState->deltaY(3)[1], 0.0f);
    QVERIFY(child<QLabel>(mWindow.get(), "lblProgress")->text().contains("点3"));
}

void AnalysisFlowTests::continuationEndsAtACorruptPhoto() {
    QVERIFY(mWindow->loadPhoto(writeSequence("seq", 5)));
    clickAllMarkers();
    QFile corrupt(mDir->filePath("seq/a(004).bmp"));
    QVERIFY(corrupt.open(QIODevice::ReadWrite));
    corrupt.resize(100); // cut off after the header
    corrupt.close();
    mWindow->continueAnalysis();
    QCOMPARE(int(mState->frameCount), 2);
    QVERIFY(QString::fromStdString(mState->photoPath).endsWith("a(004).bmp"));
}

void AnalysisFlowTests::continuationStopsAtTheCapacityOfTheSeries() {
    QVERIFY(mWindow->loadPhoto(writeSequence("seq", 4)));
    clickAllMarkers();
    mState->frameCount = 900; // as after 900 tracked photos: one entry is left
    mWindow->continueAnalysis();
    QCOMPARE(int(mState->frameCount), 901);
    // Photo 2 filled the last entry; photo 3 was not tracked and nothing went past entry 900.
    QVERIFY(QString::fromStdString(mState->photoPath).endsWith("a(003).bmp"));
    QCOMPARE(mState->deltaX(1)[900], float(mState->pointX[1] - sampleMarkerCentres(0)[0].x()));
    QVERIFY((QPoint(mState->pointX[1], mState->pointY[1]) - sampleMarkerCentres(1)[0])
                .manhattanLength() <= 2);
    QVERIFY(child<QLabel>(mWindow.get(), "lblProgress")->text().contains("901"));
}

QTEST_MAIN(AnalysisFlowTests)
#include "analysis_flow_tests.moc"
