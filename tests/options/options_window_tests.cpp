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

namespace {

const QString kRangeWarning = QStringLiteral("入力できるのは0から255の数字のみです");
const QString kSaveFailed = QStringLiteral("設定ファイルを保存できませんでした");

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class OptionsWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir* mStartDir = nullptr;
    AnalysisState mState;
    QPointer<OptionsWindow> mWindow;

    QString pcolPath() const { return mStartDir->filePath(QStringLiteral("pcol.dat")); }
    template <typename T> T* child(const char* name) const {
        return mWindow->findChild<T*>(QString::fromLatin1(name));
    }
    QLineEdit* text1() const { return child<QLineEdit>("Text1"); }
    QLineEdit* text2() const { return child<QLineEdit>("Text2"); }
    QLabel* label4() const { return child<QLabel>("Label4"); }
    void pressOk() { QTest::mouseClick(child<QPushButton>("Command4"), Qt::LeftButton); }

    // Unchanged record, no file, window still open, warning up.
    void verifyRejected() {
        QCOMPARE(mState.brightnessTolerance, int16_t{30});
        QCOMPARE(mState.darknessTolerance, int16_t{45});
        QVERIFY(!QFile::exists(pcolPath()));
        QVERIFY(mWindow && mWindow->isVisible());
        QVERIFY(!label4()->isHidden());
        QCOMPARE(label4()->text(), kRangeWarning);
    }

private slots:
    void initTestCase() { QApplication::setFont(QFont(QStringLiteral("IPAGothic"), 8)); }

