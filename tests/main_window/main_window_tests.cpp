// The main window as the user meets it: its start state, opening photos, and the rule that fits
// a photo into 640 x 480.
#include "display_size.h"
#include "gif_writer.h"
#include "main_window.h"
#include "picture_area.h"
#include "sample_photos.h"
#include "widget_lookup.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

Q_DECLARE_METATYPE(std::optional<DisplaySize>)

class MainWindowTests : public QObject {
    Q_OBJECT

private slots:
    void init() {
        mState = std::make_unique<AnalysisState>();
        mWindow = std::make_unique<MainWindow>(*mState);
        mWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(mWindow.get()));
    }
    void cleanup() {
        mWindow.reset();
        mState.reset();
    }

    void displaySizeFitsInto640By480_data();
    void displaySizeFitsInto640By480();
    void startStateShowsOnlyPictureModesAndReadouts();
    void startStateCaptionsAndLists();
    void startStateGeometry();
    void openingPhotoLoadsCleanCopyAtDisplaySize_data();
    void openingPhotoLoadsCleanCopyAtDisplaySize();
    void openingPhotoSetsKaisekiByMode_data();
    void openingPhotoSetsKaisekiByMode();
    void fileThatIsNotAPictureChangesNothing_data();
    void fileThatIsNotAPictureChangesNothing();
    void openDialogOffersTheThreeFiltersAndCancelChangesNothing();
    void openingAnotherPhotoKeepsThePoints();

private:
    QString writePhoto(int width, int height, const char* format);

    QTemporaryDir mDir;
    std::unique_ptr<AnalysisState> mState;
    std::unique_ptr<MainWindow> mWindow;
};

void MainWindowTests::displaySizeFitsInto640By480_data() {
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<std::optional<DisplaySize>>("expected");
    QTest::newRow("640x480 as is") << 640 << 480 << std::optional(DisplaySize{640, 480});
    QTest::newRow("1280x960 halved") << 1280 << 960 << std::optional(DisplaySize{640, 480});
    QTest::newRow("600x480 narrower") << 600 << 480 << std::optional(DisplaySize{600, 480});
    QTest::newRow("800x400 wider") << 800 << 400 << std::optional(DisplaySize{640, 320});
    // 480 * 1000 / 751 = 639.147...: just narrower than 4:3 takes the height branch.
    QTest::newRow("1000x751") << 1000 << 751 << std::optional(DisplaySize{639, 480});
    QTest::newRow("exactly 4:3 takes the width branch")
        << 4000 << 3000 << std::optional(DisplaySize{640, 480});
    // 640 * 1 / 3 = 213.33: the quotient is rounded, not truncated or ceiled.
    QTest::newRow("3:1") << 3 << 1 << std::optional(DisplaySize{640, 213});
    // 480 * 17 / 64 = 127.5 exactly: the tie goes to the even neighbour.
    QTest::newRow("tie rounds to even") << 17 << 64 << std::optional(DisplaySize{128, 480});
    QTest::newRow("sliver keeps one pixel") << 100000 << 1 << std::optional(DisplaySize{640, 1});
    QTest::newRow("no pixels") << 0 << 480 << std::optional<DisplaySize>();
    QTest::newRow("negative") << 640 << -1 << std::optional<DisplaySize>();
}

void MainWindowTests::displaySizeFitsInto640By480() {
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(std::optional<DisplaySize>, expected);
    QCOMPARE(displaySize(w, h), expected);
}

