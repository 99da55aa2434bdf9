// SPDX-License-Identifier: GPL-3.0-or-later
// The subject dialog, the comparison of two trials and the printed report as a user reaches
// them: through the menus and the report window, with the real dialogs.
#include "file_bytes.h"
#include "file_dialog_input.h"
#include "marker_scene.h"
#include "report_measures.h"
#include "report_panel.h"
#include "sway_csv.h"
#include "sway_window.h"
#include "window_test.h"

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QTableWidget>

class ClinicalWindowTests : public WindowTest {
    Q_OBJECT

private slots:
    void init() { setUpWindow(); }
    void cleanup() { closeWindows(); }
    void subjectIsOneUndoableStepOfTheAnalysis();
    void twoTrialsComparedAndReported();

private:
    // Photos s(1)..s(n) in `folder` with two markers that sway by `reach` pixels; the first
    // photo pressed on both markers, 2 mm per pixel confirmed, and the rest followed.
    void analyseTrial(const QString& folder, int photos, int reach) {
        QDir().mkpath(mDir->filePath(folder));
        for (int i = 0; i < photos; ++i) {
            const int dx = qRound(reach * std::sin(i * 1.1));
            const int dy = qRound(reach * std::sin(i * 0.7));
            QVERIFY(
                roomWithMarkers({{200 + dx, 200 + dy}, {400 - dy, 300 + dx}})
                    .save(mDir->filePath(QStringLiteral("%1/s(%2).bmp").arg(folder).arg(i + 1))));
        }
        // The photo's own date offers itself as the day of the test.
        QFile photo(mDir->filePath(folder + QStringLiteral("/s(1).bmp")));
        QVERIFY(photo.open(QIODevice::ReadWrite) &&
                photo.setFileTime(QDateTime(QDate(2021, 6, 15), QTime(12, 0)),
                                  QFileDevice::FileModificationTime));
        photo.close();
        QVERIFY(mWindow->loadPhoto(photo.fileName()));
        press({200, 200});
        press({400, 300});
        confirmScale(250, QStringLiteral("500"));
        mWindow->continueAnalysis();
    }
    void enterSubject(const std::function<void(QWidget*)>& fill) {
        onNextModal([fill](QWidget* modal) {
            QCOMPARE(modal->objectName(), QStringLiteral("dlgSubject"));
            fill(modal);
        });
        child<QAction>(w(), "mnuSubject")->trigger();
    }
    static void setText(QWidget* dialog, const char* name, const QString& text) {
        child<QLineEdit>(dialog, name)->setText(text);
    }
    SwayWindow* openReport() {
        child<QAction>(w(), "mnuSway")->trigger();
        return qobject_cast<SwayWindow*>(topLevel("frmSway"));
    }
    static QString pdfText(const QString& pdf) {
        QProcess process;
        process.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        process.waitForFinished(60000);
        return QString::fromUtf8(process.readAllStandardOutput());
    }
};

void ClinicalWindowTests::subjectIsOneUndoableStepOfTheAnalysis() {
    analyseTrial(QStringLiteral("a"), 3, 2);
    const QString file = mDir->filePath(QStringLiteral("a.vestra"));
    QVERIFY(mWindow->saveAnalysisFile(file));
    QString refusal;
    enterSubject([&refusal](QWidget* dialog) {
        QCOMPARE(child<QLineEdit>(dialog, "txtTestDate")->text(), QStringLiteral("2021/06/15"));
        setText(dialog, "txtName", QStringLiteral("  山田 太郎 "));
        setText(dialog, "txtId", QStringLiteral("A-42"));
        setText(dialog, "txtBirthDate", QStringLiteral("1950/4/31")); // no such day
        child<QComboBox>(dialog, "cboVision")->setCurrentIndex(1);
        child<QComboBox>(dialog, "cboStance")->setCurrentIndex(3);
        child<QPlainTextEdit>(dialog, "txtMemo")->setPlainText(QStringLiteral("1行目\n2行目"));
        onNextModal([&refusal](QWidget* box) {
            refusal = qobject_cast<QMessageBox*>(box)->text();
            qobject_cast<QMessageBox*>(box)->accept();
        });
        QTest::mouseClick(child(dialog, "cmdOk"), Qt::LeftButton);
        QVERIFY(dialog->isVisible()); // stays open with what was typed
        setText(dialog, "txtBirthDate", QStringLiteral("１９５０／４／３０"));
        QTest::mouseClick(child(dialog, "cmdOk"), Qt::LeftButton);
    });
    QVERIFY(refusal.contains(QStringLiteral("生年月日")));
    using S = SubjectRecord;
    const S entered{"山田 太郎",
                    "A-42",
                    {1950, 4, 30},
                    S::Sex::Unrecorded,
                    {2021, 6, 15},
                    "",
                    S::Stance::SingleRight,
                    S::Vision::EyesClosed,
                    S::Surface::Firm,
                    "1行目\n2行目"};
    QVERIFY(mWindow->subject() == entered);
    QVERIFY(w()->windowTitle().endsWith('*'));

    // OK without a change is no step; the change itself is one.
    enterSubject(
        [](QWidget* dialog) { QTest::mouseClick(child(dialog, "cmdOk"), Qt::LeftButton); });
    mWindow->undo();
    QVERIFY(!mWindow->subject());
    QVERIFY(!w()->windowTitle().endsWith('*')); // back to what was saved
    mWindow->undo();                            // the scale confirmation before it is another step
    mWindow->redo();
    mWindow->redo();
    QVERIFY(mWindow->subject() == entered);
    QVERIFY(mWindow->saveAnalysisFile(file));

    openWindow();
    QVERIFY(mWindow->openAnalysisFile(file));
    QVERIFY(mWindow->subject() == entered);
    // The report window's button opens the same dialog, showing what is kept.
    SwayWindow* report = openReport();
    QVERIFY(report);
    QVERIFY(child<QLabel>(report, "lblSubject")->toolTip().contains(QStringLiteral("山田 太郎")));
    onNextModal([](QWidget* dialog) {
        QCOMPARE(child<QLineEdit>(dialog, "txtName")->text(), QStringLiteral("山田 太郎"));
        setText(dialog, "txtName", QStringLiteral("山田 次郎"));
        QTest::keyClick(dialog, Qt::Key_Escape); // cancelled: nothing changes
    });
    QTest::mouseClick(child(report, "cmdSubject"), Qt::LeftButton);
    QVERIFY(mWindow->subject() == entered);
    QVERIFY(!w()->windowTitle().endsWith('*'));
}