    void init() {
        mStartDir = new QTemporaryDir;
        QVERIFY(mStartDir->isValid());
        mState = AnalysisState{};
        mState.startDir = mStartDir->path().toStdString();
        mState.brightnessTolerance = 30;
        mState.darknessTolerance = 45;
        mWindow = new OptionsWindow(mState);
        mWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(mWindow));
    }

    void cleanup() {
        delete mWindow;
        delete mStartDir;
    }

    void layout_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry"); // an empty size: sized to the text
        QTest::newRow("Label1") << "Label1" << QRect(11, 8, 227, 28);
        QTest::newRow("Label2") << "Label2" << QRect(72, 51, 0, 0);
        QTest::newRow("Text1") << "Text1" << QRect(160, 47, 65, 19);
        QTest::newRow("Label3") << "Label3" << QRect(72, 78, 0, 0);
        QTest::newRow("Text2") << "Text2" << QRect(160, 77, 65, 19);
        QTest::newRow("Label4") << "Label4" << QRect(15, 106, 117, 26);
        QTest::newRow("Command4") << "Command4" << QRect(170, 108, 55, 25);
    }

    void layout() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        auto* widget = mWindow->findChild<QWidget*>(name);
        QVERIFY(widget);
        QCOMPARE(widget->pos(), geometry.topLeft());
        if (!geometry.size().isEmpty())
            QCOMPARE(widget->size(), geometry.size());
        else
            QCOMPARE(widget->size(), widget->sizeHint());
    }

    void startsFromLayout() {
        QCOMPARE(mWindow->objectName(), QStringLiteral("opt1Form"));
        QCOMPARE(mWindow->windowTitle(), QStringLiteral("オプション"));
        QVERIFY(mWindow->isWindow());
        QCOMPARE(mWindow->size(), QSize(239, 140));
        QCOMPARE(mWindow->minimumSize(), mWindow->maximumSize());
        QCOMPARE(child<QLabel>("Label1")->text().count(QChar(0x3000)), 2);
        QVERIFY(child<QLabel>("Label1")->wordWrap());
        QCOMPARE(text1()->text(), QStringLiteral("30"));
        QCOMPARE(text2()->text(), QStringLiteral("45"));
        QVERIFY(label4()->isHidden());
        QCOMPARE(label4()->palette().color(QPalette::WindowText), QColor(192, 0, 0));
        auto* ok = child<QPushButton>("Command4");
        QVERIFY(!ok->isDefault() && !ok->autoDefault());
        for (QLineEdit* edit : {text1(), text2()}) {
            QVERIFY(!edit->testAttribute(Qt::WA_InputMethodEnabled));
            QVERIFY(edit->inputMethodHints().testFlag(Qt::ImhLatinOnly));
        }
    }

    // Both texts go through the same check; each row is tried in either box.
    void saveChecksRange_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("stored");
        QTest::newRow("0") << "0" << true << 0;
        QTest::newRow("255") << "255" << true << 255;
        QTest::newRow("256") << "256" << false << 0;
        QTest::newRow("-1") << "-1" << false << 0;
        QTest::newRow("255.4") << "255.4" << false << 0;
        QTest::newRow("254.6") << "254.6" << true << 255;
        QTest::newRow("12.5") << "12.5" << true << 12;
        QTest::newRow("13.5") << "13.5" << true << 14;
        QTest::newRow("blanks around") << " 7 " << true << 7;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("abc") << "abc" << false << 0;
        QTest::newRow("1e2") << "1e2" << false << 0;
        QTest::newRow("comma decimal") << "1,5" << false << 0;
    }

    void saveChecksRange() {
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        QFETCH(int, stored);
        for (const bool inText1 : {true, false}) {
            if (!mWindow)
                init();
            (inText1 ? text1() : text2())->setText(typed);
            pressOk();
            if (!accepted) {
                verifyRejected();
                QCOMPARE((inText1 ? text1() : text2())->text(), typed);
                continue;
            }
            const int16_t b = inText1 ? int16_t(stored) : int16_t{30};
            const int16_t d = inText1 ? int16_t{45} : int16_t(stored);
            QCOMPARE(mState.brightnessTolerance, b);
            QCOMPARE(mState.darknessTolerance, d);
            QCOMPARE(fileBytes(pcolPath()),
                     QByteArray::number(b) + ',' + QByteArray::number(d) + "\r\n");
            QTRY_VERIFY(mWindow.isNull()); // closed and deleted
            QFile::remove(pcolPath());
            mState.brightnessTolerance = 30;
            mState.darknessTolerance = 45;
        }
    }

    void text1TakesDigitsAndControlKeysOnly() {
        QLineEdit* edit = text1();
        edit->setFocus();
        edit->end(false);
        QTest::keyClicks(edit, QStringLiteral("5"));
        QTest::keyClick(edit, Qt::Key_Left);
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QStringLiteral("3"));
        QVERIFY(label4()->isHidden());

        QTest::keyClicks(edit, QStringLiteral("a.-"));
        QCOMPARE(edit->text(), QStringLiteral("3"));
        QVERIFY(!label4()->isHidden());
        QTest::keyClicks(edit, QStringLiteral("9")); // the warning stays up
        QCOMPARE(edit->text(), QStringLiteral("39"));
        QVERIFY(!label4()->isHidden());
    }

    void text2HasNoFilter() {
        QTest::keyClicks(text2(), QStringLiteral("a"));
        QCOMPARE(text2()->text(), QStringLiteral("45a"));
        QVERIFY(label4()->isHidden());
        pressOk();
        verifyRejected();
    }

    void enterAndEscDoNotPressOk() {
        text1()->setText(QStringLiteral("99"));
        auto* ok = child<QPushButton>("Command4");
        for (QWidget* target : {static_cast<QWidget*>(text1()), static_cast<QWidget*>(ok)}) {
            target->setFocus();
            for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
                QTest::keyClick(target, key);
        }
        QTest::qWait(50);
        QVERIFY(mWindow && mWindow->isVisible());
        QCOMPARE(mState.brightnessTolerance, int16_t{30});
        QVERIFY(!QFile::exists(pcolPath()));
    }

    void closingFromFrameDiscardsEntries() {
        QFile old(pcolPath());
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("30,45\r\n") == 7);
        old.close();
        text1()->setText(QStringLiteral("99"));
        text2()->setText(QStringLiteral("98"));
        QTest::keyClicks(text1(), QStringLiteral("x"));
        mWindow->close();
        QTRY_VERIFY(mWindow.isNull());
        QCOMPARE(mState.brightnessTolerance, int16_t{30});
        QCOMPARE(mState.darknessTolerance, int16_t{45});
        QCOMPARE(fileBytes(pcolPath()), QByteArray("30,45\r\n"));

        // A fresh window loads the stored values and starts without the warning.
        init();
        QCOMPARE(text1()->text(), QStringLiteral("30"));
        QCOMPARE(text2()->text(), QStringLiteral("45"));
        QVERIFY(label4()->isHidden());
    }

    void savesToStartDirAndStaysThere() {
        QTemporaryDir elsewhere;
        QVERIFY(elsewhere.isValid());
        const QString oldCurrent = QDir::currentPath();
        QDir::setCurrent(elsewhere.path());
        text1()->setText(QStringLiteral("12"));
        text2()->setText(QStringLiteral("200"));
        pressOk();
        const QString current = QDir::currentPath();
        QDir::setCurrent(oldCurrent);

        QCOMPARE(QDir(current), QDir(mStartDir->path()));
        QCOMPARE(fileBytes(pcolPath()), QByteArray("12,200\r\n"));
        QVERIFY(!QFile::exists(elsewhere.filePath(QStringLiteral("pcol.dat"))));
        // Takes effect in the record at once.
        QCOMPARE(mState.brightnessTolerance, int16_t{12});
        QCOMPARE(mState.darknessTolerance, int16_t{200});
    }

    void failedWriteKeepsValuesAndWindow() {
        const QString missing = mStartDir->filePath(QStringLiteral("gone"));
        mState.startDir = missing.toStdString();
        text1()->setText(QStringLiteral("7"));
        text2()->setText(QStringLiteral("8"));
        pressOk();
        QCOMPARE(mState.brightnessTolerance, int16_t{7});
        QCOMPARE(mState.darknessTolerance, int16_t{8});
        QVERIFY(mWindow && mWindow->isVisible());
        QVERIFY(!label4()->isHidden());
        QCOMPARE(label4()->text(), kSaveFailed);
        QVERIFY(label4()->toolTip().contains(QDir::toNativeSeparators(missing)));
        QVERIFY(!QFile::exists(missing));

        // The message fits the label; a later range error shows the range text again.
        const QRect needed = label4()->fontMetrics().boundingRect(
            QRect(0, 0, label4()->width(), 1000), Qt::TextWordWrap, kSaveFailed);
        QVERIFY2(needed.height() <= label4()->height(),
                 qPrintable(QString::number(needed.height())));
        text1()->setText(QStringLiteral("300"));
        pressOk();
        QCOMPARE(label4()->text(), kRangeWarning);
    }
};

QTEST_MAIN(OptionsWindowTest)
#include "options_window_tests.moc"