void MainWindowTests::startStateShowsOnlyPictureModesAndReadouts() {
    const QStringList visible = {"picSource", "Frame1", "Option1", "Option2",
                                 "Option3",   "Option4", "Label4", "Label7"};
    const QStringList hidden = {"picOrg",   "picOld",   "Label1",   "Label2",   "Label3",
                                "Label5",   "Label6",   "Text1",    "Command1", "Command2",
                                "Command3", "Command4", "Mpoi1",    "Mpoi7",    "Combo1",
                                "Combo7"};
    for (const QString& name : visible)
        QVERIFY2(child(mWindow.get(), qPrintable(name))->isVisible(), qPrintable(name));
    for (const QString& name : hidden)
        QVERIFY2(!child(mWindow.get(), qPrintable(name))->isVisible(), qPrintable(name));

    QVERIFY(child<QRadioButton>(mWindow.get(), "Option2")->isChecked());
    QVERIFY(!child<QRadioButton>(mWindow.get(), "Option1")->isChecked());
    QVERIFY(!child<QRadioButton>(mWindow.get(), "Option3")->isEnabled());
    QVERIFY(!child<QAction>(mWindow.get(), "kaiseki")->isEnabled());
    QVERIFY(child<QAction>(mWindow.get(), "mnuFileOpen")->isEnabled());
    QVERIFY(child<QAction>(mWindow.get(), "option")->isEnabled());
    QVERIFY(child<QAction>(mWindow.get(), "Ver")->isEnabled());
    QVERIFY(child<QLabel>(mWindow.get(), "Label4")->text().isEmpty());
    QVERIFY(child<QLabel>(mWindow.get(), "Label7")->text().isEmpty());
}

void MainWindowTests::startStateCaptionsAndLists() {
    QCOMPARE(mWindow->windowTitle(), QStringLiteral("Vestra2007"));
    const QList<std::pair<const char*, QString>> captions = {
        {"Label1", "ポインタがそれぞれどの部位を指しているのか入力してください"},
        {"Label2", "システムの既定値でバランステストを行った場合は下のボタンを押してください"},
        {"Label3", "Shiftキーを押しながら距離の基準点を２つクリックしてください"},
        {"Label5", "基準点の距離は何㎜ですか"},
        {"Label6", "㎜"},
        {"Mpoi1", "1"},
        {"Mpoi7", "7"},
    };
    for (const auto& [name, text] : captions)
        QCOMPARE(child<QLabel>(mWindow.get(), name)->text(), text);
    QCOMPARE(child<QPushButton>(mWindow.get(), "Command1")->text(), QStringLiteral("矢状面バランス"));
    QCOMPARE(child<QPushButton>(mWindow.get(), "Command2")->text(), QStringLiteral("前額面バランス"));
    QCOMPARE(child<QPushButton>(mWindow.get(), "Command3")->text(), QStringLiteral("解析を続ける"));
    QCOMPARE(child<QPushButton>(mWindow.get(), "Command4")->text(), QStringLiteral("OK"));
    QCOMPARE(child<QRadioButton>(mWindow.get(), "Option2")->text(), QStringLiteral("静的バランス"));
    QCOMPARE(child<QRadioButton>(mWindow.get(), "Option4")->text(), QStringLiteral("アライメント"));
    QCOMPARE(child<QAction>(mWindow.get(), "kaiseki")->text(), QStringLiteral("解析開始"));

    const QStringList items = {"頭頂部",           "肩峰（矢状面）",   "肩峰（前額左）",
                               "肩峰（前額右）",   "腸骨棘（矢状面）", "腸骨棘（前額左）",
                               "腸骨棘（前額右）", "膝関節（矢状面）", "膝関節（前額左）",
                               "膝関節（前額右）"};
    for (int k = 1; k <= 7; ++k) {
        auto* list = child<QComboBox>(mWindow.get(), qPrintable(QStringLiteral("Combo%1").arg(k)));
        QVERIFY(list->isEditable());
        QCOMPARE(list->currentText(), QString());
        QStringList actual;
        for (int i = 0; i < list->count(); ++i)
            actual << list->itemText(i);
        QCOMPARE(actual, items);
    }
}

