#include "analysis_state.h"
#include "options_window.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString kRangeWarning = QStringLiteral("入力できるのは0から255の数字のみです");

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class OptionsWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> mStartDir;
    AnalysisState mState;
    QPointer<OptionsWindow> mWindow;

    QString pcolPath() const { return mStartDir->filePath(QStringLiteral("pcol.dat")); }
    QLineEdit* text(int n) const {
        return mWindow->findChild<QLineEdit*>(QStringLiteral("Text%1").arg(n));
    }
    QLabel* label4() const { return mWindow->findChild<QLabel*>(QStringLiteral("Label4")); }
    QPushButton* ok() const { return mWindow->findChild<QPushButton*>(QStringLiteral("Command4")); }

    // As the options menu item does: a fresh window each time.
    void openWindow() {
        mWindow = new OptionsWindow(mState);
        mWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(mWindow));
    }

    // Record and file as loaded, window still open.
    bool nothingSaved() const {
        return mState.brightnessTolerance == 30 && mState.darknessTolerance == 45 &&
               !QFile::exists(pcolPath()) && mWindow && mWindow->isVisible();
    }

private slots:
    void initTestCase() { QApplication::setFont(QFont(QStringLiteral("IPAGothic"), 8)); }

    void init() {
        mStartDir = std::make_unique<QTemporaryDir>();
        mState.startDir = mStartDir->path().toStdString();
        mState.brightnessTolerance = 30;
        mState.darknessTolerance = 45;
        openWindow();
    }

    void cleanup() { delete mWindow; }

    // Each row is typed into either box, the other keeping its loaded value.
    void saveChecksRangeAndRounds_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("stored"); // -1: refused
        const std::pair<const char*, int> rows[] = {
            {"0", 0},       {"255", 255}, {"256", -1},  {"-1", -1},          {"255.4", -1},
            {"254.6", 255}, {"12.5", 12}, {"13.5", 14}, {"255.0000001", -1}, {"-0.4", -1},
            {"-0", 0},      {" 7 ", 7},   {"", -1},     {"abc", -1},         {"1e2", -1},
            {"1,5", -1}};
        for (const auto& [typed, stored] : rows)
            QTest::newRow(typed) << QString::fromLatin1(typed) << stored;
    }

    void saveChecksRangeAndRounds() {
        QFETCH(QString, typed);
        QFETCH(int, stored);
        QTemporaryDir elsewhere; // where the open-file dialog may have left the current directory
        const QString oldCurrent = QDir::currentPath();
        for (const int box : {1, 2}) {
            if (!mWindow)
                openWindow();
            QDir::setCurrent(elsewhere.path());
            text(box)->setText(typed);
            QTest::mouseClick(ok(), Qt::LeftButton);
            if (stored < 0) {
                QVERIFY(nothingSaved());
                QVERIFY(label4()->isVisible());
                QCOMPARE(label4()->text(), kRangeWarning);
                QCOMPARE(text(box)->text(), typed);
                continue;
            }
            const auto b = int16_t(box == 1 ? stored : 30), d = int16_t(box == 2 ? stored : 45);
            QCOMPARE(mState.brightnessTolerance, b); // at once, in the record
            QCOMPARE(mState.darknessTolerance, d);
            QCOMPARE(fileBytes(pcolPath()),
                     QByteArray::number(b) + ',' + QByteArray::number(d) + "\r\n");
            QCOMPARE(QDir::current(), QDir(mStartDir->path()));
            QTRY_VERIFY(mWindow.isNull());
            QFile::remove(pcolPath());
            mState.brightnessTolerance = 30;
            mState.darknessTolerance = 45;
        }
        QVERIFY(!QFile::exists(elsewhere.filePath(QStringLiteral("pcol.dat"))));
        QDir::setCurrent(oldCurrent);
    }

    void onlyText1FiltersKeys() {
        text(1)->setFocus();
        QTest::keyClicks(text(1), QStringLiteral("5"));
        for (const Qt::Key key : {Qt::Key_Left, Qt::Key_Delete, Qt::Key_Backspace})
            QTest::keyClick(text(1), key);
        QCOMPARE(text(1)->text(), QStringLiteral("3"));
        QVERIFY(label4()->isHidden());
        QTest::keyClicks(text(1), QStringLiteral("a.-9"));
        QCOMPARE(text(1)->text(), QStringLiteral("39"));
        QVERIFY(label4()->isVisible()); // and stays up after the digit

        delete mWindow;
        openWindow();
        QTest::keyClicks(text(2), QStringLiteral("a"));
        QCOMPARE(text(2)->text(), QStringLiteral("45a"));
        QVERIFY(label4()->isHidden());
        QTest::mouseClick(ok(), Qt::LeftButton);
        QVERIFY(nothingSaved());
        QVERIFY(label4()->isVisible());
    }

    // Enter, Esc and closing from the frame all leave record and file alone.
    void entriesWithoutOkAreDiscarded() {
        text(1)->clear();
        QTest::keyClicks(text(1), QStringLiteral("9x")); // valid "9", so a save would go through
        for (QWidget* target : {static_cast<QWidget*>(text(1)), static_cast<QWidget*>(ok())}) {
            target->setFocus();
            for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
                QTest::keyClick(target, key);
        }
        QTest::qWait(50);
        QVERIFY(nothingSaved());
        mWindow->close();
        QTRY_VERIFY(mWindow.isNull());
        openWindow(); // a fresh window loads the stored values, without the warning
        QCOMPARE(text(1)->text(), QStringLiteral("30"));
        QVERIFY(label4()->isHidden());
        QVERIFY(nothingSaved());
    }

    void failedWriteKeepsValuesAndWindow() {
        const QString missing = mStartDir->filePath(QStringLiteral("gone"));
        mState.startDir = missing.toStdString();
        text(1)->setText(QStringLiteral("7"));
        QTest::mouseClick(ok(), Qt::LeftButton);
        QCOMPARE(mState.brightnessTolerance, int16_t{7});
        QVERIFY(mWindow && mWindow->isVisible() && label4()->isVisible());
        QCOMPARE(label4()->text(), QStringLiteral("設定ファイルを保存できませんでした"));
        QVERIFY(label4()->toolTip().contains(QDir::toNativeSeparators(missing)));
        const QRect needed = label4()->fontMetrics().boundingRect(
            QRect(0, 0, label4()->width(), 1000), Qt::TextWordWrap, label4()->text());
        QVERIFY(needed.height() <= label4()->height());
    }
};

QTEST_MAIN(OptionsWindowTest)
#include "options_window_tests.moc"
