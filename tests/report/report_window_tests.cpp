// SPDX-License-Identifier: GPL-3.0-or-later
// The sway report as a user reaches it: photos tracked by the real continuation, the menu item,
// the window's table and plots, the interval box, the files through the save dialogs, the
// subject dialog, the comparison of two trials and the printed report. The sub-pixel centres,
// the measures, the files' bytes and the PDF are checked sharper in the unit tests.
#include "file_bytes.h"
#include "file_dialog_input.h"
#include "marker_scene.h"
#include "report_measures.h"
#include "report_panel.h"
#include "sway_charts.h"
#include "sway_csv.h"
#include "sway_measures.h"
#include "sway_trajectory.h"
#include "sway_window.h"
#include "window_test.h"

#include <QAction>
#include <QChartView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTableWidget>
#include <QValueAxis>

class ReportWindowTests : public WindowTest {
    Q_OBJECT

private slots:
    void init() { setUpWindow(); }
    void cleanup() {
        closeWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void squareRoadThroughTheReport();
    void intervalBoxNotesAndTicks();
    void knownSubPixelPathGivesTheTrueMeasures();
    void subjectAndTwoTrialsReported();

private:
    // The record of a report opened on its own, kept until the test object goes.
    AnalysisState mOwnState;
    SwayRecord mOwnSway;
    void writePhoto(int number, const QImage& image) {
        QVERIFY(image.save(mDir->filePath(QStringLiteral("s(%1).bmp").arg(number))));
    }
    QAction* swayAction() { return child<QAction>(w(), "mnuSway"); }
    SwayWindow* openReport() {
        swayAction()->trigger();
        auto* report = qobject_cast<SwayWindow*>(topLevel("frmSway"));
        if (report) // typed keys go astray before the window is on screen
            static_cast<void>(QTest::qWaitForWindowExposed(report));
        return report;
    }
    static QString cell(SwayWindow* report, int row, int column) {
        auto* item = child<QTableWidget>(report, "tblMeasures")->item(row, column);
        return item ? item->text() : QStringLiteral("<none>");
    }
    // Photos s(1)..s(n) in `folder` with two markers that sway by `reach` pixels; the first
    // photo pressed on both markers, 2 mm per pixel confirmed (or not), and the rest followed.
    void analyseTrial(const QString& folder, int photos, int reach, bool millimetres = true) {
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
        if (millimetres)
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
    static QString pdfText(const QString& pdf) {
        QProcess process;
        process.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        process.waitForFinished(60000);
        return QString::fromUtf8(process.readAllStandardOutput());
    }
};

// Point 1 walks a 2-pixel square (photos 1, 2, 4, 5), point 2 stands still. Point 1's marker is
// lost in photo 3 and photo 6 is missing: three continuations. Without an interval, no velocity.
void ReportWindowTests::squareRoadThroughTheReport() {
    QCOMPARE(swayAction()->text(), QStringLiteral("動揺解析...")); // in 解析結果
    const QPoint second(400, 300);
    const QPoint first[] = {{200, 200}, {202, 200}, {}, {200, 202}, {202, 202}, {}, {201, 201}};
    for (const int photo : {1, 2, 4, 5, 7})
        writePhoto(photo, roomWithMarkers({first[photo - 1], second}));
    writePhoto(3, roomWithMarkers({second}));
    QVERIFY(mWindow->loadPhoto(mDir->filePath(QStringLiteral("s(1).bmp"))));
    press({201, 199});
    press(second);
    mWindow->continueAnalysis();
    QVERIFY(!swayAction()->isEnabled()); // two photos are not yet a trajectory
    mWindow->continueAnalysis();
    QVERIFY(swayAction()->isEnabled());

    SwayWindow* report = openReport();
    QVERIFY(report && !report->isModal());
    QCOMPARE(report->windowTitle(), QStringLiteral("動揺解析"));
    QCOMPARE(child<QTableWidget>(report, "tblMeasures")->rowCount(), 2);
    QStringList row1; // the lists were empty at the first end, path totals at the second
    for (int c = 0; c < 15; ++c)
        row1 << cell(report, 0, c);
    QCOMPARE(row1.join(' '),
             "1 点1 4 ※ — 6.828 — 2.000 2.000 1.000 1.000 1.414 298.451 9.747 9.747 0.0");
    QCOMPARE(cell(report, 1, 1) + ' ' + cell(report, 1, 11), "点2 0.000"); // no names; no area
    auto* path = child<EqualScaleChartView>(report, "chartPath"); // X and Y on the same scale
    QTRY_VERIFY(std::abs(path->pixelsPerUnit().x() / path->pixelsPerUnit().y() - 1) < 0.01);

    for (const auto& [button, dialog, bytes] :
         {std::tuple{"cmdSaveMeasures", "dlgSaveMeasures", measuresFileBytes(report->report())},
          {"cmdSaveTrajectory", "dlgSaveTrajectory", trajectoryFileBytes(report->report())}}) {
        answerNextFileDialog(dialog, mDir->filePath(dialog));
        QTest::mouseClick(child(report, button), Qt::LeftButton);
        QCOMPARE(readBytes(mDir->filePath(dialog) + ".csv").toStdString(), bytes);
    }

    answerNextFileDialog("dlgSaveFigure", mDir->filePath("f.svg"));
    QTest::mouseClick(child(report, "cmdSaveFigure"), Qt::LeftButton);
    const QByteArray svg = readBytes(mDir->filePath("f.svg"));
    QVERIFY(QSvgRenderer(svg).isValid() && (svg.contains("<path") || svg.contains("<polyline")));
    // Text came out a quarter too small once: the generator's 72 dpi against the screen's.
    const QWidget* figure = child(report, "figure");
    const QRegularExpression fontSize(R"re(font-size="([0-9.]+)")re");
    const double size = fontSize.match(QString::fromUtf8(svg)).captured(1).toDouble();
    QCOMPARE(qRound(size * 10), qRound(figure->font().pointSizeF() * figure->logicalDpiY() / 7.2));
    mWindow->continueAnalysis(); // the third, after the missing photo 6: the window follows
    QCOMPARE(qobject_cast<SwayWindow*>(topLevel("frmSway")), report);
    QCOMPARE(openReport(), report); // one instance
    // Each step, the scale then shown (0: pixels) and the area. 1000 mm over 100 pixels makes
    // mmPerPoint equal the pixel distance: still a scale (once taken for an unconfirmed one).
    const std::tuple<std::function<void()>, int, const char*> steps[] = {
        {[] {}, 0, "96.028"}, // S = I, k = 30.5667
        {[&] { confirmScale(100, QStringLiteral("1000")); }, 10, "9602.81"},
        {[&] { mWindow->undo(); }, 0, "96.028"}, // the confirmation taken back
        {[&] { mWindow->redo(); }, 10, "9602.81"},
        {[&] { press(QPoint(300, 440), Qt::ShiftModifier); }, 0, "96.028"}, // new reference
        {[&] { mWindow->undo(); }, 10, "9602.81"}};
    for (const auto& [step, mm, area] : steps) {
        step();
        QCOMPARE(cell(report, 0, 11), QLatin1String(area));
        const QString unit = child<QLabel>(report, "lblUnit")->text();
        QVERIFY(unit.contains(mm ? QStringLiteral("1 pixel = %1 mm").arg(mm) : "単位: pixel"));
    }
}

void ReportWindowTests::knownSubPixelPathGivesTheTrueMeasures() {
    constexpr int kPhotos = 40; // of a textured, noisy scene; two markers on smooth paths
    const auto disc = [](int point, int frame) -> Disc {
        const double t = frame;
        if (point == 0)
            return {200 + 3.0 * std::sin(t / 4.1) + 0.8 * std::sin(t / 1.3),
                    180 + 1.6 * std::cos(t / 3.3 + 0.5) + 0.4 * std::sin(t / 0.9), 6.0};
        return {420 + 1.2 * std::sin(t / 2.7 + 1) + 1.5 * std::cos(t / 5.9),
                320 + 2.2 * std::sin(t / 4.7) - 0.9 * std::sin(t / 1.7), 6.0};
    };
    std::mt19937 rng(1234);
    const Texture texture(rng);
    for (int f = 0; f < kPhotos; ++f)
        writePhoto(f + 1, renderScene(640, 480, texture, {disc(0, f), disc(1, f)}, 2.0, rng));
    QVERIFY(mWindow->loadPhoto(mDir->filePath(QStringLiteral("s(1).bmp")))); // as a user goes
    for (int k = 0; k < 2; ++k)
        press(QPointF(disc(k, 0).x, disc(k, 0).y).toPoint());
    confirmScale(250, QStringLiteral("500"));
    QTest::mouseClick(child(w(), "Command3"), Qt::LeftButton);

    SwayWindow* report = openReport();
    QVERIFY(report);
    QTest::keyClicks(child(report, "txtInterval"), QStringLiteral("0.1"));
    answerNextFileDialog("dlgSaveMeasures", mDir->filePath("m.csv"));
    QTest::mouseClick(child(report, "cmdSaveMeasures"), Qt::LeftButton);
    const QList<QByteArray> lines = readBytes(mDir->filePath("m.csv")).split('\n');
    QVERIFY(lines.size() > 3);
    std::vector<double> times;
    for (int f = 0; f < kPhotos; ++f)
        times.push_back(f * 0.1);
    for (int k = 0; k < 2; ++k) {
        std::vector<PointD> path; // millimetres, Y upward
        for (int f = 0; f < kPhotos; ++f)
            path.push_back({(disc(k, f).x - disc(k, 0).x) * 2, (disc(k, 0).y - disc(k, f).y) * 2});
        const auto truth = swayMeasures(path, (kPhotos - 1) * 0.1);
        const auto frequency = frequencyMeasures(path, times, *truth);
        const QList<QByteArray> cells = lines[k + 1].trimmed().split(',');
        QCOMPARE(cells.size(), 20);
        QCOMPARE(cells.mid(2, 2), (QList<QByteArray>{"40", "0.1"}));
        const double expected[] = {
            truth->pathLength,       *truth->meanVelocity, truth->rangeX,
            truth->rangeY,           truth->rmsX,          truth->rmsY,
            truth->meanDistance,     truth->ellipse.area,  truth->ellipse.semiMajor,
            truth->ellipse.semiMinor};
        for (int i = 0; i < 10; ++i) {
            const double error = cells[4 + i].toDouble() / expected[i] - 1;
            qInfo("point %d column %d: %+.2f %% from the true path", k + 1, 5 + i, 100 * error);
            QVERIFY(std::abs(error) <= (i == 7 ? 0.05 : 0.03)); // the area within 5 %
        }
        QVERIFY(std::abs(cells[14].toDouble() - truth->ellipse.tiltDegrees) < 2.0);
        // T, mean frequency, F50, F95 (on bins 0.625 Hz apart) and total power.
        QCOMPARE(cells[15], QByteArray("3.9"));
        const double meanFrequency = cells[16].toDouble() / *frequency->meanFrequency - 1;
        const double power = cells[19].toDouble() / frequency->spectrum->totalPower - 1;
        qInfo("point %d: mean frequency %+.2f %%, total power %+.2f %% from the true path", k + 1,
              100 * meanFrequency, 100 * power);
        QVERIFY(std::abs(meanFrequency) <= 0.005 && std::abs(power) <= 0.01); // 0.3 %, 0.5 %
        QCOMPARE(cells[17].toDouble(), frequency->spectrum->f50);
        QCOMPARE(cells[18].toDouble(), frequency->spectrum->f95);
    }
}

// Point 1 sways up and down by 4 pixels in 8 photos; point 2 joins at the fourth.
void ReportWindowTests::intervalBoxNotesAndTicks() {
    mOwnState = AnalysisState{};
    mOwnSway = SwayRecord{};
    mOwnSway.entries.resize(8);
    for (std::size_t e = 0; e < 8; ++e) {
        SwayEntry& entry = mOwnSway.entries[e];
        std::tie(entry.x[1], entry.y[1]) = std::pair(100.0, 100 + 4 * std::sin(e * 0.9));
        if (e >= 3)
            std::tie(entry.x[2], entry.y[2]) = std::pair(50.0 + e, 60.0 + e % 2);
    }
    auto* report = new SwayWindow(mOwnState, mOwnSway);
    report->show();
    QVERIFY(QTest::qWaitForWindowExposed(report));
    // Five positions (the most still marked) make an ellipse too wide to trust at a glance:
    // marked, and said why.
    QCOMPARE(cell(report, 0, 2) + '|' + cell(report, 1, 2), QStringLiteral("8|5 ※"));
    QVERIFY(child(report, "lblFewPositions")->isVisible());
    QVERIFY(child<QLabel>(report, "lblPathNote")->text().contains(QStringLiteral("整数画素")));
    // Y(t) spans about +-4: its axis once labelled "0" alone.
    auto* axis = qobject_cast<QValueAxis*>(
        child<QChartView>(report, "chartY")->chart()->axes(Qt::Vertical).constFirst());
    QVERIFY(axis && axis->tickType() == QValueAxis::TicksDynamic);
    QVERIFY(ticksWithin(axis->min(), axis->max(), axis->tickInterval()) >= kMinTicks);

    // The box keeps what was typed, and the table shows the interval the velocity used.
    auto* interval = child<QLineEdit>(report, "txtInterval");
    QTest::keyClicks(interval, QStringLiteral("0.0333333"));
    report->refresh();
    QCOMPARE(interval->text() + ' ' + cell(report, 0, 3), QStringLiteral("0.0333333 0.0333333"));
    QCOMPARE(mOwnSway.frameInterval, 0.0333333);
    interval->selectAll();
    QTest::keyClicks(interval, QStringLiteral("1e-300")); // refused: no 300-digit velocity
    QCOMPARE(mOwnSway.frameInterval, 0.0);
    QCOMPARE(interval->text() + ' ' + cell(report, 0, 5), QStringLiteral("1e-300 —"));
    QVERIFY(child<QLabel>(report, "lblIntervalNote")->text().contains(QStringLiteral("3600")));
    // The record changed elsewhere (an undo, a file): the box follows, and refuses there too
    // what it refuses when typed; the record keeps it.
    mOwnSway.frameInterval = 0.25;
    report->refresh();
    QCOMPARE(interval->text(), QStringLiteral("0.25"));
    mOwnSway.frameInterval = 1e-300;
    report->refresh();
    QCOMPARE(interval->text() + ' ' + cell(report, 0, 3), QStringLiteral("1e-300 —"));
    QCOMPARE(mOwnSway.frameInterval, 1e-300);

    // A video brings its times: the caption says so and asks for nothing.
    for (std::size_t e = 0; e < 8; ++e)
        mOwnSway.entries[e].seconds = 0.04 * e;
    report->refresh();
    QCOMPARE(child<QLabel>(report, "lblInterval")->text() + ' ' + cell(report, 0, 3),
             QStringLiteral("時間: 動画のフレーム時刻を使用 0.04"));
    QVERIFY(!interval->isVisible());
}

// Eyes closed, then eyes open with the subject entered through its dialog: one undoable step,
// saved and reopened with the analysis. Then the two trials compared and reported.
void ReportWindowTests::subjectAndTwoTrialsReported() {
    analyseTrial(QStringLiteral("closed"), 6, 4); // twice the sway of eyes open
    const QString closed = mDir->filePath(QStringLiteral("closed.vestra"));
    QVERIFY(mWindow->saveAnalysisFile(closed) && openReport());
    const std::string closedCsv = measuresFileBytes(openReport()->report());
    const QString broken = mDir->filePath(QStringLiteral("broken.vestra"));
    writeBytes(broken, "{\"format\":1,\"record\":");
    openWindow();
    analyseTrial(QStringLiteral("pixels"), 6, 4, false);
    const QString pixels = mDir->filePath(QStringLiteral("pixels.vestra"));
    QVERIFY(mWindow->saveAnalysisFile(pixels));

    openWindow();
    analyseTrial(QStringLiteral("open"), 6, 2);
    const QString file = mDir->filePath(QStringLiteral("open.vestra"));
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
    SubjectRecord entered;
    std::tie(entered.name, entered.id, entered.memo) =
        std::tuple("山田 太郎", "A-42", "1行目\n2行目");
    std::tie(entered.birthDate, entered.testDate) =
        std::pair(CalendarDate{1950, 4, 30}, CalendarDate{2021, 6, 15});
    std::tie(entered.stance, entered.vision) =
        std::pair(SubjectRecord::Stance::SingleRight, SubjectRecord::Vision::EyesClosed);
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
    auto* panel = report->findChild<ReportPanel*>();
    QVERIFY(panel);
    // Refused, with the reason, and nothing changes.
    for (const auto& [trial, reason] : {std::pair{broken, QStringLiteral("broken.vestra")},
                                        std::pair{pixels, QStringLiteral("単位が違う")}}) {
        const QString message = nextMessage([&] { QVERIFY(!panel->compareWith(trial)); });
        QVERIFY2(message.contains(reason), qPrintable(message));
        QVERIFY(!panel->trial() && !topLevel("frmCompare"));
    }
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
         {QStringLiteral("山田 太郎"), QStringLiteral("試行の比較"),
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
    QCOMPARE(pdfText(printed).count(QStringLiteral("山田 太郎")),
             text.count(QStringLiteral("山田 太郎")));

    QTest::mouseClick(child(comparison, "cmdStopComparing"), Qt::LeftButton);
    QVERIFY(!panel->trial());
}

QTEST_MAIN(ReportWindowTests)
#include "report_window_tests.moc"
