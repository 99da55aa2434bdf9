// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as the user drives it: its start state, opening photos, presses on the
// picture, starting the analysis, the grid, the scale and the continuation through a sequence;
// the guide and the notes under the picture.
#include "display_size.h"
#include "file_bytes.h"
#include "guide_window.h"
#include "sample_photos.h"
#include "window_test.h"

#include <QAbstractItemView>
#include <QAction>
#include <QBuffer>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QTextBlock>
#include <QTextBrowser>
#include <QtEndian>

constexpr QRgb kDarkRed = 0xFF800000; // as stored in the picture: 0xAARRGGBB
constexpr QRgb kWhite = 0xFFFFFFFF;

// A GIF whose picture data ends at once (clear code, end code): two colours, one image at
// (0, 0) of the declared size, which decoders fill with the background. Qt writes no GIF files.
QByteArray craftedGif(int width, int height) {
    QByteArray size;
    for (const int v : {width, height})
        size.append(char(v & 0xFF)).append(char(v >> 8));
    return "GIF89a" + size + QByteArray("\x80\0\0\0\0\0\xFF\xFF\xFF,\0\0\0\0", 14) + size +
           QByteArray("\0\x02\x01\x44\0;", 6);
}

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
            child<QAction>(w(), "kaiseki")->setEnabled(before);
            child<QRadioButton>(w(), mode)->setChecked(true);
            QVERIFY(mWindow->loadPhoto(path));
            QCOMPARE(QString::fromStdString(mState->photoPath), path);
            QCOMPARE(source()->size(), shown + QSize(4, 4)); // the frame lies outside the picture
            // The clean copy is the picture as shown, so reads match what is under the pointer.
            QCOMPARE(source()->image(), child<PictureArea>(w(), "picOrg")->image());
            QCOMPARE(source()->image().size(), shown);
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

    void helpMenuOpensTheGuide() {
        const QList<QAction*> help = child<QMenu>(w(), "Help")->actions();
        QCOMPARE(help.size(), 2); // the guide before the version
        QCOMPARE(help[0]->objectName(), QStringLiteral("mnuHelpGuide"));
        QCOMPARE(help[0]->text(), QStringLiteral("使い方"));
        QCOMPARE(help[1]->objectName(), QStringLiteral("Ver"));
        // The fixed window offers no maximise button, but still minimise and close.
        const Qt::WindowFlags flags = w()->windowFlags();
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY((flags & Qt::WindowMinimizeButtonHint) && (flags & Qt::WindowCloseButtonHint));

        activate();
        QTest::keyClick(w(), Qt::Key_F1);
        QWidget* guide = topLevel("frmGuide");
        QVERIFY(guide);
        help[0]->trigger(); // one guide window
        QCOMPARE(topLevel("frmGuide"), guide);
        const QTextDocument* text = child<QTextBrowser>(guide, "txtGuide")->document();
        QVERIFY(text->toPlainText().startsWith(QStringLiteral("Vestra2007 の使い方")));

        // Every link of the contents leads to a place in the guide.
        QSet<QString> links;
        QStringList anchors;
        for (QTextBlock block = text->begin(); block.isValid(); block = block.next())
            for (auto part = block.begin(); !part.atEnd(); ++part) {
                const QTextCharFormat format = part.fragment().charFormat();
                if (format.isAnchor() && !format.anchorHref().isEmpty())
                    links.insert(format.anchorHref());
                anchors += format.anchorNames();
            }
        QCOMPARE(links.size(), 17);
        for (const QString& link : links)
            QVERIFY2(link.startsWith('#') && anchors.contains(link.mid(1)), qPrintable(link));
        // It tells of every item of the menus (a menu added later needs its words here).
        const QString plain = text->toPlainText();
        for (QAction* action : w()->findChildren<QAction*>()) {
            const QString caption = action->text().remove(QStringLiteral("...")).remove('&');
            QVERIFY2(action->isSeparator() || caption.isEmpty() || plain.contains(caption),
                     qPrintable(caption));
        }
    }

    void guideFinds() {
        auto* guide = new GuideWindow(guideFileFor(QCoreApplication::applicationDirPath()));
        guide->show();
        QVERIFY(QTest::qWaitForWindowActive(guide));
        auto* find = child<QLineEdit>(guide, "txtFind");
        auto* status = child<QLabel>(guide, "lblFindStatus");
        const QTextDocument* text = child<QTextBrowser>(guide, "txtGuide")->document();
        // Where "F95" stands in the guide, counted as the cursor counts.
        QList<int> at;
        for (qsizetype i = 0; (i = text->toRawText().indexOf("F95", i)) >= 0; ++i)
            at.append(int(i));
        QCOMPARE(at.size(), 2);
        const auto selection = [guide] {
            const QTextCursor c = child<QTextBrowser>(guide, "txtGuide")->textCursor();
            return std::pair(c.selectionStart(), c.selectedText());
        };
        // {what the user does, where the selection starts, the status line}. Typing finds the
        // first; Enter and F3 go on and wrap, Shift with them and 前へ go back; a word not in the
        // guide leaves the selection; a full-width query finds the half-width text, from where
        // the selection starts.
        const auto type = [find](const char* keys) {
            return [=] { QTest::keyClicks(find, keys); };
        };
        const auto key = [](QWidget* on, Qt::Key k, Qt::KeyboardModifiers m = {}) {
            return [=] { QTest::keyClick(on, k, m); };
        };
        const auto click = [guide](const char* button) {
            return [=] { QTest::mouseClick(child(guide, button), Qt::LeftButton); };
        };
        const std::tuple<std::function<void()>, int, const char*> rows[] = {
            {type("F95"), at[0], ""},
            {key(find, Qt::Key_Return), at[1], ""},
            {key(guide, Qt::Key_F3), at[0], "先頭に戻って検索しました"},
            {key(find, Qt::Key_Return, Qt::ShiftModifier), at[1], "末尾に戻って検索しました"},
            {click("cmdFindPrevious"), at[0], ""},
            {click("cmdFindNext"), at[1], ""},
            {type("zq"), at[1], "見つかりません"},
            {[find] {
                 find->clear();
                 QInputMethodEvent typed; // as an input method left on hands it over
                 typed.setCommitString(QStringLiteral("Ｆ９５"));
                 QApplication::sendEvent(find, &typed);
             },
             at[1], ""}};
        for (const auto& [act, start, said] : rows) {
            act();
            QCOMPARE(selection(), std::pair(start, QStringLiteral("F95")));
            QCOMPARE(status->text(), QString::fromUtf8(said));
        }
        // Ctrl+F from the text goes back to the find field, its text selected for a new word.
        child(guide, "txtGuide")->setFocus();
        QTest::keyClick(guide, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(find->hasFocus() && find->selectedText() == find->text());
        guide->close();
    }

    void guideFileAndAMissingGuide() {
        // Installed, the guide lies in the package's documentation beside the bin folder.
        QCOMPARE(guideFileFor("/usr/bin"),
                 QStringLiteral("/usr/share/doc/vestra2007/html/index.html"));
        QCOMPARE(guideFileFor("/tmp/root/usr/local/bin/"),
                 QStringLiteral("/tmp/root/usr/local/share/doc/vestra2007/html/index.html"));
        GuideWindow missing(mDir->filePath("gone/index.html"));
        const QString said = child<QTextBrowser>(&missing, "txtGuide")->toPlainText();
        QVERIFY2(said.contains(QStringLiteral("見つかりません")) &&
                     said.contains(mDir->filePath("gone/index.html")),
                 qPrintable(said));
    }

    // Unreadable, cut-off and hostile files change nothing; the reason stands under the picture.
    void aPhotoThatDoesNotOpenIsSaidUnderThePicture() {
        QVERIFY(sampleFrame(0).save(mDir->filePath("a(001).bmp")));
        QVERIFY(mWindow->loadPhoto(mDir->filePath("a(001).bmp")));
        press(sampleMarkerCentres(0)[0]);
        const QImage before = shownPicture();
        const auto bitmapHeader = [](quint32 width, quint32 height) { // 32 bits a pixel, no data
            QByteArray header("BM" + QByteArray(52, '\0'));
            std::tie(header[10], header[14], header[28]) = std::tuple(54, 40, 32);
            qToLittleEndian(width, header.data() + 18);
            qToLittleEndian(height, header.data() + 22);
            return header;
        };
        QByteArray bitmap;
        QBuffer bitmapBuffer(&bitmap);
        QVERIFY(sampleFrame(0).copy(0, 0, 639, 480).save(&bitmapBuffer, "BMP"));
        const QByteArray gif = craftedGif(320, 240);
        const std::pair<const char*, QByteArray> files[] = {
            {"notes.bmp", "BM but no bitmap"},
            {"huge.gif", craftedGif(20000, 20000)}, // decoding it would take 1.6 GB
            {"empty.bmp", bitmapHeader(0, 0)},
            {"giant.bmp", bitmapHeader(0x7FFFFFFF, 0x7FFFFFFF)}, // overflowed the size check
            // Decoders report success for cut-off files and fill the rest with grey or garbage.
            {"padding cut.bmp", bitmap.chopped(2)}, // rows of 639 pixels end in 3 padding bytes
            {"cut.gif", gif.chopped(1)},
            {"gone.jpg", {}}};
        for (const auto& [name, bytes] : files) {
            if (!bytes.isEmpty())
                writeBytes(mDir->filePath(name), bytes);
            bool boxShown = false; // a message box would be up when the timer runs
            QTimer::singleShot(0, [&boxShown] {
                if (QWidget* box = QApplication::activeModalWidget()) {
                    boxShown = true;
                    box->close();
                }
            });
            QVERIFY(!mWindow->loadPhoto(mDir->filePath(name)));
            QCoreApplication::processEvents();
            QVERIFY(!boxShown);
            QCOMPARE(progress()->text(),
                     (bytes.isEmpty()
                          ? QStringLiteral("写真 %1 が見つかりません")
                          : QStringLiteral("写真 %1 を読み込めません（BMP、GIF、JPEG の"
                                           "写真ではないか、壊れているか、大きすぎます）"))
                         .arg(name));
            QVERIFY(progress()->isVisible());
            QCOMPARE(QString::fromStdString(mState->photoPath), mDir->filePath("a(001).bmp"));
            QCOMPARE(shownPicture(), before);
            QCOMPARE(int(mState->pointCount), 1);
            QVERIFY(child<QAction>(w(), "kaiseki")->isEnabled());
        }
    }

    // A press inside a disc but off its centre places the point there (its marks are the markers
    // tests'), the swatch showing the colour under it; one that meets no marker is placed where
    // it was and said under the picture. Marks and the grid paint the display only.
    void pressesNotesAndGrid() {
        QVERIFY(writeSampleSequence(mDir->path(), "a", SampleOptions{1}, nullptr) &&
                mWindow->loadPhoto(mDir->filePath(sampleFileName("a", 0))));
        const QImage clean = child<PictureArea>(w(), "picOrg")->image();
        const QList<QPoint> markers = sampleMarkerCentres(0);
        const QPoint grey(20, 20);
        activate();
        // {press (or Ctrl+Z), the point it places, the point the line names (0: hidden; -1: the
        // line empty)}. A later press that finds its marker clears the note, and so does taking
        // back the point it was about.
        const std::tuple<QPoint, QPoint, int> rows[] = {
            {markers[0] + QPoint(5, 0), markers[0], 0},
            {grey, grey, 2},
            {markers[1], markers[1], -1},
            {grey + QPoint(1, 1), grey + QPoint(1, 1), 4},
            {{-1, -1}, markers[1], -1}}; // Ctrl+Z
        for (const auto& [at, placed, named] : rows) {
            if (at.x() < 0)
                QTest::keyClick(w(), Qt::Key_Z, Qt::ControlModifier);
            else
                press(at);
            QCOMPARE(point(mState->pointCount), placed);
            QCOMPARE(progress()->isVisible(), named != 0);
            if (named == 0)
                QCOMPARE(child(w(), "picOld")->palette().color(QPalette::Window),
                         QColor(Qt::white));
            else
                QCOMPARE(progress()->text(),
                         named < 0 ? QString()
                                   : QStringLiteral("点%1はマーカーが見つからないため、押した位置に"
                                                    "置きました（Ctrl+Zで取り消せます）")
                                         .arg(named));
        }
        QCOMPARE(shown(markers[0]), kDarkRed);
        QTest::mouseClick(child(w(), "Option4"), Qt::LeftButton);
        QCOMPARE(shown({40, 13}), kWhite);
        QCOMPARE(shown({17, 440}), kWhite);
        QVERIFY(shown({41, 13}) != kWhite);
        QCOMPARE(child<PictureArea>(w(), "picOrg")->image(), clean); // never painted
    }

private:
    QLabel* progress() const { return child<QLabel>(w(), "lblProgress"); }
    PictureArea* source() const { return child<PictureArea>(w(), "picSource"); }
    QRgb shown(QPoint p) const { return source()->image().pixel(p); }
};

QTEST_MAIN(MainWindowTests)
#include "main_window_tests.moc"
