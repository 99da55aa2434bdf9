// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "csv_export.h"

#include <QStringList>
#include <QWidget>
#include <array>

struct AnalysisState;
class QCheckBox;

// The end-of-analysis window "DEnd": four picture buttons, one per orientation of the subject
// in the photo. A press asks for a file name and writes the export files, then closes the
// window. The window only reads the record.
//
// It deletes itself when closed; the owner keeps a QPointer and creates a fresh one next time.
class EndWindow : public QWidget {
    Q_OBJECT
public:
    explicit EndWindow(AnalysisState& state, QWidget* parent = nullptr);

signals:
    // After a press wrote files (also when a later one of them failed): their full paths.
    void filesWritten(const QStringList& paths);

private:
    struct Written {
        QStringList paths;
        QString error;         // the failure to report; empty when none
        bool complete = false; // every file was written
    };
    void press(AxisMapping mapping, bool withGroupedFiles);
    [[nodiscard]] Written writeFiles(const QString& chosen, AxisMapping mapping,
                                     bool withGroupedFiles) const;
    void selectAll(bool checked);
    void reportFailure(const QString& message);

    const AnalysisState& mState;
    // Check1 (as-is file) .. Check5 (groups of 5); Check6 selects all. Never shown.
    std::array<QCheckBox*, 5> mFileChecks{};
    QCheckBox* mCheck6 = nullptr;
};
