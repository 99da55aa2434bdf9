// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's side of the clinical record and the printed report: the subject dialog as
// a step of the history, and what the report takes from the analysis on display.
#include "main_window.h"

#include "picture_area.h"
#include "placement_picture.h"
#include "report_panel.h"
#include "subject_dialog.h"
#include "subject_texts.h"
#include "sway_trajectory.h"
#include "sway_window.h"
#include "video_creation_time.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QRegularExpression>

#include <cmath>

namespace {

// When the pictures were taken: a video's own creation time, otherwise the file's date.
QDateTime recordingTime(const AnalysisSource& source) {
    const QString path = QString::fromStdString(source.placementPath);
    if (path.isEmpty())
        return {};
    if (source.kind == AnalysisSource::Kind::Video)
        if (const auto created = videoCreationTime(path))
            return *created;
    const QFileInfo file(path);
    return file.isFile() ? file.lastModified() : QDateTime();
}

} // namespace

void MainWindow::addReportActions(QMenu* results) {
    QAction* subject =
        results->addAction(QStringLiteral("被検者と検査条件..."), this, [this] { editSubject(); });
    subject->setObjectName(QStringLiteral("mnuSubject"));
    mReportPdfAction =
        results->addAction(QStringLiteral("レポートを作成..."), this, &MainWindow::makeReportPdf);
    mReportPdfAction->setObjectName(QStringLiteral("mnuReportPdf"));
    mReportPdfAction->setEnabled(false);
    mPrintAction =
        results->addAction(QStringLiteral("印刷..."), this, &MainWindow::printSwayReport);
    mPrintAction->setObjectName(QStringLiteral("mnuReportPrint"));
    mPrintAction->setEnabled(false);
}

void MainWindow::attachReportPanel(SwayWindow* window) {
    ReportPanel::Hooks hooks;
    hooks.context = [this] { return reportContext(); };
    hooks.subject = [this] { return mSubject; };
    hooks.editSubject = [this](QWidget* parent) { editSubject(parent); };
    auto* panel = new ReportPanel(window, std::move(hooks));
    window->addRow(panel);
    connect(window, &SwayWindow::refreshed, panel, &ReportPanel::refresh);
}

void MainWindow::editSubject(QWidget* parent) {
    const QDateTime recorded = recordingTime(mSource);
    SubjectDialog dialog(mSubject, calendarDate(recorded.toLocalTime().date()),
                         parent ? parent : this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const SubjectRecord entered = dialog.subject();
    recordUndoable([&] { mSubject = entered; });
    updateSwayReport();
}

void MainWindow::makeReportPdf() {
    showSwayReport();
    if (mSwayWindow)
        if (auto* panel = mSwayWindow->findChild<ReportPanel*>())
            panel->makePdf();
}

void MainWindow::printSwayReport() {
    showSwayReport();
    if (mSwayWindow)
        if (auto* panel = mSwayWindow->findChild<ReportPanel*>())
            panel->print();
}

ReportContext MainWindow::reportContext() const {
    ReportContext c;
    c.subject = mSubject;
    ReportRecording& r = c.recording;
    const QString placement = QString::fromStdString(mSource.placementPath);
    r.fileName = QFileInfo(placement).fileName();
    r.video = mSource.kind == AnalysisSource::Kind::Video;
    r.recorded = recordingTime(mSource);
    r.frameStep = mSource.frameStep;
    const SourceScale& scale = mSway.scale;
    r.displaySize =
        scale.valid() ? QSize(scale.displayWidth, scale.displayHeight) : mPicSource->innerSize();
    r.sourceSize = scale.valid() ? QSize(scale.sourceWidth, scale.sourceHeight) : r.displaySize;
    if (swayUnits(mState, mSway).millimetres && mState.refDistance > 0.0f) {
        r.referencePixels = mState.refDistance;
        // confirmScale made mmPerPoint = typed / refDistance * 10.
        r.typedMillimetres = double(mState.mmPerPoint) * mState.refDistance / 10.0;
    }

    const PlacementPicture picture = loadPlacementPicture(mSource, r.displaySize);
    if (picture.image)
        c.picture = *picture.image;
    else
        c.pictureProblem = picture.problem.isEmpty()
                               ? QStringLiteral("写真も動画も開かれていません。")
                               : picture.problem.section(QLatin1Char('\n'), 0, 0);
    // Each point where it was first found: on the placement picture for those placed there.
    for (int k = 1; k <= AnalysisState::kNamedPoints; ++k)
        for (const SwayEntry& entry : mSway.entries) {
            const double x = entry.x[static_cast<std::size_t>(k)];
            const double y = entry.y[static_cast<std::size_t>(k)];
            if (!std::isfinite(x) || !std::isfinite(y))
                continue;
            c.markers.push_back({k, scale.valid()
                                        ? QPointF(scale.toDisplayX(x), scale.toDisplayY(y))
                                        : QPointF(x, y)});
            break;
        }

    if (!mFilePath.isEmpty()) {
        const QFileInfo file(mFilePath);
        c.suggestedPath = file.dir().filePath(file.completeBaseName() + QStringLiteral(".pdf"));
    } else if (!placement.isEmpty()) {
        const QFileInfo file(placement);
        QString stem = file.completeBaseName();
        stem.remove(QRegularExpression(QStringLiteral("\\([^()]*\\)$")));
        if (stem.trimmed().isEmpty())
            stem = QStringLiteral("動揺解析");
        c.suggestedPath = file.dir().filePath(stem.trimmed() + QStringLiteral("_レポート.pdf"));
    }
    return c;
}
