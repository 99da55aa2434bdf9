// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis_state.h"
#include "file_bytes.h"
#include "options_window.h"
#include "read_only_folder.h"
#include "settings_file.h"
#include "widget_lookup.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTemporaryDir>

class OptionsTest : public QObject {
    Q_OBJECT

    // A "%1" in the folder name once took the field number in the pcol.dat error texts.
    QTemporaryDir mStartDir{QDir::tempPath() + QStringLiteral("/50%1-XXXXXX")};
    AnalysisState mState;
    QPointer<OptionsWindow> mWindow;

    QLineEdit* text(int n) const { return child<QLineEdit>(mWindow, n == 1 ? "Text1" : "Text2"); }
    QLabel* label4() const { return child<QLabel>(mWindow, "Label4"); }
    void clickOk() const { QTest::mouseClick(child(mWindow, "Command4"), Qt::LeftButton); }
    QString pcolPath() const { return mStartDir.filePath(QStringLiteral("pcol.dat")); }
    static QString values(int b, int d) { return QStringLiteral("%1,%2").arg(b).arg(d); }
    QByteArray pcol() const { return readBytes(pcolPath()); }

private slots:
    void init() {
        QFile::remove(pcolPath());
        QDir::setCurrent(QDir::tempPath()); // where the open-file dialog may have left it
        mState.startDir = mStartDir.path().toStdString();
        mState.brightnessTolerance = 30;
        mState.darknessTolerance = 45;
        mWindow = new OptionsWindow(mState);
        mWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(mWindow));
    }
    void cleanup() { delete mWindow; }

    void readsFirstTwoFields() {
        // {content (empty: no file at all), the values read (empty: refused)}; a byte-order mark,
        // a file of exactly the size cap, one byte more.
        const std::pair<QByteArray, QString> rows[] = {
            {"\r\n 30\r\n45 ,99", "30,45"},
            {"12abc,-32768.5", "0,-32768"},
            {QByteArray("\xEF\xBB\xBF") + "30,45\r\n", "30,45"},
            {"1,2" + QByteArray(64 * 1024 - 3, ' '), "1,2"},
            {"1,2" + QByteArray(64 * 1024 - 2, ' '), ""},
            {"", ""},
            {"30,\r\n", ""},
            {"32767,0", "32767,0"},
            {"32767.5,0", ""}};
        for (const auto& [content, expected] : rows) {
            QFile::remove(pcolPath());
            if (!content.isEmpty())
                writeBytes(pcolPath(), content);
            const ToleranceReadResult r = readToleranceFile(pcolPath());
            QCOMPARE(r.ok ? values(r.brightness, r.darkness) : QString(), expected);
            // A refusal names the file and says what the file should hold.
            QCOMPARE(r.error.contains(QDir::toNativeSeparators(pcolPath())) &&
                         r.error.contains(QStringLiteral("\n例: 0,40")),
                     !r.ok);
        }
    }

    void saveChecksRangeAndRounds() {
        // {typed, into Text1 or Text2, saved (empty: refused)}
        const std::tuple<const char*, int, QString> rows[] = {
            {"0", 1, "0,45"}, {"255", 2, "30,255"},   {"256", 1, ""},       {"-1", 2, ""},
            {"255.4", 1, ""}, {"254.6", 2, "30,255"}, {"12.5", 1, "12,45"}, {"13.5", 2, "30,14"},
            {"-0.4", 1, ""},  {"255.0000001", 2, ""}, {"", 1, ""},          {"abc", 2, ""}};
        for (const auto& [typed, box, saved] : rows) {
            cleanup(); // a fresh window and record for each
            init();
            text(box)->setText(QString::fromLatin1(typed));
            clickOk();
            QCOMPARE(values(mState.brightnessTolerance, mState.darknessTolerance),
                     saved.isEmpty() ? "30,45" : saved);
            QCOMPARE(pcol(), saved.isEmpty() ? "<missing>" : saved.toLatin1() + "\r\n");
            QCOMPARE(QDir::current(), QDir(saved.isEmpty() ? QDir::tempPath() : mStartDir.path()));
            QCOMPARE(mWindow->isVisible() && label4()->isVisible(), saved.isEmpty());
            QCOMPARE(label4()->text(), QStringLiteral("入力できるのは0から255の数字のみです"));
        }
    }

    // Only Text1 filters keys; nothing typed is kept without a valid OK.
    void unsavedEntriesAreDiscarded() {
        QTest::keyClicks(text(2), QStringLiteral("a"));
        QVERIFY(text(2)->text() == "45a" && label4()->isHidden());
        QTest::keyClicks(text(1), QStringLiteral("a\b9")); // the letter only is dropped
        QVERIFY(text(1)->text() == "39" && label4()->isVisible());
        clickOk(); // refused: "45a" is not a number
        text(2)->setText(QStringLiteral("45"));
        child(mWindow, "Command4")->setFocus();
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) // must not save
            QTest::keyClick(child(mWindow, "Command4"), key);
        QVERIFY(mWindow->isVisible() && pcol() == "<missing>");
        mWindow->close();
        QTRY_VERIFY(mWindow.isNull());
        init(); // the stored values again, without the warning
        QVERIFY(text(1)->text() == "30" && label4()->isHidden() && pcol() == "<missing>");
    }

    // An existing, writable pcol.dat in a folder that allows no new files is written in place
    // (the export tests check that a writable folder still gets a whole new file).
    void writableFileInReadOnlyFolderIsWrittenInPlace() {
        ReadOnlyFolder folder(QStringLiteral("pcol.dat"));
        const ino_t before = folder.inode();
        QCOMPARE(ReadOnlyFolder::asNobody(
                     [&] { return writeToleranceFile(folder.dir.path(), 7, 8).ok; }),
                 0);
        QVERIFY(folder.inode() == before);
        QCOMPARE(readToleranceFile(folder.file).brightness, 7);
    }

    // A write that fails keeps the new value; the window stays and says why (how files fail, a
    // full disk among them, is the analysis file and export tests').
    void failedWriteKeepsTheValueAndSaysSo() {
        const QString gone = mStartDir.filePath(QStringLiteral("gone"));
        mState.startDir = gone.toStdString();
        text(1)->setText(QStringLiteral("7"));
        clickOk();
        QVERIFY(mState.brightnessTolerance == 7 && mWindow->isVisible() && label4()->isVisible());
        QCOMPARE(label4()->text(), QStringLiteral("設定ファイルを保存できませんでした"));
        QVERIFY(label4()->toolTip().contains(QDir::toNativeSeparators(gone + "/pcol.dat")));
    }
};

QTEST_MAIN(OptionsTest)
#include "options_tests.moc"
