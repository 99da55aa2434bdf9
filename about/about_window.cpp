// SPDX-License-Identifier: GPL-3.0-or-later
#include "about_window.h"

#include "program_icon.h"
#include "registry.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>

namespace {

// The version comes from the project's version in CMake.
constexpr int kVersionMajor = VESTRA_VERSION_MAJOR;
constexpr int kVersionMinor = VESTRA_VERSION_MINOR;
constexpr int kVersionRevision = VESTRA_VERSION_REVISION;

// A one-pixel rule in the palette's dark-shadow colour, read when painting so it follows a
// change of the system colours.
class HorizontalLine : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Shadow));
    }
};

QLabel* addLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QPushButton* addButton(QWidget* parent, const char* name, const QString& text, int x, int y) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(x, y, 92, 23);
    // Enter presses the focused button, as on any dialog.
    button->setAutoDefault(true);
    return button;
}

} // namespace

QString versionLine(int major, int minor, int revision) {
    return QStringLiteral("ﾊﾞｰｼﾞｮﾝ %1.%2.%3").arg(major).arg(minor).arg(revision);
}

QString aboutCaption(const QString& title) {
    return title + QStringLiteral("のﾊﾞｰｼﾞｮﾝ情報");
}

AboutWindow::AboutWindow(QWidget* parent) : QWidget(parent, Qt::Dialog) {
    const QString title = QString::fromLatin1(kApplicationTitle);
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(382, 151);
    setWindowTitle(aboutCaption(title));
    // No icon in the title bar: a transparent one replaces the application's.
    QPixmap noIcon(16, 16);
    noIcon.fill(Qt::transparent);
    setWindowIcon(QIcon(noIcon));

    auto* picIcon = addLabel(this, "picIcon", QString());
    picIcon->setPixmap(programIcon());
    picIcon->setGeometry(16, 16, 32, 32);

    auto* lblTitle = addLabel(this, "lblTitle", title);
    lblTitle->move(70, 16);
    lblTitle->adjustSize();

    auto* lblVersion =
        addLabel(this, "lblVersion", versionLine(kVersionMajor, kVersionMinor, kVersionRevision));
    lblVersion->setGeometry(70, 52, 259, 15);

    auto* line1 = new HorizontalLine(this);
    line1->setObjectName(QStringLiteral("Line1"));
    line1->setGeometry(4, 75, 371, 1);

    auto* lblDisclaimer = addLabel(this, "lblDisclaimer", QString());
    lblDisclaimer->setWordWrap(true);
    lblDisclaimer->setGeometry(12, 85, 258, 65);
    QPalette black = lblDisclaimer->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    lblDisclaimer->setPalette(black);

    mCmdOK = addButton(this, "cmdOK", QStringLiteral("OK"), 284, 85);
    mCmdOK->setDefault(true);
    connect(mCmdOK, &QPushButton::clicked, this, &QWidget::close);

    auto* cmdSysInfo = addButton(this, "cmdSysInfo", QStringLiteral("ｼｽﾃﾑ情報(&S)..."), 284, 117);
    connect(cmdSysInfo, &QPushButton::clicked, this, &AboutWindow::startSysInfo);

    mCmdOK->setFocus();
}

void AboutWindow::keyPressEvent(QKeyEvent* event) {
    // cmdOK is both the default and the cancel button. A plain QWidget has no dialog keys, so
    // Enter and Esc that no control took are handled here.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
            mCmdOK->click();
            return;
        }
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void AboutWindow::startSysInfo() {
    const std::unique_ptr<RegistryReader> registry = makeSystemRegistryReader();
    if (StartSysInfo(*registry, systemFileExists, startProgramDetached) == SysInfoStart::Started)
        return;
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle),
                    QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません"), QMessageBox::Ok, this);
    box.exec();
}
