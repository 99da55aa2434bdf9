// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

class QPushButton;

// The title and version line of the version window.
inline constexpr char kApplicationTitle[] = "Vestra2007";

// "ﾊﾞｰｼﾞｮﾝ 1.0.11": plain decimal numbers, no leading zeros.
[[nodiscard]] QString versionLine(int major, int minor, int revision);

// The caption: the title followed by "のﾊﾞｰｼﾞｮﾝ情報".
[[nodiscard]] QString aboutCaption(const QString& title);

// frmAbout: title, version and a button that starts the system information program. Not modal;
// deletes itself when closed.
class AboutWindow : public QWidget {
    Q_OBJECT

public:
    explicit AboutWindow(QWidget* parent = nullptr);

public slots:
    // cmdSysInfo: starts the system information program or says it cannot be used.
    void startSysInfo();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPushButton* mCmdOK = nullptr;
};
