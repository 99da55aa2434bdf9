// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sway_report.h"

#include <QWidget>

struct AnalysisState;
struct SwayRecord;
struct WriteResult;
class EqualScaleChartView;
class QChartView;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// The sway report "frmSway": the measures of every point in a table, the X-Y sway path with its
// 95 % prediction ellipse and X(t), Y(t) of the chosen point (or of all points), the interval
// between photos, and the files. Not modal; the owner keeps one instance and calls refresh()
// when the trajectory grows. It writes only SwayRecord::frameInterval.
class SwayWindow : public QWidget {
    Q_OBJECT
public:
    SwayWindow(const AnalysisState& state, SwayRecord& sway, QWidget* parent = nullptr);

    // Reads the record again: table, charts, unit and interval.
    void refresh();

    // The report as last shown.
    [[nodiscard]] const SwayReport& report() const { return mReport; }

    // Adds a row of further controls above the buttons.
    void addRow(QWidget* row);

signals:
    // The user typed another interval between photos: the record changed.
    void frameIntervalChanged();
    // The record was read again.
    void refreshed();

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    [[nodiscard]] QLabel* note(const char* name, const QString& text);
    void buildTable();
    void fillTable();
    void fitColumns();
    void fillCharts();
    void showTiming();
    void intervalEdited(const QString& text);
    void pointChosen(int index);
    // Asks for a name, then writes one of the two CSV files with `write`.
    void saveCsv(const char* dialogName, const QString& title, const QString& stem,
                 WriteResult (*write)(const QString&, const SwayReport&));
    void saveFigure();
    [[nodiscard]] QString askFileName(const char* objectName, const QString& title,
                                      const QStringList& filters, const QString& suggested);
    [[nodiscard]] QString suggestedPath(const QString& what, const QString& suffix) const;
    void reportFailure(const QString& message);

    const AnalysisState& mState;
    SwayRecord& mSway;
    SwayReport mReport;
    int mShown = 0; // index into mReport.points, or kAllPoints

    QLabel* mUnit = nullptr;
    QLabel* mIntervalCaption = nullptr;
    QLineEdit* mInterval = nullptr;
    QLabel* mIntervalNote = nullptr;
    QTableWidget* mTable = nullptr;
    QLabel* mFewNote = nullptr;
    QLabel* mPathNote = nullptr;
    QLabel* mFrequencyNote = nullptr;
    QComboBox* mPoint = nullptr;
    QWidget* mFigure = nullptr;
    QLabel* mFigureTitle = nullptr;
    EqualScaleChartView* mPath = nullptr;
    QChartView* mSeriesX = nullptr;
    QChartView* mSeriesY = nullptr;
};
