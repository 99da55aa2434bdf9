// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "trial_comparison.h"

#include <QWidget>

class QLabel;
class QTableWidget;

// "試行の比較" (frmCompare): for each point in both trials, every measure of each and the ratio
// second / first, the Romberg ratios highlighted. Not modal; shows what it is given.
class ComparisonWindow : public QWidget {
    Q_OBJECT
public:
    explicit ComparisonWindow(QWidget* parent = nullptr);

    // The analysis on display (its label) against the trial.
    void showComparison(const SwayReport& first, const QString& firstLabel,
                        const ComparisonTrial& trial);

signals:
    void stopRequested(); // 比較をやめる

private:
    QLabel* mTrials = nullptr;
    QLabel* mRefusal = nullptr;
    QTableWidget* mTable = nullptr;
};
