// The end-of-analysis window, driven through its real save dialog.
#include "analysis_state.h"
#include "csv_export.h"
#include "end_window.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <optional>

namespace {

// Hands the next modal widget of type T to `act`; gives up when `context` is gone.
template <typename T>
void whenModal(QObject* context, std::function<void(T*)> act, int triesLeft = 1000) {
    QTimer::singleShot(10, context, [=] {
        if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget()))
            act(w);
        else if (triesLeft > 0)
            whenModal<T>(context, act, triesLeft - 1);
    });
}

// Types the name like a user would (selectFile() leaves a focused name field alone) and
// accepts. The dialog may clear the field when its background folder listing arrives, so the
// typing is repeated until the dialog holds the name.
void typeAndAccept(QFileDialog* d, const QString& path, bool* chosen, int triesLeft = 200) {
    d->setDirectory(QFileInfo(path).absolutePath());
    d->findChild<QLineEdit*>("fileNameEdit")->setText(QFileInfo(path).fileName());
    QTimer::singleShot(20, d, [=] {
        if (d->selectedFiles().value(0) != path && triesLeft > 0)
            return typeAndAccept(d, path, chosen, triesLeft - 1);
        *chosen = d->objectName() == "SaveData";
        static_cast<QDialog*>(d)->accept(); // QFileDialog hides accept()
    });
}

AnalysisState sample() {
    AnalysisState s;
    s.pointCount = 2;
    s.frameCount = 3;
    s.landmarkNames[1] = "頭頂部";
    s.deltaX1 = {2, 3, -1};
    s.deltaY1 = {0, 1, 1};
    s.deltaY2 = {-1, 0, 0};
    s.mmPerPoint = 2.857143f;
    return s;
}

QStringList filesIn(const QTemporaryDir& dir) {
    return QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries, QDir::Name);
}

} // namespace

class EndWindowTest : public QObject {
    Q_OBJECT
    AnalysisState mState = sample();
    QPointer<EndWindow> mWindow;
    std::optional<QTemporaryDir> mDir;
    bool mChosen = false;

