// SPDX-License-Identifier: GPL-3.0-or-later
// The end-of-analysis window, driven through its real save dialog, and what it tells of the
// files it wrote.
#include "analysis_state.h"
#include "end_window.h"
#include "file_bytes.h"
#include "file_dialog_input.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>
#include <QSignalSpy>
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

} // namespace

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

    void presses() {
        // {button, boxes toggled before, name chosen, a file that a folder of its name blocks,
        // the files in the folder afterwards (never the chosen one itself)}. A failure is
        // reported; the files finished before stay, the later ones are not tried. The plain
        // as-is file alone is the end-to-end road's.
        const std::array<QString, 5> rows[] = {
            {"Command4", "Check2 Check5", "w.csv", "", "w_1.csv w_2.csv w_5.csv"},
            {"Command1", "Check2", "w.csv", "", "w_1.csv"}, // front, no groups
            {"Command4", "Check6 Check6", "w.csv", "", ""}, // all cleared
            {"Command2", "", "w", "", ""},                  // no dot: fails silently
            {"Command4", "Check6", "w.csv", "w_1.csv", "w_1.csv"},
            {"Command4", "Check6", "w.csv", "w_2.csv", "w_1.csv w_2.csv"}};
        for (const auto& [button, toggled, chosen, blocked, files] : rows) {
            cleanup(); // a fresh window for each
            init();
            QTemporaryDir dir;
            QVERIFY(blocked.isEmpty() || QDir(dir.path()).mkdir(blocked));
            for (const QString& box : toggled.split(' ', Qt::SkipEmptyParts))
                mWindow->findChild<QAbstractButton*>(box)->toggle();
            whenModal<QFileDialog>(mWindow, [path = dir.filePath(chosen)](QFileDialog* d) {
                d->setDefaultSuffix(QString()); // the name as typed, even without a dot
                typeIntoFileDialog(d, path, "SaveData");
            });
            whenModal<QMessageBox>(mWindow, [this](QMessageBox* box) {
                mMessage = box->text();
                box->accept();
            });
            QSignalSpy written(mWindow.data(), &EndWindow::filesWritten);
            QTest::mouseClick(mWindow->findChild<QAbstractButton*>(button), Qt::LeftButton);
            // Only success closes the window, and only a write failure is reported.
            QCOMPARE(mWindow && mWindow->isVisible(), !blocked.isEmpty() || !chosen.contains('.'));
            QVERIFY2(blocked.isEmpty() ? mMessage.isEmpty() : mMessage.contains(blocked),
                     qPrintable(mMessage));
            QCOMPARE(entries(dir.path()).join(' '), files);
            // The window tells the files it wrote, the blocking folder not among them.
            QStringList expected;
            for (const QString& name : files.split(' ', Qt::SkipEmptyParts))
                if (name != blocked)
                    expected.append(dir.filePath(name));
            QCOMPARE(written.isEmpty() ? QStringList()
                                       : written.constFirst().constFirst().toStringList(),
                     expected);
            QVERIFY(written.size() == (expected.isEmpty() ? 0 : 1));
        }
    }
};

QTEST_MAIN(EndWindowTest)
#include "end_window_tests.moc"
