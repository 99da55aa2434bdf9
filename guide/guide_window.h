// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QTextBrowser;

// The guide's start page for a program in programDir: share/doc/vestra2007/html/index.html
// beside the program's bin folder, whether it exists or not.
[[nodiscard]] QString guideFileFor(const QString& programDir);

// The guide of the running program (needs a QCoreApplication).
[[nodiscard]] QString installedGuideFile();

// frmGuide: the guide in a browser with a find bar (Ctrl+F; Enter or F3 finds the next match,
// Shift+Enter or Shift+F3 the one before, both wrapping around). Not modal; deletes itself when
// closed; Esc closes it. A guide file that is missing is said in the window, with where it was
// looked for.
class GuideWindow : public QWidget {
    Q_OBJECT
public:
    explicit GuideWindow(const QString& guideFile, QWidget* parent = nullptr);

    // Moves the selection to the next (or previous) match of the find field's text.
    bool findNext();
    bool findPrevious();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool find(bool backward, bool fromSelectionStart);
    void focusFindField();

    QTextBrowser* mBrowser = nullptr;
    QLineEdit* mFindText = nullptr;
    QLabel* mFindStatus = nullptr;
};