void MainWindowTests::startStateGeometry() {
    QCOMPARE(mWindow->centralWidget()->size(), QSize(782, 551));
    const QList<std::pair<const char*, QRect>> boxes = {
        {"picSource", {3, 0, 644, 484}}, {"Combo1", {665, 47, 112, 20}},
        {"Combo7", {665, 191, 112, 20}}, {"Command1", {675, 277, 101, 26}},
        {"Text1", {653, 429, 90, 17}},   {"Command3", {674, 516, 101, 25}},
        {"Frame1", {2, 489, 201, 59}},   {"Option4", {111, 33, 81, 17}},
        {"Label7", {544, 520, 105, 17}},
    };
    for (const auto& [name, rect] : boxes)
        QCOMPARE(child(mWindow.get(), name)->geometry(), rect);
    QCOMPARE(child<PictureArea>(mWindow.get(), "picSource")->innerSize(), QSize(640, 480));
}

QString MainWindowTests::writePhoto(int width, int height, const char* format) {
    SampleOptions options;
    options.width = width;
    options.height = height;
    const QString path =
        mDir.filePath(QStringLiteral("p%1x%2.%3").arg(width).arg(height).arg(format));
    const QImage picture = sampleFrame(0, options);
    if (qstrcmp(format, "gif") == 0) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(encodeGif(picture)) < 0)
            qFatal("cannot write %s", qPrintable(path));
    } else if (!picture.save(path, format)) {
        qFatal("cannot write %s", qPrintable(path));
    }
    return path;
}

void MainWindowTests::openingPhotoLoadsCleanCopyAtDisplaySize_data() {
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QSize>("shown");
    QTest::newRow("bmp at own size") << 640 << 480 << QByteArray("bmp") << QSize(640, 480);
    QTest::newRow("camera jpeg halved") << 1280 << 960 << QByteArray("jpg") << QSize(640, 480);
    QTest::newRow("gif narrow") << 600 << 480 << QByteArray("gif") << QSize(600, 480);
    QTest::newRow("bmp wide") << 800 << 400 << QByteArray("bmp") << QSize(640, 320);
    QTest::newRow("jpeg just under 4:3") << 1000 << 751 << QByteArray("jpg") << QSize(639, 480);
}

void MainWindowTests::openingPhotoLoadsCleanCopyAtDisplaySize() {
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(QByteArray, format);
    QFETCH(QSize, shown);
    const QString path = writePhoto(w, h, format.constData());
    QVERIFY(mWindow->loadPhoto(path));

    auto* source = child<PictureArea>(mWindow.get(), "picSource");
    auto* org = child<PictureArea>(mWindow.get(), "picOrg");
    QCOMPARE(QString::fromStdString(mState->photoPath), path);
    QCOMPARE(source->innerSize(), shown);
    QCOMPARE(source->size(), shown + QSize(4, 4)); // the frame lies outside the picture
    // The clean copy is the picture as shown, so reads match what is under the pointer.
    QCOMPARE(org->image().size(), shown);
    QCOMPARE(source->image(), org->image());
    QVERIFY(!org->isVisible());
}

void MainWindowTests::openingPhotoSetsKaisekiByMode_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("enabledBefore");
    QTest::addColumn<bool>("enabledAfter");
    QTest::newRow("static balance enables") << "Option2" << false << true;
    QTest::newRow("ROM disables") << "Option1" << true << false;
    QTest::newRow("alignment keeps disabled") << "Option4" << false << false;
    QTest::newRow("alignment keeps enabled") << "Option4" << true << true;
}

void MainWindowTests::openingPhotoSetsKaisekiByMode() {
    QFETCH(QString, mode);
    QFETCH(bool, enabledBefore);
    QFETCH(bool, enabledAfter);
    auto* kaiseki = child<QAction>(mWindow.get(), "kaiseki");
    kaiseki->setEnabled(enabledBefore);
    child<QRadioButton>(mWindow.get(), qPrintable(mode))->setChecked(true);
    QVERIFY(mWindow->loadPhoto(writePhoto(640, 480, "bmp")));
    QCOMPARE(kaiseki->isEnabled(), enabledAfter);
}