void ClinicalWindowTests::twoTrialsComparedAndReported() {
    // Eyes closed sways twice as far as eyes open.
    analyseTrial(QStringLiteral("closed"), 6, 4);
    const QString closed = mDir->filePath(QStringLiteral("closed.vestra"));
    QVERIFY(mWindow->saveAnalysisFile(closed) && openReport());
    const std::string closedCsv = measuresFileBytes(openReport()->report());
    const QString broken = mDir->filePath(QStringLiteral("broken.vestra"));
    writeBytes(broken, "{\"format\":1,\"record\":");

    openWindow();
    analyseTrial(QStringLiteral("open"), 6, 2);
    enterSubject([](QWidget* dialog) {
        setText(dialog, "txtName", QStringLiteral("佐藤 一郎"));
        QTest::mouseClick(child(dialog, "cmdOk"), Qt::LeftButton);
    });
    SwayWindow* report = openReport();
    QVERIFY(report);
    auto* panel = report->findChild<ReportPanel*>();
    QVERIFY(panel);
    // Refused, with the reason, and nothing changes.
    const QString message = nextMessage([&] { QVERIFY(!panel->compareWith(broken)); });
    QVERIFY2(message.contains(QStringLiteral("broken.vestra")), qPrintable(message));
    QVERIFY(!panel->trial() && !topLevel("frmCompare"));
    answerNextFileDialog("dlgOpenComparison", closed);
    QTest::mouseClick(child(report, "cmdCompare"), Qt::LeftButton);
    QWidget* comparison = topLevel("frmCompare");
    QVERIFY(comparison);
    // The ratios are those of the two measures files (path length, ellipse area).
    const auto cells = [](const std::string& csv, int row) {
        return QString::fromStdString(csv).split(QStringLiteral("\r\n"))[row].split(',');
    };
    const std::string openCsv = measuresFileBytes(report->report());
    auto* table = child<QTableWidget>(comparison, "tblCompare");
    QCOMPARE(table->rowCount(), 6); // two points, three rows each
    for (int point = 0; point < 2; ++point)
        for (const int column : {4, 11}) {
            const double ratio = cells(closedCsv, point + 1)[column].toDouble() /
                                 cells(openCsv, point + 1)[column].toDouble();
            QCOMPARE(table->item(3 * point + 2, column)->text(), fixedText(ratio, 2));
        }

    // The report holds the subject, the measures and the comparison.
    const QString pdf = mDir->filePath(QStringLiteral("報告.pdf"));
    answerNextFileDialog("dlgSaveReport", pdf);
    QTest::mouseClick(child(report, "cmdMakeReport"), Qt::LeftButton);
    const QString text = pdfText(pdf);
    for (const QString& expected :
         {QStringLiteral("佐藤 一郎"), QStringLiteral("試行の比較"),
          QStringLiteral("closed.vestra"), QStringLiteral("s(1).bmp"), table->item(2, 11)->text()})
        QVERIFY2(text.contains(expected), qPrintable(expected));
    // The menu's 印刷... goes through the print dialog to the same pages.
    const QString printed = mDir->filePath(QStringLiteral("printed.pdf"));
    onNextModal([printed](QWidget* modal) {
        auto* dialog = qobject_cast<QPrintDialog*>(modal);
        QVERIFY(dialog);
        dialog->accept();
        dialog->printer()->setOutputFormat(QPrinter::PdfFormat);
        dialog->printer()->setOutputFileName(printed);
    });
    child<QAction>(w(), "mnuReportPrint")->trigger();
    QCOMPARE(pdfText(printed), text);

    QTest::mouseClick(child(comparison, "cmdStopComparing"), Qt::LeftButton);
    QVERIFY(!panel->trial());
}

QTEST_MAIN(ClinicalWindowTests)
#include "clinical_window_tests.moc"
