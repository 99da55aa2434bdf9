// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "report_document.h"
#include "trial_comparison.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class ComparisonWindow;
class QLabel;
class QToolButton;
class SwayWindow;

// The clinical row of the sway report: the subject and test conditions, a second trial to
// compare with, the points whose plots go into the printed report, the PDF and the printer.
// What the report window does not know (subject, recording, picture) comes from `context`.
class ReportPanel : public QWidget {
    Q_OBJECT
public:
    struct Hooks {
        std::function<ReportContext()> context; // may load the picture: only when needed
        std::function<std::optional<SubjectRecord>()> subject;
        std::function<void(QWidget* parent)> editSubject; // the dialog, as an undoable change
    };
    ReportPanel(SwayWindow* window, Hooks hooks);

    // Handlers, public so that tests and the main window's menu can drive them.
    void makePdf();        // レポートを作成...
    void print();          // 印刷...
    void openComparison(); // 比較する解析を開く...
    // After the open dialog: false, with a message and nothing changed, when refused.
    bool compareWith(const QString& path);
    void stopComparing();

    // Point numbers whose plots are printed: the chosen ones, by default point 1 (or the first
    // point there is).
    [[nodiscard]] std::vector<int> plottedPoints() const;
    void setPlottedPoints(std::vector<int> points);

    // Everything the printed report shows, as of now.
    [[nodiscard]] ReportContent content() const;
    [[nodiscard]] const std::optional<ComparisonTrial>& trial() const { return mTrial; }

    // After the report window read the record again.
    void refresh();

private:
    void choosePoints();
    void updateSummary();
    [[nodiscard]] QString firstTrialLabel() const;
    void warn(const QString& text);

    SwayWindow* mWindow;
    Hooks mHooks;
    QLabel* mSummary = nullptr;
    QToolButton* mPoints = nullptr;
    std::optional<std::vector<int>> mChosen; // none: the default
    std::optional<ComparisonTrial> mTrial;
    QPointer<ComparisonWindow> mComparison;
};