    template <typename T = QWidget> T* child(const QString& name) {
        return mWindow->findChild<T*>(name);
    }
    // Presses `button` and chooses `name` in the folder of the test.
    void press(const QString& button, const QString& name, bool keepSuffix = true) {
        whenModal<QFileDialog>(mWindow, [this, name, keepSuffix](QFileDialog* d) {
            if (!keepSuffix)
                d->setDefaultSuffix(QString()); // the only way to end up with a name without "."
            typeAndAccept(d, mDir->filePath(name), &mChosen);
        });
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
        QVERIFY(mChosen);
    }
    void checkStillOpenAndRecordUnchanged() {
        QVERIFY(mWindow && mWindow->isVisible());
        QVERIFY(asIsFileBytes(mState, AxisMapping::StandingSide) ==
                asIsFileBytes(sample(), AxisMapping::StandingSide));
    }

private slots:
    void initTestCase() { QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }
    void init() {
        QVERIFY(mDir.emplace().isValid());
        mChosen = false;
        mWindow = new EndWindow(mState);
        mWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(mWindow));
    }
    void cleanup() { delete mWindow; }

    void layoutAndStartValues() {
        QCOMPARE(mWindow->objectName(), "DEnd");
        QCOMPARE(mWindow->windowTitle(), "解析終了");
        QVERIFY(mWindow->isWindow() && mWindow->testAttribute(Qt::WA_DeleteOnClose));
        QCOMPARE(mWindow->minimumSize(), QSize(285, 155));
        QCOMPARE(mWindow->maximumSize(), QSize(285, 155));
        const std::tuple<const char*, QRect, QString> rows[] = {
            {"Label1", {5, 7, 207, 12}, "解析が終了しました　データを保存します"},
            {"Label2", {5, 24, 272, 12}, "画像上の被検者の向きに合ったボタンを押してください"},
            {"Command4", {40, 56, 63, 41}, ""},
            {"Command1", {184, 56, 63, 41}, ""},
            {"Command2", {40, 104, 63, 41}, ""},
            {"Command5", {184, 104, 63, 41}, ""},
            {"Check1", {6, 29, 150, 17}, "集計せずにそのまま出力"},
            {"Check2", {6, 50, 107, 17}, "2つずつ集計する"},
            {"Check5", {6, 108, 107, 17}, "5つずつ集計する"},
            {"Check6", {6, 132, 82, 17}, "すべて選択"}};
        for (const auto& [name, geometry, text] : rows) {
            QWidget* w = child(name);
            QVERIFY2(w && w->geometry() == geometry, name);
            auto* label = qobject_cast<QLabel*>(w);
            auto* button = qobject_cast<QAbstractButton*>(w);
            QCOMPARE(label ? label->text() : button->text(), text);
        }
        for (int i = 1; i <= 6; ++i) {
            auto* box = child<QCheckBox>(QString("Check%1").arg(i));
            QVERIFY(!box->isVisible());
            QCOMPARE(box->isChecked(), i == 1);
        }
        for (bool on : {true, false}) { // Check6 selects and clears all five
            child<QCheckBox>("Check6")->setChecked(on);
            for (int i = 1; i <= 5; ++i)
                QCOMPARE(child<QCheckBox>(QString("Check%1").arg(i))->isChecked(), on);
        }
    }

    void pictures() {
        for (const auto& [name, size] : {std::pair{"Command4", QSize(14, 36)},
                                         {"Command1", QSize(11, 36)},
                                         {"Command2", QSize(50, 19)},
                                         {"Command5", QSize(50, 15)}}) {
            auto* button = child<QPushButton>(name);
            QCOMPARE(button->iconSize(), size);
            const QImage image = button->icon().pixmap(size).toImage();
            QCOMPARE(image.size(), size);
            int black = 0, other = 0; // black on white only
            for (int i = 0; i < size.width() * size.height(); ++i) {
                const QRgb c = image.pixel(i % size.width(), i / size.width()) & 0xFFFFFF;
                black += c == 0;
                other += c != 0 && c != 0xFFFFFF;
            }
            QVERIFY2(black > 20 && other == 0, name);
        }
    }

    void pressWritesAndCloses_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("mapping");
        QTest::addColumn<QStringList>("toggled");
        QTest::addColumn<QStringList>("files");
        const QStringList none, one{"walk_1.csv"};
        QTest::newRow("Command4") << "Command4" << int(AxisMapping::StandingSide) << none << one;
        QTest::newRow("Command4 grouped")
            << "Command4" << int(AxisMapping::StandingSide) << QStringList{"Check2", "Check5"}
            << QStringList{"walk_1.csv", "walk_2.csv", "walk_5.csv"};
        QTest::newRow("Command1 never groups")
            << "Command1" << int(AxisMapping::StandingFront) << QStringList{"Check2"} << one;
        QTest::newRow("Command2") << "Command2" << int(AxisMapping::LyingSide) << none << one;
        QTest::newRow("Command5") << "Command5" << int(AxisMapping::LyingFront) << none << one;
        QTest::newRow("all cleared") << "Command4" << int(AxisMapping::StandingSide)
                                     << QStringList{"Check6", "Check6"} << none;
    }
    void pressWritesAndCloses() {
        QFETCH(QString, button);
        QFETCH(int, mapping);
        QFETCH(QStringList, toggled);
        QFETCH(QStringList, files);
        for (const QString& name : toggled)
            child<QCheckBox>(name)->toggle();
        press(button, "walk.csv");
        QTRY_VERIFY(mWindow.isNull());
        QCOMPARE(filesIn(*mDir), files); // the chosen walk.csv itself is never created
        QFile written(mDir->filePath("walk_1.csv"));
        if (written.open(QIODevice::ReadOnly))
            QCOMPARE(written.readAll().toStdString(), asIsFileBytes(mState, AxisMapping(mapping)));
        QVERIFY(asIsFileBytes(mState, AxisMapping::StandingSide) ==
                asIsFileBytes(sample(), AxisMapping::StandingSide));
    }

    void cancelAndNameWithoutDotWriteNothingSilently() {
        whenModal<QFileDialog>(mWindow, [](QFileDialog* d) { d->reject(); });
        QTest::mouseClick(child<QPushButton>("Command4"), Qt::LeftButton);
        checkStillOpenAndRecordUnchanged();
        press("Command1", "walk", false);
        QTest::qWait(50);
        QVERIFY(!QApplication::activeModalWidget()); // no message
        checkStillOpenAndRecordUnchanged();
        QVERIFY(filesIn(*mDir).isEmpty());
    }

    void unwritableFileIsReported_data() {
        QTest::addColumn<QString>("blocked");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("as-is") << "walk_1.csv" << QStringList{"walk_1.csv"};
        // The as-is file was finished before the grouped one failed, so it stays.
        QTest::newRow("grouped") << "walk_2.csv" << QStringList{"walk_1.csv", "walk_2.csv"};
    }
    void unwritableFileIsReported() {
        QFETCH(QString, blocked);
        QFETCH(QStringList, files);
        QVERIFY(QDir(mDir->path()).mkdir(blocked)); // a folder where the file should go
        child<QCheckBox>("Check6")->setChecked(true);
        QString message;
        whenModal<QMessageBox>(mWindow, [&](QMessageBox* box) {
            if (box->standardButtons() == QMessageBox::Ok)
                message = box->windowTitle() + "|" + box->text();
            box->accept();
        });
        press("Command4", "walk.csv");
        QVERIFY2(message.startsWith("Vestra2007|") && message.contains(blocked),
                 qPrintable(message));
        checkStillOpenAndRecordUnchanged();
        QCOMPARE(filesIn(*mDir), files);
        QVERIFY(QFileInfo(mDir->filePath(blocked)).isDir());
    }
};

QTEST_MAIN(EndWindowTest)
#include "end_window_tests.moc"
