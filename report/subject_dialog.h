// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "subject_record.h"

#include <QDialog>

#include <optional>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;

// "被検者と検査条件": who was tested and how. Shows `subject`, or the defaults for an analysis
// without one; an empty 検査日 shows `recordingDate` (the recording's own day) instead. OK
// checks the dates and stays open, with a message, while one is not a real day.
class SubjectDialog : public QDialog {
    Q_OBJECT
public:
    SubjectDialog(const std::optional<SubjectRecord>& subject, const CalendarDate& recordingDate,
                  QWidget* parent = nullptr);

    // What the dialog holds; meaningful after OK.
    [[nodiscard]] SubjectRecord subject() const { return mResult; }

    void accept() override;

private:
    QLineEdit* mName = nullptr;
    QLineEdit* mId = nullptr;
    QLineEdit* mBirth = nullptr;
    QComboBox* mSex = nullptr;
    QLineEdit* mTestDate = nullptr;
    QLineEdit* mExaminer = nullptr;
    QComboBox* mStance = nullptr;
    QComboBox* mVision = nullptr;
    QComboBox* mSurface = nullptr;
    QPlainTextEdit* mMemo = nullptr;
    SubjectRecord mResult;
};
