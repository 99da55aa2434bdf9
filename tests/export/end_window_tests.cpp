// The end-of-analysis window, driven through its real save dialog.
#include "analysis_state.h"
#include "end_window.h"
#include "file_dialog_input.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Hands the next modal widget of type T to `act`; gives up when `context` is gone.
template <typename T, typename Act>
void whenModal(QObject* context, Act act, int triesLeft = 1000) {
    QTimer::singleShot(10, context, [=] {
        if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget()))
            act(w);
        else if (triesLeft > 0)
            whenModal<T>(context, act, triesLeft - 1);
    });
}

// A press: the button, the boxes toggled before, the name chosen, a file that a folder of its
// name blocks, and the files in the folder afterwards (never the chosen one itself).
struct Row {
    const char *button, *toggled, *chosen, *blocked, *files;
};

} // namespace

Q_DECLARE_METATYPE(Row)

class EndWindowTest : public QObject {
    Q_OBJECT
    AnalysisState mState;
    QPointer<EndWindow> mWindow;
    QString mMessage; // the text of the message box a press showed

private slots:
    void initTestCase() { QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }
    void init() {
        mMessage.clear();
        mWindow = new EndWindow(mState);
        mWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(mWindow));
    }
    void cleanup() { delete mWindow; }

    void press_data() {
        QTest::addColumn<Row>("row");
        QTest::newRow("as-is") << Row{"Command4", "", "w.csv", "", "w_1.csv"};
        QTest::newRow("grouped") << Row{"Command4", "Check2 Check5", "w.csv", "",
                                        "w_1.csv w_2.csv w_5.csv"};
        QTest::newRow("front, no groups") << Row{"Command1", "Check2", "w.csv", "", "w_1.csv"};
        QTest::newRow("all cleared") << Row{"Command4", "Check6 Check6", "w.csv", "", ""};
        QTest::newRow("no dot") << Row{"Command2", "", "w", "", ""}; // fails silently
        // Reported; the files finished before stay, the later ones are not tried.
        QTest::newRow("fail 1") << Row{"Command4", "Check6", "w.csv", "w_1.csv", "w_1.csv"};
        QTest::newRow("fail 2") << Row{"Command4", "Check6", "w.csv", "w_2.csv", "w_1.csv w_2.csv"};
    }
    void press() {
        QFETCH(Row, row);
        const QString chosen = row.chosen, blocked = row.blocked;
        QTemporaryDir dir;
        QVERIFY(blocked.isEmpty() || QDir(dir.path()).mkdir(blocked));
        for (const QString& box : QString(row.toggled).split(' ', Qt::SkipEmptyParts))
            mWindow->findChild<QAbstractButton*>(box)->toggle();
        whenModal<QFileDialog>(mWindow, [path = dir.filePath(chosen)](QFileDialog* d) {
            d->setDefaultSuffix(QString()); // the name as typed, even without a dot
            typeIntoFileDialog(d, path, "SaveData");
        });
        whenModal<QMessageBox>(mWindow, [this](QMessageBox* box) {
            mMessage = box->text();
            box->accept();
        });
        QTest::mouseClick(mWindow->findChild<QAbstractButton*>(row.button), Qt::LeftButton);
        // Only success closes the window, and only a write failure is reported.
        QCOMPARE(mWindow && mWindow->isVisible(), !blocked.isEmpty() || !chosen.contains('.'));
        QVERIFY2(blocked.isEmpty() ? mMessage.isEmpty() : mMessage.contains(blocked),
                 qPrintable(mMessage));
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).join(' '),
                 row.files);
    }
};

QTEST_MAIN(EndWindowTest)
#include "end_window_tests.moc"
