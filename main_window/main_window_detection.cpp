// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's marker detection: when it is offered, the panel of candidates, and the
// presses it asks for.
#include "main_window.h"

#include "detection_panel.h"
#include "picture_area.h"

#include <QAction>
#include <QApplication>

bool MainWindow::detectionAllowed() const {
    // Not on a lost frame either: presses there place the lost markers, not new points.
    return !sourcePicture().isNull() && mState.pointCount == mPointsAtOpening && !mDetectionPanel &&
           !mFrameView;
}

void MainWindow::detectMarkers() {
    if (!detectionAllowed()) {
        QApplication::beep(); // its shortcut, with the menu item's state not yet brought up to date
        return;
    }
    DetectionInput input;
    input.source = sourcePicture();
    input.scale = sourceScale();
    input.display = mPicOrg->image();
    input.bounds = markerBounds(mState.brightnessTolerance, mState.darknessTolerance);
    input.room = AnalysisState::kMaxPoints - mState.pointCount;
    DetectionResult found = detectOnImage(input.source, input.bounds, DetectionLimits{});
    if (found.count == 0) {
        showMessage(QStringLiteral("マーカーが見つかりませんでした。画像は変更していません。"));
        return;
    }
    if (found.count > kMostDetected) {
        showMessage(QStringLiteral("マーカーの候補が多すぎます（%1 個、上限 %2 個）。"
                                   "オプションで許容値を狭めるか、マーカーを1つずつクリックして"
                                   "ください。")
                        .arg(found.count)
                        .arg(kMostDetected));
        return;
    }
    auto* panel = new DetectionPanel(std::move(input), std::move(found), mPicSource, this);
    mDetectionPanel = panel;
    connect(panel, &DetectionPanel::placeRequested, this, &MainWindow::placeDetectedMarkers);
    // Before the panel goes: it may go with this window, whose handlers are gone by then.
    connect(panel, &QDialog::finished, this, [this] {
        mDetectionPanel.clear();
        updateEditActions();
    });
    panel->show();
    panel->raise();
    panel->activateWindow();
    updateEditActions();
}

void MainWindow::placeDetectedMarkers(const QList<QPointF>& presses) {
    for (const QPointF& press : presses)
        pressOnPicture(press, 0);
}

void MainWindow::closeDetectionPanel() {
    if (mDetectionPanel)
        mDetectionPanel->reject();
}
