// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

struct AnalysisState;
class QLabel;
class QLineEdit;
class QPushButton;

// opt1Form: shows and edits the two marker tolerances and saves them to pcol.dat in the start-up
// directory. Not modal; deletes itself when closed, so the next showing starts from the layout.
class OptionsWindow : public QWidget {
    Q_OBJECT

public:
    explicit OptionsWindow(AnalysisState& state, QWidget* parent = nullptr);

public slots:
    // Command4: checks both texts, stores the tolerances, writes pcol.dat and closes the window.
    void saveTolerances();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showWarning(const QString& text, const QString& toolTip = QString());

    AnalysisState& mState;
    QLabel* mLabel4 = nullptr;
    QLineEdit* mText1 = nullptr;
    QLineEdit* mText2 = nullptr;
    QPushButton* mCommand4 = nullptr;
};
