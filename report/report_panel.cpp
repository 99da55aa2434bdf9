// SPDX-License-Identifier: GPL-3.0-or-later
#include "report_panel.h"

#include "comparison_window.h"
#include "subject_texts.h"
#include "sway_window.h"

#include <QBoxLayout>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QToolButton>

#include <algorithm>

namespace {

const QString kTitle = QStringLiteral("動揺解析");

QPushButton* button(QWidget* parent, QBoxLayout* row, const char* name, const QString& text) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    row->addWidget(b);
    return b;
}

} // namespace

ReportPanel::ReportPanel(SwayWindow* window, Hooks hooks)
    : QWidget(window), mWindow(window), mHooks(std::move(hooks)) {
    setObjectName(QStringLiteral("pnlClinical"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    mSummary = new QLabel(this);
    mSummary->setObjectName(QStringLiteral("lblSubject"));
    mSummary->setMinimumWidth(120);
    mSummary->setTextFormat(Qt::PlainText);
    row->addWidget(mSummary, 1);
    QPushButton* subject = button(this, row, "cmdSubject", QStringLiteral("被検者と検査条件..."));
    QPushButton* compare = button(this, row, "cmdCompare", QStringLiteral("比較する解析を開く..."));
    mPoints = new QToolButton(this);
    mPoints->setObjectName(QStringLiteral("cmdPlotPoints"));
    mPoints->setPopupMode(QToolButton::InstantPopup);
    mPoints->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto* menu = new QMenu(mPoints);
    menu->setObjectName(QStringLiteral("mnuPlotPoints"));
    mPoints->setMenu(menu);
    row->addWidget(mPoints);
    QPushButton* pdf = button(this, row, "cmdMakeReport", QStringLiteral("レポートを作成..."));
    QPushButton* printButton = button(this, row, "cmdPrint", QStringLiteral("印刷..."));

    connect(subject, &QPushButton::clicked, this, [this] {
        if (mHooks.editSubject)
            mHooks.editSubject(mWindow);
    });
    connect(compare, &QPushButton::clicked, this, &ReportPanel::openComparison);
    connect(menu, &QMenu::aboutToShow, this, &ReportPanel::choosePoints);
    connect(pdf, &QPushButton::clicked, this, &ReportPanel::makePdf);
    connect(printButton, &QPushButton::clicked, this, &ReportPanel::print);
    refresh();
}

std::vector<int> ReportPanel::plottedPoints() const {
    const SwayReport& report = mWindow->report();
    std::vector<int> points;
    const auto present = [&report](int k) {
        return std::any_of(report.points.begin(), report.points.end(),
                           [k](const PointTrajectory& p) { return p.point == k; });
    };
    if (mChosen) {
        for (const int k : *mChosen)
            if (present(k))
                points.push_back(k);
        return points;
    }
    if (present(1))
        return {1};
    if (!report.points.empty())
        return {report.points.front().point};
    return {};
}

void ReportPanel::setPlottedPoints(std::vector<int> points) {
    std::sort(points.begin(), points.end());
    points.erase(std::unique(points.begin(), points.end()), points.end());
    mChosen = std::move(points);
    updateSummary();
}

void ReportPanel::choosePoints() {
    QMenu* menu = mPoints->menu();
    menu->clear();
    const std::vector<int> plotted = plottedPoints();
    const SwayReport& report = mWindow->report();
    for (const PointTrajectory& p : report.points) {
        QAction* action = menu->addAction(QStringLiteral("%1: %2").arg(p.point).arg(
            QString::fromStdString(report.names[static_cast<std::size_t>(p.point)])));
        action->setObjectName(QStringLiteral("actPlotPoint%1").arg(p.point));
        action->setCheckable(true);
        action->setChecked(std::find(plotted.begin(), plotted.end(), p.point) != plotted.end());
        connect(action, &QAction::toggled, this, [this, point = p.point](bool on) {
            std::vector<int> points = plottedPoints();
            if (on)
                points.push_back(point);
            else
                std::erase(points, point);
            setPlottedPoints(std::move(points));
        });
    }
}

ReportContent ReportPanel::content() const {
    ReportContent c;
    c.report = mWindow->report();
    if (mHooks.context)
        c.context = mHooks.context();
    c.plottedPoints = plottedPoints();
    c.trial = mTrial;
    c.version = QStringLiteral(VESTRA_VERSION);
    c.created = QDateTime::currentDateTime();
    return c;
}

void ReportPanel::refresh() {
    updateSummary();
    if (mComparison && mComparison->isVisible() && mTrial)
        mComparison->showComparison(mWindow->report(), firstTrialLabel(), *mTrial);
}

QString ReportPanel::firstTrialLabel() const {
    return trialLabel(1, mHooks.subject ? mHooks.subject() : std::nullopt) +
           QStringLiteral(": この解析");
}

void ReportPanel::updateSummary() {
    const std::optional<SubjectRecord> subject = mHooks.subject ? mHooks.subject() : std::nullopt;
    QString text;
    if (const auto& s = subject) {
        const QString name = QString::fromStdString(s->name);
        text = QStringLiteral("被検者: %1（%2）")
                   .arg(name.isEmpty() ? QStringLiteral("氏名未記入") : name, conditionsText(*s));
    } else {
        text = QStringLiteral("被検者: 未記入");
    }
    if (mTrial)
        text += QStringLiteral("　比較: %1").arg(QFileInfo(mTrial->path).fileName());
    mSummary->setText(
        mSummary->fontMetrics().elidedText(text, Qt::ElideRight, std::max(120, mSummary->width())));
    mSummary->setToolTip(text);
    QStringList numbers;
    for (const int k : plottedPoints())
        numbers << QString::number(k);
    mPoints->setText(QStringLiteral("レポートの図: %1")
                         .arg(numbers.isEmpty() ? QStringLiteral("なし")
                                                : QStringLiteral("点") + numbers.join(u',')));
    // Room for the menu arrow, which the style draws over the text's end.
    mPoints->setMinimumWidth(mPoints->fontMetrics().horizontalAdvance(mPoints->text()) + 32);
}

void ReportPanel::openComparison() {
    QFileDialog dialog(mWindow, QStringLiteral("比較する解析を開く"));
    dialog.setObjectName(QStringLiteral("dlgOpenComparison"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(QStringLiteral("解析ファイル (*.vestra)"));
    const QString suggested = content().context.suggestedPath;
    if (!suggested.isEmpty())
        dialog.setDirectory(QFileInfo(suggested).absolutePath());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    compareWith(dialog.selectedFiles().constFirst());
}

bool ReportPanel::compareWith(const QString& path) {
    ComparisonLoad load = loadComparisonTrial(path);
    if (!load.trial) {
        warn(load.error);
        return false;
    }
    mWindow->refresh();
    const ComparisonResult result = compareTrials(mWindow->report(), load.trial->report);
    if (!result.comparison) {
        warn(result.refusal);
        return false;
    }
    mTrial = std::move(load.trial);
    if (!mComparison) {
        mComparison = new ComparisonWindow(mWindow);
        mComparison->setAttribute(Qt::WA_DeleteOnClose);
        connect(mComparison, &ComparisonWindow::stopRequested, this, &ReportPanel::stopComparing);
    }
    mComparison->showComparison(mWindow->report(), firstTrialLabel(), *mTrial);
    updateSummary();
    return true;
}

void ReportPanel::stopComparing() {
    mTrial.reset();
    if (mComparison)
        mComparison->close();
    updateSummary();
}

void ReportPanel::makePdf() {
    QString suggested = content().context.suggestedPath;
    if (suggested.isEmpty())
        suggested = QDir::current().filePath(QStringLiteral("動揺解析レポート.pdf"));
    QFileDialog dialog(mWindow, QStringLiteral("レポートを作成"));
    dialog.setObjectName(QStringLiteral("dlgSaveReport"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QStringLiteral("PDFファイル(*.pdf)"));
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    dialog.setDirectory(QFileInfo(suggested).absolutePath());
    dialog.selectFile(QFileInfo(suggested).fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    mWindow->refresh();
    if (const WriteResult written = writeReportPdf(path, content()); !written.ok)
        warn(written.error);
}

void ReportPanel::print() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    QPrintDialog dialog(&printer, mWindow);
    dialog.setObjectName(QStringLiteral("dlgPrint"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    mWindow->refresh();
    QString error;
    if (!printReport(printer, content(), &error))
        warn(error);
}

void ReportPanel::warn(const QString& text) {
    QMessageBox box(QMessageBox::Warning, kTitle, text, QMessageBox::Ok, mWindow);
    box.setObjectName(QStringLiteral("msgReport"));
    box.exec();
}