void MainWindowTests::fileThatIsNotAPictureChangesNothing_data() {
    QTest::addColumn<QString>("source"); // a photo format to cut short, or empty
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("name");
    QTest::newRow("text named .bmp") << "" << QByteArray("just some notes\n") << "notes.bmp";
    QTest::newRow("empty file") << "" << QByteArray() << "empty.jpg";
    QTest::newRow("missing file") << "" << QByteArray() << "";
    // Decoders report success for these and fill the rest with grey or stale memory.
    QTest::newRow("bitmap cut after its header") << "bmp" << QByteArray() << "cut.bmp";
    QTest::newRow("jpeg cut in half") << "jpg" << QByteArray() << "cut.jpg";
    QTest::newRow("gif cut in half") << "gif" << QByteArray() << "cut.gif";
}

void MainWindowTests::fileThatIsNotAPictureChangesNothing() {
    QFETCH(QString, source);
    QFETCH(QByteArray, content);
    QFETCH(QString, name);
    const QString good = writePhoto(640, 480, "bmp");
    QVERIFY(mWindow->loadPhoto(good));
    auto* kaiseki = child<QAction>(mWindow.get(), "kaiseki");
    kaiseki->setEnabled(false);
    const QImage before = child<PictureArea>(mWindow.get(), "picOrg")->image();

    if (!source.isEmpty()) {
        QFile whole(writePhoto(320, 240, qPrintable(source)));
        QVERIFY(whole.open(QIODevice::ReadOnly));
        content = whole.readAll();
        content.truncate(source == "bmp" ? 100 : content.size() / 2);
    }
    QString path = mDir.filePath(QStringLiteral("does-not-exist.bmp"));
    if (!name.isEmpty()) {
        path = mDir.filePath(name);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QVERIFY(!mWindow->loadPhoto(path));
    QCOMPARE(QString::fromStdString(mState->photoPath), good);
    QCOMPARE(child<PictureArea>(mWindow.get(), "picOrg")->image(), before);
    QVERIFY(!kaiseki->isEnabled());
}

void MainWindowTests::openDialogOffersTheThreeFiltersAndCancelChangesNothing() {
    const QString path = writePhoto(800, 400, "bmp");
    QStringList filters;
    onNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        QVERIFY(dialog);
        QCOMPARE(dialog->objectName(), QStringLiteral("dlgOpen"));
        filters = dialog->nameFilters();
        dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->accept();
    });
    mWindow->openPhoto();
    QCOMPARE(filters, QStringList({"ﾋﾞｯﾄﾏｯﾌﾟ(*.bmp)", "GIF(*.gif)", "JPEG(*.jpg)"}));
    QCOMPARE(QString::fromStdString(mState->photoPath), path);
    QCOMPARE(child<PictureArea>(mWindow.get(), "picSource")->innerSize(), QSize(640, 320));

    onNextModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    mWindow->openPhoto();
    QCOMPARE(QString::fromStdString(mState->photoPath), path);
    QCOMPARE(child<PictureArea>(mWindow.get(), "picSource")->innerSize(), QSize(640, 320));
}

void MainWindowTests::openingAnotherPhotoKeepsThePoints() {
    QVERIFY(mWindow->loadPhoto(writePhoto(640, 480, "bmp")));
    const QPoint head = sampleMarkerCentres(0).constFirst();
    mWindow->pressOnPicture(head, 0);
    QCOMPARE(mState->pointCount, 1);
    QVERIFY(mWindow->loadPhoto(writePhoto(1280, 960, "jpg")));
    QCOMPARE(mState->pointCount, 1);
    QCOMPARE(QPoint(mState->pointX[1], mState->pointY[1]), head);
}

QTEST_MAIN(MainWindowTests)
#include "main_window_tests.moc"
